#pragma once

#include <memory>

class QKFile;

// A media file that a lookup handed to another thread goes back through the
// main thread: a movie file's destructor takes the render lock, so the last
// reference must never be dropped on the render thread (or under a lock).
class QKFileRelease {
 public:
  // Empties `file`; when this was the last reference, the file is destroyed
  // on the main thread (at once when called there).
  static void release(std::shared_ptr<QKFile>& file);
};
