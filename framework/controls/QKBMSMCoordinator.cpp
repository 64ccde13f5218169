#include "framework/controls/QKBMSMCoordinator.h"

#include "framework/controls/QKBMDSListController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonInspector.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKSMDSListController.h"
#include "framework/controls/QKSliderInspector.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"

#include <QLayout>
#include <QVBoxLayout>

const QString QKBMSMCoordinator::kPaletteTitle = QStringLiteral("Slider/Button Inspector");
const QString QKBMSMCoordinator::kSliderTab = QStringLiteral("Slider");
const QString QKBMSMCoordinator::kButtonTab = QStringLiteral("Button");
const QString QKBMSMCoordinator::kNoneTab = QStringLiteral("None");

QKBMSMCoordinator::QKBMSMCoordinator(QKSliderManager* sliderManager, QKButtonManager* buttonManager,
                                     DataSourceController* controller)
    : sliderManager_(sliderManager), buttonManager_(buttonManager), controller_(controller) {
  buildPalette();
}

QKBMSMCoordinator::~QKBMSMCoordinator() {
  if (controller_) controller_->setCoordinator(nullptr);
  if (window_) window_->prepareToBeDeleted();
}

void QKBMSMCoordinator::buildPalette() {
  // The content view puts the palette at its default place when it wakes.
  window_ = std::make_unique<QKPaletteWindow>();
  auto* content = new QKWindowContentView;
  window_->setContentView(content);
  window_->setTitle(kPaletteTitle);
  window_->setDelegate(this);

  tabView_ = new QKNSTabView;
  sliderInspector_ = new QKSliderInspector;
  buttonInspector_ = new QKButtonInspector;
  tabView_->addTab(sliderInspector_, kSliderTab);
  tabView_->addTab(buttonInspector_, kButtonTab);
  tabView_->addTab(new QWidget, kNoneTab);
  tabView_->createButtonsForTabs();
  tabView_->setCurrentIndex(2);
  sliderInspector_->setInspectorTabView(tabView_);
  buttonInspector_->setInspectorTabView(tabView_);
  sliderInspector_->setSliderManager(sliderManager_);
  sliderInspector_->setDataSourceController(controller_);
  buttonInspector_->setButtonManager(buttonManager_);
  buttonInspector_->setDataSourceController(controller_);

  // The hardware-learn button belongs to the palette: beside the tabs.
  QKButton* learn = buttonInspector_->hardwareLearnButton();
  buttonInspector_->layout()->removeWidget(learn);
  learn->setTarget(alive_);
  learn->setAction([this](QKButtonCell&) { hardwareLearnUsed(); });
  tabView_->setCornerWidget(learn, Qt::TopRightCorner);
  learn->show();
  auto* column = new QVBoxLayout(content->body());
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(tabView_);
}

void QKBMSMCoordinator::awakeFromNib() {
  paletteStackOrder_ = 1;
  window_->awakeFromNib();
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
  lockSilently(sliderInspector_->syncToggle(), buttonInspector_->syncToggle());
  lockSilently(sliderInspector_->midiDetectButton(), buttonInspector_->midiDetectButton());
  lockSilently(sliderInspector_->oscDetectButton(), buttonInspector_->oscDetectButton());
}

// A button locked to another takes over its state, with output; the
// inspectors' actions must not run for that (a queued sync action would
// unbind the selected sliders, a detect action start learning), so neither
// button has a target while they lock.
void QKBMSMCoordinator::lockSilently(QKButton* master, QKButton* member) {
  const std::weak_ptr<const void> masterTarget = master->cell()->target();
  const std::weak_ptr<const void> memberTarget = member->cell()->target();
  master->setTarget({});
  member->setTarget({});
  master->lockThisButtonToMe(member);
  master->setTarget(masterTarget);
  member->setTarget(memberTarget);
}

// --- Tabs ------------------------------------------------------------------------------------

void QKBMSMCoordinator::selectTab(const QString& label) {
  const int current = tabView_->currentIndex();
  if (current >= 0 && tabView_->tabText(current) == label) return;
  for (int i = 0; i < tabView_->count(); ++i)
    if (tabView_->tabText(i) == label) tabView_->selectTabViewItem(i);
}

void QKBMSMCoordinator::selectSlider() { selectTab(kSliderTab); }

void QKBMSMCoordinator::selectButton() { selectTab(kButtonTab); }

void QKBMSMCoordinator::selectNothing() { selectTab(kNoneTab); }

// --- Palette -----------------------------------------------------------------------------------

void QKBMSMCoordinator::QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) {
  if (!view || view->collapsed()) return;
  sliderInspector_->sourceViewController()->reloadView();
  buttonInspector_->sourceViewController()->reloadView();
}

void QKBMSMCoordinator::hardwareLearnUsed() {
  if (controller_)
    controller_->setHardwareLearnMode(buttonInspector_->hardwareLearnButton()->intValue() == 1);
}
