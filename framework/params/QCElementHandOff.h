#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QCPanelElement;

// Carries panel elements that changed to the render thread, each at most
// once until it is delivered (a later change of the same control finds it
// waiting; its value is read at delivery, so only the latest reaches the
// renderer). A panel has one element per key, so this is one entry per key.
//
// Two lists, each under its own mutex: a sender (the main thread, the
// data-source tick, a MIDI or OSC thread) try-locks A and otherwise waits on
// B, whose holders never wait on anything; the render thread try-locks
// each and skips a busy one, which is delivered on a later frame. So the
// render thread never waits, and nothing queued is lost. The lists keep
// their room from frame to frame: neither side allocates once they have
// grown to the panel's size.
//
// An element whose last owner is the hand-off (its panel let go of it while
// it was queued) is released on the main thread, where its view lives.
class QCElementHandOff {
 public:
  using Deliver = std::function<void(const std::shared_ptr<QCPanelElement>&)>;
  // The same with the element's key.
  using KeyedDeliver =
      std::function<void(const QString& key, const std::shared_ptr<QCPanelElement>&)>;

  // Any thread. Nothing for a null element or an empty key.
  void queue(const std::shared_ptr<QCPanelElement>& element);
  // Render thread (one thread at a time): delivers A, then B, each only
  // when its lock is free; the delivered list is emptied. Answers how many
  // were delivered.
  int deliver(const Deliver& deliver);
  int deliver(const KeyedDeliver& deliver);
  // Empties both, each under its own lock (blocking).
  void clear();
  // How many are queued (tests).
  int pendingCount() const;

  // Tests: hold one lock as another thread would.
  std::mutex& lockA() { return lockA_; }
  std::mutex& lockB() { return lockB_; }

 private:
  using Pending = std::vector<std::shared_ptr<QCPanelElement>>;
  // `delivering` takes the list and hands its room back at the next frame.
  static int deliverFrom(std::mutex& lock, Pending& pending, Pending& delivering,
                         const Deliver& deliver);
  static void forget(Pending& taken);
  // Called when the hand-off held the last reference of one of them.
  static void releaseOnMainThread(Pending& delivered);

  mutable std::mutex lockA_;
  Pending pendingA_;
  mutable std::mutex lockB_;
  Pending pendingB_;
  Pending deliveringA_;
  Pending deliveringB_;
};
