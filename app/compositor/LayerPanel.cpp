#include "app/compositor/LayerPanel.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/FXChainPresetPopUpButton.h"
#include "app/compositor/FXChainShortcutTableView.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/compositor/LayerFXShortcuts.h"
#include "app/compositor/LayerSizeController.h"
#include "app/compositor/LayerSourceCompUIController.h"
#include "app/compositor/LayerWindowTabView.h"
#include "app/compositor/QKCollapsibleBox.h"
#include "app/compositor/QKCollapsibleBoxManager.h"
#include "app/effects/LayerChainManager.h"
#include "app/sources/VidSourceObject.h"
#include "framework/controls/QKLocalPresetView.h"
#include "framework/fx/FXChainScrollView.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <atomic>

namespace {

long long nextActivation() {
  static std::atomic<long long> counter{0};
  return ++counter;
}

constexpr double kTopBoxHeight = 128;
constexpr double kBottomBoxHeight = 175;
constexpr int kTabStripHeight = 28;
const QString kTopBox = QStringLiteral("topBox");
const QString kBottomBox = QStringLiteral("bottomBox");
const QString kWindowSnap = QStringLiteral("actualWindowSnap");
enum Column { NameColumn, DetectColumn, ShortcutColumn };

bool byOrder(const Layer* a, const Layer* b) {
  return a->orderedLayerIndex() < b->orderedLayerIndex();
}

}  // namespace

LayerPanel::LayerPanel(Compositor* compositor) : compositor_(compositor) {
  NotificationCenter::defaultCenter().post(LayerChainManager::kFinderNotification,
                                           static_cast<LayerChainManagerClient*>(this));
  buildWindow();
  buildSheet();
  awake_ = true;
  sizePosBox_->toggleExpand();  // starts folded
  layOut();
  auto cancelSheet = [this](const Notification&) {
    if (sheet_ && sheet_->isVisible()) cancelFXChainPresetClicked();
  };
  observers_.observe(QStringLiteral("QKPMRestoreStartNotification"), nullptr, cancelSheet);
  observers_.observe(Layer::kDeleteNotification, nullptr, cancelSheet);
  observers_.observe(LayerChainManager::kPresetUpdateNotification, nullptr,
                     [this](const Notification&) { reloadShortcutTable(); });
  activation_ = nextActivation();
}

LayerPanel::~LayerPanel() {
  prepareToBeDeleted();
  NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCRemoveWindowNotification"),
                                           window_.get());
  // The borrowed views are not ours: out of the window before it goes.
  for (QWidget* widget :
       {effects_.data(), sourceView_.data(), localPresets_.data(), sizeView_.data()})
    if (widget) widget->setParent(nullptr);
}

void LayerPanel::buildWindow() {
  window_ = std::make_unique<QKPaletteWindow>(QRectF(260, 120, 380, 640));
  window_->setContentView(new QKWindowContentView);
  window_->setTitle(QStringLiteral("Layer"));
  window_->setDelegate(this);
  // Set up once the window has its frame, so the frame it records (and every
  // snapshot takes) is the window's own from the start.
  window_->awakeFromNib();
  window_->setMinimumSize(int(kMinWidth), int(kMinHeight));
  window_->contentView()->setMinSize(QSizeF(kMinWidth, kMinHeight));
  window_->installEventFilter(this);
  QWidget* body = window_->contentView()->body();
  // The body is laid out after the window: its resize lays the window out.
  body->installEventFilter(this);
  body->setGeometry(3, 17, window_->width() - 6, window_->height() - 20);
  tabView_ = new LayerWindowTabView(this, compositor_, body);
  const double w = body->width();
  const double h = window_->height();
  topBox_ = new QKCollapsibleBox(QStringLiteral("Source and comp mode"),
                                 QRectF(3, h - 52 - kTopBoxHeight, w, kTopBoxHeight), body);
  sizePosBox_ = new QKCollapsibleBox(QStringLiteral("Size and position"),
                                     QRectF(3, 16, w, kBottomBoxHeight), body);
  sourceComp_ =
      std::make_unique<LayerSourceCompUIController>(this, compositor_, topBox_->contentView());

  fxArea_ = new QWidget(body);
  presetButton_ = new FXChainPresetPopUpButton(fxArea_);
  presetButton_->setToolTip(QStringLiteral("Effect-chain presets"));
  presetButton_->awakeFromNib();
  if (!presetButton_->layerChainManager() && compositor_)
    presetButton_->setLayerChainManager(compositor_->chainManager());
  QObject::connect(presetButton_, &QKNSPopUpButton::activated, this,
                   [this](QAction*) { loadPresetMenuUsed(); });
  setupButton_ = new QPushButton(QStringLiteral("Presets…"), fxArea_);
  QObject::connect(setupButton_, &QPushButton::clicked, this,
                   [this] { createFXChainPresetClicked(); });
  // The source's panel heads the column, the layer's chain view under it.
  scroll_ = new FXChainScrollView(fxArea_);
  scroll_->setWidgetResizable(true);
  scrollDocument_ = new QWidget;
  scrollDocument_->setAutoFillBackground(false);
  auto* column = new QVBoxLayout(scrollDocument_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addStretch(1);
  scroll_->setWidget(scrollDocument_);
  scrollDocument_->setAutoFillBackground(false);  // setWidget turned it on

  boxManager_ = std::make_unique<QKCollapsibleBoxManager>();
  boxManager_->setTopBox(topBox_);
  boxManager_->setBottomBox(sizePosBox_);
  boxManager_->setWindowHeight([this] { return double(window_->height()); });
  boxManager_->setWindowCollapsed([this] { return window_->contentView()->collapsed(); });
  boxManager_->setHolder([this] { return holderFrame(); },
                         [this](const QRectF& frame) { setHolderFrame(frame); });
  boxManager_->setResizeChain([this] { resizeChain(); });
  topBox_->setManager(boxManager_.get());
  sizePosBox_->setManager(boxManager_.get());
}

void LayerPanel::buildSheet() {
  sheet_ = new QDialog(window_.get(), Qt::Sheet);
  sheet_->setWindowTitle(QStringLiteral("Effect-chain presets"));
  sheet_->setWindowModality(Qt::WindowModal);
  sheet_->resize(360, 300);
  auto* name = new QLabel(QStringLiteral("Name"), sheet_);
  name->setGeometry(8, 10, 44, 20);
  nameField_ = new QLineEdit(sheet_);
  nameField_->setGeometry(52, 8, 180, 22);
  namePicker_ = new QKNSPopUpButton(sheet_);
  namePicker_->setGeometry(238, 9, 114, 20);
  QObject::connect(namePicker_, &QKNSPopUpButton::activated, this,
                   [this](QAction*) { savePresetNamePickerMenuUsed(); });
  shortcutTable_ = new FXChainShortcutTableView(sheet_);
  shortcutModel_ = new QStandardItemModel(0, 3, shortcutTable_);
  shortcutModel_->setHorizontalHeaderLabels(
      {QStringLiteral("Preset"), QStringLiteral("Detect"), QStringLiteral("Shortcut")});
  shortcutTable_->setModel(shortcutModel_);
  shortcutTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  shortcutTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  shortcutTable_->setSelectionMode(QAbstractItemView::SingleSelection);
  shortcutTable_->horizontalHeader()->setStretchLastSection(true);
  shortcutTable_->verticalHeader()->hide();
  shortcutTable_->setColumnWidth(NameColumn, 120);
  shortcutTable_->setColumnWidth(DetectColumn, 76);
  shortcutTable_->setDeleteDelegate(this);
  shortcutTable_->setGeometry(8, 38, 344, 214);
  auto button = [this](const QString& title, int x, void (LayerPanel::*used)()) {
    auto* made = new QPushButton(title, sheet_);
    made->setGeometry(x, 262, 80, 26);
    QObject::connect(made, &QPushButton::clicked, this, [this, used] { (this->*used)(); });
    return made;
  };
  saveButton_ = button(QStringLiteral("Save"), 8, &LayerPanel::saveFXChainPresetClicked);
  deleteButton_ = button(QStringLiteral("Delete"), 94, &LayerPanel::deleteFXChainPresetClicked);
  deleteAllButton_ =
      button(QStringLiteral("Delete All"), 180, &LayerPanel::deleteAllFXChainPresetsClicked);
  closeButton_ = button(QStringLiteral("Close"), 272, &LayerPanel::cancelFXChainPresetClicked);
  QObject::connect(nameField_, &QLineEdit::returnPressed, this,
                   [this] { saveFXChainPresetClicked(); });
  QObject::connect(sheet_, &QDialog::rejected, this, [this] { sheetClosed(); });
}

// --- Layout --------------------------------------------------------------------------------------

// The holder's frame in the window, y upward.
QRectF LayerPanel::holderFrame() const {
  const QRect g = fxArea_->geometry();
  const QPoint inWindow = fxArea_->parentWidget()->mapTo(window_.get(), g.topLeft());
  return QRectF(inWindow.x(), window_->height() - inWindow.y() - g.height(), g.width(), g.height());
}

void LayerPanel::setHolderFrame(const QRectF& frame) {
  const QPoint inWindow(qRound(frame.x()), qRound(window_->height() - frame.y() - frame.height()));
  const QPoint inParent = fxArea_->parentWidget()->mapFrom(window_.get(), inWindow);
  fxArea_->setGeometry(
      QRect(inParent, QSize(qRound(frame.width()), std::max(0, int(qRound(frame.height()))))));
  const int w = fxArea_->width();
  presetButton_->setGeometry(0, 0, std::max(40, w - 90), 18);
  setupButton_->setGeometry(w - 86, 0, 86, 18);
  if (localPresets_) localPresets_->setGeometry(0, 18, w, 15);
  scroll_->setGeometry(0, 35, w, std::max(0, fxArea_->height() - 35));
}

void LayerPanel::layOut() {
  if (deleted_) return;
  QWidget* body = window_->contentView()->body();
  const double w = body->width();
  tabView_->setGeometry(0, 3, int(w), kTabStripHeight);
  const QPoint bodyInWindow = body->mapTo(window_.get(), QPoint(0, 0));
  for (QKCollapsibleBox* box : {topBox_, sizePosBox_}) {
    box->setFrame(QRectF(bodyInWindow.x(), box->frame().y(), w, box->frame().height()));
  }
  QRectF holder = holderFrame();
  holder.setX(bodyInWindow.x());
  holder.setWidth(w);
  setHolderFrame(holder);
  sourceComp_->layOut();
  if (sizeView_) {
    const QWidget* content = sizePosBox_->contentView();
    sizeView_->setGeometry(0, 0, content->width(), content->height());
  }
  boxManager_->update();
}

void LayerPanel::resizeChain() {
  if (!shown_ || deleted_) return;
  if (LayerChainInterface* chain = shown_->fxChain()) chain->resizeChain();
  scrollDocument_->updateGeometry();
}

bool LayerPanel::eventFilter(QObject* watched, QEvent* event) {
  // The window's own teardown sends events after the controller let go.
  if (deleted_) return QObject::eventFilter(watched, event);
  if (watched == window_.get() && event->type() == QEvent::WindowActivate)
    activation_ = nextActivation();
  if (watched == window_->contentView()->body()) {
    if (event->type() == QEvent::Resize && awake_ && !deleted_) {
      layOut();
      reloadTabRects();
      resizeChain();
    }
  }
  return QObject::eventFilter(watched, event);
}

void LayerPanel::QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) {
  if (view && !view->collapsed()) boxManager_->update();
}

// --- Layers in the window ------------------------------------------------------------------------

void LayerPanel::sortLayers() { std::stable_sort(layers_.begin(), layers_.end(), byOrder); }

void LayerPanel::addLayerToWindow(Layer* layer, bool propagate) {
  if (!layer || deleted_) return;
  if (propagate && layer->groupFlag() && !layer->parentWindow()) {
    layer->addToThisWindow(this);
  } else {
    if (std::find(layers_.begin(), layers_.end(), layer) == layers_.end()) layers_.push_back(layer);
    layer->setParentWindow(this);
    // A group brings the members that have no window yet.
    for (const auto& member : layer->layerArray())
      if (!member->parentWindow()) member->addToThisWindow(this);
  }
  sortLayers();
  reloadTabRects();
  displayLayer(layer);
}

void LayerPanel::removeLayerFromWindow(Layer* layer, bool propagate) {
  (void)propagate;  // a layer leaves with its members in this window
  if (!layer || deleted_ || layer->parentWindow() != this) return;
  const auto it = std::find(layers_.begin(), layers_.end(), layer);
  const int index = int(it - layers_.begin());
  const bool wasShown = layer == shown_ || layer->containsThisLayer(shown_);
  if (wasShown) handBack();
  layer->removeFromParentWindow();
  layers_.erase(std::remove(layers_.begin(), layers_.end(), layer), layers_.end());
  reloadTabRects();
  if (layers_.empty()) {
    windowLeftEmpty();
    return;
  }
  sortLayers();
  // Only the shown layer's leaving moves the display: to the tab before it.
  if (wasShown)
    displayLayer(layers_[std::size_t(std::clamp(index - 1, 0, int(layers_.size()) - 1))]);
  else
    displayLayer(shown_);
}

void LayerPanel::deleteThisLayer(Layer* layer) {
  if (!layer || deleted_) return;
  const bool wasShown = layer == shown_ || layer->containsThisLayer(shown_);
  const auto it = std::find(layers_.begin(), layers_.end(), layer);
  const int index = it == layers_.end() ? 0 : int(it - layers_.begin());
  if (wasShown) handBack();
  layer->removeFromParentWindow();
  layers_.erase(std::remove(layers_.begin(), layers_.end(), layer), layers_.end());
  compositor_->deleteThisLayer(layer);
  reloadTabRects();
  if (layers_.empty()) {
    windowLeftEmpty();
    return;
  }
  // A hidden tab's deletion keeps the shown layer.
  if (wasShown)
    displayLayer(layers_[std::size_t(std::min(index, int(layers_.size()) - 1))]);
  else
    tabView_->update();
}

// Closed at once; the compositor destroys the window from the event loop
// (the caller may be this window's own code).
void LayerPanel::windowLeftEmpty() {
  window_->hide();
  compositor_->deleteThisWindow(this);
}

void LayerPanel::sortMyTabs() {
  sortLayers();
  reloadTabRects();
}

void LayerPanel::layerDeleted(Layer* layer) {
  if (layer == shown_) handBack();
}

void LayerPanel::prepareToBeDeleted() {
  if (deleted_) return;
  handBack();
  deleted_ = true;
  observers_.clear();
  if (sheet_) sheet_->hide();
  sourceComp_->prepareToBeDeleted();
  presetButton_->prepareToBeDeleted();
  for (Layer* layer : std::vector<Layer*>(layers_))
    if (layer->parentWindow() == this) layer->setParentWindow(nullptr);
  layers_.clear();
  window_->hide();
  window_->prepareToBeDeleted();
}

bool LayerPanel::isVisible() const { return window_->isVisible(); }

QRectF LayerPanel::screenFrame() const { return QRectF(window_->frameGeometry()); }

QWidget* LayerPanel::fxScrollView() { return scroll_; }

// --- Showing a layer -----------------------------------------------------------------------------

// The borrowed controls go back to their layer.
void LayerPanel::handBack() {
  if (!shown_) return;
  QWidget* holder = shown_->controlHolder();
  for (QPointer<QWidget>* borrowed : {&sourceView_, &localPresets_, &sizeView_}) {
    if (!*borrowed) continue;
    (*borrowed)->hide();
    (*borrowed)->setParent(holder);
    *borrowed = nullptr;
  }
  if (effects_) {
    effects_->hide();
    effects_->setParent(nullptr);
    effects_ = nullptr;
  }
  if (LayerChainInterface* chain = shown_->fxChain()) chain->setParentScrollView(nullptr);
  sourceComp_->handBackOpacityControls();
  shown_->cancelDetect();
  shown_ = nullptr;
}

void LayerPanel::displayLayer(Layer* layer) {
  if (deleted_) return;
  if (layer && layer->deleted()) return;
  if (layer != shown_) {
    handBack();
    shown_ = layer;
  }
  window_->setTitle(shown_ ? shown_->layerName() : QStringLiteral("Layer"));
  if (!shown_) {
    tabView_->update();
    return;
  }
  auto* column = static_cast<QVBoxLayout*>(scrollDocument_->layout());
  if (LayerChainInterface* chain = shown_->fxChain(); chain && chain->effectsView() && !effects_) {
    chain->setParentScrollView(scroll_);
    effects_ = chain->effectsView();
    effects_->setParent(scrollDocument_);
    column->insertWidget(column->count() - 1, effects_);
    effects_->show();
  }
  showSourceView();
  if (QKLocalPresetView* presets = shown_->localPresetView(); presets && !localPresets_) {
    localPresets_ = presets;
    presets->setParent(fxArea_);
    presets->setGeometry(0, 18, fxArea_->width(), 15);
    presets->show();
  }
  if (LayerSizeController* size = shown_->layerSizeController();
      size && size->view() && !sizeView_) {
    sizeView_ = size->view();
    QWidget* content = sizePosBox_->contentView();
    sizeView_->setParent(content);
    sizeView_->setGeometry(0, 0, content->width(), int(sizePosBox_->expandedSize().height()) - 15);
    sizeView_->show();
  }
  sourceComp_->update();
  reloadShortcutTable();
  resizeChain();
  tabView_->selectThisLayerInClosestControls(shown_);
  tabView_->update();
}

// The current source's panel heads the scroll view, above the effects.
void LayerPanel::showSourceView() {
  VidSourceObject* current = shown_ ? shown_->currentSource() : nullptr;
  QWidget* view = current ? current->view() : nullptr;
  if (view == sourceView_) return;
  if (sourceView_) {
    sourceView_->hide();
    sourceView_->setParent(shown_ ? shown_->controlHolder() : nullptr);
  }
  sourceView_ = view;
  if (!view) return;
  view->setParent(scrollDocument_);
  view->setMinimumHeight(view->height());
  static_cast<QVBoxLayout*>(scrollDocument_->layout())->insertWidget(0, view);
  view->show();
}

void LayerPanel::showLayer(Layer* layer) {
  if (deleted_ || !layer || layer->deleted()) return;
  displayLayer(layer);
  showWindow();
}

void LayerPanel::showWindow() {
  if (deleted_) return;
  if (!shown_ && !layers_.empty()) displayLayer(layers_.front());
  const bool wasVisible = window_->isVisible();
  window_->show();
  window_->raise();
  if (!wasVisible)
    NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCAddLayerWindowNotification"),
                                             window_.get());
  activation_ = nextActivation();
}

void LayerPanel::reloadTabRects() {
  if (deleted_) return;
  tabView_->reloadTabRects();
  if (shown_) window_->setTitle(shown_->layerName());
}

void LayerPanel::updateSourceCompUI() {
  if (!shown_ || deleted_) return;
  showSourceView();
  sourceComp_->update();
}

// --- Forwarding ----------------------------------------------------------------------------------

bool LayerPanel::useTapNamed(const QString& name) {
  if (name.isNull() || !shown_) return false;
  return shown_->useTapNamed(name);
}

QKNSPopUpButton* LayerPanel::sourcePopUp() const { return sourceComp_->sourceTypePopButton(); }

QKNSPopUpButton* LayerPanel::compModePopUp() const { return sourceComp_->compModePopButton(); }

LayerWinRTapMenuController* LayerPanel::tapMenuController() const {
  return sourceComp_->rTapMenuController();
}

// --- Snapshots -----------------------------------------------------------------------------------

QVariantMap LayerPanel::createSnapshot() const {
  QStringList names;
  for (const Layer* layer : layers_) {
    if (layer->layerName().isEmpty()) {
      Log::line(QStringLiteral("\t\terror while creating snapshot- layerName is nil"));
      continue;
    }
    names << layer->layerName();
  }
  QVariantMap snapshot{{QStringLiteral("layerArray"), names}};
  if (shown_ && !shown_->layerName().isEmpty())
    snapshot.insert(QStringLiteral("currentlyDisplayedName"), shown_->layerName());
  else
    Log::line(QStringLiteral("\t\terror while creating snap- layerName is nil"));
  const QVariantMap window = window_->contentView()->createSnapshot();
  if (!window.isEmpty()) snapshot.insert(kWindowSnap, window);
  snapshot.insert(kTopBox, topBox_->createSnapshot());
  snapshot.insert(kBottomBox, sizePosBox_->createSnapshot());
  return snapshot;
}

void LayerPanel::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_) return;
  if (snapshot.value(kWindowSnap).typeId() == QMetaType::QVariantMap)
    window_->contentView()->loadSnapshot(snapshot.value(kWindowSnap).toMap());
  if (snapshot.value(kTopBox).typeId() == QMetaType::QVariantMap)
    topBox_->loadSnapshot(snapshot.value(kTopBox).toMap());
  if (snapshot.value(kBottomBox).typeId() == QMetaType::QVariantMap)
    sizePosBox_->loadSnapshot(snapshot.value(kBottomBox).toMap());
  if (!window_->contentView()->collapsed()) boxManager_->update();
}

// --- Chain presets -------------------------------------------------------------------------------

LayerChainManager* LayerPanel::manager() const {
  if (compositor_ && compositor_->chainManager()) return compositor_->chainManager();
  return chainManager_;
}

void LayerPanel::fxChainPresetApplied(Layer* layer, const QString& name) {
  if (layer != shown_ || deleted_) return;
  presetButton_->setLastSelectedChainName(name);
  presetButton_->selectItemWithTitle(name);
}

void LayerPanel::reloadPresetShortcuts() { reloadShortcutTable(); }

// Frames skip while the chain takes the preset.
void LayerPanel::loadPresetMenuUsed() {
  LayerChainManager* chains = manager();
  if (!shown_ || !chains || deleted_) return;
  const QString title = presetButton_->titleOfSelectedItem();
  const QVariantMap preset = chains->findPresetNamed(title);
  if (preset.isEmpty()) return;
  const QString name = LayerChainManager::presetName(preset);
  {
    RestoreGate::Scope restoring(compositor_->restoreGate());
    shown_->useFXChainPresetNamed(title);
  }
  if (!name.isEmpty()) {
    presetButton_->setLastSelectedChainName(name);
    nameField_->setText(name);
  }
}

void LayerPanel::savePresetNamePickerMenuUsed() {
  nameField_->setText(namePicker_->titleOfSelectedItem());
}

void LayerPanel::createFXChainPresetClicked() {
  if (deleted_) return;
  reloadShortcutTable();
  sheet_->open();
}

void LayerPanel::saveFXChainPresetClicked() {
  LayerChainManager* chains = manager();
  const QString name = nameField_->text().trimmed();
  if (name.isEmpty() || !chains || !shown_ || !shown_->fxChain()) return;
  presetButton_->setLastSelectedChainName(name);
  chains->savePreset(name, shown_->fxChain()->createSnapshot());
  presetButton_->selectItemWithTitle(name);
  sheet_->hide();
}

void LayerPanel::deleteFXChainPresetClicked() {
  LayerChainManager* chains = manager();
  const QString name = nameField_->text().trimmed();
  if (name.isEmpty() || !chains) return;
  if (!chains->deletePreset(name))
    Log::line(QStringLiteral("\t\terror deleting preset named %1").arg(name));
}

void LayerPanel::deleteAllFXChainPresetsClicked() {
  LayerChainManager* chains = manager();
  if (!chains) return;
  if (!chains->deleteAllPresets())
    Log::line(QStringLiteral("\t\terror deleting all presets"));
  else
    chains->reloadPresetMenu();
}

void LayerPanel::cancelFXChainPresetClicked() {
  if (shown_) shown_->cancelDetect();
  sheet_->hide();
  reloadShortcutTable();
}

void LayerPanel::sheetClosed() {
  if (shown_) shown_->cancelDetect();
}

int LayerPanel::numberOfRows() const {
  const LayerChainManager* chains = manager();
  return chains ? int(chains->fxChainPresetMenu().size()) : 0;
}

void LayerPanel::detectUsedOnRow(int row) {
  const LayerChainManager* chains = manager();
  if (!shown_ || !chains || deleted_) return;
  const QString name = chains->fxChainPresetMenu().value(row);
  if (name.isEmpty()) return;
  shown_->startDetectForFXChainShortcutNamed(name);
  reloadShortcutTable();
}

void LayerPanel::deleteKeyPressed() {
  LayerChainManager* chains = manager();
  if (!shown_ || !chains) return;
  const QModelIndexList rows = shortcutTable_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  const QString name = chains->fxChainPresetMenu().value(rows.front().row());
  if (name.isEmpty()) return;
  Layer* layer = shown_;
  chains->deletePreset(name);
  reloadShortcutTable();
  layer->clearShortcutForFXChainNamed(name);
}

void LayerPanel::reloadShortcutTable() {
  if (deleted_ || !shortcutModel_) return;
  const LayerChainManager* chains = manager();
  const QStringList names = chains ? chains->fxChainPresetMenu() : QStringList();
  shortcutModel_->setRowCount(0);
  shortcutModel_->setRowCount(int(names.size()));
  namePicker_->removeAllItems();
  const bool live = shown_ && !shown_->deleted();
  for (int row = 0; row < names.size(); ++row) {
    const QString& name = names[row];
    namePicker_->addItemWithTitle(name);
    const QString shortcut = live ? shown_->shortcutStringForFXChainPresetNamed(name) : QString();
    const bool learning = live && shown_->fxShortcuts().nameBeingDetected() == name;
    shortcutModel_->setItem(row, NameColumn, new QStandardItem(name));
    shortcutModel_->setItem(row, ShortcutColumn,
                            new QStandardItem(learning ? QStringLiteral("…") : shortcut));
    auto* learn = new QPushButton(learning            ? QStringLiteral("Learning")
                                  : shortcut.isNull() ? QStringLiteral("Learn")
                                                      : QStringLiteral("Clear"));
    learn->setObjectName(name);
    learn->setEnabled(live);
    QObject::connect(learn, &QPushButton::clicked, this, [this, row] { detectUsedOnRow(row); });
    shortcutTable_->setIndexWidget(shortcutModel_->index(row, DetectColumn), learn);
  }
}

QPushButton* LayerPanel::learnButton(const QString& name) const {
  for (int row = 0; row < shortcutModel_->rowCount(); ++row)
    if (auto* button = qobject_cast<QPushButton*>(
            shortcutTable_->indexWidget(shortcutModel_->index(row, DetectColumn)));
        button && button->objectName() == name)
      return button;
  return nullptr;
}
