#include "framework/fx/FXChain.h"

#include "framework/fx/FXChainDragDestBox.h"
#include "framework/fx/FXChainLayout.h"
#include "framework/fx/FXChainScrollView.h"
#include "framework/fx/FXObjectPanel.h"
#include "framework/fx/FXChainManager.h"
#include "framework/fx/FXObject.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

#include <QAbstractScrollArea>

#include <algorithm>
#include <cmath>

const QString FXChain::kNameKey = QStringLiteral("fxNameString");
const QString FXChain::kFrameHeightKey = QStringLiteral("frameHeight");

namespace {

// `from` minus `minus` as multisets: for each name of `minus`, its first
// remaining occurrence in `from` goes.
QStringList multisetDifference(QStringList from, const QStringList& minus) {
  for (const QString& name : minus) from.removeOne(name);
  return from;
}

}  // namespace

FXChain::FXChain(FXChainManager* manager, QAbstractScrollArea* scrollView)
    : chainManager_(manager), parentScrollView_(scrollView) {}

FXChain::~FXChain() {
  if (!deleted_) prepareToBeDeleted();
  if (auto* scroll = qobject_cast<FXChainScrollView*>(parentScrollView_.data());
      scroll && scroll->shownChain() == this)
    scroll->showChain(nullptr);
  delete view_.data();
}

QWidget* FXChain::myView() {
  if (!view_) {
    view_ = new QWidget;
    box_ = new FXChainDragDestBox(this, view_);
    for (const Element& element : fxArray()) showPanel(*element);
    placeViews();
  }
  return view_;
}

void FXChain::releaseView() {
  if (auto* scroll = qobject_cast<FXChainScrollView*>(parentScrollView_.data());
      scroll && scroll->shownChain() == this)
    scroll->showChain(nullptr);
  parentScrollView_ = nullptr;
  delete view_.data();
}

FXChainDragDestBox* FXChain::backgroundBox() {
  myView();
  return box_;
}

void FXChain::showPanel(FXObject& element) {
  QWidget* panel = element.myPanel();
  if (!box_ || !panel) return;
  if (panel->parentWidget() != box_) panel->setParent(box_);
  if (auto* titled = qobject_cast<FXObjectPanel*>(panel)) titled->loadImagesFromManager();
  panel->show();
}

void FXChain::hidePanel(FXObject& element) {
  QWidget* panel = element.myPanel();
  if (!box_ || !panel || panel->parentWidget() != box_) return;
  panel->hide();
  panel->setParent(nullptr);
}

// The layout's frames (bottom-left origin) placed as widget geometry.
void FXChain::placeViews() {
  if (!view_ || !box_) return;
  view_->setFixedHeight(int(viewFrame_.height()));
  view_->resize(int(viewFrame_.width()), int(viewFrame_.height()));
  const double viewHeight = viewFrame_.height();
  box_->setGeometry(QRectF(boxFrame_.x(), viewHeight - boxFrame_.y() - boxFrame_.height(),
                           boxFrame_.width(), boxFrame_.height())
                        .toRect());
  const double boxHeight = boxFrame_.height();
  for (const Element& element : fxArray()) {
    QWidget* panel = element->myPanel();
    if (!panel || panel->parentWidget() != box_) continue;
    const QRectF frame = element->localFrame();
    panel->setGeometry(
        QRectF(frame.x(), boxHeight - frame.y() - frame.height(), frame.width(), frame.height())
            .toRect());
  }
  view_->update();
}

FXChain::Element FXChain::returnNewEffectNamed(const QString& name) {
  return chainManager_ ? chainManager_->returnNewEffectNamed(name) : nullptr;
}

void FXChain::loadEffectNamed(const QString& name) { addEffectObject(returnNewEffectNamed(name)); }

void FXChain::addEffectObject(const Element& element) {
  insertEffectObject(element, static_cast<unsigned>(-1));
}

void FXChain::adopt(FXObject& element) {
  element.setMyChain(this);
  element.setMyChainManager(chainManager_);
}

void FXChain::insertEffectObject(const Element& element, unsigned index) {
  if (!element) return;
  effectWillBeInserted(*element);
  adopt(*element);
  {
    std::lock_guard lock(lock_);
    if (index >= fxArray_.size())
      fxArray_.push_back(element);
    else
      fxArray_.insert(fxArray_.begin() + index, element);
  }
  showPanel(*element);
  resizeChain();
  chainChanged();
}

bool FXChain::insertEffectData(const QByteArray& data, unsigned index) {
  if (data.isEmpty()) {
    Log::line("\t\terror:the passed drag data is nil");
    return false;
  }
  const PropertyList::Result archive = PropertyList::parse(data, QStringLiteral("drag data"));
  const QVariant name = archive.value.toMap().value(FXObject::kArchiveNameKey);
  if (!archive.ok() || name.typeId() != QMetaType::QString) {
    Log::line("\t\terror:the passed drag data is nil");
    return false;
  }
  Element element = returnNewEffectNamed(name.toString());
  if (!element) return false;
  insertEffectObject(element, index);
  return true;
}

int FXChain::indexOfLocked(const FXObject* element) const {
  for (size_t i = 0; i < fxArray_.size(); ++i)
    if (fxArray_[i].get() == element) return static_cast<int>(i);
  return -1;
}

int FXChain::indexOfNamedLocked(const QString& key, bool fromEnd) const {
  const int n = static_cast<int>(fxArray_.size());
  for (int step = 0; step < n; ++step) {
    const int i = fromEnd ? n - 1 - step : step;
    if (matchKey(snapshotNameOf(*fxArray_[i])) == key) return i;
  }
  return -1;
}

void FXChain::releaseRemoved(std::vector<Element>& removed) {
  for (const Element& element : removed) {
    hidePanel(*element);
    element->prepareToBeDeleted();
    element->setMyChain(nullptr);
  }
  removed.clear();
}

void FXChain::deleteThisEffect(FXObject* element) {
  std::vector<Element> removed;
  {
    std::lock_guard lock(lock_);
    const int index = indexOfLocked(element);
    if (index < 0) return;
    removed.push_back(fxArray_[index]);
    fxArray_.erase(fxArray_.begin() + index);
  }
  releaseRemoved(removed);
  resizeChain();
  chainChanged();
}

void FXChain::deleteEffectNamed(const QString& name) {
  Element found = findEffectNamed(name);
  if (found) deleteThisEffect(found.get());
}

void FXChain::deleteAllEffects() {
  std::vector<Element> removed;
  {
    std::lock_guard lock(lock_);
    removed.swap(fxArray_);
  }
  releaseRemoved(removed);
  resizeChain();
  chainChanged();
}

FXChain::Element FXChain::removeEffectFromChain(FXObject* element) {
  Element taken;
  {
    std::lock_guard lock(lock_);
    const int index = indexOfLocked(element);
    if (index < 0) return nullptr;
    taken = fxArray_[index];
    fxArray_.erase(fxArray_.begin() + index);
  }
  taken->setMyChain(nullptr);
  hidePanel(*taken);
  resizeChain();
  chainChanged();
  return taken;
}

void FXChain::moveEffect(FXObject* element, unsigned index) {
  {
    std::lock_guard lock(lock_);
    const int from = indexOfLocked(element);
    if (from < 0) return;
    Element moved = fxArray_[from];
    fxArray_.erase(fxArray_.begin() + from);
    if (index >= fxArray_.size())
      fxArray_.push_back(moved);
    else
      fxArray_.insert(fxArray_.begin() + index, moved);
  }
  resizeChain();
  chainChanged();
}

FXChain::Element FXChain::findEffectNamed(const QString& name) const {
  std::lock_guard lock(lock_);
  const int index = indexOfNamedLocked(matchKey(name), false);
  return index < 0 ? nullptr : fxArray_[index];
}

FXChain::Element FXChain::fromEndFindEffectNamed(const QString& name) const {
  std::lock_guard lock(lock_);
  const int index = indexOfNamedLocked(matchKey(name), true);
  return index < 0 ? nullptr : fxArray_[index];
}

std::vector<FXChain::Element> FXChain::fxArray() const {
  std::lock_guard lock(lock_);
  return fxArray_;
}

int FXChain::indexOf(const FXObject* element) const {
  std::lock_guard lock(lock_);
  return indexOfLocked(element);
}

int FXChain::count() const {
  std::lock_guard lock(lock_);
  return static_cast<int>(fxArray_.size());
}

void FXChain::passPtrThruChain(void* passed) {
  std::lock_guard lock(lock_);
  for (const Element& element : fxArray_) element->processPassedPtr(passed);
}

QString FXChain::snapshotNameOf(const FXObject& element) const { return element.myName(); }

FXChain::Element FXChain::makeEffectForSnapshotName(const QString& name) {
  return returnNewEffectNamed(name);
}

QVariantList FXChain::createSnapshot() const {
  QVariantList snapshot;
  for (const Element& element : fxArray()) {
    std::optional<QVariantMap> entry = element->createSnapshot();
    if (!entry) continue;
    entry->insert(kNameKey, snapshotNameOf(*element));
    entry->insert(kFrameHeightKey, static_cast<qint64>(element->localFrame().height()));
    snapshot.append(*entry);
  }
  return snapshot;
}

void FXChain::loadSnapshot(const QVariant& snapshot) {
  if (snapshot.typeId() != QMetaType::QVariantList) {
    if (snapshot.isValid()) Log::line("\t\terr: a chain snapshot that is not an array was ignored");
    return;
  }
  struct Entry {
    QString name;
    QString key;
    QVariantMap settings;
  };
  std::vector<Entry> entries;
  for (const QVariant& value : snapshot.toList()) {
    const QVariantMap settings = value.toMap();
    const QVariant name = settings.value(kNameKey);
    if (value.typeId() != QMetaType::QVariantMap || name.typeId() != QMetaType::QString) {
      Log::line("\t\terr: a chain snapshot entry without a name was skipped");
      continue;
    }
    entries.push_back({name.toString(), matchKey(name.toString()), settings});
  }

  QStringList wanted;
  QStringList wantedNames;
  for (const Entry& entry : entries) {
    wanted.append(entry.key);
    wantedNames.append(entry.name);
  }
  QStringList present;
  for (const Element& element : fxArray()) present.append(matchKey(snapshotNameOf(*element)));

  // The names to make, in snapshot order, by their full names.
  std::vector<Element> created;
  {
    QStringList remaining = present;
    for (const Entry& entry : entries) {
      if (remaining.removeOne(entry.key)) continue;
      if (Element element = makeEffectForSnapshotName(entry.name)) {
        effectWillBeInserted(*element);
        adopt(*element);
        created.push_back(element);
      }
    }
  }
  const QStringList toDelete = multisetDifference(present, wanted);

  std::vector<Element> removed;
  std::vector<Element> paired(entries.size());
  {
    std::lock_guard lock(lock_);
    fxArray_.insert(fxArray_.end(), created.begin(), created.end());
    for (const QString& key : toDelete) {
      const int index = indexOfNamedLocked(key, false);
      if (index < 0) continue;
      removed.push_back(fxArray_[index]);
      fxArray_.erase(fxArray_.begin() + index);
    }
    // The k-th entry of a name takes the k-th element of that name, in the
    // order the elements had; elements no entry names stay after them.
    std::vector<Element> ordered;
    std::vector<bool> taken(fxArray_.size(), false);
    for (size_t i = 0; i < entries.size(); ++i) {
      for (size_t j = 0; j < fxArray_.size(); ++j) {
        if (taken[j] || matchKey(snapshotNameOf(*fxArray_[j])) != entries[i].key) continue;
        taken[j] = true;
        paired[i] = fxArray_[j];
        ordered.push_back(fxArray_[j]);
        break;
      }
    }
    for (size_t j = 0; j < fxArray_.size(); ++j)
      if (!taken[j]) ordered.push_back(fxArray_[j]);
    fxArray_.swap(ordered);
  }
  releaseRemoved(removed);
  for (const Element& element : created) showPanel(*element);
  for (size_t i = 0; i < entries.size(); ++i)
    if (paired[i]) paired[i]->loadSnapshot(entries[i].settings);
  resizeChain();
  chainChanged();
}

void FXChain::resizeChain() {
  QSizeF content = viewFrame_.size();
  if (parentScrollView_ && parentScrollView_->viewport())
    content = QSizeF(parentScrollView_->viewport()->size());
  const std::vector<Element> elements = fxArray();
  std::vector<QRectF> frames;
  frames.reserve(elements.size());
  for (const Element& element : elements) frames.push_back(element->localFrame());
  const FXChainLayout::Result layout = FXChainLayout::layout(content, viewFrame_.size(), frames);
  for (size_t i = 0; i < elements.size(); ++i) {
    elements[i]->resizeFXWidth(static_cast<int>(std::trunc(layout.panelFrames[i].width())));
    elements[i]->reposFXOrigin(layout.panelFrames[i].topLeft());
  }
  viewFrame_ = layout.viewFrame;
  boxFrame_ = layout.boxFrame;
  placeViews();
}

void FXChain::prepareToBeDeleted() {
  if (deleted_) return;
  std::vector<Element> removed;
  {
    std::lock_guard lock(lock_);
    removed.swap(fxArray_);
  }
  releaseRemoved(removed);
  deleted_ = true;
}
