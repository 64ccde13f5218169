#pragma once

#include "framework/toolkit/WindowMenuControllerInterface.h"
#include "platform/foundation/NotificationObservers.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QAction;
class QKPaletteWindow;
class QKWindow;
class QMenu;

// The Window menu's controller: owns the two interface locks (their items
// toggle them and post "QKWMCLockChangedNotification" with the controller as
// object), answers palettes looking for it ("QKWMCFindWinMCNotification"),
// and lists the windows in three sections: the palettes, ordered by
// paletteStackOrder, with Ctrl+1 … Ctrl+9 for the fixed palettes by exact
// title and a check mark on the visible ones; under "Layers", the layer
// windows ("QKWMCAddLayerWindowNotification") in the order announced; under
// "Plugins", the plug-in windows ("QKWMCAddPluginWindowNotification") sorted
// by title, case-sensitively. Choosing a palette's entry shows or hides it;
// choosing another brings its window onto the screen and forward. Windows
// enter and leave the lists only by notification. Main thread only.
class AppWindowMenuController : public QObject, public WindowMenuControllerInterface {
  Q_OBJECT
 public:
  // Adds the lock items and the palette section to `windowMenu`; the items
  // already there stay above them.
  explicit AppWindowMenuController(QMenu* windowMenu, QObject* parent = nullptr);
  ~AppWindowMenuController() override;

  bool interfaceLock() const override { return interfaceLock_; }
  bool interfaceLockAll() const override { return interfaceLockAll_; }
  // The two lock items' actions: at most one lock is on at a time.
  void lockInterfaceItemUsed();
  void lockAllInterfaceItemUsed();
  // Brings the locks to the given state through the items' actions (one
  // notification per action run); both asked, lock-all wins.
  void setLock(bool lock, bool lockAll);

  QAction* interfaceLockItem() const { return lockItem_; }
  QAction* interfaceLockAllItem() const { return lockAllItem_; }
  // The palette entries, in menu order.
  QList<QAction*> paletteEntries() const { return paletteEntries_; }
  // The layer window entries, in menu order.
  QList<QAction*> layerEntries() const { return layerEntries_; }
  // The plug-in window entries, in menu order.
  QList<QAction*> pluginEntries() const { return pluginEntries_; }
  // The digit of a fixed palette's key equivalent (with Ctrl); empty for
  // other titles.
  static QString keyEquivalentForTitle(const QString& title);

  void reloadMenuContents();

 private:
  void observeNotifications();
  void addPaletteWindow(QKPaletteWindow* window);
  void addWindow(std::vector<QPointer<QKWindow>>& list, QKWindow* window);
  void removeWindow(const void* window);
  QAction* makeEntry(QKPaletteWindow* window);
  QAction* makeWindowEntry(QKWindow* window);
  void postLockChanged();

  QMenu* menu_;
  QAction* lockItem_;
  QAction* lockAllItem_;
  QAction* paletteHeader_;
  QAction* layerHeader_;
  QAction* pluginHeader_;
  bool interfaceLock_ = false;
  bool interfaceLockAll_ = false;
  std::vector<QPointer<QKPaletteWindow>> paletteWindows_;
  QList<QAction*> paletteEntries_;
  std::vector<QPointer<QKWindow>> layerWindows_;
  QList<QAction*> layerEntries_;
  std::vector<QPointer<QKWindow>> pluginWindows_;
  QList<QAction*> pluginEntries_;
  NotificationObservers observers_;
};
