#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// The lock relations of one control (a slider or a button cell) and the
// fan-out that makes locked controls follow each other.
//
// A control is a master when others are locked to it (its members), and a
// member when it is locked to a master. A change started on any control of a
// group reaches every other control once: a member passes it up to its
// master, the master passes it down to all its members, and the echo that
// comes back to a control whose fan-out is running is dropped, because the
// fan-out lock is only ever tried, never waited for. A change that arrives
// from another thread while a fan-out runs is dropped the same way.
//
// Membership may change on the main thread while another thread fans out:
// it is guarded by its own mutex, and the fan-out walks a copy taken under
// that mutex, so no message is sent while the membership mutex is held.
// Members are held weakly: a member that is gone is skipped and pruned.
//
// Lock order: the fan-out lock may be held while the messages run (they take
// other controls' locks); the membership mutex is a leaf and is never held
// while anything outside this class runs.
template <typename Control>
class ControlLockGroup {
 public:
  using Ptr = std::shared_ptr<Control>;
  using WeakPtr = std::weak_ptr<Control>;

  enum class FanOut {
    NotLinked,  // neither master nor member: apply the change locally
    Sent,       // sent to the group: apply the change locally too
    Busy,       // a fan-out of this control is running: drop the change
  };

  ControlLockGroup() = default;
  ControlLockGroup(const ControlLockGroup&) = delete;
  ControlLockGroup& operator=(const ControlLockGroup&) = delete;

  // Members (this control as a master). ------------------------------------

  // Appends a member; false when it is already one.
  bool addMember(const Ptr& member) {
    if (!member) return false;
    std::lock_guard<std::mutex> guard(mutex_);
    if (indexOf(member.get()) >= 0) return false;
    members_.push_back(Member{member.get(), member});
    return true;
  }

  bool removeMember(const Control* member) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto before = members_.size();
    std::erase_if(members_, [member](const Member& m) { return m.identity == member; });
    return members_.size() != before;
  }

  bool containsMember(const Control* member) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return indexOf(member) >= 0;
  }

  bool hasAnyMember() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return !members_.empty();
  }

  // The live members, in the order they were added.
  std::vector<Ptr> members() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return liveMembers();
  }

  // Detaches every member, first to last: `detach` is called on each live
  // one (it is expected to remove itself); whatever is still listed after
  // that, and every member that is gone, is removed here, so the loop ends.
  void detachAllMembers(const std::function<void(Control&)>& detach) {
    for (;;) {
      Member first;
      {
        std::lock_guard<std::mutex> guard(mutex_);
        if (members_.empty()) return;
        first = members_.front();
      }
      if (Ptr member = first.control.lock()) detach(*member);
      removeMember(first.identity);
    }
  }

  // The master flag (`hasLockedSliders`, `hasLockedButtons`). It is set from
  // the member list by the owner and may outlive an emptied list.
  bool isMaster() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return isMaster_;
  }
  void setIsMaster(bool flag) {
    std::lock_guard<std::mutex> guard(mutex_);
    isMaster_ = flag;
    publishLinkedLocked();
  }

  // The master (this control as a member). ---------------------------------

  Ptr master() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return master_.lock();
  }
  void setMaster(const Ptr& master) {
    std::lock_guard<std::mutex> guard(mutex_);
    master_ = master;
  }

  // The member flag (`lockedFlag`).
  bool isMember() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return isMember_;
  }
  void setIsMember(bool flag) {
    std::lock_guard<std::mutex> guard(mutex_);
    isMember_ = flag;
    publishLinkedLocked();
  }

  // Read without the membership mutex: every change of a control asks it,
  // on whichever thread sets the control.
  bool isLinked() const { return linked_.load(std::memory_order_acquire); }

  // Locking and unlocking, the same for every kind of control. The control
  // answers `unlockMe()` and `setLockedFlag(bool)`, and `groupOf` gives a
  // control's group. ------------------------------------------------------------

  // Makes `other` a member of this group, whose control is `self`: `other`
  // leaves any group first, learns its master through `setMaster(other,
  // self)`, joins, and is then flagged (which lets it take over its master's
  // state). A control that is already a member is left as it is.
  template <typename SetMaster>
  void lockToMe(const Ptr& self, const Ptr& other, SetMaster&& setMaster) {
    if (!other || other == self) return;
    if (!containsMember(other.get())) {
      other->unlockMe();
      setMaster(*other, self);
      addMember(other);
      other->setLockedFlag(true);
    }
    setIsMaster(hasAnyMember());
  }

  // Leaves the master (this group's control is `self`) and frees every
  // member, each through its own `unlockMe`.
  template <typename GroupOf>
  void unlockAll(const Control* self, GroupOf&& groupOf) {
    if (isMember()) {
      if (Ptr m = master()) groupOf(*m).removeMember(self);
      setMaster(nullptr);
      setIsMember(false);
    }
    if (isMaster()) {
      detachAllMembers([](Control& member) { member.unlockMe(); });
      setIsMaster(false);
    }
  }

  // Fan-out. -----------------------------------------------------------------

  // `okayToTriggerLocked…`: NO when not linked, else whether the fan-out
  // lock was free. On true the caller owns the lock and calls `unlock`.
  bool tryLock() {
    if (!isLinked()) return false;
    return fanOutLock_.try_lock();
  }
  void unlock() { fanOutLock_.unlock(); }

  // Sends a change to the rest of the group: to every member when this
  // control is a master, otherwise to its master. `send(target, output)` is
  // called with the caller's own output flag, so a silent change stays
  // silent on every control of the group.
  template <typename Send>
  FanOut fanOut(bool output, Send&& send) {
    if (!isLinked()) return FanOut::NotLinked;
    if (!fanOutLock_.try_lock()) return FanOut::Busy;
    struct Unlock {
      std::mutex& lock;
      ~Unlock() { lock.unlock(); }
    } unlockOnExit{fanOutLock_};
    for (const Ptr& target : targets()) send(*target, output);
    return FanOut::Sent;
  }

  // The same for changes that carry no output flag.
  template <typename Send>
  FanOut fanOut(Send&& send) {
    return fanOut(false, [&send](Control& target, bool) { send(target); });
  }

 private:
  struct Member {
    const Control* identity = nullptr;
    WeakPtr control;
  };

  void publishLinkedLocked() { linked_.store(isMaster_ || isMember_, std::memory_order_release); }

  int indexOf(const Control* member) const {
    const auto it = std::find_if(members_.begin(), members_.end(),
                                 [member](const Member& m) { return m.identity == member; });
    return it == members_.end() ? -1 : static_cast<int>(it - members_.begin());
  }

  std::vector<Ptr> liveMembers() const {
    std::vector<Ptr> live;
    live.reserve(members_.size());
    for (const Member& m : members_) {
      if (Ptr p = m.control.lock()) live.push_back(std::move(p));
    }
    return live;
  }

  // A master sends to its members only, never up to its own master.
  std::vector<Ptr> targets() const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (isMaster_) return liveMembers();
    if (isMember_) {
      if (Ptr master = master_.lock()) return {master};
    }
    return {};
  }

  mutable std::mutex mutex_;  // membership, flags and master
  std::vector<Member> members_;
  WeakPtr master_;
  bool isMaster_ = false;
  bool isMember_ = false;
  std::atomic<bool> linked_{false};  // isMaster_ || isMember_, written under mutex_

  std::mutex fanOutLock_;  // only ever tried
};
