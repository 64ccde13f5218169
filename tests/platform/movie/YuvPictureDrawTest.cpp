// YUV pictures drawn straight from their planes, and converted only for a
// reader that needs RGBA: both against colours worked out on the CPU.
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/Texture.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/gl/YuvPicture.h"
#include "platform/movie/MovieTextureUploader.h"
#include "platform/movie/VideoFrame.h"
#include "tests/support/GLTest.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int kWidth = 24;  // luma, as stored
constexpr int kHeight = 16;

// Each quarter of the picture has a chroma pair of its own (so a turn or a
// swapped plane shows); the luma climbs along both axes.
int lumaAt(int x, int y) { return 20 + 8 * x + 3 * y; }
int quarterOf(int x, int y) { return (x >= kWidth / 2 ? 1 : 0) + (y >= kHeight / 2 ? 2 : 0); }
constexpr int kChromaU[] = {60, 200, 128, 90};
constexpr int kChromaV[] = {180, 70, 128, 230};

std::shared_ptr<const VideoFrame> testFrame(bool fullRange, bool bt709, int rotation) {
  AVFrame* frame = av_frame_alloc();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = kWidth;
  frame->height = kHeight;
  frame->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  frame->colorspace = bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_BT470BG;
  if (av_frame_get_buffer(frame, 0) < 0) return nullptr;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      frame->data[0][y * frame->linesize[0] + x] = uint8_t(lumaAt(x, y));
  for (int y = 0; y < kHeight / 2; ++y) {
    for (int x = 0; x < kWidth / 2; ++x) {
      const int quarter = quarterOf(2 * x, 2 * y);
      frame->data[1][y * frame->linesize[1] + x] = uint8_t(kChromaU[quarter]);
      frame->data[2][y * frame->linesize[2] + x] = uint8_t(kChromaV[quarter]);
    }
  }
  auto made =
      std::make_shared<VideoFrame>(frame, VideoFrame::Format::Yuv420, 0, QKTime{}, true, rotation);
  av_frame_free(&frame);
  return made;
}

// The stored pixel shown at (x, y) of a picture turned by `rotation`.
QPoint storedPixel(int x, int y, int rotation) {
  switch (rotation) {
    case 1:
      return {y, kHeight - 1 - x};
    case 2:
      return {kWidth - 1 - x, kHeight - 1 - y};
    case 3:
      return {kWidth - 1 - y, x};
    default:
      return {x, y};
  }
}

// The textbook conversion, in doubles.
QColor reference(int luma, int u, int v, bool fullRange, bool bt709) {
  const double y = fullRange ? luma / 255.0 : (luma - 16) / 219.0;
  const double cb = fullRange ? (u - 128) / 255.0 : (u - 128) / 224.0;
  const double cr = fullRange ? (v - 128) / 255.0 : (v - 128) / 224.0;
  const double kr = bt709 ? 0.2126 : 0.299, kb = bt709 ? 0.0722 : 0.114, kg = 1 - kr - kb;
  const double r = y + 2 * (1 - kr) * cr;
  const double b = y + 2 * (1 - kb) * cb;
  const double g = (y - kr * r - kb * b) / kg;
  auto level = [](double c) { return int(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
  return QColor(level(r), level(g), level(b));
}

// Compares every pixel whose chroma is its quarter's own (chroma is
// filtered across the quarters' edges).
void expectReference(const QImage& picture, bool fullRange, bool bt709, int rotation,
                     const std::string& what) {
  const QSize shown = rotation % 2 ? QSize(kHeight, kWidth) : QSize(kWidth, kHeight);
  ASSERT_EQ(picture.size(), shown) << what;
  int compared = 0;
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      const QPoint s = storedPixel(x, y, rotation);
      if (std::abs(s.x() - kWidth / 2 + 0.5) < 2 || std::abs(s.y() - kHeight / 2 + 0.5) < 2)
        continue;
      const int quarter = quarterOf(s.x(), s.y());
      const QColor expected =
          reference(lumaAt(s.x(), s.y()), kChromaU[quarter], kChromaV[quarter], fullRange, bt709);
      ASSERT_TRUE(GLTest::near(picture.pixelColor(x, y), expected, 2))
          << what << " at " << x << "," << y;
      ++compared;
    }
  }
  EXPECT_GT(compared, shown.width() * shown.height() / 3) << what;
}

// The texture drawn pixel on pixel into a target of its size, read back.
QImage drawn(const gl::TextureHandle& texture, bool nearest) {
  const QSize size = texture.size();
  gl::TextureHandle into = gl::TexturePool::shared().acquire(size);
  gl::RenderTarget target;
  target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(size)));
  if (!target.bind(into)) return {};
  target.clear(QVector4D(0, 0, 0, 0));
  gl::GLContext::current()->setProjection(target.projection());
  const float w = float(size.width()), h = float(size.height());
  const gl::QuadShader::TexCoords tex = texture.isFlipped() ? gl::QuadShader::TexCoords{0, 0, w, h}
                                                            : gl::QuadShader::TexCoords{0, h, w, 0};
  gl::QuadShader::forCurrentContext()->draw(texture, QRectF(0, 0, w, h), tex, QVector4D(1, 1, 1, 1),
                                            false, nearest);
  return gl::TextureReader::read(into);
}

struct Tags {
  const char* name;
  bool fullRange;
  bool bt709;
  int rotation;
};

const Tags kTags[] = {
    {"video levels, BT.601", false, false, 0},
    {"video levels, BT.709", false, true, 0},
    {"full levels, BT.601", true, false, 0},
    {"full levels, BT.709, a quarter turn", true, true, 1},
    {"video levels, BT.601, half a turn", false, false, 2},
    {"full levels, BT.601, three quarter turns", true, false, 3},
};

}  // namespace

class YuvPictureDrawTest : public GLTest {};

TEST_F(YuvPictureDrawTest, ADrawSamplesThePlanesAndConvertsNothing) {
  for (const Tags& c : kTags) {
    const auto frame = testFrame(c.fullRange, c.bt709, c.rotation);
    ASSERT_TRUE(frame) << c.name;
    onRenderThread([&] {
      MovieTextureUploader uploader;
      const gl::TextureHandle texture = uploader.upload(*frame);
      ASSERT_TRUE(texture && texture.storage()->yuvPicture()) << c.name;
      for (const bool nearest : {true, false}) {
        const std::string what = std::string(c.name) + (nearest ? ", fetched" : ", filtered");
        expectReference(drawn(texture, nearest), c.fullRange, c.bt709, c.rotation, what);
      }
      EXPECT_FALSE(texture.storage()->yuvConverted()) << c.name << ": no conversion pass";
    });
  }
}

TEST_F(YuvPictureDrawTest, AReaderThatNeedsRgbaGetsThePictureConverted) {
  for (const Tags& c : kTags) {
    const auto frame = testFrame(c.fullRange, c.bt709, c.rotation);
    ASSERT_TRUE(frame) << c.name;
    onRenderThread([&] {
      MovieTextureUploader uploader;
      const gl::TextureHandle texture = uploader.upload(*frame);
      ASSERT_TRUE(texture) << c.name;
      expectReference(gl::TextureReader::read(texture), c.fullRange, c.bt709, c.rotation, c.name);
      ASSERT_TRUE(texture.storage()->yuvConverted()) << c.name;
    });
  }
}

// A conversion asked for in the middle of another draw's set-up (a kernel
// binding its images) leaves that draw's target, viewport, program and
// texture units as they were.
TEST_F(YuvPictureDrawTest, AConversionOnDemandLeavesTheCallersDrawAlone) {
  const auto frame = testFrame(true, false, 0);
  ASSERT_TRUE(frame);
  onRenderThread([&] {
    MovieTextureUploader uploader;
    const gl::TextureHandle picture = uploader.upload(*frame);
    const gl::TextureHandle green = solidTexture(QSize(4, 4), QColor(0, 255, 0));
    gl::TextureHandle into = gl::TexturePool::shared().acquire(QSize(8, 8));
    gl::RenderTarget target;
    target.setViewport(QRect(0, 0, 4, 8));  // the left half only
    target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(4, 8)));
    ASSERT_TRUE(target.bind(into));
    target.clear(QVector4D(1, 0, 0, 1));
    gl::GLContext* context = gl::GLContext::current();
    context->setProjection(target.projection());
    gl::GLFunctions& f = context->functions();
    f.glActiveTexture(GL_TEXTURE1);
    f.glBindTexture(GL_TEXTURE_2D, green.name());
    f.glActiveTexture(GL_TEXTURE0);

    ASSERT_NE(picture.name(), 0u);  // converted now
    EXPECT_TRUE(picture.storage()->yuvConverted());

    GLint unit1 = 0, framebuffer = 0, viewport[4] = {};
    f.glActiveTexture(GL_TEXTURE1);
    f.glGetIntegerv(GL_TEXTURE_BINDING_2D, &unit1);
    f.glActiveTexture(GL_TEXTURE0);
    f.glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    f.glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(GLuint(unit1), green.name());
    EXPECT_EQ(GLuint(framebuffer), context->boundFramebuffer());
    EXPECT_EQ(QRect(viewport[0], viewport[1], viewport[2], viewport[3]), QRect(0, 0, 4, 8));
    EXPECT_EQ(context->projection(), target.projection());
    // The caller's draw lands where it set out to.
    gl::QuadShader::forCurrentContext()->draw(green, QRectF(0, 0, 4, 8),
                                              gl::QuadShader::TexCoords{0, 0, 4, 4});
    const QImage result = gl::TextureReader::read(into.withFlipped(false));
    EXPECT_TRUE(near(result.pixelColor(1, 4), QColor(0, 255, 0)));
    EXPECT_TRUE(near(result.pixelColor(6, 4), QColor(255, 0, 0)));
  });
}

TEST_F(YuvPictureDrawTest, ATextureBackInThePoolStandsForNoPicture) {
  const auto frame = testFrame(false, false, 0);
  ASSERT_TRUE(frame);
  gl::TexturePool pool;
  onRenderThread([&] {
    MovieTextureUploader uploader;
    gl::TextureHandle texture = uploader.upload(*frame, pool);
    ASSERT_TRUE(texture);
    const gl::Texture* storage = texture.storage();
    texture.reset();
    const gl::TextureHandle again = pool.acquire(QSize(kWidth, kHeight));
    ASSERT_EQ(again.storage(), storage) << "the same texture handed out again";
    EXPECT_FALSE(again.storage()->yuvPicture());
  });
}
