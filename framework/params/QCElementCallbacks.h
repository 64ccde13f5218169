#pragma once

#include "framework/params/QCPanelElement.h"

#include <mutex>

// The two callbacks a panel gives an element (its action and its snapshot
// notice), set and fired from any thread. Firing copies the callback under
// the mutex and calls it outside.
class QCElementCallbacks {
 public:
  void setAction(QCPanelElement::Callback action) {
    std::lock_guard lock(mutex_);
    action_ = std::move(action);
  }
  void setSnapshotNotice(QCPanelElement::Callback notice) {
    std::lock_guard lock(mutex_);
    notice_ = std::move(notice);
  }
  void clear() {
    std::lock_guard lock(mutex_);
    action_ = nullptr;
    notice_ = nullptr;
  }
  void fireAction() const { fire(false); }
  void fireNotice() const { fire(true); }
  bool hasAction() const {
    std::lock_guard lock(mutex_);
    return bool(action_);
  }

 private:
  void fire(bool notice) const {
    QCPanelElement::Callback callback;
    {
      std::lock_guard lock(mutex_);
      callback = notice ? notice_ : action_;
    }
    if (callback) callback();
  }

  mutable std::mutex mutex_;
  QCPanelElement::Callback action_;
  QCPanelElement::Callback notice_;
};
