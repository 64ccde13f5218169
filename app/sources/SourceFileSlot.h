#pragma once

#include <memory>
#include <mutex>

class QKFile;

// The file a source plays, read from any thread (the render thread asks
// the layer's current file): the pointer sits behind a mutex held only to
// copy or swap it.
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
    }
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<QKFile> file_;
};
