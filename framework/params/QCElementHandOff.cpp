#include "framework/params/QCElementHandOff.h"

#include "framework/params/QCPanelElement.h"
#include "platform/foundation/MainThread.h"

void QCElementHandOff::queue(const std::shared_ptr<QCPanelElement>& element) {
  if (!element) return;
  const QString key = element->key();
  if (key.isEmpty()) return;
  if (lockA_.try_lock()) {
    pendingA_.insert(key, element);
    lockA_.unlock();
    return;
  }
  std::lock_guard lock(lockB_);
  pendingB_.insert(key, element);
}

int QCElementHandOff::deliver(const Deliver& deliver) {
  return this->deliver([&deliver](const QString&, const std::shared_ptr<QCPanelElement>& element) {
    deliver(element);
  });
}

int QCElementHandOff::deliver(const KeyedDeliver& deliver) {
  return deliverFrom(lockA_, pendingA_, deliver) + deliverFrom(lockB_, pendingB_, deliver);
}

int QCElementHandOff::deliverFrom(std::mutex& lock, Pending& pending, const KeyedDeliver& deliver) {
  if (!lock.try_lock()) return 0;
  Pending taken;
  taken.swap(pending);
  lock.unlock();
  for (auto it = taken.cbegin(); it != taken.cend(); ++it) deliver(it.key(), it.value());
  const int count = static_cast<int>(taken.size());
  releaseOnMainThread(std::move(taken));
  return count;
}

void QCElementHandOff::releaseOnMainThread(Pending&& delivered) {
  bool lastOwner = false;
  for (const auto& element : std::as_const(delivered)) lastOwner |= element.use_count() == 1;
  if (!lastOwner) return;
  auto keep = std::make_shared<Pending>(std::move(delivered));
  MainThread::post([keep] { keep->clear(); });
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
}

int QCElementHandOff::pendingCount() const {
  std::scoped_lock lock(lockA_, lockB_);
  return static_cast<int>(pendingA_.size() + pendingB_.size());
}
