#pragma once

#include "framework/controls/ContextualMenuProvider.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/datasource/KeyPath.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class DataSourceController;
class DataSourceSubmenu;
class QAction;
class QKButtonInspector;
class QKButtonManager;
class QMenu;

// The contextual menu every button pops up on a right click: the inspector's
// commands as ten items, told apart by their titles, acting on every
// selected button, and a submenu of the data sources that binds them. The
// submenu is rebuilt from the data-source controller on request; an item
// carries its source's key path, and the selected buttons' sources are
// checked by comparing paths. Main thread only.
class QKBMContextualMenuController : public DSMenuReloading, public ContextualMenuProvider {
 public:
  static const QString kSynch;           // "Synch To Data Source"
  static const QString kMIDIDetect;      // "Start MIDI Detect"
  static const QString kOSCDetect;       // "Start OSC Detect"
  static const QString kKeyDetect;       // "Start Key Detect"
  static const QString kButtonDetect;    // "Start Button Detect"
  static const QString kStraightSync;    // "Straight Sync Triggering"
  static const QString kEdgeTrigger;     // "Edge-Based Triggering"
  static const QString kTriggerOnRise;   // "Trigger On Rise"
  static const QString kTriggerOnFall;   // "Trigger On Fall"
  static const QString kShowSyncToggle;  // "Show Sync. Toggle"
  static const QString kDataSources;     // "Data Sources"
  // The ten command titles, in menu order.
  static const QStringList& commandTitles();

  QKBMContextualMenuController();
  ~QKBMContextualMenuController() override;

  void setButtonManager(QKButtonManager* manager) { buttonManager_ = manager; }
  void setDataSourceController(DataSourceController* controller) { controller_ = controller; }
  void setInspector(QKButtonInspector* inspector) { inspector_ = inspector; }

  QMenu* buttonContextualMenu() const { return menu_.get(); }
  QMenu* contextualMenu() override { return menu_.get(); }
  // The command item with that title; null for another title.
  QAction* item(const QString& title) const;
  QAction* dataSourcesLabelItem() const { return dataSourcesLabelItem_; }
  QMenu* dataSourcesMenu() const;

  // The command of the item's title, on every selected button.
  void buttonContextualMenuUsed(QAction* item);
  // Binds every selected button to the item's source.
  void buttonCMDataSourceChosen(QAction* item);
  // Rebuilds the data-source submenu.
  void reloadDSContextualMenu() override;
  void deselectAllDataSources();
  // The trigger-mode items for all edge-based (1) or all straight (0)
  // buttons: the matching item on, the other off, the rise and fall items
  // enabled only for edges. Mixed (-1) changes nothing.
  void showTriggerMode(int mode);
  // The item's on (1), off (0) or mixed (-1) state (MenuItemState).
  void setItemState(const QString& title, int state);
  int itemState(const QString& title) const;
  // Checks the first item for `path`; false when there is none.
  bool selectDataSourceNamed(const KeyPath& path);

 private:
  void applyToSelected(const QString& title, int itemState);

  std::unique_ptr<QMenu> menu_;
  QAction* dataSourcesLabelItem_ = nullptr;
  std::unique_ptr<DataSourceSubmenu> dataSources_;
  QKButtonManager* buttonManager_ = nullptr;
  DataSourceController* controller_ = nullptr;
  QKButtonInspector* inspector_ = nullptr;
};
