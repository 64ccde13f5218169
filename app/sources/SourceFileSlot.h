#pragma once

#include <atomic>
#include <memory>
#include <mutex>

class QKFile;

// The file a source plays, read from any thread: the pointer sits behind a
// mutex held only to copy or swap it. Whether there is one is also
// published atomically, for the render thread, which neither waits nor
// takes a reference to a file (the last one must not go there).
class SourceFileSlot {
 public:
  std::shared_ptr<QKFile> load() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_;
  }
  void store(std::shared_ptr<QKFile> file) {
    std::shared_ptr<QKFile> old;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      old.swap(file_);
      file_ = std::move(file);
      held_.store(file_ != nullptr);
    }
  }
  bool holdsFile() const { return held_.load(); }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<QKFile> file_;
  std::atomic<bool> held_{false};
};
