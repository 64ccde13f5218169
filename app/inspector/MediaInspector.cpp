#include "app/inspector/MediaInspector.h"

#include "app/inspector/MIPane.h"
#include "app/inspector/MediaInspectorHost.h"
#include "app/inspector/QKMIMoviePropertiesController.h"
#include "app/inspector/QKMIQuartzComposerController.h"
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/QKMITapFileViewController.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "app/inspector/QKMIURLFileViewController.h"
#include "app/mediabin/MBFileGridView.h"
#include "framework/controls/QKButton.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKPageController.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/WorkerPool.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <thread>

const QString MediaInspector::kPaletteTitle = QStringLiteral("Media Inspector");

namespace {
const QString kVisiblePagesChanged = QStringLiteral("QKMBVisiblePagesChangedNotification");
}

const void* MIEntry::identity() const {
  return file ? static_cast<const void*>(file.get()) : static_cast<const void*>(folder.get());
}

MediaInspector::MediaInspector(MediaInspectorHost* host) : host_(host) { buildPalette(); }

MediaInspector::~MediaInspector() {
  observers_.clear();
  // The panes' widgets live in the window; the controllers go first.
  if (timeWarpView_) timeWarpView_->prepareToBeDeleted();
  if (rangeSelector_) rangeSelector_->prepareToBeDeleted();
  for (QKButton* button : {cancelButton_, applyButton_}) button->prepareToBeDeleted();
  delete qcController_;
  delete movieProps_;
  tapFileController_->prepareToBeDeleted();
  tapFileController_.reset();
  urlFileController_.reset();
  if (window_) window_->prepareToBeDeleted();
}

// --- Window ------------------------------------------------------------------------------------

void MediaInspector::buildPalette() {
  // The first frame is also the smallest a resize gives: the size at which a
  // movie's whole pane shows.
  window_ = std::make_unique<QKPaletteWindow>(QRectF(0, 0, 260, 600));
  auto* content = new QKWindowContentView;
  window_->setContentView(content);
  window_->setTitle(kPaletteTitle);
  window_->setDelegate(this);

  fileNameTextField_ = new QLabel;
  editableTextField_ = new QLineEdit;
  cancelButton_ = new QKButton;
  applyButton_ = new QKButton;
  cancelButton_->setTitle(QStringLiteral("Cancel"));
  applyButton_->setTitle(QStringLiteral("Apply"));
  const std::weak_ptr<const void> target = alive_;
  for (QKButton* button : {cancelButton_, applyButton_}) {
    button->setTriggerOnMain(true);
    button->setTarget(target);
    button->setFixedSize(44, 16);
  }
  const std::weak_ptr<int> alive = alive_;
  applyButton_->setAction([this, alive](QKButtonCell&) {
    MainThread::run([this, alive] {
      if (alive.lock()) applyChanges();
    });
  });
  cancelButton_->setAction([this, alive](QKButtonCell&) {
    MainThread::run([this, alive] {
      if (alive.lock()) cancelAndReload();
    });
  });

  movieProps_ = new QKMIMoviePropertiesController(this, WorkerPool::shared());
  rangeSelector_ = std::make_unique<QKMIRangeSelectorController>(this);
  timeWarpView_ = new QKMITimeWarpView(this, rangeSelector_.get());
  rangeSelector_->setTimeWarpView(timeWarpView_);
  movieProps_->setRangeController(rangeSelector_.get());
  movieProps_->setTimeWarpView(timeWarpView_);
  qcController_ = new QKMIQuartzComposerController(this, movieProps_->textStylePopUpButton(),
                                                   movieProps_->qtzOptionsView());
  movieProps_->setCompositionPane(qcController_);
  panes_.composition = qcController_;
  panes_.movieProperties = movieProps_;
  panes_.rangeSelector = rangeSelector_.get();
  panes_.timeWarp = timeWarpView_;
  tapFileController_ = std::make_unique<QKMITapFileViewController>(this);
  urlFileController_ = std::make_unique<QKMIURLFileViewController>(this);
  panes_.tap = tapFileController_.get();
  panes_.web = urlFileController_.get();

  mediaTypeBox_ = new QStackedWidget;
  auto addContainer = [this](Box box, QWidget* view) {
    containers_.insert(box, view);
    mediaTypeBox_->addWidget(view);
  };
  auto* empty = new QLabel(QStringLiteral("Select files in a media bin to inspect them."));
  empty->setAlignment(Qt::AlignCenter);
  addContainer(Box::Empty, empty);
  auto* multiple = new QLabel(QStringLiteral("Files of several kinds are selected."));
  multiple->setAlignment(Qt::AlignCenter);
  addContainer(Box::Multiple, multiple);

  auto* movieContainer = new QWidget;
  auto* movieColumn = new QVBoxLayout(movieContainer);
  movieColumn->setContentsMargins(0, 0, 0, 0);
  movieColumn->addWidget(rangeSelector_->view(), 1);
  movieOptionsTabView_ = new QTabWidget;
  // The tabs ask for all the options' room; only the whole pane scrolls,
  // and only in a palette made smaller than its first size.
  movieOptionsTabView_->addTab(movieProps_->movieOptionsView(), QStringLiteral("Options"));
  movieOptionsTabView_->addTab(timeWarpView_->editorView(), QStringLiteral("Time Warp"));
  movieColumn->addWidget(movieOptionsTabView_, 1);
  addContainer(Box::Movie, movieContainer);
  addContainer(Box::Composition, qcController_->view());
  addContainer(Box::Web, urlFileController_->view());
  addContainer(Box::Tap, tapFileController_->view());

  // A compact face: the palette column is 260 points wide.
  QFont small = content->body()->font();
  small.setPixelSize(10);
  content->body()->setFont(small);
  QPalette colors = content->body()->palette();
  colors.setColor(QPalette::WindowText, QColor(225, 225, 225));
  colors.setColor(QPalette::Window, QColor(62, 62, 62));
  colors.setColor(QPalette::Button, QColor(80, 80, 80));
  colors.setColor(QPalette::ButtonText, QColor(225, 225, 225));
  content->body()->setPalette(colors);
  auto* column = new QVBoxLayout(content->body());
  column->setContentsMargins(4, 2, 4, 4);
  column->setSpacing(2);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(fileNameTextField_, 1);
  nameRow->addWidget(editableTextField_, 1);
  nameRow->addWidget(cancelButton_);
  nameRow->addWidget(applyButton_);
  column->addLayout(nameRow);
  // Below its natural height the pane scrolls rather than overlaps.
  auto* scroller = new QScrollArea;
  scroller->setWidget(mediaTypeBox_);
  scroller->setWidgetResizable(true);
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->viewport()->setAutoFillBackground(false);
  for (QWidget* w : {static_cast<QWidget*>(scroller), static_cast<QWidget*>(mediaTypeBox_)})
    w->setPalette(colors);
  column->addWidget(scroller, 1);
  setNameFields({});
}

void MediaInspector::awakeFromNib() {
  window_->awakeFromNib();
  qcController_->awakeFromNib();
  window_->show();
  tapFileController_->awakeFromNib();
  observers_.observe(kVisiblePagesChanged, nullptr,
                     [this](const Notification& n) { pageSelectionChanged(n); });
  observers_.observe(MediaNotifications::kFileFolderDeleted, nullptr,
                     [this, alive = std::weak_ptr<int>(alive_)](const Notification& n) {
                       const void* object = n.object;
                       MainThread::run([this, alive, object] {
                         if (alive.lock()) fileFolderDeleted(object);
                       });
                     });
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
  cancelButton_->hide();
  applyButton_->hide();
  movieOptionsTabView_->setCurrentIndex(0);
  showBox(Box::Empty);
}

bool MediaInspector::collapsed() const {
  return window_->contentView() && window_->contentView()->collapsed();
}

// --- Selection -----------------------------------------------------------------------------------

const std::vector<MIEntry>& MediaInspector::currentlyInspectedArray() const {
  static const std::vector<MIEntry> none;
  return selection_ ? *selection_ : none;
}

std::vector<std::shared_ptr<QKFile>> MediaInspector::inspectedFiles() const {
  std::vector<std::shared_ptr<QKFile>> files;
  for (const MIEntry& entry : currentlyInspectedArray())
    if (entry.file) files.push_back(entry.file);
  return files;
}

QString MediaInspector::pendingKey(const QKFile& file) {
  return QString::asprintf("%d", int(file.uniqueFileId()));
}

QVariantMap* MediaInspector::pendingPropsFor(const QKFile& file) {
  auto it = pending_.find(pendingKey(file));
  return it == pending_.end() ? nullptr : &it.value();
}

void MediaInspector::selectTheseFiles(const std::vector<MIEntry>& entries) {
  if (!(selection_ && *selection_ == entries)) {
    applyChanges();
    for (MIPane* pane : {panes_.composition, panes_.rangeSelector, panes_.timeWarp})
      if (pane) pane->readFile(nullptr);
    pending_.clear();
    counts_ = {};
    selection_ = entries;
    for (const MIEntry& entry : entries) countEntry(entry);
    for (MIPane* pane : {panes_.movieProperties, panes_.web})
      if (pane) pane->updateSelection();
    showChoice(MIPaneChoice::choose(counts_, int(entries.size())));
  }
  updateApplyButtons();
}

void MediaInspector::countEntry(const MIEntry& entry) {
  if (entry.file) {
    if (entry.file->hasMovieProps())
      pending_.insert(pendingKey(*entry.file), entry.file->movieProps());
    switch (entry.file->qkFileType()) {
      case QKFile::kMovieKind:
        ++counts_.movies;
        break;
      case QKFile::kCompositionKind:
        ++counts_.compositions;
        break;
      case QKFile::kTapKind:
        ++counts_.taps;
        break;
      case QKFile::kTextKind:
        ++counts_.texts;
        break;
      case QKFile::kWebKind:
        ++counts_.webs;
        break;
      case QKFile::kImageKind:
        ++counts_.images;
        break;
      default:
        break;
    }
  } else if (entry.folder) {
    ++counts_.folders;
  }
}

void MediaInspector::showChoice(const MIPaneChoice& choice) {
  const std::vector<MIEntry>& entries = *selection_;
  const bool single = entries.size() == 1;
  fileNameTextField_->setVisible(!single);
  editableTextField_->setVisible(single);
  const std::shared_ptr<QKFile> first = entries.empty() ? nullptr : entries.front().file;
  setNameFields(choice.title.isEmpty() && first ? first->name() : choice.title);
  switch (choice.kind) {
    case MIPaneChoice::Kind::Composition:
      if (single && panes_.composition) panes_.composition->readFile(first);
      break;
    case MIPaneChoice::Kind::Text:
    case MIPaneChoice::Kind::Image:
      if (first && panes_.composition) panes_.composition->readFile(first);
      break;
    case MIPaneChoice::Kind::Movie:
      if (single) {
        if (rangeSelector_) rangeSelector_->pausePreview();
        if (!collapsed()) readMovie(first);
      } else {
        movieOptionsTabView_->setCurrentIndex(0);
      }
      break;
    case MIPaneChoice::Kind::Web:
      if (panes_.web) panes_.web->updateSelection();
      break;
    case MIPaneChoice::Kind::Tap:
      if (panes_.tap) panes_.tap->updateSelection();
      break;
    default:
      break;
  }
  showBox(choice.box);
}

void MediaInspector::readMovie(const std::shared_ptr<QKFile>& file) {
  if (panes_.rangeSelector) panes_.rangeSelector->readFile(file);
  if (panes_.timeWarp) panes_.timeWarp->readFile(file);
}

void MediaInspector::setNameFields(const QString& text) {
  fileNameTextField_->setText(text);
  editableTextField_->setText(text);
}

void MediaInspector::showBox(Box box) {
  shownBox_ = box;
  QWidget* view = containers_.value(box);
  if (!view) return;
  // A stack is as tall as its tallest page; only the shown pane counts, so
  // a short pane does not scroll.
  for (int i = 0; i < mediaTypeBox_->count(); ++i) {
    QWidget* page = mediaTypeBox_->widget(i);
    page->setSizePolicy(page == view ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                        page == view ? QSizePolicy::Preferred : QSizePolicy::Ignored);
  }
  mediaTypeBox_->setCurrentWidget(view);
  mediaTypeBox_->updateGeometry();
}

void MediaInspector::updateApplyButtons() {
  if (!selection_) return;
  const bool show = !selection_->empty() && counts_.folders == 0;
  cancelButton_->setVisible(show);
  applyButton_->setVisible(show);
}

QString MediaInspector::nameText() const {
  return editableTextField_->isVisibleTo(window_.get()) ? editableTextField_->text()
                                                        : fileNameTextField_->text();
}

bool MediaInspector::nameEditable() const { return !editableTextField_->isHidden(); }

bool MediaInspector::applyButtonsVisible() const { return !applyButton_->isHidden(); }

// --- Apply and cancel ----------------------------------------------------------------------------

void MediaInspector::applyChanges() {
  while (!threadLock_.try_lock()) std::this_thread::yield();
  for (MIPane* pane : {panes_.tap, panes_.composition, panes_.web, panes_.movieProperties})
    if (pane) pane->storeParamsForSelectedFiles();
  const QString typed = editableTextField_->text();
  if (selection_ && selection_->size() == 1 && !typed.isEmpty() && selection_->front().file &&
      typed != selection_->front().file->name())
    selection_->front().file->setName(typed);
  threadLock_.unlock();
}

void MediaInspector::cancelAndReload() {
  if (!selection_) return;
  const std::vector<MIEntry> copy = *selection_;
  selection_->clear();
  pending_.clear();
  selectTheseFiles(copy);
}

void MediaInspector::draw() {
  if (!threadLock_.try_lock()) return;
  if (shownBox_.load(std::memory_order_relaxed) == Box::Composition && panes_.composition)
    panes_.composition->draw();
  threadLock_.unlock();
}

// --- Notifications -------------------------------------------------------------------------------

void MediaInspector::pageSelectionChanged(const Notification& notification) {
  if (notification.userInfo.value(QStringLiteral("Reason")).toString() !=
      QLatin1String("SelectedFilesChanged"))
    return;
  const MBFileGridView* grid = MBFileGridView::gridForPoster(notification.object);
  if (!grid) return;
  selectFileIds(grid->selectedIdsArray());
}

void MediaInspector::selectFileIds(const std::vector<long>& ids) {
  QKPageController* pages = host_ ? host_->pageController() : nullptr;
  std::vector<MIEntry> entries;
  for (long id : ids)
    if (auto file = pages ? pages->fileForUniqueId(id) : nullptr) entries.push_back({file, {}});
  selectTheseFiles(entries);
}

void MediaInspector::fileFolderDeleted(const void* object) {
  if (!selection_ || !object) return;
  bool inspected = false;
  for (const MIEntry& entry : *selection_) inspected = inspected || entry.identity() == object;
  if (!inspected) return;
  pending_.clear();
  selectTheseFiles({});
}

void MediaInspector::QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) {
  if (!selection_ || counts_.movies != 1 || selection_->size() != 1) return;
  const std::shared_ptr<QKFile> file = selection_->front().file;
  if (!file || file->qkFileType() != QKFile::kMovieKind) return;
  if (panes_.rangeSelector && panes_.rangeSelector->currentFile() == file) return;
  if (rangeSelector_) rangeSelector_->pausePreview();
  setNameFields(file->name());
  if (view && !view->collapsed()) readMovie(file);
}
