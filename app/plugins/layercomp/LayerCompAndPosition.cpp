#include "app/plugins/layercomp/LayerCompAndPosition.h"

#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

const QString LayerCompAndPosition::kTypeName = QStringLiteral("LayerCompAndPosition");

namespace {
const QString kLayerMenuController = QStringLiteral("layerMenuController");
const QString kUseMostRecentLayer = QStringLiteral("useMostRecentLayerButton");
const QString kFollowLayerTabs = QStringLiteral("followLayerTabsButton");

QKButton* makeButton(const QString& title, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setFixedHeight(18);
  return button;
}
}  // namespace

LayerCompAndPosition::LayerCompAndPosition(const QString& type, const QString& name,
                                           std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID) {}

LayerCompAndPosition::~LayerCompAndPosition() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass LayerCompAndPosition::pluginClass() {
  PluginClass panel;
  panel.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<LayerCompAndPosition>(type, name, uniqueID);
  };
  panel.layout = &LayerCompAndPosition::buildWindow;
  return panel;
}

std::unique_ptr<QWidget> LayerCompAndPosition::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(380, 300, 260, 200));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<LayerCompAndPosition*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  auto* top = new QHBoxLayout;
  self->layerMenuPopUpButton_ = new QKNSPopUpButton(body);
  self->layerMenuPopUpButton_->setFixedHeight(16);
  self->showOptionsButton_ = makeButton(QStringLiteral("options"), body);
  top->addWidget(self->layerMenuPopUpButton_, 1);
  top->addWidget(self->showOptionsButton_);
  column->addLayout(top);
  self->sourceControlsView_ = new QWidget(body);
  self->noSourceView_ = new QWidget(self->sourceControlsView_);
  column->addWidget(self->sourceControlsView_, 1);
  self->layerMenuController_ = new QKRTapLayerMenuController(self);

  self->optionsPanel_ = new QDialog(window.get());
  self->optionsPanel_->setWindowModality(Qt::WindowModal);
  self->optionsPanel_->setWindowTitle(QStringLiteral("Options"));
  auto* options = new QVBoxLayout(self->optionsPanel_);
  self->useMostRecentLayerButton_ =
      new QCheckBox(QStringLiteral("Use most recent layer"), self->optionsPanel_);
  self->followLayerTabsButton_ =
      new QCheckBox(QStringLiteral("Follow layer tabs"), self->optionsPanel_);
  self->closeOptionsButton_ = makeButton(QStringLiteral("close"), self->optionsPanel_);
  options->addWidget(self->useMostRecentLayerButton_);
  options->addWidget(self->followLayerTabsButton_);
  options->addWidget(self->closeOptionsButton_);
  return window;
}

void LayerCompAndPosition::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (layerMenuController_) {
    layerMenuController_->setButton(layerMenuPopUpButton_);
    layerMenuController_->setMyAction([self = QPointer<LayerCompAndPosition>(this)] {
      if (self && !self->deleted()) self->layerMenuUsed();
    });
    layerMenuController_->awakeFromNib();
  }
  if (showOptionsButton_) {
    showOptionsButton_->setTriggerOnMain(true);
    showOptionsButton_->setTarget(alive_);
    showOptionsButton_->setAction([this](QKButtonCell&) { openOptionsPanel(); });
  }
  if (closeOptionsButton_) {
    closeOptionsButton_->setTriggerOnMain(true);
    closeOptionsButton_->setTarget(alive_);
    closeOptionsButton_->setAction([this](QKButtonCell&) { closeOptionsPanel(); });
  }
  presetRestoring_ = false;
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) { startPresetRestoreNotification(); });
  observers_.observe(QKRTapMenuController::kRestoreEndNotification, nullptr,
                     [this](const Notification&) { stopPresetRestoreNotification(); });
}

void LayerCompAndPosition::console(const QString& line) {
  consoleLines_ << line;
  Log::line(line);
}

void LayerCompAndPosition::openOptionsPanel() {
  if (optionsPanel_) optionsPanel_->open();
}

void LayerCompAndPosition::closeOptionsPanel() {
  if (!optionsPanel_) return;
  optionsPanel_->done(0);
  optionsPanel_->hide();
}

bool LayerCompAndPosition::optionsSheetAttached() const {
  return optionsPanel_ && optionsPanel_->isVisible();
}

void LayerCompAndPosition::layerMenuUsed() {
  console(QStringLiteral("LayerCompAndPosition:layerMenuUsed:"));
  if (!presetRestoring_) updateCurrentLayer();
}

void LayerCompAndPosition::updateCurrentLayer() {
  console(QStringLiteral("LayerCompAndPosition:updateCurrentLayer:"));
}
void LayerCompAndPosition::updateCompView() {
  console(QStringLiteral("LayerCompAndPosition:updateCompView:"));
}
void LayerCompAndPosition::updateSizePosView() {
  console(QStringLiteral("LayerCompAndPosition:updateSizePosView:"));
}
void LayerCompAndPosition::clearCompView() {
  console(QStringLiteral("LayerCompAndPosition:clearCompView:"));
}
void LayerCompAndPosition::clearSizePosView() {
  console(QStringLiteral("LayerCompAndPosition:clearSizePosView:"));
}

void LayerCompAndPosition::startPresetRestoreNotification() {
  if (optionsSheetAttached()) closeOptionsPanel();
  presetRestoring_ = true;
  layerSourceObserver_.clear();
}

void LayerCompAndPosition::stopPresetRestoreNotification() { presetRestoring_ = false; }

QVariantMap LayerCompAndPosition::createSnapshot() const {
  QVariantMap snapshot;
  const QVariantMap base = QKPlugin::createSnapshot();
  if (!base.isEmpty()) snapshot.insert(kSuperSnap, base);
  if (layerMenuController_) {
    const QVariantMap menu = layerMenuController_->createSnapshot();
    if (!menu.isEmpty()) snapshot.insert(kLayerMenuController, menu);
  }
  if (useMostRecentLayerButton_)
    snapshot.insert(kUseMostRecentLayer, useMostRecentLayerButton_->isChecked() ? 1 : 0);
  if (followLayerTabsButton_)
    snapshot.insert(kFollowLayerTabs, followLayerTabsButton_->isChecked() ? 1 : 0);
  return snapshot;
}

void LayerCompAndPosition::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant base = snapshot.value(kSuperSnap);
  if (base.typeId() == QMetaType::QVariantMap) QKPlugin::loadSnapshot(base.toMap());
  const QVariant menu = snapshot.value(kLayerMenuController);
  if (layerMenuController_ && menu.typeId() == QMetaType::QVariantMap)
    layerMenuController_->loadSnapshot(menu.toMap());
  const auto loadBox = [&snapshot](const QString& key, QCheckBox* box) {
    const QVariant state = snapshot.value(key);
    if (box && VariantNumbers::isNumber(state, true)) box->setChecked(state.toInt() != 0);
  };
  loadBox(kUseMostRecentLayer, useMostRecentLayerButton_);
  loadBox(kFollowLayerTabs, followLayerTabsButton_);
}

void LayerCompAndPosition::prepareToBeDeleted() {
  if (deleted()) return;
  if (optionsSheetAttached()) closeOptionsPanel();
  for (QWidget* view : {currentCompView_.data(), currentSizePosView_.data()})
    if (view) view->setParent(nullptr);
  observers_.clear();
  layerSourceObserver_.clear();
  alive_.reset();
  if (layerMenuController_) layerMenuController_->prepareToBeDeleted();
  if (showOptionsButton_) showOptionsButton_->prepareToBeDeleted();
  if (closeOptionsButton_) closeOptionsButton_->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}
