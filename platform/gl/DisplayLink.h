#pragma once

#include "platform/gl/FramePacer.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace gl {

// A thread that calls a frame callback at the screen's refresh rate on a
// steady clock (FramePacer: a late frame is not caught up) and runs the
// work other threads post to it between frames. swapBuffers does not pace
// anything under Xvfb, so this is what paces our frames.
//
// Unpaced, the thread runs only posted work (tests drive frames by hand).
// Every callback and task is guarded: an exception is caught and logged and
// the link goes on.
class DisplayLink {
 public:
  struct Frame {
    FramePacer::TimePoint deadline;  // the boundary the frame is due on
    FramePacer::TimePoint started;
    std::int64_t skippedBefore = 0;  // boundaries missed since the previous frame
    std::uint64_t index = 0;
  };
  using Callback = std::function<void(const Frame&)>;
  using Task = std::function<void()>;
  struct Hooks {
    // Runs first on the new thread; a false answer ends the thread at once.
    std::function<bool()> threadStarted;
    // Runs last on the thread, after the final frame and tasks.
    std::function<void()> threadFinishing;
  };

  explicit DisplayLink(QString name = QStringLiteral("displaylink"));
  ~DisplayLink();
  DisplayLink(const DisplayLink&) = delete;
  DisplayLink& operator=(const DisplayLink&) = delete;

  void setCallback(Callback callback);
  void setRefreshRate(double hertz);
  double refreshRate() const { return refreshRate_.load(); }
  void setPaced(bool paced);
  bool paced() const { return paced_.load(); }

  // Starts the thread and waits until `threadStarted` has answered; false
  // when it refused (the thread has ended then) or when already running.
  bool start(Hooks hooks = {});
  // Ends the thread after the frame or task in progress and joins it. Work
  // still queued runs before `threadFinishing`.
  void stop();
  bool running() const { return running_.load(); }
  bool isLinkThread() const { return std::this_thread::get_id() == threadId_.load(); }

  // Queues work for the link's thread; dropped when the link is not running.
  bool post(Task task);
  // Runs `task` on the link's thread and waits for it (inline on that
  // thread). False when the link is not running. Never call it while
  // holding a lock the link's work may take.
  bool invokeAndWait(Task task);
  // Runs one frame on the link's thread now (paced or not) and waits.
  bool frameNow();

  std::uint64_t frameCount() const { return frames_.load(); }
  bool inFrame() const { return inFrame_.load(); }

 private:
  void threadMain(Hooks hooks);
  void runFrame(FramePacer::TimePoint deadline, std::int64_t skipped);
  void runGuarded(const Task& task, const char* what);

  QString name_;
  Callback callback_;
  std::atomic<double> refreshRate_{60.0};
  std::atomic<bool> paced_{true};
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> inFrame_{false};
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<std::thread::id> threadId_{};

  std::mutex mutex_;  // guards tasks_ and the wake-up
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  std::thread thread_;
};

}  // namespace gl
