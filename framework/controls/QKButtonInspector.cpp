#include "framework/controls/QKButtonInspector.h"

#include "framework/controls/QKBMContextualMenuController.h"
#include "framework/controls/QKBMDSListController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "platform/foundation/MainThread.h"

#include <QGridLayout>
#include <QSignalBlocker>
#include <QSlider>

#include <cmath>

const QString QKButtonInspector::kButtonTabLabel = QStringLiteral("Button");

namespace {
using Menu = QKBMContextualMenuController;
}

QKButtonInspector::SelectionSummary QKButtonInspector::summarize(
    const std::vector<std::shared_ptr<QKButtonCell>>& cells) {
  SelectionSummary summary;
  for (const auto& cell : cells) {
    summary.paths.push_back(cell->syncArray());
    summary.sync.add(cell->syncFlag());
    summary.edgeTriggered.add(cell->triggerMode() == 1);
    summary.syncToggleShown.add(cell->syncToggle() != nullptr);
    summary.rise.add(cell->triggerOnRise());
    summary.fall.add(cell->triggerOnFall());
    summary.threshold = cell->threshVal();
  }
  return summary;
}

QKButtonInspector::QKButtonInspector(QWidget* parent)
    : QWidget(parent),
      menu_(std::make_unique<QKBMContextualMenuController>()),
      list_(std::make_unique<QKBMDSListController>(this)) {
  using I = QKButtonInspector;
  syncToggle_ = makeButton(QStringLiteral("Sync"), QStringLiteral("Sync"), 1, &I::syncToggleUsed);
  triggerModeButton_ =
      makeButton(QStringLiteral("Straight"), QStringLiteral("Edge"), 1, &I::triggerModeButtonUsed);
  riseToggle_ = makeButton(QStringLiteral("Rise"), QStringLiteral("Rise"), 1, &I::riseToggleUsed);
  fallToggle_ = makeButton(QStringLiteral("Fall"), QStringLiteral("Fall"), 1, &I::fallToggleUsed);
  midiDetectButton_ =
      makeButton(QStringLiteral("MIDI"), QStringLiteral("MIDI"), 0, &I::midiDetectClicked);
  oscDetectButton_ = makeButton(QStringLiteral("OSC"), QStringLiteral("OSC"), 0, &I::oscDetectUsed);
  keyDetectButton_ =
      makeButton(QStringLiteral("Key"), QStringLiteral("Key"), 0, &I::keyDetectClicked);
  showSyncToggleButton_ = makeButton(QStringLiteral("Show S"), QStringLiteral("Show S"), 1,
                                     &I::showSyncToggleButtonUsed);
  showShortcutButton_ = makeButton(QStringLiteral("Shortcuts"), QStringLiteral("Shortcuts"), 1,
                                   &I::showShortcutsClicked);
  // Its action belongs to the palette, which switches hardware-learn mode.
  hardwareLearnButton_ = makeButton(QStringLiteral("Learn"), QStringLiteral("Learn"), 1, nullptr);
  hardwareLearnButton_->setTriggerMode(1);

  threshSlider_ = new QSlider(Qt::Horizontal, this);
  threshSlider_->setRange(0, kThresholdSteps);
  connect(threshSlider_, &QSlider::valueChanged, this, [this] { valThreshUsed(); });
  levelView_ = new SimpleLevelView(this);
  menu_->setInspector(this);
  list_->setInspector(this);
  layOut();
}

QKButtonInspector::~QKButtonInspector() { setButtonManager(nullptr); }

// Clicks never select the inspector's own buttons, and their actions run on
// the main thread, where the controls and menus live.
QKButton* QKButtonInspector::makeButton(const QString& title, const QString& title2, int type,
                                        void (QKButtonInspector::*action)()) {
  auto* button = new QKButton(this);
  button->setTitle(title);
  button->setTitle2(title2);
  button->setButtonType(type);
  button->setPreventClickSelect(true);
  button->setTriggerOnMain(true);
  if (action) {
    button->setTarget(alive_);
    button->setAction([this, action](QKButtonCell&) { (this->*action)(); });
  }
  return button;
}

void QKButtonInspector::layOut() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setSpacing(3);
  grid->addWidget(syncToggle_, 0, 0);
  grid->addWidget(list_->sourcePopUpButton(), 0, 1, 1, 3);
  grid->addWidget(list_->dataSourceNameTextField(), 1, 0, 1, 4);
  grid->addWidget(triggerModeButton_, 2, 0);
  grid->addWidget(riseToggle_, 2, 1);
  grid->addWidget(fallToggle_, 2, 2);
  grid->addWidget(threshSlider_, 2, 3);
  grid->addWidget(midiDetectButton_, 3, 0);
  grid->addWidget(oscDetectButton_, 3, 1);
  grid->addWidget(keyDetectButton_, 3, 2);
  grid->addWidget(levelView_, 3, 3);
  grid->addWidget(showSyncToggleButton_, 4, 0);
  grid->addWidget(showShortcutButton_, 4, 1);
  grid->addWidget(hardwareLearnButton_, 4, 2);
}

// --- Connections ----------------------------------------------------------------------

void QKButtonInspector::setButtonManager(QKButtonManager* manager) {
  if (buttonManager_ && buttonManager_ != manager) {
    if (buttonManager_->interfaceManager() == this) buttonManager_->setInterfaceManager(nullptr);
    if (buttonManager_->contextualMenuController() == menu_.get())
      buttonManager_->setContextualMenuController(nullptr);
    if (buttonManager_->listController() == list_.get()) buttonManager_->setListController(nullptr);
  }
  buttonManager_ = manager;
  menu_->setButtonManager(manager);
  list_->setButtonManager(manager);
  if (!manager) return;
  manager->setInterfaceManager(this);
  manager->setContextualMenuController(menu_.get());
  manager->setListController(list_.get());
  registerPaletteButtons();
}

void QKButtonInspector::registerPaletteButtons() {
  const std::pair<const char*, QKButton*> buttons[] = {
      {"showShortcutButton", showShortcutButton_},
      {"useValueButton", syncToggle_},
      {"midiDetectButton", midiDetectButton_},
      {"oscDetectButton", oscDetectButton_},
      {"keyDetectButton", keyDetectButton_},
      {"triggerOnFallButton", fallToggle_},
      {"triggerOnRiseButton", riseToggle_},
      {"triggerModeButton", triggerModeButton_},
      {"showSyncToggleButton", showSyncToggleButton_},
      {"hardwareLearnButton", hardwareLearnButton_}};
  for (const auto& [key, button] : buttons)
    buttonManager_->setPaletteButton(QString::fromLatin1(key), button->cell());
}

void QKButtonInspector::setDataSourceController(DataSourceController* controller) {
  dataSourceController_ = controller;
  menu_->setDataSourceController(controller);
  list_->setDataSourceController(controller);
  menu_->reloadDSContextualMenu();
  list_->reloadView();
}

// --- Refresh ----------------------------------------------------------------------------

void QKButtonInspector::updateWithLockedStatus(bool) {
  if (MainThread::isMainThread()) {
    updatingOnMainThread();
    return;
  }
  MainThread::post([guard = QPointer<QKButtonInspector>(this)] {
    if (guard) guard->updatingOnMainThread();
  });
}

void QKButtonInspector::updateValueRelatedOnlyWithValue(float value) { levelView_->setVal(value); }

bool QKButtonInspector::showsAnotherTab() const {
  if (!inspectorTabView_) return false;
  const int selected = inspectorTabView_->currentIndex();
  return selected >= 0 && inspectorTabView_->tabText(selected) != kButtonTabLabel;
}

void QKButtonInspector::updatingOnMainThread() {
  if (showsAnotherTab() || !buttonManager_) return;
  showSelection(buttonManager_->selectedButtons());
}

void QKButtonInspector::showSelection(const std::vector<std::shared_ptr<QKButtonCell>>& cells) {
  if (cells.empty()) {
    showFlag(syncToggle_, Menu::kSynch, TriStateAccumulator());
    return;
  }
  menu_->deselectAllDataSources();
  const SelectionSummary summary = summarize(cells);
  list_->selectItemForSourceArray(summary.paths.front());
  for (const KeyPath& path : summary.paths) menu_->selectDataSourceNamed(path);
  if (summary.threshold) {
    const QSignalBlocker quiet(threshSlider_);
    threshSlider_->setValue(static_cast<int>(std::lround(*summary.threshold * kThresholdSteps)));
  }
  showFlag(syncToggle_, Menu::kSynch, summary.sync);
  showFlag(showSyncToggleButton_, Menu::kShowSyncToggle, summary.syncToggleShown);
  showFlag(riseToggle_, Menu::kTriggerOnRise, summary.rise);
  showFlag(fallToggle_, Menu::kTriggerOnFall, summary.fall);
  showTriggerMode(summary.edgeTriggered.value());
}

void QKButtonInspector::showFlag(QKButton* control, const QString& menuTitle,
                                 const TriStateAccumulator& flag) {
  control->setIntValue(flag.value(), false);
  menu_->setItemState(menuTitle, flag.value());
}

void QKButtonInspector::showTriggerMode(int mode) {
  triggerModeButton_->setIntValue(mode, false);
  if (mode != 0 && mode != 1) return;  // mixed: the rest stays as it is
  riseToggle_->setVisible(mode == 1);
  fallToggle_->setVisible(mode == 1);
  menu_->showTriggerMode(mode);
}

// --- Actions --------------------------------------------------------------------------------

int QKButtonInspector::resolvedToggleValue(QKButton* toggle) {
  if (toggle->intValue() == -1) toggle->setIntValue(1, false);
  return toggle->intValue();
}

void QKButtonInspector::syncToggleUsed() {
  if (buttonManager_)
    buttonManager_->setSelectedButtonsSyncFlag(resolvedToggleValue(syncToggle_) == 1);
}

void QKButtonInspector::riseToggleUsed() {
  const int value = resolvedToggleValue(riseToggle_);
  if (buttonManager_) buttonManager_->setSelectedButtonsRiseToggle(value == 1);
  menu_->setItemState(Menu::kTriggerOnRise, value);
}

void QKButtonInspector::fallToggleUsed() {
  const int value = resolvedToggleValue(fallToggle_);
  if (buttonManager_) buttonManager_->setSelectedButtonsFallToggle(value == 1);
  menu_->setItemState(Menu::kTriggerOnFall, value);
}

void QKButtonInspector::showSyncToggleButtonUsed() {
  if (buttonManager_)
    buttonManager_->selectedButtonsSetSyncToggle(showSyncToggleButton_->intValue() == 1);
}

void QKButtonInspector::valThreshUsed() {
  if (buttonManager_)
    buttonManager_->setSelectedButtonsValThresh(static_cast<float>(threshSlider_->value()) /
                                                kThresholdSteps);
}

void QKButtonInspector::triggerModeButtonUsed() {
  const int mode = triggerModeButton_->intValue();
  if (mode != 0 && mode != 1) return;
  if (buttonManager_) buttonManager_->setSelectedButtonsTriggerMode(mode);
  showTriggerMode(mode);
}

void QKButtonInspector::midiDetectClicked() {
  if (buttonManager_) buttonManager_->selectedButtonsStartMIDIDetect();
}

void QKButtonInspector::oscDetectUsed() {
  if (buttonManager_) buttonManager_->selectedButtonsStartOSCDetect();
}

void QKButtonInspector::keyDetectClicked() {
  if (buttonManager_) buttonManager_->selectedButtonsStartKeyDetect();
}

void QKButtonInspector::showShortcutsClicked() {
  if (buttonManager_) buttonManager_->showShortcuts(showShortcutButton_->intValue());
}
