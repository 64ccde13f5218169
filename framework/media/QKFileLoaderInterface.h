#pragma once

#include <memory>

class QKURLFile;

// What media files ask of the file loader: a web file's thumbnail, made by
// the loader's thumbnail generator in its own time (the call only queues).
class QKFileLoaderInterface {
 public:
  virtual ~QKFileLoaderInterface() = default;
  // Null does nothing.
  virtual void createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) = 0;
};
