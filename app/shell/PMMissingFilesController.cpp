#include "app/shell/PMMissingFilesController.h"

#include "app/shell/PMMissingFilesHost.h"
#include "app/shell/PMMissingFilesLocateTableColumn.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFolder.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The path without its last component: "/" for a file at the top, empty for
// a bare name.
QString parentFolder(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {};
  if (slash == 0) return QStringLiteral("/");
  return path.left(slash);
}

QString lastComponent(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The stored path of a snapshot: its full path, else its original path.
QString storedPath(const QVariantMap& snapshot) {
  const QString full = snapshot.value(MediaPaths::kFullPathKey).toString();
  return full.isEmpty() ? snapshot.value(MediaPaths::kOriginalPathKey).toString() : full;
}

QLabel* statusLine(QWidget* parent, const char* name) {
  auto* label = new QLabel(QStringLiteral(" "), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

PMMissingFilesController::PMMissingFilesController(PMMissingFilesHost* host, QObject* parent)
    : QObject(parent), host_(host) {
  buildWindow();
  observeLoader();
}

PMMissingFilesController::~PMMissingFilesController() {
  observers_.clear();
  if (openPanel_) delete openPanel_.data();
}

void PMMissingFilesController::buildWindow() {
  panel_ = std::make_unique<QDialog>();
  panel_->setObjectName(QStringLiteral("missingFilesWindow"));
  panel_->setWindowTitle(QStringLiteral("Relink Missing Media"));
  panel_->setWindowModality(Qt::ApplicationModal);
  panel_->resize(720, 440);
  auto* layout = new QVBoxLayout(panel_.get());

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Show:"), panel_.get()));
  viewModeButton_ = new QComboBox(panel_.get());
  viewModeButton_->setObjectName(QStringLiteral("missingFilesViewMode"));
  viewModeButton_->addItems({QStringLiteral("All Files"), QStringLiteral("Missing Files"),
                             QStringLiteral("Found Files")});
  top->addWidget(viewModeButton_);
  foldersOrPagesButton_ = new QComboBox(panel_.get());
  foldersOrPagesButton_->addItems({QStringLiteral("Pages"), QStringLiteral("Folders")});
  foldersOrPagesButton_->hide();
  top->addWidget(foldersOrPagesButton_);
  top->addStretch(1);
  missingFileTextField_ = new QLabel(QStringLiteral("Missing files:"), panel_.get());
  missingFileCountTextField_ = statusLine(panel_.get(), "missingFileCount");
  QFont bold = missingFileCountTextField_->font();
  bold.setBold(true);
  missingFileCountTextField_->setFont(bold);
  top->addWidget(missingFileTextField_);
  top->addWidget(missingFileCountTextField_);
  layout->addLayout(top);

  model_ = new PMMissingFilesOutlineModel(this);
  outlineView_ = new QTreeView(panel_.get());
  outlineView_->setObjectName(QStringLiteral("missingFilesOutline"));
  outlineView_->setModel(model_);
  outlineView_->setUniformRowHeights(true);
  outlineView_->setTextElideMode(Qt::ElideNone);
  outlineView_->setItemDelegateForColumn(PMMissingFilesOutlineModel::kLocateButtonColumn,
                                         new PMMissingFilesLocateTableColumn(model_, outlineView_));
  outlineView_->header()->setStretchLastSection(false);
  outlineView_->header()->setSectionResizeMode(PMMissingFilesOutlineModel::kPathColumn,
                                               QHeaderView::Stretch);
  outlineView_->setColumnWidth(PMMissingFilesOutlineModel::kNameColumn, 200);
  outlineView_->setColumnWidth(PMMissingFilesOutlineModel::kLocateButtonColumn, 80);
  model_->setFontMetrics(QFontMetricsF(outlineView_->font()));
  model_->setColumnWidthSource(
      [this](int column) { return float(outlineView_->columnWidth(column)) - 8.0f; });
  model_->setLocateHandler(
      [this](const PMMissingFilesOutlineModel::Item& item) { locateItem(item); });
  // A wider or narrower path column shows more or less of each path.
  connect(outlineView_->header(), &QHeaderView::sectionResized, outlineView_, [this](int column) {
    if (column == PMMissingFilesOutlineModel::kPathColumn) outlineView_->viewport()->update();
  });
  layout->addWidget(outlineView_, 1);

  auto* status = new QHBoxLayout;
  loadingDescriptionTextField_ = statusLine(panel_.get(), "loadingDescription");
  loadingCountTextField_ = statusLine(panel_.get(), "loadingCount");
  status->addWidget(loadingDescriptionTextField_, 1);
  status->addWidget(loadingCountTextField_);
  layout->addLayout(status);

  auto* bottom = new QHBoxLayout;
  autoRelinkButton_ = new QCheckBox(
      QStringLiteral("Relink other missing files from the same folder"), panel_.get());
  autoRelinkButton_->setChecked(true);
  bottom->addWidget(autoRelinkButton_);
  bottom->addStretch(1);
  importButton_ = new QPushButton(QStringLiteral("Import Media…"), panel_.get());
  importButton_->setAutoDefault(false);
  doneButton_ = new QPushButton(QStringLiteral("Done"), panel_.get());
  doneButton_->setDefault(true);
  bottom->addWidget(importButton_);
  bottom->addWidget(doneButton_);
  layout->addLayout(bottom);

  connect(viewModeButton_, &QComboBox::currentIndexChanged, this, [this] { viewModeButtonUsed(); });
  connect(foldersOrPagesButton_, &QComboBox::currentIndexChanged, this,
          [this] { viewModeButtonUsed(); });
  connect(importButton_, &QPushButton::clicked, this, [this] { importMediaButtonUsed(); });
  connect(doneButton_, &QPushButton::clicked, this, [this] { doneButtonClicked(); });
  // Closing the window by its title bar is the done button.
  connect(panel_.get(), &QDialog::rejected, this, [this] { doneButtonClicked(); });
}

void PMMissingFilesController::observeLoader() {
  const auto handle = [this](const QString& name,
                             void (PMMissingFilesController::*handler)(const Notification&)) {
    observers_.observe(name, nullptr, [this, handler](const Notification& note) {
      // The loader posts on the main thread; anything else is moved there.
      if (MainThread::isMainThread()) {
        (this->*handler)(note);
        return;
      }
      QPointer<PMMissingFilesController> self(this);
      MainThread::post([self, handler, note] {
        if (self) (self.data()->*handler)(note);
      });
    });
  };
  handle(MediaNotifications::kFileLoaderStartedLoad,
         &PMMissingFilesController::fileLoaderStartedLoad);
  handle(MediaNotifications::kFileLoaderLoadingFile, &PMMissingFilesController::fileAboutToLoad);
  handle(MediaNotifications::kFileLoaderFinishedLoad,
         &PMMissingFilesController::fileLoaderFinishedLoad);
}

// --- Opening, refreshing, closing ------------------------------------------------------

void PMMissingFilesController::openMissingFilePanelAndStartSpotlightSearch(bool startSearch) {
  if (!MainThread::isMainThread()) {
    MainThread::runAndWait(
        [this, startSearch] { openMissingFilePanelAndStartSpotlightSearch(startSearch); });
    return;
  }
  update();
  if (startSearch && startSearch_) startSearch_();
  panel_->show();
  panel_->raise();
  panel_->activateWindow();
}

void PMMissingFilesController::update() {
  showMissingCount(true);
  missingFileCountTextField_->setText(QString::number(host_->missingFileArray().size()));
  reloadOutline();
  if (host_->missingFileArray().empty()) doneButtonClicked();
}

void PMMissingFilesController::doneButtonClicked() {
  // Only this window: whatever else is open at the moment stays.
  if (panel_->isVisible()) panel_->hide();
  if (stopSearch_) stopSearch_();
  searchQueue_.clear();
  NotificationCenter::defaultCenter().post(MediaNotifications::kReloadAll, this);
}

PMMissingFilesOutlineModel::Tree PMMissingFilesController::tree() const {
  return foldersOrPagesButton_->currentIndex() == 0 ? PMMissingFilesOutlineModel::Tree::Pages
                                                    : PMMissingFilesOutlineModel::Tree::Folders;
}

void PMMissingFilesController::reloadOutline() {
  model_->reload(host_->pageController(), host_->rootFolder(), tree(),
                 viewModeButton_->currentIndex());
  outlineView_->expandAll();
}

void PMMissingFilesController::viewModeButtonUsed() { reloadOutline(); }

void PMMissingFilesController::showMissingCount(bool shown) {
  missingFileTextField_->setVisible(shown);
  missingFileCountTextField_->setVisible(shown);
}

// The pages are the media bin's tree: files imported here go to the end of
// the first page, where the media bin shows them. The legacy root folder is
// shown nowhere else, so only its own tree imports into it.
void PMMissingFilesController::importMediaButtonUsed() {
  if (tree() == PMMissingFilesOutlineModel::Tree::Pages) {
    host_->loadWithOpenPanelToFolder(nullptr, -1, true, panel_.get());
    return;
  }
  QKFolder* root = host_->rootFolder();
  const int last = root ? root->lastFilledGridIndex() : -1;
  host_->loadWithOpenPanelToFolder(root, last == -1 ? 0 : last + 1, true, panel_.get());
}

// --- Locate ---------------------------------------------------------------------------

QString PMMissingFilesController::startingFolder(const QString& fullPath) {
  if (!QDir::isAbsolutePath(fullPath)) return QDir::homePath();
  QString folder = parentFolder(fullPath);
  while (!folder.isEmpty() && folder != QStringLiteral("/") && !QFileInfo::exists(folder))
    folder = parentFolder(folder);
  return folder.isEmpty() ? QStringLiteral("/") : folder;
}

QVariantMap PMMissingFilesController::snapshotOf(const QKFile& file) const {
  const auto& files = host_->missingFileArray();
  const QVariantList& snaps = host_->missingFileSnapArray();
  for (size_t i = 0; i < files.size(); ++i)
    if (files[i].get() == &file && qsizetype(i) < snaps.size()) return snaps[qsizetype(i)].toMap();
  return const_cast<QKFile&>(file).returnSnapshot();
}

void PMMissingFilesController::clearTarget() {
  targetedFile_.reset();
  targetedFolder_.reset();
  targetedSnap_.reset();
  hasTarget_ = false;
}

void PMMissingFilesController::locateItem(const PMMissingFilesOutlineModel::Item& item) {
  clearTarget();
  QString fullPath;
  bool folder = false;
  if (item.file) {
    if (item.file->validFile()) return;
    targetedFile_ = item.file;
    targetedSnap_ = snapshotOf(*item.file);
    fullPath = item.file->fullPath();
    if (fullPath.isEmpty()) fullPath = storedPath(*targetedSnap_);
  } else if (item.folder && !item.folder->fullPath().isEmpty()) {
    targetedFolder_ = item.folder;
    fullPath = item.folder->fullPath();
    folder = true;
  } else {
    return;
  }
  hasTarget_ = true;
  const QString name = lastComponent(fullPath);
  if (openPanel_) delete openPanel_.data();
  auto* dialog = new QFileDialog(panel_.get(), QStringLiteral("Locate %1").arg(name),
                                 startingFolder(fullPath));
  dialog->setObjectName(QStringLiteral("locatePanel"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontResolveSymlinks);
  dialog->setFileMode(folder ? QFileDialog::Directory : QFileDialog::ExistingFile);
  dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Relink"));
  dialog->setWindowModality(Qt::WindowModal);
  if (!name.isEmpty()) dialog->selectFile(name);
  connect(dialog, &QFileDialog::finished, this, [this](int result) { locateFileDidEnd(result); });
  openPanel_ = dialog;
  dialog->open();
}

void PMMissingFilesController::locateFileDidEnd(int returnCode) {
  if (!openPanel_) return;
  const QStringList chosen = openPanel_->selectedFiles();
  if (returnCode != QDialog::Accepted) return;
  const QString path = chosen.value(0);
  if (hasTarget_ && !path.isEmpty()) {
    if (targetedSnap_) {
      if (std::shared_ptr<QKFile> file = targetedFile_.lock())
        relinkFile(file, *targetedSnap_, path);
      else
        Log::line(QStringLiteral("\t\terr: the file to relink went while it was being located"));
    } else if (std::shared_ptr<QKFolder> folder = targetedFolder_.lock()) {
      relink(std::nullopt, folder->fullPath(), path, nullptr);
    }
  }
  clearTarget();
  openPanel_->deleteLater();
  openPanel_ = nullptr;
}

// --- Relinking ------------------------------------------------------------------------

void PMMissingFilesController::relinkFile(const std::shared_ptr<QKFile>& file,
                                          const QVariantMap& snapshot, const QString& newPath) {
  if (!file || newPath.isEmpty()) return;
  relink(snapshot, parentFolder(storedPath(snapshot)), newPath, file.get());
}

void PMMissingFilesController::relink(const std::optional<QVariantMap>& snapshot,
                                      const QString& oldFolder, const QString& newPath,
                                      const QKFile* target) {
  if (snapshot) host_->relinkTheseSnapshots({*snapshot}, {newPath});
  if (autoRelinkButton_->isChecked() && !host_->missingFileArray().empty() &&
      !oldFolder.isEmpty() && QFileInfo::exists(oldFolder))
    relinkSameFolder(oldFolder, newPath, target);
}

// The files stay listed: the loader takes out those it could load.
void PMMissingFilesController::relinkSameFolder(const QString& oldFolder, const QString& newPath,
                                                const QKFile* target) {
  const QString newFolder = QFileInfo(newPath).isDir() ? newPath : parentFolder(newPath);
  const std::vector<std::shared_ptr<QKFile>> files = host_->missingFileArray();
  const QVariantList snaps = host_->missingFileSnapArray();
  std::vector<const QKFile*> noted;
  for (size_t i = 0; i < files.size() && qsizetype(i) < snaps.size(); ++i) {
    if (files[i].get() == target) continue;
    const QVariantMap snapshot = snaps[qsizetype(i)].toMap();
    const QString path = storedPath(snapshot);
    if (path.isEmpty() || parentFolder(path) != oldFolder) continue;
    const QString candidate = newFolder + QLatin1Char('/') + lastComponent(path);
    const QFileInfo info(candidate);
    if (!info.exists() || info.isDir()) continue;
    noted.push_back(files[i].get());
    host_->relinkTheseSnapshots({snapshot}, {candidate});
  }
  std::erase_if(searchQueue_, [&noted](const std::shared_ptr<QKFile>& file) {
    return std::find(noted.begin(), noted.end(), file.get()) != noted.end();
  });
}

// --- The loader's progress ------------------------------------------------------------

void PMMissingFilesController::fileLoaderStartedLoad(const Notification&) {
  if (panel_->isVisible()) showMissingCount(false);
}

void PMMissingFilesController::fileAboutToLoad(const Notification& notification) {
  if (!panel_->isVisible()) return;
  if (!notification.userInfo.isEmpty()) {
    const QString text =
        notification.userInfo.value(MediaNotifications::kLoadingStringKey).toString();
    const QString count =
        notification.userInfo.value(MediaNotifications::kLoadingCountStringKey).toString();
    loadingDescriptionTextField_->setText(text.isEmpty() ? QStringLiteral(" ") : text);
    loadingCountTextField_->setText(count.isEmpty() ? QStringLiteral(" ") : count);
  }
  showMissingCount(false);
}

void PMMissingFilesController::fileLoaderFinishedLoad(const Notification&) {
  loadingDescriptionTextField_->setText(QStringLiteral(" "));
  loadingCountTextField_->setText(QStringLiteral(" "));
  showMissingCount(true);
  update();
}
