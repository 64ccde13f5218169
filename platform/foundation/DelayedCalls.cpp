#include "platform/foundation/DelayedCalls.h"

#include "platform/foundation/MainThread.h"

namespace {
class MainThreadDelayedCalls : public DelayedCalls {
 public:
  void callLater(const void* key, double seconds, Work work) override {
    MainThread::runLater(key, seconds, std::move(work));
  }
  void cancel(const void* key) override { MainThread::cancel(key); }
};
}  // namespace

DelayedCalls& DelayedCalls::mainThread() {
  static MainThreadDelayedCalls calls;
  return calls;
}
