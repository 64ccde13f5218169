#include "tests/support/GLTest.h"

#include "platform/gl/PixelUploader.h"
#include "platform/gl/TextureReader.h"

#include <QGuiApplication>

#include <cstdlib>

void GLTest::SetUp() {
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    GTEST_SKIP() << "no OpenGL on the offscreen platform";
  gl::RenderThread::Options options;
  options.paced = false;
  ASSERT_TRUE(gl::RenderThread::instance().start(options)) << "no OpenGL 3.3 core context";
}

void GLTest::TearDown() { gl::RenderThread::instance().stop(); }

void GLTest::onRenderThread(const std::function<void()>& work) {
  ASSERT_TRUE(gl::RenderThread::instance().invokeAndWait(work));
}

gl::TextureHandle GLTest::solidTexture(QSize size, const QColor& colour) {
  QImage image(size, QImage::Format_RGBA8888);
  image.fill(colour);
  return imageTexture(image);
}

gl::TextureHandle GLTest::imageTexture(const QImage& image) {
  gl::PixelUploader uploader;
  return uploader.upload(image);
}

QImage GLTest::read(const gl::TextureHandle& texture) { return gl::TextureReader::read(texture); }

::testing::AssertionResult GLTest::near(const QColor& actual, const QColor& expected,
                                        int tolerance) {
  const int deltas[] = {actual.red() - expected.red(), actual.green() - expected.green(),
                        actual.blue() - expected.blue(), actual.alpha() - expected.alpha()};
  for (int d : deltas) {
    if (std::abs(d) > tolerance)
      return ::testing::AssertionFailure()
             << "got rgba(" << actual.red() << ", " << actual.green() << ", " << actual.blue()
             << ", " << actual.alpha() << ") expected rgba(" << expected.red() << ", "
             << expected.green() << ", " << expected.blue() << ", " << expected.alpha() << ")";
  }
  return ::testing::AssertionSuccess();
}
