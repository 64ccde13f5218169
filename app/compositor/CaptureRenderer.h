#pragma once

#include "platform/gl/DisplayLink.h"

// The live-input capture controller as a frame sees it: locked after the
// compositor's render lock, rendered before any layer.
class CaptureRenderer {
 public:
  virtual ~CaptureRenderer() = default;
  virtual void lock() = 0;
  virtual bool tryLock() = 0;
  virtual void unlock() = 0;
  virtual void render(const gl::DisplayLink::Frame& frame) = 0;
};
