#include "framework/toolkit/RepaintRequest.h"

#include "platform/foundation/MainThread.h"

RepaintRequest::RepaintRequest(QWidget* view) : view_(view) {}

// The guard is copied here, on the requesting thread: only its reference
// count is touched, and it is read on the main thread, where the view dies.
void RepaintRequest::post() {
  QPointer<QWidget> guard = view_;
  MainThread::coalesce(this, [this, guard] {
    if (!guard) return;  // the view, and this request with it, are gone
    pending_.store(false, std::memory_order_release);
    guard->update();
  });
}
