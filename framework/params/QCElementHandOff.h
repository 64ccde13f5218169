#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class QCPanelElement;

// Carries panel elements that changed to the render thread, one entry per
// key (a later change of the same control replaces the earlier one; its
// value is read at delivery, so only the latest reaches the renderer).
//
// Two dictionaries, each under its own mutex: a sender (the main thread, the
// data-source tick, a MIDI or OSC thread) try-locks A and otherwise waits on
// B, whose holders never wait on anything; the render thread try-locks
// each and skips a busy one, which is delivered on a later frame. So the
// render thread never waits, and nothing queued is lost.
//
// An element whose last owner is the hand-off (its panel let go of it while
// it was queued) is released on the main thread, where its view lives.
class QCElementHandOff {
 public:
  using Deliver = std::function<void(const std::shared_ptr<QCPanelElement>&)>;
  // The same with the key each element was queued under.
  using KeyedDeliver =
      std::function<void(const QString& key, const std::shared_ptr<QCPanelElement>&)>;

  // Any thread. Nothing for a null element or an empty key.
  void queue(const std::shared_ptr<QCPanelElement>& element);
  // Render thread: delivers A, then B, each only when its lock is free; the
  // delivered dictionary is emptied. Answers how many were delivered.
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
  using Pending = QHash<QString, std::shared_ptr<QCPanelElement>>;
  static int deliverFrom(std::mutex& lock, Pending& pending, const KeyedDeliver& deliver);
  static void releaseOnMainThread(Pending&& delivered);

  mutable std::mutex lockA_;
  Pending pendingA_;
  mutable std::mutex lockB_;
  Pending pendingB_;
};
