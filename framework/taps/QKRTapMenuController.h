#pragma once

#include "framework/taps/QKTapClient.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class QAction;
class QMenu;

// Fills a pop-up with the tap manager's menu of source taps and keeps the
// chosen tap by name: across reloads, renames (it follows "newName"),
// deletions (it falls back to "<none>") and preset restores (no reload while
// one runs, one at its end). After every reload and every choice it runs its
// action. Items carry their tap name as data ("<none>" an empty one); their
// titles are indented by layer depth.
//
// Main thread only: the reload and restore notifications, posted on any
// thread, are taken through MainThread::run. The snapshot is
// {"lastSelectedName": name}, or empty for "<none>".
class QKRTapMenuController : public QObject, public QKTapClient {
  Q_OBJECT
 public:
  static const QString kRestoreStartNotification;  // "QKPMRestoreStartNotification"
  static const QString kRestoreEndNotification;    // "QKPMRestoreEndNotification"
  static const QString kLastSelectedNameKey;       // "lastSelectedName"

  explicit QKRTapMenuController(QObject* parent = nullptr);
  ~QKRTapMenuController() override;

  // Registers with the tap manager (which reloads the pop-up) and follows
  // the tap list and preset restores.
  void awakeFromNib();
  void prepareToBeDeleted();

  void setTapManager(QKTapManager* manager) override;
  QKTapManager* tapManager() const override;

  // The pop-up's action.
  void menuUsed(QAction* item);
  void bang();
  void reloadAvailableTapsMethod();
  void reloadAvailableTapsNotification(const QVariantMap& userInfo);
  void startPresetRestoreNotification();
  void stopPresetRestoreNotification();

  QVariantMap createSnapshot() const;
  // Applied at the next reload.
  void loadSnapshot(const QVariantMap& snapshot);

  void setMyAction(std::function<void()> action) { myAction_ = std::move(action); }
  void setButton(QKNSPopUpButton* button);
  QKNSPopUpButton* button() const { return button_; }
  // Empty for "<none>".
  void setLastSelectedName(const QString& name) { lastSelectedName_ = name; }
  QString lastSelectedName() const { return lastSelectedName_; }
  // The copy of the manager's menu shown now.
  const QKTapManager::Menu& localMenu() const { return localMenu_; }

 protected:
  // The manager's menu this controller shows (all source taps).
  virtual QKTapManager::Menu menuOf(const QKTapManager& manager) const;

 private:
  QKTapManager::Menu copyOfManagersMenu() const;
  void fillButton();
  // Runs `work` on the main thread unless the controller is gone by then.
  void onMain(std::function<void(QKRTapMenuController&)> work);

  QPointer<QKNSPopUpButton> button_;
  std::shared_ptr<QKTapManager::Link> link_;
  std::function<void()> myAction_;
  QKTapManager::Menu localMenu_{QKTapMenuItem{}};
  QString lastSelectedName_;
  bool restoring_ = false;
  // Last: removed first when the controller goes.
  NotificationObservers observers_;
};
