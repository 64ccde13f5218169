#pragma once

#include <functional>
#include <memory>

class QKFile;

// How a layer source finds the media file a snapshot names by its unique
// ID: the media bin's folders, then its pages. The application sets it at
// start-up; tests set their own.
class SourceFileLookup {
 public:
  using Lookup = std::function<std::shared_ptr<QKFile>(long uniqueId)>;

  // Main thread.
  static void set(Lookup lookup);
  // Main thread; null without a lookup or when no file has the ID.
  static std::shared_ptr<QKFile> fileForUniqueId(long uniqueId);
};
