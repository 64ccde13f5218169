#pragma once

#include "framework/media/CompositorInterface.h"
#include "framework/media/UniqueIDCounter.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

// The compositor as media files see it: the ID counter, a render lock that
// counts how it is used, the master clock's beats per measure and the
// project's path.
class FakeCompositor : public CompositorInterface {
 public:
  long getUniqueID() override { return ids.next(); }
  void uniqueIDRecovered(long uniqueID) override { ids.recovered(uniqueID); }
  void lockForRender() override {
    renderMutex.lock();
    ++locks;
    heldSince = threadCpuMicros();
  }
  void unlockRender() override {
    const long long held = threadCpuMicros() - heldSince;
    if (held > longestHoldCpuMicros) longestHoldCpuMicros = held;
    renderMutex.unlock();
  }
  // What a frame does: it never waits for the lock.
  bool tryLockForFrame() { return renderMutex.try_lock(); }
  void unlockFrame() { renderMutex.unlock(); }

  // Work done by the holder while it held the lock (its own CPU time, so a
  // holder that the system merely put aside does not count).
  static long long threadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (long long)now.tv_sec * 1000000 + now.tv_nsec / 1000;
  }
  int beatsPerMeasure() override { return beats; }
  QString projectSavePath() override { return savePath; }

  UniqueIDCounter ids;
  std::mutex renderMutex;
  std::atomic<int> locks{0};
  long long heldSince = 0;  // under renderMutex
  std::atomic<long long> longestHoldCpuMicros{0};
  int beats = 4;
  QString savePath;
};

// Notifications of one name, as they arrive.
class NotificationRecorder {
 public:
  explicit NotificationRecorder(const QString& name) {
    NotificationCenter::defaultCenter().addObserver(this, name, nullptr,
                                                    [this](const Notification& n) {
                                                      std::lock_guard<std::mutex> lock(mutex_);
                                                      received_.push_back(n);
                                                    });
  }
  ~NotificationRecorder() { NotificationCenter::defaultCenter().removeObserver(this); }
  std::vector<Notification> received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  std::size_t count() const { return received().size(); }

 private:
  mutable std::mutex mutex_;
  std::vector<Notification> received_;
};

// Log lines written while it lives (and kept off the console).
class LogCapture {
 public:
  LogCapture() {
    previous_ = Log::setSink([this](const QString& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_ << line;
    });
  }
  ~LogCapture() { Log::setSink(previous_); }
  QStringList lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  bool contains(const QString& text) const {
    for (const QString& line : lines())
      if (line.contains(text)) return true;
    return false;
  }

 private:
  Log::Sink previous_;
  mutable std::mutex mutex_;
  QStringList lines_;
};

inline bool writeFile(const QString& path, const QByteArray& bytes = "x") {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
