#pragma once

#include <memory>

class QKFile;

// What the web thumbnail generator asks of the application: the file with a
// unique ID (the page controller's lookup) and whether the internet was
// found reachable. ZAPH's application controller answers; tests use a fake.
class QKFlashThumbnailHost {
 public:
  virtual ~QKFlashThumbnailHost() = default;
  // Null when no page holds a file with that ID.
  virtual std::shared_ptr<QKFile> fileForUniqueId(long uniqueId) = 0;
  virtual bool internetAvailable() = 0;
};
