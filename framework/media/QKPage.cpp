#include "framework/media/QKPage.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKTapFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <algorithm>

const QString QKPage::kContentsKey = QStringLiteral("contents");
const QString QKPage::kNameKey = QStringLiteral("name");
const QString QKPage::kUniqueIdKey = QStringLiteral("uniqueFileId");
const QString QKPage::kNewPageName = QStringLiteral("New Page");
const QString QKPage::kUntitledText = QStringLiteral("untitled text");
const QString QKPage::kURLStringDefaultKey = QStringLiteral("urlStringDefault");
const QString QKPage::kDefaultURLString = QStringLiteral("about:blank");

namespace {
const QString kContentArrayKey = QStringLiteral("contentArray");
const QString kGridLayoutArrayKey = QStringLiteral("gridLayoutArray");

void removeTrailingBlanks(QKPage::Cells& cells) {
  while (!cells.empty() && !cells.back()) cells.pop_back();
}
}  // namespace

std::shared_ptr<QKPage> QKPage::createPageWithCompositor(CompositorInterface* compositor,
                                                         QKFileLoaderInterface* loader) {
  return std::make_shared<QKPage>(compositor, loader);
}

QKPage::QKPage(CompositorInterface* compositor, QKFileLoaderInterface* loader)
    : name_(kNewPageName), compositor_(compositor), loader_(loader) {
  if (compositor_) uniqueFileId_ = compositor_->getUniqueID();
}

QKPage::~QKPage() = default;

QString QKPage::description() const {
  return name_.isNull() ? QStringLiteral("Page (nil name)")
                        : QStringLiteral("Page (%1)").arg(name_);
}

QVariantMap QKPage::createSnapshot() const {
  QVariantList cells;
  cells.reserve(qsizetype(contents_.size()));
  for (const Cell& cell : contents_)
    cells.append(cell ? QVariant(cell->returnSnapshot()) : QVariant(kBlank));
  return {{kContentsKey, cells}, {kNameKey, name_}, {kUniqueIdKey, qint64(uniqueFileId_)}};
}

// The stored ID goes back to the counter, so no later page or file is given
// the same one.
void QKPage::takeNameAndId(const QVariantMap& snapshot) {
  if (snapshot.contains(kNameKey)) setName(snapshot.value(kNameKey).toString());
  bool ok = false;
  const qlonglong stored = snapshot.value(kUniqueIdKey).toLongLong(&ok);
  if (!ok) return;
  uniqueFileId_ = long(stored);
  if (compositor_) compositor_->uniqueIDRecovered(uniqueFileId_);
}

void QKPage::queueOne(const QVariant& fileSnapshot, int index, bool asCopy) {
  if (!loader_) return;
  if (asCopy)
    loader_->copyTheseFilesFromSnapshots({fileSnapshot}, this, index, false);
  else
    loader_->addTheseSnapshotsToQueue({fileSnapshot}, this, index, false);
}

void QKPage::loadSnapshot(const QVariantMap& snapshot) {
  takeNameAndId(snapshot);
  const QVariantList cells = snapshot.value(kContentsKey).toList();
  for (int p = 0; p < cells.size(); ++p)
    if (cells[p].typeId() == QMetaType::QVariantMap) queueOne(cells[p], p, false);
}

void QKPage::loadFolderSnapshot(const QVariantMap& snapshot) {
  wasFolder_ = true;
  takeNameAndId(snapshot);
  const QVariantList files = snapshot.value(kContentArrayKey).toList();
  const QVariantList grid = snapshot.value(kGridLayoutArrayKey).toList();
  for (int p = 0; p < grid.size(); ++p) {
    bool ok = false;
    const int v = grid[p].toInt(&ok);
    if (ok && v >= 0 && v < files.size()) queueOne(files[v], p, false);
  }
}

void QKPage::copyPageFromSnapshot(const QVariantMap& snapshot) {
  if (snapshot.contains(kNameKey))
    setName(QStringLiteral("%1 copy").arg(snapshot.value(kNameKey).toString()));
  const QVariantList cells = snapshot.value(kContentsKey).toList();
  for (int p = 0; p < cells.size(); ++p)
    if (cells[p].typeId() == QMetaType::QVariantMap) queueOne(cells[p], p, true);
}

void QKPage::addObjects(const Cells& files, int index) {
  if (files.empty()) return;
  const size_t at = size_t(std::max(index, 0));
  if (contents_.size() < at) contents_.resize(at);
  contents_.insert(contents_.begin() + std::ptrdiff_t(at), files.begin(), files.end());
  for (const Cell& file : files)
    if (file) file->setParent(this);
  // The first run of blanks after the inserted files absorbs the shift.
  const size_t n = files.size();
  auto first = std::find(contents_.begin() + std::ptrdiff_t(at + n), contents_.end(), nullptr);
  auto last = first;
  while (last != contents_.end() && !*last && size_t(last - first) < n) ++last;
  contents_.erase(first, last);
  removeTrailingBlanks(contents_);
}

void QKPage::addTapFileNamed(const QString& tapName, int index) {
  if (tapName.isNull()) return;
  addObjects({QKTapFile::createWithTapName(tapName, compositor_)}, index);
}

void QKPage::addTextFileAtIndex(int index) {
  addObjects({QKTextFile::createWithName(kUntitledText, compositor_)}, index);
}

std::shared_ptr<QKURLFile> QKPage::addURLFileAtIndex(int index) {
  QString address = UserDefaults::standard().stringValue(kURLStringDefaultKey);
  if (address.isEmpty()) address = kDefaultURLString;
  std::shared_ptr<QKURLFile> file = QKURLFile::createWithURLString(compositor_, address);
  addObjects({file}, index);
  return file;
}

QKPage::Cells QKPage::removeObjectsAtIndexes(const std::set<int>& indexes,
                                             bool replaceWithBlankSpaces) {
  Cells removed;
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
    const int i = *it;
    if (i < 0 || size_t(i) >= contents_.size()) continue;
    if (contents_[size_t(i)]) removed.insert(removed.begin(), contents_[size_t(i)]);
    if (replaceWithBlankSpaces)
      contents_[size_t(i)] = nullptr;
    else
      contents_.erase(contents_.begin() + i);
  }
  removeTrailingBlanks(contents_);
  return removed;
}

void QKPage::closeGapAtIndex(int index) {
  if (index < 0 || size_t(index) >= contents_.size() || contents_[size_t(index)]) return;
  size_t start = size_t(index);
  while (start > 0 && !contents_[start - 1]) --start;
  size_t end = size_t(index) + 1;
  while (end < contents_.size() && !contents_[end]) ++end;
  contents_.erase(contents_.begin() + std::ptrdiff_t(start),
                  contents_.begin() + std::ptrdiff_t(end));
}

void QKPage::removeEndFillerBlanks() { removeTrailingBlanks(contents_); }

void QKPage::removeAllBlanks() {
  contents_.erase(std::remove(contents_.begin(), contents_.end(), nullptr), contents_.end());
}

QKPage::Cell QKPage::fileForUniqueId(long uniqueId) const {
  for (const Cell& cell : contents_)
    if (cell && cell->uniqueFileId() == uniqueId) return cell;
  return nullptr;
}

int QKPage::firstFileIndex() const {
  for (int i = int(contents_.size()) - 1; i >= 0; --i)
    if (contents_[size_t(i)]) return i;
  return -1;
}

QKPage::Cells QKPage::filesOnlyContents() const {
  Cells files;
  std::copy_if(contents_.begin(), contents_.end(), std::back_inserter(files),
               [](const Cell& cell) { return cell != nullptr; });
  return files;
}

int QKPage::convertFilesOnlyIndexToContentsIndex(int index) const {
  if (index < 0) return -1;
  int seen = 0;
  for (size_t i = 0; i < contents_.size(); ++i)
    if (contents_[i] && seen++ == index) return int(i);
  return int(contents_.size());
}

QKPage::Cells QKPage::missingFilesArray() const {
  Cells files;
  for (const Cell& cell : contents_)
    if (cell && !cell->validFile()) files.push_back(cell);
  return files;
}

QKPage::Cells QKPage::availableFilesArray() const {
  Cells files;
  for (const Cell& cell : contents_)
    if (cell && cell->validFile()) files.push_back(cell);
  return files;
}

void QKPage::prepareToBeDeleted() {
  for (const Cell& cell : contents_)
    if (cell) cell->prepareToBeDeleted();
}

void QKPage::setName(const QString& name) { announceRename(exchangeName(name)); }

QString QKPage::exchangeName(const QString& name) {
  QString old = name_;
  name_ = name;
  return old;
}

void QKPage::announceRename(const QString& oldName) {
  if (!oldName.isNull() && !name_.isNull())
    NotificationCenter::defaultCenter().post(
        MediaNotifications::kFolderRenamed, this,
        {{MediaNotifications::kOldNameKey, oldName}, {MediaNotifications::kNewNameKey, name_}});
}
