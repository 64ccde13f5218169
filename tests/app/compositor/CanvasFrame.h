#pragma once

#include "app/compositor/Compositor.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"
#include "tests/support/GLTest.h"

#include <QImage>

// One frame of the compositor drawn 1:1 over an opaque black canvas of
// `size`, read back top row first. A null image when the frame's locks or
// its target could not be had. On the render thread only.
inline QImage drawCanvasFrame(Compositor& compositor, QSize size) {
  Compositor::FrameState state;
  auto locks = compositor.tryLockForFrame(&state);
  if (!locks) return {};
  compositor.render(gl::DisplayLink::Frame{});
  gl::RenderTarget target;
  const gl::TextureHandle texture = gl::TexturePool::shared().acquire(size);
  target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(size)));
  if (!target.bind(texture)) return {};
  target.clear(QVector4D(0, 0, 0, 1));
  image::ImageContext context;
  compositor.drawContent(state, target, context);
  locks.reset();
  QImage pixels = GLTest::read(texture);
  target.detach();
  return pixels;
}
