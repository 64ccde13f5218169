#pragma once

// A window (preview, aux display, the media inspector) drawn after every
// frame, on the render thread.
class FrameDrawer {
 public:
  virtual ~FrameDrawer() = default;
  virtual void draw() = 0;
};
