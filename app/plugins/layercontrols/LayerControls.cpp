#include "app/plugins/layercontrols/LayerControls.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/sources/ImageSource.h"
#include "app/sources/QCSource.h"
#include "app/sources/VidSourceObject.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/taps/QKRTapLayerMenuController.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QAction>
#include <QChildEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QVBoxLayout>

const QString LayerControls::kTypeName = QStringLiteral("LayerControls");
const QSizeF LayerControls::kMinimumSize(200, 120);

namespace {

const QString kLayerMenuController = QStringLiteral("layerMenuController");
const QString kEjectButton = QStringLiteral("ejectButton");
const QString kUseMostRecentLayerButton = QStringLiteral("useMostRecentLayerButton");
const QString kFollowLayerTabsButton = QStringLiteral("followLayerTabsButton");
const QString kNewFile = QStringLiteral("newFile");
const QString kOldFile = QStringLiteral("oldFile");
const QString kNoFontSynths =
    QStringLiteral("There are no valid QTZ text sources in the fontsynths folder");

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

const QString kWhite = QStringLiteral("color: white; font-size: 11px");

QKButton* makeButton(const QString& title, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(0);
  button->setFixedHeight(16);
  button->setTriggerOnMain(true);
  return button;
}

}  // namespace

LayerControls::LayerControls(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID), layerMenu_(std::make_unique<QKRTapLayerMenuController>()) {
  NotificationCenter::defaultCenter().post(Compositor::kFinderNotification,
                                           static_cast<CompositorClient*>(this));
  observers_.observe(Layer::kTriggerFileNotification, nullptr,
                     [this](const Notification& n) { fileTriggeredNotification(n); });
  observers_.observe(Layer::kDeleteNotification, nullptr, [this](const Notification& n) {
    layerDeleted(static_cast<Layer*>(n.object));
  });
}

LayerControls::~LayerControls() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass LayerControls::pluginClass() {
  PluginClass controls;
  controls.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<LayerControls>(type, name, uniqueID);
  };
  controls.layout = &LayerControls::buildWindow;
  return controls;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> LayerControls::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(380, 300, 340, 300));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  auto* self = qobject_cast<LayerControls*>(owner);
  if (!self) return window;
  self->buildBody(content->body());
  self->buildOptionsPanel(window.get());
  return window;
}

void LayerControls::buildBody(QWidget* body) {
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(3, 2, 3, 3);
  column->setSpacing(3);
  auto* top = new QHBoxLayout;
  layerPopUp_ = new QKNSPopUpButton(body);
  showOptionsButton_ = makeButton(QStringLiteral("options"), body);
  top->addWidget(layerPopUp_, 1);
  top->addWidget(showOptionsButton_);
  column->addLayout(top);
  auto* file = new QHBoxLayout;
  filename_ = new QLabel(QStringLiteral(" "), body);
  filename_->setStyleSheet(kWhite);
  stylePopUp_ = new QKNSPopUpButton(body);
  stylePopUp_->setFixedWidth(120);
  ejectButton_ = makeButton(QStringLiteral("eject"), body);
  file->addWidget(filename_, 1);
  file->addWidget(stylePopUp_);
  file->addWidget(ejectButton_);
  column->addLayout(file);
  container_ = new QWidget(body);
  container_->installEventFilter(this);
  column->addWidget(container_, 1);
  auto* noSource = new QLabel(QStringLiteral("no source"), container_);
  noSource->setStyleSheet(QStringLiteral("color: gray; font-size: 11px"));
  noSource->setAlignment(Qt::AlignCenter);
  noSource->setFixedHeight(24);
  noSource_ = noSource;
}

void LayerControls::buildOptionsPanel(QWidget* window) {
  optionsPanel_ = new BlackTranslucentPanel(window, Qt::Dialog | Qt::FramelessWindowHint);
  optionsPanel_->setWindowModality(Qt::WindowModal);
  optionsPanel_->resize(230, 90);
  auto* column = new QVBoxLayout(optionsPanel_);
  column->setContentsMargins(8, 8, 8, 8);
  useMostRecentLayer_ = new QCheckBox(QStringLiteral("follow the latest trigger"), optionsPanel_);
  followLayerTabs_ = new QCheckBox(QStringLiteral("follow the layer tabs"), optionsPanel_);
  for (QCheckBox* box : {useMostRecentLayer_.data(), followLayerTabs_.data()}) {
    box->setStyleSheet(kWhite);
    column->addWidget(box);
  }
  auto* close = makeButton(QStringLiteral("close"), optionsPanel_);
  close->setTarget(alive_);
  close->setAction([this](QKButtonCell&) { closeOptionsPanel(); });
  column->addWidget(close, 0, Qt::AlignRight);
}

void LayerControls::awakeFromNib() {
  QKPlugin::awakeFromNib();
  // The palette's own awakening took its first frame as the smallest.
  if (QKWindow* w = window(); w && w->contentView()) w->contentView()->setMinSize(kMinimumSize);
  if (!container_) return;
  layerMenu_->setButton(layerPopUp_);
  layerMenu_->setMyAction([this] { layerMenuUsed(); });
  layerMenu_->awakeFromNib();
  connect(stylePopUp_, &QKNSPopUpButton::activated, this,
          [this](QAction* item) { textStylePopUpButtonUsed(item ? item->text() : QString()); });
  ejectButton_->setTarget(alive_);
  ejectButton_->setAction([this](QKButtonCell&) { ejectButtonUsed(); });
  showOptionsButton_->setTarget(alive_);
  showOptionsButton_->setAction([this](QKButtonCell&) { openOptionsPanel(); });
  updateSourceControlsView();
  const QStringList fontSynths = compositor_ ? compositor_->fontSynthNames() : QStringList();
  stylePopUp_->removeAllItems();
  for (const QString& title : fontSynths) stylePopUp_->addItemWithTitle(title);
  if (fontSynths.isEmpty()) stylePopUp_->setToolTip(kNoFontSynths);
  presetRestoring_ = false;
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) { startPresetRestore(); });
  observers_.observe(QKRTapMenuController::kRestoreEndNotification, nullptr,
                     [this](const Notification&) { stopPresetRestore(); });
}

void LayerControls::prepareToBeDeleted() {
  if (deleted()) return;
  closeOptionsPanel();
  observers_.clear();
  sourceObserver_.clear();
  // The panel goes back before the window that holds it goes.
  handBackPanel();
  alive_.reset();
  if (layerMenu_) layerMenu_->prepareToBeDeleted();
  for (QKButton* button : {showOptionsButton_.data(), ejectButton_.data()})
    if (button) button->prepareToBeDeleted();
  currentLayer_.reset();
  currentSource_.reset();
  QKPlugin::prepareToBeDeleted();
}

// --- Following -------------------------------------------------------------------------------

Layer* LayerControls::currentLayer() const {
  const std::shared_ptr<Layer> layer = currentLayer_.lock();
  return layer && !layer->deleted() ? layer.get() : nullptr;
}

VidSourceObject* LayerControls::currentSource() const {
  if (!currentLayer()) return nullptr;
  const std::shared_ptr<VidSourceObject> source = currentSource_.lock();
  return source && !source->deleted() ? source.get() : nullptr;
}

void LayerControls::layerMenuUsed() {
  if (presetRestoring_) return;
  updateCurrentLayer();
  updateSourceControlsView();
  updateTextStylePopUpButtonState();
}

void LayerControls::updateCurrentLayer() {
  const QString name = layerMenu_ ? layerMenu_->lastSelectedName() : QString();
  sourceObserver_.clear();
  Layer* layer = name.isEmpty() || !compositor_ ? nullptr : compositor_->findLayerByName(name);
  currentLayer_ = layer ? compositor_->sharedLayer(layer) : nullptr;
  if (!currentLayer()) {
    currentSource_.reset();
    return;
  }
  updateCurrentSource();
  sourceObserver_.observe(Layer::kSourceChangeNotification, layer, [this](const Notification&) {
    updateCurrentSource();
    updateSourceControlsView();
    updateTextStylePopUpButtonState();
  });
}

void LayerControls::updateCurrentSource() {
  Layer* layer = currentLayer();
  if (!layer) {
    Log::line("\t\terr:layer was nil");
    currentSource_.reset();
  } else if (layer->groupFlag()) {
    Log::line("\t\terr:layer was group");
    currentSource_.reset();
  } else if (VidSourceObject* source = layer->currentSource()) {
    currentSource_ = source->weak_from_this();
  } else {
    currentSource_.reset();
  }
}

bool LayerControls::panelIsFree(const QWidget* panel, const Layer* layer) {
  if (!panel) return false;
  const QWidget* parent = panel->parentWidget();
  return !parent || (layer && parent == layer->controlHolder());
}

QWidget* LayerControls::panelOf(const Layer* layer) const {
  VidSourceObject* source = layer && !layer->deleted() ? layer->currentSource() : nullptr;
  return source ? source->view() : nullptr;
}

void LayerControls::updateSourceControlsView() {
  clearSourceControlsView();
  Layer* layer = currentLayer();
  VidSourceObject* source = currentSource();
  QWidget* panel = source ? source->view() : nullptr;
  if (!layer || !source || !panel) {
    Log::line("\t\terr:layerSource was nil");
    showNoSourceState();
    return;
  }
  if (!panelIsFree(panel, layer)) {
    Log::line("\t\terr:layerSource was in use by another layer controller");
    showNoSourceState();
    return;
  }
  shownKeeper_ = layer->controlHolder();
  shown_ = panel;
  panel->setParent(container_);
  panel->setGeometry(container_->rect());
  panel->show();
  updateTextStylePopUpButtonState();
  const std::shared_ptr<QKFile> file = source->currentFile();
  filename_->setText(file ? file->name() : QStringLiteral(" "));
  ejectButton_->show();
  panel->update();
}

void LayerControls::showNoSourceState() {
  if (!container_) return;
  noSource_->setGeometry(0, 0, container_->width(), noSource_->height());
  noSource_->show();
  ejectButton_->hide();
  stylePopUp_->hide();
  filename_->setText(QStringLiteral(" "));
}

void LayerControls::clearSourceControlsView() {
  handBackPanel();
  if (noSource_) noSource_->hide();
  if (QKWindow* w = window())
    if (QKWindowContentView* content = w->contentView()) content->setNeedsDisplay();
}

void LayerControls::handBackPanel() {
  QWidget* panel = shown_.data();
  shown_ = nullptr;
  if (!panel || panel->parentWidget() != container_) return;
  panel->hide();
  panel->setParent(shownKeeper_.data());
}

bool LayerControls::eventFilter(QObject* watched, QEvent* event) {
  if (watched == container_) {
    if (event->type() == QEvent::ChildRemoved && shown_ &&
        static_cast<QChildEvent*>(event)->child() == shown_.data()) {
      // Taken by another window (or gone): never an empty hole.
      shown_ = nullptr;
      MainThread::post([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) panelTakenAway();
      });
    } else if (event->type() == QEvent::Resize) {
      if (shown_) shown_->setGeometry(container_->rect());
      if (noSource_) noSource_->setGeometry(0, 0, container_->width(), noSource_->height());
    }
  }
  return QKPlugin::eventFilter(watched, event);
}

void LayerControls::panelTakenAway() {
  if (shown_) return;  // shown again meanwhile
  showNoSourceState();
}

void LayerControls::updateTextStylePopUpButtonState() {
  if (!stylePopUp_) return;
  stylePopUp_->hide();
  Layer* layer = currentLayer();
  VidSourceObject* source = currentSource();
  if (!layer || !source || !compositor_ || shown_ != source->view()) return;
  const QString kind = layer->currentSourceAsString();
  if (kind != Layer::kQCPatch && kind != Layer::kImage) return;
  const std::shared_ptr<QKFile> file = source->currentFile();
  if (!file) return;
  const auto* qc = dynamic_cast<const QCSource*>(source);
  const QString patch = qc ? QFileInfo(qc->currentPatchPath()).fileName() : QString();
  QStringList titles;
  QString entry;
  if (file->qkFileType() == QKFile::kTextKind) {
    titles = compositor_->fontSynthNames();
    entry = patch;
  } else if (file->qkFileType() == QKFile::kImageKind) {
    titles = compositor_->imageSourcesNames();
    entry = kind == Layer::kImage ? QKImageFile::kBuiltInPlayer : patch;
  } else {
    return;
  }
  stylePopUp_->removeAllItems();
  for (const QString& title : titles) stylePopUp_->addItemWithTitle(title);
  if (titles.contains(entry)) stylePopUp_->selectItemWithTitle(entry);
  stylePopUp_->show();
}

void LayerControls::selectThisLayer(Layer* layer) {
  if (!layer || !layerMenu_ || deleted()) return;
  const QString name = layer->layerName();
  QAction* item = nullptr;
  if (layerPopUp_ && layerPopUp_->menu())
    for (QAction* action : layerPopUp_->menu()->actions())
      if (action->data().toString() == name) item = action;
  if (item) {
    layerPopUp_->selectItem(item);
    layerMenu_->menuUsed(item);
  } else {
    // The pop-up has not heard of the layer yet: follow it by name.
    layerMenu_->setLastSelectedName(name);
    layerMenuUsed();
  }
}

void LayerControls::fileTriggeredNotification(const Notification& notification) {
  auto* layer = static_cast<Layer*>(notification.object);
  if (!layer || layer->deleted() || deleted()) return;
  QWidget* panel = panelOf(layer);
  if (!notification.userInfo.contains(kNewFile)) {
    if (panel && panel == shown_) filename_->setText(QStringLiteral(" "));
    return;
  }
  if (useMostRecentLayer_ && useMostRecentLayer_->isChecked() && panel && panelIsFree(panel, layer))
    selectThisLayer(layer);
  panel = panelOf(layer);
  VidSourceObject* source = currentSource();
  if (!panel || panel != shown_ || !source) return;
  updateTextStylePopUpButtonState();
  if (const std::shared_ptr<QKFile> file = source->currentFile()) filename_->setText(file->name());
}

void LayerControls::layerDeleted(Layer* layer) {
  if (!layer) return;
  const std::shared_ptr<Layer> current = currentLayer_.lock();
  if (!current || current.get() != layer) return;
  handBackPanel();
  sourceObserver_.clear();
  currentLayer_.reset();
  currentSource_.reset();
  showNoSourceState();
}

// --- Controls --------------------------------------------------------------------------------

void LayerControls::ejectButtonUsed() {
  Layer* layer = currentLayer();
  VidSourceObject* source = currentSource();
  if (!layer || !source) {
    updateSourceControlsView();
    return;
  }
  const std::shared_ptr<QKFile> file = source->currentFile();
  source->ejectButtonUsed();
  if (file)
    NotificationCenter::defaultCenter().post(Layer::kTriggerFileNotification, layer,
                                             {{kOldFile, QVariant::fromValue(file)}});
}

void LayerControls::textStylePopUpButtonUsed(const QString& title) {
  VidSourceObject* source = currentSource();
  if (!source || title.isEmpty()) return;
  if (source->name() == VidSourceObject::kQCSource) {
    if (auto* qc = dynamic_cast<QCSource*>(source)) qc->setTextStyleWithStyleNamed(title);
  } else if (source->name() == VidSourceObject::kImageSource) {
    if (auto* image = dynamic_cast<ImageSource*>(source)) image->setImageStyleWithStyleNamed(title);
  }
}

void LayerControls::openOptionsPanel() {
  if (optionsPanel_) optionsPanel_->showAsSheetOn(window());
}

void LayerControls::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->closeSheet();
}

int LayerControls::followLayerTabsButtonState() const {
  return followLayerTabs_ && followLayerTabs_->isChecked() ? 1 : 0;
}

QPointF LayerControls::followerCentre() const {
  auto* self = const_cast<LayerControls*>(this);
  QKWindow* w = self->deleted() ? nullptr : self->window();
  return w ? w->frame().center() : QPointF();
}

// --- Restores --------------------------------------------------------------------------------

void LayerControls::startPresetRestore() {
  presetRestoring_ = true;
  closeOptionsPanel();
  sourceObserver_.clear();
}

void LayerControls::stopPresetRestore() {
  presetRestoring_ = false;
  updateCurrentLayer();
  updateSourceControlsView();
  updateTextStylePopUpButtonState();
}

QVariantMap LayerControls::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  if (layerMenu_) snapshot.insert(kLayerMenuController, layerMenu_->createSnapshot());
  if (ejectButton_) {
    const QVariantMap eject = ejectButton_->createSnapshot();
    if (!eject.isEmpty()) snapshot.insert(kEjectButton, eject);
  }
  snapshot.insert(kUseMostRecentLayerButton,
                  useMostRecentLayer_ && useMostRecentLayer_->isChecked() ? 1 : 0);
  snapshot.insert(kFollowLayerTabsButton, followLayerTabsButtonState());
  return snapshot;
}

void LayerControls::loadSnapshot(const QVariantMap& snapshot) {
  if (isMap(snapshot.value(kSuperSnap))) QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  if (layerMenu_ && isMap(snapshot.value(kLayerMenuController)))
    layerMenu_->loadSnapshot(snapshot.value(kLayerMenuController).toMap());
  // A restore never ejects: the button's state comes back without its action.
  if (ejectButton_ && isMap(snapshot.value(kEjectButton)))
    ejectButton_->loadSnapshot(snapshot.value(kEjectButton).toMap(), false);
  const std::pair<const QString*, QCheckBox*> switches[] = {
      {&kUseMostRecentLayerButton, useMostRecentLayer_},
      {&kFollowLayerTabsButton, followLayerTabs_}};
  for (const auto& [key, box] : switches) {
    bool ok = false;
    const int state = snapshot.value(*key).toInt(&ok);
    if (box && ok) box->setChecked(state == 1);
  }
}
