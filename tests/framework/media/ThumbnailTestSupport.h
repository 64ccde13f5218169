#pragma once

#include "framework/media/QKFlashThumbnailHost.h"
#include "framework/media/QKURLFile.h"

#include <map>
#include <memory>

// The application as the web thumbnail generator sees it: files by ID and
// the internet state.
class FakeThumbnailHost : public QKFlashThumbnailHost {
 public:
  std::shared_ptr<QKFile> fileForUniqueId(long id) override {
    auto it = files.find(id);
    return it == files.end() ? nullptr : it->second;
  }
  bool internetAvailable() override { return internet; }

  std::map<long, std::shared_ptr<QKFile>> files;
  bool internet = true;
};

// A web file with a chosen ID (a page would give it one).
class TestWebFile : public QKURLFile {
 public:
  TestWebFile(CompositorInterface* compositor, long id) : QKURLFile(compositor) {
    uniqueFileId_ = id;
  }
};
