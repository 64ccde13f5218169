#pragma once

#include "platform/gl/RenderThread.h"
#include "platform/gl/TextureHandle.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <gtest/gtest.h>

#include <functional>

// Fixture of GL tests: starts the render thread unpaced (frames only when a
// test asks) and stops it afterwards. Skipped on the offscreen platform,
// which has no OpenGL; run GL tests under Xvfb.
class GLTest : public ::testing::Test {
 public:
  // A texture of `size` filled with straight RGBA `colour` (render thread).
  static gl::TextureHandle solidTexture(QSize size, const QColor& colour);
  // A texture holding `image` (render thread; top row first, flipped).
  static gl::TextureHandle imageTexture(const QImage& image);
  // The texture read back, top row first (render thread).
  static QImage read(const gl::TextureHandle& texture);
  // Whether two straight RGBA colours match within `tolerance` per channel
  // (0–255); the message names both.
  static ::testing::AssertionResult near(const QColor& actual, const QColor& expected,
                                         int tolerance = 2);

 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs `work` on the render thread with the main context current.
  void onRenderThread(const std::function<void()>& work);
};
