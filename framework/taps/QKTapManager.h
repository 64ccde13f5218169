#pragma once

#include "framework/taps/QKTapMenuItem.h"

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <vector>

class LayerInterface;
class QKRTap;
class QKRTapStub;
class QKSTap;
class QKTapClient;
struct Notification;

// The registry of render taps. A source tap (`QKSTap`) publishes a picture
// under a name; receivers (`QKRTap`) bind to a name; for every name that has
// both a source and at least one receiver the manager keeps one stub
// (`QKRTapStub`), which the source and every receiver of the name share: the
// producer hands each frame to the stub and the receivers read it there.
// Receivers of a name without a source stay filed and are served as soon as
// a source of that name is adopted.
//
// Taps and tap menu controllers register by posting "QKTapNewTapNotification"
// (`announce`); the manager adopts them before the post returns. A source is
// filed under its name (the newest source of a name wins it; the one it
// displaces is detached); removal and renaming go by identity, so a source
// that is not the filed one changes nothing in the tables. After every change
// of the source list the manager rebuilds its three menus (as data) and posts
// "QKTapReloadSTapListNotification" (object the manager) on the thread that
// made the change, after unlocking.
//
// Lock: one recursive mutex guards the tables, the menus and the mutable
// state of every tap and stub the manager adopted (their names, stubs,
// delegates and frames). The compositor holds it across its tap pass, during
// which producers hand frames to stubs and stubs call their receivers'
// delegates on the same thread; mutators hold it only briefly and neither
// post nor call out while holding it. Lock order: this lock, then whatever a
// receiver's delegate takes. The lock lives in a `Link` shared with every
// adopted tap and stub, so that one outliving the manager finds it gone and
// does nothing.
class QKTapManager {
 public:
  struct Link {
    std::recursive_mutex mutex;
    QKTapManager* manager = nullptr;  // under mutex; null once the manager is gone
  };
  using StubPtr = std::shared_ptr<QKRTapStub>;
  using Menu = std::vector<QKTapMenuItem>;

  static const QString kNewTapNotification;          // "QKTapNewTapNotification"
  static const QString kReloadSTapListNotification;  // "QKTapReloadSTapListNotification"
  // The name of a receiver bound to no tap; never a source's name.
  static const QString kEmptyDeselectedString;  // "QKEmptyDeselectedString"
  static const QString kNoneTitle;              // "<none>", the first item of every menu
  // The reload notification's user info.
  static const QString kReasonKey;          // "reason"
  static const QString kCreateTapReason;    // "createTap"
  static const QString kCreatedTapNameKey;  // "createdTapName"
  static const QString kDeleteTapReason;    // "deleteTap"
  static const QString kDeletedTapNameKey;  // "deletedTapName"
  static const QString kChangeNameReason;   // "changeName"
  static const QString kOldNameKey;         // "oldName"
  static const QString kNewNameKey;         // "newName"

  QKTapManager();
  ~QKTapManager();
  QKTapManager(const QKTapManager&) = delete;
  QKTapManager& operator=(const QKTapManager&) = delete;

  // Posts the registration of `client`. No manager adopting it is a failed
  // internal check: the manager is made at start-up before any tap.
  static void announce(QKTapClient* client);
  // Whether a source may be filed under the name (not empty, not
  // "QKEmptyDeselectedString").
  static bool isValidTapName(const QString& name);

  // --- Mutators -----------------------------------------------------------------
  // Moves a receiver to a name (an invalid name binds it to nothing).
  void thisRTap(QKRTap* receiver, const QString& wantsToReceiveFrom);
  void removeThisRTap(QKRTap* receiver);
  void removeThisSTap(QKSTap* source);
  // The source takes the new name; when it is the filed source of its old
  // name, its stub and receivers move with it.
  void sTapNameChange(QKSTap* source, const QString& newName);
  // Rebuilds the menus and posts the reload notification with `userInfo`.
  void reloadTapsPostDict(const QVariantMap& userInfo);

  // --- Readers ------------------------------------------------------------------
  // Null for an invalid or unknown name. Pointers stay valid while the caller
  // holds the lock.
  QKSTap* sTapNamed(const QString& name) const;
  LayerInterface* layerForSTapNamed(const QString& name) const;
  std::vector<QKRTap*> rTapsForName(const QString& name) const;
  QStringList sTapKeyArray() const;
  // Taps without a layer first, then in layer order (ties by name).
  QStringList sTapKeyArraySortedByIndex() const;
  QHash<QString, StubPtr> rTapStubDict() const;
  // The stubs for the compositor's tap pass, deepest layer first. For a
  // caller holding the lock; the list stays as it is until the next call
  // (a stub dropped meanwhile is detached, and a frame handed to it goes
  // nowhere).
  const std::vector<StubPtr>& stubsDeepestFirst();

  // Each begins with "<none>": all taps; taps with a layer (indented by
  // depth); taps without a layer.
  Menu sortedSTapMenu() const;
  Menu sortedLayerSTapMenu() const;
  Menu sortedInputSTapMenu() const;
  // The font of the menu items.
  static QFont fontAttribs();

  // The manager's lock (blocking, recursive); the compositor holds it across
  // its tap pass.
  void lock() { link_->mutex.lock(); }
  void unlock() { link_->mutex.unlock(); }
  const std::shared_ptr<Link>& link() const { return link_; }

 private:
  using Lock = std::lock_guard<std::recursive_mutex>;

  void newTapNotification(const Notification& notification);
  void adoptSource(QKSTap* source);
  void displace(const QString& name);
  void moveFiledSource(QKSTap* source, const QString& from, const QString& to);
  void unbind(QKRTap* receiver);
  void bind(QKRTap* receiver, const QString& name);
  void dropStub(const QString& name);
  void serve(const QString& name);
  QStringList sortedNames() const;
  void rebuildMenus();
  void detachAll();

  std::shared_ptr<Link> link_;
  // Under link_->mutex:
  QHash<QString, std::vector<QKRTap*>> rTapDict_;
  QHash<QString, StubPtr> rTapStubDict_;
  QHash<QString, QKSTap*> sTapDict_;
  Menu sortedSTapMenu_;
  Menu sortedLayerSTapMenu_;
  Menu sortedInputSTapMenu_;
  // The stubs of the last tap pass; made again after the table changed.
  std::vector<StubPtr> passStubs_;
  bool passStubsStale_ = true;
};
