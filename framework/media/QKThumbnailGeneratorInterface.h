#pragma once

#include <memory>

class QKURLFile;

// The web-page thumbnail generator as the file loader hands it web files.
class QKThumbnailGeneratorInterface {
 public:
  virtual ~QKThumbnailGeneratorInterface() = default;
  virtual void addFileToQueue(const std::shared_ptr<QKURLFile>& file) = 0;
};
