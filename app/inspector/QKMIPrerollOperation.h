#pragma once

#include "app/inspector/MIOperation.h"

#include <memory>

class QKQTFile;

// Pre-rolls one movie file on the queue's thread. The file is held weakly:
// a file deleted while its operation waits is skipped.
class QKMIPrerollOperation : public MIOperation {
 public:
  // Null for a null file.
  static std::shared_ptr<QKMIPrerollOperation> initWithQTFile(
      const std::shared_ptr<QKQTFile>& file);

  void main() override;
  std::shared_ptr<QKQTFile> file() const { return file_.lock(); }

 private:
  explicit QKMIPrerollOperation(const std::shared_ptr<QKQTFile>& file) : file_(file) {}
  std::weak_ptr<QKQTFile> file_;
};
