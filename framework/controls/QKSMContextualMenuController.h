#pragma once

#include "framework/controls/ContextualMenuProvider.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/datasource/KeyPath.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class DataSourceController;
class DataSourceSubmenu;
class QAction;
class QKSliderManager;
class QMenu;

// The contextual menu every slider pops up on a right click: seven commands
// told apart by their titles, acting on every selected slider, a submenu of
// the data sources that binds them and a submenu of the behaviour chains
// that applies one. A command item shows its flag over the selection as on,
// off or mixed (MenuItemState); choosing it sets the flag on every selected
// slider when it is off or mixed, and clears it when it is on. The source
// submenu's items carry their key paths and are checked by comparing paths.
// Main thread only.
class QKSMContextualMenuController : public DSMenuReloading, public ContextualMenuProvider {
 public:
  static const QString kSynch;            // "Synch To Data Source"
  static const QString kApplyBehavior;    // "Apply Behavior Chain"
  static const QString kMIDIDetect;       // "Start MIDI Detect"
  static const QString kOSCDetect;        // "Start OSC Detect"
  static const QString kLockUI;           // "Lock Slider UI"
  static const QString kShowSyncToggle;   // "Show Sync. Toggle"
  static const QString kShowBehavToggle;  // "Show Behav. Toggle"
  static const QString kDataSources;      // "Data Sources"
  static const QString kBehaviorChains;   // "Behavior Chains"
  static const QStringList& commandTitles();

  QKSMContextualMenuController();
  ~QKSMContextualMenuController() override;

  void setSliderManager(QKSliderManager* manager) { sliderManager_ = manager; }
  void setDataSourceController(DataSourceController* controller) { controller_ = controller; }
  // The inspector's refresh, after a source or chain was chosen.
  void setRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

  QMenu* sliderContextualMenu() const { return menu_.get(); }
  QMenu* contextualMenu() override { return menu_.get(); }
  QAction* item(const QString& title) const;
  QAction* dataSourcesLabelItem() const { return dataSourcesLabelItem_; }
  QMenu* dataSourcesMenu() const;
  QMenu* behaviorChainsMenu() const { return behaviorChainsMenu_; }

  void sliderContextualMenuUsed(QAction* item);
  void sliderCMDataSourceChosen(QAction* item);
  void sliderCMBehaviorChainChosen(QAction* item);
  void reloadDSContextualMenu() override;
  void reloadBCContextualMenu();

  void setItemState(const QString& title, int state);
  int itemState(const QString& title) const;
  void deselectAllDataSources();
  bool selectDataSourceNamed(const KeyPath& path);
  void deselectAllBehaviorChains();
  void selectBehaviorChainNamed(const QString& name);

 private:
  void applyToSelected(const QString& title, bool flag);

  std::unique_ptr<QMenu> menu_;
  QAction* dataSourcesLabelItem_ = nullptr;
  QAction* behaviorChainsLabelItem_ = nullptr;
  std::unique_ptr<DataSourceSubmenu> dataSources_;
  QMenu* behaviorChainsMenu_ = nullptr;  // owned by menu_
  QKSliderManager* sliderManager_ = nullptr;
  DataSourceController* controller_ = nullptr;
  std::function<void()> refresh_;
  NotificationObservers observers_;
};
