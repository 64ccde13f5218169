#pragma once

#include <QString>

#include <cstdint>

// What a file watcher calls when a watched path changes, on the watch
// thread. `changed` holds the FileWatcher flags (delete 0x1, write 0x2,
// attrib 0x8, rename 0x20).
class QKKQueueObserver {
 public:
  virtual ~QKKQueueObserver() = default;
  virtual void file(const QString& path, std::uint32_t changed) = 0;
};
