#pragma once

#include <QPointer>
#include <QWidget>

#include <atomic>

// Asks for a repaint of one view from any thread. A view keeps one as a
// member and calls `request()` whenever a value it shows changes.
//
// The first request while none is pending hands one coalesced call to the
// main thread; every later request until that call runs only reads the
// pending flag (no lock, no allocation). The call clears the flag before it
// asks the view to update, so a change made while it paints asks again: a
// thousand changes cost at most one repaint per event-loop pass, and the
// paint reads the latest value. The call holds the view through a QPointer:
// a request pending when its view is destroyed does nothing.
//
// The writer's fast path is a store and a load with no fence between them (a
// fence would cost more than the store). A value stored at the instant the
// flag is cleared may therefore sit in the writer's store buffer while the
// flag still reads set; the paint that follows reads the value a full
// event-loop step later, long after such a buffer has drained.
//
// Construct and destroy on the main thread (with the view).
class RepaintRequest {
 public:
  explicit RepaintRequest(QWidget* view);
  RepaintRequest(const RepaintRequest&) = delete;
  RepaintRequest& operator=(const RepaintRequest&) = delete;

  // Any thread.
  void request() {
    if (pending_.load(std::memory_order_acquire)) return;
    if (pending_.exchange(true, std::memory_order_acq_rel)) return;
    post();
  }
  bool pending() const { return pending_.load(std::memory_order_acquire); }

 private:
  void post();

  const QPointer<QWidget> view_;
  std::atomic<bool> pending_{false};
};
