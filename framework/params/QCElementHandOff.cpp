#include "framework/params/QCElementHandOff.h"

#include "framework/params/QCPanelElement.h"
#include "platform/foundation/MainThread.h"

void QCElementHandOff::queue(const std::shared_ptr<QCPanelElement>& element) {
  if (!element || element->key().isEmpty()) return;
  // Already waiting: the delivery reads the value it has by then.
  if (element->handOffQueued().exchange(true)) return;
  if (lockA_.try_lock()) {
    pendingA_.push_back(element);
    lockA_.unlock();
    return;
  }
  std::lock_guard lock(lockB_);
  pendingB_.push_back(element);
}

int QCElementHandOff::deliver(const Deliver& deliver) {
  return deliverFrom(lockA_, pendingA_, deliveringA_, deliver) +
         deliverFrom(lockB_, pendingB_, deliveringB_, deliver);
}

int QCElementHandOff::deliver(const KeyedDeliver& deliver) {
  return this->deliver([&deliver](const std::shared_ptr<QCPanelElement>& element) {
    deliver(element->key(), element);
  });
}

int QCElementHandOff::deliverFrom(std::mutex& lock, Pending& pending, Pending& delivering,
                                  const Deliver& deliver) {
  if (!lock.try_lock()) return 0;
  delivering.swap(pending);
  lock.unlock();
  bool lastOwner = false;
  for (const auto& element : delivering) {
    // Cleared before the value is read: a change from now on queues it again.
    element->handOffQueued().store(false);
    deliver(element);
    lastOwner |= element.use_count() == 1;
  }
  const int count = static_cast<int>(delivering.size());
  if (lastOwner)
    releaseOnMainThread(delivering);
  else
    delivering.clear();
  return count;
}

void QCElementHandOff::releaseOnMainThread(Pending& delivered) {
  auto keep = std::make_shared<Pending>(std::move(delivered));
  delivered.clear();
  MainThread::post([keep] { keep->clear(); });
}

void QCElementHandOff::forget(Pending& taken) {
  for (const auto& element : taken) element->handOffQueued().store(false);
}

void QCElementHandOff::clear() {
  Pending a, b;
  {
    std::lock_guard lock(lockA_);
    a.swap(pendingA_);
  }
  {
    std::lock_guard lock(lockB_);
    b.swap(pendingB_);
  }
  forget(a);
  forget(b);
}

int QCElementHandOff::pendingCount() const {
  std::scoped_lock lock(lockA_, lockB_);
  return static_cast<int>(pendingA_.size() + pendingB_.size());
}
