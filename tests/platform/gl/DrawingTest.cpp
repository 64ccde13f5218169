// Render targets, the textured-quad shader, uploads and read-back.
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "tests/support/GLTest.h"

#include <QPainter>

using gl::QuadShader;
using gl::RenderTarget;
using gl::TextureHandle;

namespace {
// 2 × 2 picture: red top left, green top right, blue bottom left, half
// transparent white bottom right.
QImage quadrants() {
  QImage image(2, 2, QImage::Format_RGBA8888);
  image.setPixelColor(0, 0, QColor(255, 0, 0));
  image.setPixelColor(1, 0, QColor(0, 255, 0));
  image.setPixelColor(0, 1, QColor(0, 0, 255));
  image.setPixelColor(1, 1, QColor(255, 255, 255, 128));
  return image;
}

void expectSameImage(const QImage& actual, const QImage& expected, int tolerance = 1) {
  ASSERT_EQ(actual.size(), expected.size());
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      EXPECT_TRUE(GLTest::near(actual.pixelColor(x, y), expected.pixelColor(x, y), tolerance))
          << "at " << x << "," << y;
}
}  // namespace

class DrawingTest : public GLTest {};

TEST_F(DrawingTest, UploadsKeepStraightAlphaAndReadBackTopRowFirst) {
  QImage premultiplied(2, 1, QImage::Format_ARGB32_Premultiplied);
  premultiplied.setPixelColor(0, 0, QColor(200, 100, 50, 128));
  premultiplied.setPixelColor(1, 0, QColor(10, 20, 30, 255));
  onRenderThread([&] {
    TextureHandle uploaded = imageTexture(premultiplied);
    ASSERT_TRUE(uploaded);
    EXPECT_TRUE(uploaded.isFlipped());
    const QImage back = read(uploaded);
    // Premultiplied storage rounds the colour; straight alpha comes back.
    EXPECT_TRUE(near(back.pixelColor(0, 0), QColor(200, 100, 50, 128), 3));
    EXPECT_TRUE(near(back.pixelColor(1, 0), QColor(10, 20, 30, 255)));
    expectSameImage(read(imageTexture(quadrants())), quadrants());
  });
}

TEST_F(DrawingTest, UploadsTakeBGRARowsWithPaddedStrides) {
  // Two rows of one pixel each, with 12 bytes per row.
  const uchar rows[24] = {10, 20, 30, 255, 0, 0, 0, 0, 0, 0, 0, 0,
                          40, 50, 60, 128, 0, 0, 0, 0, 0, 0, 0, 0};
  onRenderThread([&] {
    gl::PixelUploader uploader;
    TextureHandle texture =
        uploader.upload(rows, QSize(1, 2), 12, gl::PixelUploader::Layout::BGRA8);
    ASSERT_TRUE(texture);
    const QImage back = read(texture);
    EXPECT_TRUE(near(back.pixelColor(0, 0), QColor(30, 20, 10, 255)));
    EXPECT_TRUE(near(back.pixelColor(0, 1), QColor(60, 50, 40, 128)));
    EXPECT_FALSE(uploader.uploadInto(texture, rows, QSize(2, 2), 12));
    EXPECT_FALSE(uploader.uploadInto(texture, rows, QSize(1, 2), 3)) << "stride shorter than a row";
    EXPECT_FALSE(uploader.uploadInto(texture, rows, QSize(1, 2), -12));
  });
}

TEST_F(DrawingTest, UprightDrawingUnderATopDownProjectionKeepsThePicture) {
  onRenderThread([&] {
    for (bool flippedSource : {true, false}) {
      // The same picture stored both ways up.
      TextureHandle source = imageTexture(quadrants());
      if (!flippedSource) {
        TextureHandle turned = gl::TexturePool::shared().acquire(QSize(2, 2));
        RenderTarget target;
        target.setProjection(RenderTarget::topDownOrtho(QSizeF(2, 2)));
        ASSERT_TRUE(target.bind(turned));
        QuadShader::forCurrentContext()->drawUpright(source, QRectF(0, 0, 2, 2));
        source = turned;  // a framebuffer render: first row is the bottom
        ASSERT_FALSE(source.isFlipped());
      }
      TextureHandle out = gl::TexturePool::shared().acquire(QSize(2, 2));
      RenderTarget target;
      target.setProjection(RenderTarget::topDownOrtho(QSizeF(2, 2)));
      ASSERT_TRUE(target.bind(out));
      target.clear(QVector4D(0, 0, 0, 0));
      QuadShader::forCurrentContext()->drawUpright(source, QRectF(0, 0, 2, 2));
      SCOPED_TRACE(flippedSource ? "uploaded source" : "rendered source");
      expectSameImage(read(out), quadrants());
    }
  });
}

TEST_F(DrawingTest, ColourMultiplierAndBlendingActLikeModulateWithTheStoredFactors) {
  onRenderThread([&] {
    TextureHandle background = solidTexture(QSize(1, 1), QColor(0, 0, 255));
    TextureHandle foreground = solidTexture(QSize(1, 1), QColor(255, 0, 0));
    TextureHandle out = gl::TexturePool::shared().acquire(QSize(1, 1));
    RenderTarget target;
    target.setProjection(RenderTarget::topDownOrtho(QSizeF(1, 1)));
    target.setBlend({true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});  // 770 / 771
    ASSERT_TRUE(target.bind(out));
    target.clear(QVector4D(0, 0, 0, 0));
    QuadShader* quad = QuadShader::forCurrentContext();
    quad->drawUpright(background, QRectF(0, 0, 1, 1));
    quad->drawUpright(foreground, QRectF(0, 0, 1, 1), QVector4D(1, 1, 1, 0.25f));
    // red × 0.25 over opaque blue; alpha = 0.25² + 1 × 0.75.
    EXPECT_TRUE(near(read(out).pixelColor(0, 0), QColor(64, 0, 191, 207)));
  });
}

TEST_F(DrawingTest, RectangleTexturesDrawInTexelsAndTargetsKeepTheirOwnState) {
  onRenderThread([&] {
    TextureHandle rect =
        gl::TexturePool::shared().acquire(QSize(2, 2), gl::TextureTarget::Rectangle);
    gl::PixelUploader uploader;
    const QImage picture = gl::PixelUploader::toStraightRGBA(quadrants());
    ASSERT_TRUE(uploader.uploadInto(rect, picture.constBits(), picture.size(),
                                    int(picture.bytesPerLine())));
    rect.setFlipped(true);
    EXPECT_TRUE(rect.isRectangle());

    RenderTarget blending, copying;
    blending.setBlend({true, GL_ONE, GL_ONE});
    blending.setProjection(RenderTarget::topDownOrtho(QSizeF(2, 2)));
    copying.setProjection(RenderTarget::topDownOrtho(QSizeF(2, 2)));
    TextureHandle a = gl::TexturePool::shared().acquire(QSize(2, 2));
    TextureHandle b = gl::TexturePool::shared().acquire(QSize(2, 2));
    ASSERT_TRUE(blending.bind(a));
    blending.clear(QVector4D(0, 0, 0, 0));
    ASSERT_TRUE(copying.bind(b));  // switching targets drops the other's blending
    copying.clear(QVector4D(1, 1, 1, 1));
    QuadShader::forCurrentContext()->drawUpright(rect, QRectF(0, 0, 2, 2));
    expectSameImage(read(b), quadrants());
  });
}

TEST_F(DrawingTest, BindingWithoutATextureFails) {
  onRenderThread([&] {
    RenderTarget target;
    EXPECT_FALSE(target.bind(TextureHandle()));
    EXPECT_FALSE(target.bind());
  });
}
