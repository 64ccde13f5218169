#include "framework/controls/QKSliderInspector.h"

#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSMBehaviorListController.h"
#include "framework/controls/QKSMContextualMenuController.h"
#include "framework/controls/QKSMDSListController.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/controls/SliderControlView.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"

#include <QGridLayout>
#include <QLineEdit>

const QString QKSliderInspector::kSliderTabLabel = QStringLiteral("Slider");
const QString QKSliderInspector::kAddMark = QStringLiteral("Add Mark");
const QString QKSliderInspector::kRemoveMark = QStringLiteral("Remove Mark");

namespace {

using Menu = QKSMContextualMenuController;

bool hasMarkAtValue(const QKSliderCell& slider) {
  return slider.interestingPoints().contains(slider.value());
}

}  // namespace

QKSliderInspector::SelectionSummary QKSliderInspector::summarize(
    const std::vector<std::shared_ptr<QKSliderCell>>& sliders) {
  SelectionSummary summary;
  for (const auto& slider : sliders) {
    summary.sync.add(slider->syncFlag());
    summary.behavior.add(slider->behaviorFlag());
    summary.lockUI.add(slider->lockUIFlag());
    summary.syncToggleShown.add(slider->syncToggle() != nullptr);
    summary.behavToggleShown.add(slider->behavToggle() != nullptr);
  }
  return summary;
}

QKSliderInspector::QKSliderInspector(QWidget* parent)
    : QWidget(parent),
      menu_(std::make_unique<QKSMContextualMenuController>()),
      list_(std::make_unique<QKSMDSListController>(this)),
      behaviors_(std::make_unique<QKSMBehaviorListController>(this)) {
  using I = QKSliderInspector;
  addRemoveMarkButton_ = makeButton(kAddMark, kAddMark, 0, &I::addRemoveMarkButtonUsed);
  lockUnlockMarksButton_ = makeButton(QStringLiteral("Edit Marks"), QStringLiteral("Edit Marks"), 1,
                                      &I::lockUnlockMarksButtonUsed);
  syncToggle_ = makeButton(QStringLiteral("Sync"), QStringLiteral("Sync"), 1, &I::syncToggleUsed);
  behaviorToggle_ =
      makeButton(QStringLiteral("Behav"), QStringLiteral("Behav"), 1, &I::behaviorToggleUsed);
  midiDetectButton_ =
      makeButton(QStringLiteral("MIDI"), QStringLiteral("MIDI"), 0, &I::midiDetectUsed);
  oscDetectButton_ = makeButton(QStringLiteral("OSC"), QStringLiteral("OSC"), 0, &I::oscDetectUsed);
  showSyncToggleButton_ =
      makeButton(QStringLiteral("Show S"), QStringLiteral("Show S"), 1, &I::showSyncToggleUsed);
  showBehavToggleButton_ =
      makeButton(QStringLiteral("Show B"), QStringLiteral("Show B"), 1, &I::showBehavToggleUsed);
  currentValField_ = new QLineEdit(this);
  connect(currentValField_, &QLineEdit::returnPressed, this, [this] { currentValFieldUsed(); });
  menu_->setRefresh([this] { updatingOnMainThread(); });
  list_->setInspector(this);
  layOut();
}

QKSliderInspector::~QKSliderInspector() { setSliderManager(nullptr); }

// Clicks never select the inspector's own buttons, and their actions run on
// the main thread, where the controls and menus live.
QKButton* QKSliderInspector::makeButton(const QString& title, const QString& title2, int type,
                                        void (QKSliderInspector::*action)()) {
  auto* button = new QKButton(this);
  button->setTitle(title);
  button->setTitle2(title2);
  button->setButtonType(type);
  button->setPreventClickSelect(true);
  button->setTriggerOnMain(true);
  button->setTarget(alive_);
  button->setAction([this, action](QKButtonCell&) { (this->*action)(); });
  return button;
}

void QKSliderInspector::layOut() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setSpacing(3);
  grid->addWidget(syncToggle_, 0, 0);
  grid->addWidget(list_->sourcePopUpButton(), 0, 1, 1, 3);
  grid->addWidget(list_->dataSourceNameTextField(), 1, 0, 1, 4);
  grid->addWidget(behaviorToggle_, 2, 0);
  grid->addWidget(behaviors_->behaviorPopUpButton(), 2, 1, 1, 3);
  grid->addWidget(midiDetectButton_, 3, 0);
  grid->addWidget(oscDetectButton_, 3, 1);
  grid->addWidget(showSyncToggleButton_, 3, 2);
  grid->addWidget(showBehavToggleButton_, 3, 3);
  grid->addWidget(currentValField_, 4, 0, 1, 2);
  grid->addWidget(addRemoveMarkButton_, 4, 2);
  grid->addWidget(lockUnlockMarksButton_, 4, 3);
}

// --- Connections ------------------------------------------------------------------------

void QKSliderInspector::setSliderManager(QKSliderManager* manager) {
  if (sliderManager_ && sliderManager_ != manager) {
    if (sliderManager_->interfaceManager() == this) sliderManager_->setInterfaceManager(nullptr);
    if (sliderManager_->contextualMenuController() == menu_.get())
      sliderManager_->setContextualMenuController(nullptr);
    if (sliderManager_->listController() == list_.get()) sliderManager_->setListController(nullptr);
  }
  sliderManager_ = manager;
  menu_->setSliderManager(manager);
  list_->setSliderManager(manager);
  behaviors_->setSliderManager(manager);
  if (!manager) return;
  manager->setInterfaceManager(this);
  manager->setContextualMenuController(menu_.get());
  manager->setListController(list_.get());
  lockUnlockMarksButton_->setIntValue(manager->lockInterestingPoints() ? 0 : 1, false);
  registerPaletteButtons();
  menu_->reloadBCContextualMenu();
  behaviors_->reloadView();
}

void QKSliderInspector::registerPaletteButtons() {
  const std::pair<const char*, QKButton*> buttons[] = {
      {"showSyncToggleButton", showSyncToggleButton_},
      {"useBehaviorButton", behaviorToggle_},
      {"showBehavToggleButton", showBehavToggleButton_},
      {"removeMarkButton", lockUnlockMarksButton_},
      {"midiDetectButton", midiDetectButton_}};
  for (const auto& [key, button] : buttons)
    sliderManager_->setPaletteButton(QString::fromLatin1(key), button->cell());
}

void QKSliderInspector::setDataSourceController(DataSourceController* controller) {
  menu_->setDataSourceController(controller);
  list_->setDataSourceController(controller);
  menu_->reloadDSContextualMenu();
  list_->reloadView();
}

// --- Refresh ----------------------------------------------------------------------------

void QKSliderInspector::updateWithLockedStatus(bool) {
  if (MainThread::isMainThread()) {
    updatingOnMainThread();
    return;
  }
  MainThread::post([guard = QPointer<QKSliderInspector>(this)] {
    if (guard) guard->updatingOnMainThread();
  });
}

bool QKSliderInspector::showsAnotherTab() const {
  if (!inspectorTabView_) return false;
  const int selected = inspectorTabView_->currentIndex();
  return selected >= 0 && inspectorTabView_->tabText(selected) != kSliderTabLabel;
}

std::shared_ptr<QKSliderCell> QKSliderInspector::firstSelected() const {
  if (!sliderManager_) return nullptr;
  const auto selected = sliderManager_->selectedSliders();
  return selected.empty() ? nullptr : selected.front();
}

void QKSliderInspector::updatingOnMainThread() {
  if (showsAnotherTab() || !sliderManager_) return;
  ++refreshCount_;
  showSelection(sliderManager_->selectedSliders());
}

void QKSliderInspector::showSelection(const std::vector<std::shared_ptr<QKSliderCell>>& sliders) {
  const SelectionSummary summary = summarize(sliders);
  if (!sliders.empty()) {
    behaviors_->reloadView();
    showValueOf(sliders);
    menu_->deselectAllDataSources();
    menu_->deselectAllBehaviorChains();
    list_->selectItemForSourceArray(sliders.front()->syncArray());
    for (const auto& slider : sliders) {
      menu_->selectDataSourceNamed(slider->syncArray());
      const QString chain = slider->behaviorChain() ? slider->behaviorName() : QString();
      if (!chain.isEmpty()) menu_->selectBehaviorChainNamed(chain);
      behaviors_->selectItemForString(chain);
    }
    showChainOf(*sliders.front());
  }
  showFlag(syncToggle_, Menu::kSynch, summary.sync);
  showFlag(behaviorToggle_, Menu::kApplyBehavior, summary.behavior);
  menu_->setItemState(Menu::kLockUI, summary.lockUI.value());
  if (sliders.empty()) return;  // the toggles' states stay undecided
  showFlag(showSyncToggleButton_, Menu::kShowSyncToggle, summary.syncToggleShown);
  showFlag(showBehavToggleButton_, Menu::kShowBehavToggle, summary.behavToggleShown);
}

// A slider inside the chain window does not switch the chain shown there.
void QKSliderInspector::showChainOf(const QKSliderCell& first) {
  BehaviorChainManagerInterface& chains = sliderManager_->behaviorChainManager();
  auto* view = dynamic_cast<QWidget*>(first.controlView());
  QWidget* chainWindow = chains.mainWindow();
  if (chainWindow && view && view->window() == chainWindow) return;
  chains.displayChainNamed(first.behaviorName());
}

void QKSliderInspector::showFlag(QKButton* control, const QString& menuTitle,
                                 const TriStateAccumulator& flag) {
  control->setIntValue(flag.value(), false);
  menu_->setItemState(menuTitle, flag.value());
}

void QKSliderInspector::updateValueRelatedOnly() {
  if (sliderManager_) showValueOf(sliderManager_->selectedSliders());
}

// One slider: its ranged value and whether a mark sits at it; more: both
// disabled; none: as they were.
void QKSliderInspector::showValueOf(const std::vector<std::shared_ptr<QKSliderCell>>& sliders) {
  if (sliders.empty()) return;
  const bool one = sliders.size() == 1;
  currentValField_->setEnabled(one);
  addRemoveMarkButton_->setEnabled(one);
  if (!one) return;
  const QKSliderCell& slider = *sliders.front();
  const QString title = hasMarkAtValue(slider) ? kRemoveMark : kAddMark;
  addRemoveMarkButton_->setTitle(title);
  addRemoveMarkButton_->setTitle2(title);
  if (!currentValField_->hasFocus())
    currentValField_->setText(QString::number(static_cast<double>(slider.rangedValue()), 'g', 6));
}

// --- Actions ---------------------------------------------------------------------------------

int QKSliderInspector::resolvedToggleValue(QKButton* toggle) {
  if (toggle->intValue() == -1) toggle->setIntValue(1, false);
  return toggle->intValue();
}

void QKSliderInspector::syncToggleUsed() {
  if (sliderManager_)
    sliderManager_->setSelectedSlidersSyncFlag(resolvedToggleValue(syncToggle_) == 1);
}

void QKSliderInspector::behaviorToggleUsed() {
  if (sliderManager_)
    sliderManager_->setSelectedSlidersBehaviorFlag(resolvedToggleValue(behaviorToggle_) == 1);
}

void QKSliderInspector::midiDetectUsed() {
  if (sliderManager_) sliderManager_->selectedSlidersStartMIDIDetect();
}

void QKSliderInspector::oscDetectUsed() {
  if (sliderManager_) sliderManager_->selectedSlidersStartOSCDetect();
}

void QKSliderInspector::currentValFieldUsed() {
  bool isNumber = false;
  const float value = currentValField_->text().trimmed().toFloat(&isNumber);
  if (!isNumber) return;
  if (auto slider = firstSelected()) slider->setValueWithRangedValue(value);
}

void QKSliderInspector::addRemoveMarkButtonUsed() {
  auto slider = firstSelected();
  if (!slider) return;
  const float value = slider->value();
  if (hasMarkAtValue(*slider))
    slider->removeInterestingPoint(value);
  else
    slider->addInterestingPoint(value);
  showValueOf({slider});
}

void QKSliderInspector::lockUnlockMarksButtonUsed() {
  if (sliderManager_)
    sliderManager_->setLockInterestingPoints(lockUnlockMarksButton_->intValue() != 1);
}

void QKSliderInspector::showSyncToggleUsed() {
  if (sliderManager_)
    sliderManager_->selectedSlidersSetSyncToggle(showSyncToggleButton_->intValue() == 1);
}

void QKSliderInspector::showBehavToggleUsed() {
  if (sliderManager_)
    sliderManager_->selectedSlidersSetBehavToggle(showBehavToggleButton_->intValue() == 1);
}
