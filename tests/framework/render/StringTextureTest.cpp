#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/QKStringTexture.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

namespace {
QFont testFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  return font;
}

// Draws the string at (0, 0) of a target of its size, y downward, and reads
// the target back (top row first).
QImage drawn(QKStringTexture& text, QSize size) {
  gl::TextureHandle out = gl::TexturePool::shared().acquire(size);
  gl::RenderTarget target;
  target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(size)));
  if (!target.bind(out)) return {};
  target.clear(QVector4D(0, 0, 0, 0));
  text.drawAtPoint(QPointF(0, 0));
  target.detach();
  return GLTest::read(out);
}

gl::GLContext* mainContext() { return gl::RenderThread::instance().mainContext(); }
}  // namespace

class StringTextureTest : public GLTest {};

TEST_F(StringTextureTest, ANullStringDrawsNothingAndMakesNoTexture) {
  onRenderThread([&] {
    auto text = QKStringTexture::create(QString(), testFont(), Qt::white, mainContext());
    const QImage out = drawn(*text, QSize(8, 8));
    EXPECT_FALSE(text->textureExists());
    EXPECT_EQ(out.pixelColor(4, 4).alpha(), 0);
    EXPECT_EQ(text->generatedTexSize(), QSizeF(1, 1));
  });
}

TEST_F(StringTextureTest, AnEmptyStringDrawnEveryFrameLogsOnce) {
  onRenderThread([&] {
    Log::resetLimits();
    LogCapture log;
    auto text = QKStringTexture::create(QStringLiteral(""), testFont(), Qt::white, mainContext());
    for (int frame = 0; frame < 10; ++frame) drawn(*text, QSize(8, 8));
    EXPECT_FALSE(text->textureExists());
    EXPECT_EQ(log.lines().count(QStringLiteral("\t\terr: couldn't allocate image")), 1);
    EXPECT_EQ(log.lines().count(QStringLiteral("\t\terr: rep was nil")), 1);
  });
}

TEST_F(StringTextureTest, TheBoxFillsTheStringRectangleAndTheFrameRunsRoundIt) {
  onRenderThread([&] {
    auto text = QKStringTexture::create("Hi", testFont(), Qt::white, mainContext(),
                                        QColor(0, 0, 255), QColor(255, 0, 0));
    const QImage bitmap = text->generateBitmapImage();
    ASSERT_FALSE(bitmap.isNull());
    const QImage out = drawn(*text, bitmap.size());
    EXPECT_EQ(text->generatedTexSize(), QSizeF(bitmap.size()));
    const int w = bitmap.width(), h = bitmap.height();
    for (QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
      EXPECT_TRUE(near(out.pixelColor(corner), QColor(255, 0, 0)))
          << corner.x() << "," << corner.y();
    int blue = 0, white = 0;
    for (int y = 1; y < h - 1; ++y)
      for (int x = 1; x < w - 1; ++x) {
        const QColor c = out.pixelColor(x, y);
        EXPECT_EQ(c.alpha(), 255);
        blue += near(c, QColor(0, 0, 255), 8) ? 1 : 0;
        white += c.red() > 160 && c.green() > 160 ? 1 : 0;  // text over blue
      }
    EXPECT_GT(blue, 0);
    EXPECT_GT(white, 0) << "the text is drawn on the box";
  });
}

TEST_F(StringTextureTest, WithoutColoursOnlyTheTextShows) {
  onRenderThread([&] {
    auto text = QKStringTexture::create("Hi", testFont(), QColor(0, 255, 0), mainContext());
    const QImage out = drawn(*text, text->generateBitmapImage().size());
    int transparent = 0, green = 0;
    for (int y = 0; y < out.height(); ++y)
      for (int x = 0; x < out.width(); ++x) {
        const QColor c = out.pixelColor(x, y);
        transparent += c.alpha() == 0 ? 1 : 0;
        green += c.alpha() > 200 && c.green() > 200 && c.red() < 40 ? 1 : 0;
      }
    EXPECT_GT(transparent, out.width() * out.height() / 2);
    EXPECT_GT(green, 0);
  });
}

TEST_F(StringTextureTest, ManyDrawsMakeTheTextureOnce) {
  onRenderThread([&] {
    auto text = QKStringTexture::create("Once", testFont(), Qt::white, mainContext(), Qt::black);
    const QSize size = text->generateBitmapImage().size();
    drawn(*text, size);
    ASSERT_TRUE(text->textureExists());
    const GLuint name = text->texName();
    // Mark the texture: a remade one would lose the mark.
    gl::GLFunctions& f = gl::GLContext::current()->functions();
    const uchar magenta[4] = {255, 0, 255, 255};
    f.glBindTexture(GL_TEXTURE_RECTANGLE, name);
    f.glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, magenta);
    f.glBindTexture(GL_TEXTURE_RECTANGLE, 0);
    QImage out;
    for (int i = 0; i < 5; ++i) out = drawn(*text, size);
    EXPECT_EQ(text->texName(), name);
    EXPECT_TRUE(near(out.pixelColor(0, 0), QColor(255, 0, 255)));
  });
}

TEST_F(StringTextureTest, DrawingLeavesTheCallersBlendingAsItWas) {
  onRenderThread([&] {
    auto text = QKStringTexture::create("x", testFont(), Qt::white, mainContext());
    gl::TextureHandle out = gl::TexturePool::shared().acquire(QSize(8, 8));
    gl::RenderTarget target;
    target.setBlend({true, GL_SRC_ALPHA, GL_DST_ALPHA});
    ASSERT_TRUE(target.bind(out));
    text->drawAtPoint(QPointF(0, 0));
    target.detach();
    const gl::GLContext::Blend after = gl::GLContext::current()->blend();
    EXPECT_TRUE(after.enabled);
    EXPECT_EQ(after.source, GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(after.destination, GLenum(GL_DST_ALPHA));
  });
}

TEST_F(StringTextureTest, AfterPrepareToBeDeletedNothingIsDrawnAndTheTextureIsGone) {
  std::shared_ptr<QKStringTexture> text;
  GLuint name = 0;
  onRenderThread([&] {
    text = QKStringTexture::create("Gone", testFont(), Qt::white, mainContext(), Qt::blue);
    drawn(*text, QSize(4, 4));
    name = text->texName();
  });
  text->prepareToBeDeleted();  // main thread: handed to the render thread
  EXPECT_FALSE(text->textureExists());
  EXPECT_EQ(text->texName(), QKStringTexture::kNoTexture);
  bool stillThere = false;
  onRenderThread([&] {
    stillThere = gl::GLContext::current()->functions().glIsTexture(name);
    EXPECT_EQ(drawn(*text, QSize(4, 4)).pixelColor(1, 1).alpha(), 0);
  });
  EXPECT_TRUE(stillThere) << "deleted after the frame, on the render thread";
  ASSERT_TRUE(gl::RenderThread::instance().runFrameNow());
  onRenderThread([&] { stillThere = gl::GLContext::current()->functions().glIsTexture(name); });
  EXPECT_FALSE(stillThere);
  EXPECT_EQ(text->description(), "<QKStringTexture:Gone>");
}
