#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A thread that calls a procedure once per interval on a steady clock. Calls
// are scheduled at start + k × interval, so the period does not drift; a call
// that outlasts one or more intervals is followed by the next whole interval
// boundary, never by a burst of catch-up calls. Exceptions thrown by the
// procedure are caught and logged, and the loop goes on.
class QKThreadLoop {
 public:
  using Procedure = std::function<void()>;

  QKThreadLoop(double intervalSeconds, Procedure procedure, QString name = QStringLiteral("QKThreadLoop"));
  ~QKThreadLoop();
  QKThreadLoop(const QKThreadLoop&) = delete;
  QKThreadLoop& operator=(const QKThreadLoop&) = delete;

  void start();
  // Ends the calls and joins the thread (from the loop's own procedure it
  // only asks the loop to end; the destructor or the next start joins).
  void stop();
  bool running() const { return running_.load(); }

  double interval() const { return interval_.load(); }
  void setInterval(double seconds);
  unsigned long long callCount() const { return calls_.load(); }

 private:
  void threadMain();
  void join();

  std::atomic<double> interval_;
  Procedure procedure_;
  QString name_;
  std::atomic<bool> running_{false};
  std::atomic<unsigned long long> calls_{0};
  std::mutex wakeMutex_;
  std::condition_variable wake_;
  std::thread thread_;
};
