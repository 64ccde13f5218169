// A movie played into textures on the render thread, read back frame-exact.
#include "platform/gl/TextureReader.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieTextureOutput.h"
#include "tests/support/Eventually.h"
#include "tests/support/GLTest.h"
#include "tests/support/TestMovie.h"

namespace {
struct Case {
  const char* name;
  TestClipSpec::Gop gop;
  VideoFrame::Format format;
  int width;
  int height;
};
}  // namespace

class MovieTextureTest : public GLTest {
 protected:
  // The movie's picture at its current time, as the render thread's texture.
  QImage shown(const std::shared_ptr<Movie>& movie) {
    EXPECT_TRUE(movie->preroll(5.0));
    QImage picture;
    MovieTextureOutput output(movie);
    for (int attempt = 0; attempt < 200 && picture.isNull(); ++attempt) {
      onRenderThread([&] {
        if (output.update(movie->clock().nowNanos()))
          picture = gl::TextureReader::read(output.texture());
      });
    }
    return picture;
  }
};

TEST_F(MovieTextureTest, PlayedFramesReadBackFromTheirTextures) {
  const Case cases[] = {
      {"YUV converted by the shader, all-intra", TestClipSpec::Gop::AllIntra, VideoFrame::Format::Yuv420, 64, 48},
      {"YUV, long GOP, odd chroma rows", TestClipSpec::Gop::Long, VideoFrame::Format::Yuv420, 96, 54},
      {"RGBA through the pixel buffers", TestClipSpec::Gop::Long, VideoFrame::Format::Rgba, 64, 48},
  };
  for (const Case& c : cases) {
    TestClipSpec spec;
    spec.width = c.width;
    spec.height = c.height;
    spec.frames = 40;
    spec.gop = c.gop;
    ManualMovieClock clock;
    Movie::Options options;
    options.frameFormat = c.format;
    auto movie = TestMovie::open(spec, &clock, options);
    ASSERT_TRUE(movie) << c.name;
    MovieTextureOutput output(movie);
    movie->setCurrentTime(QKTime{3, 30, 0});
    movie->setRate(1.0);
    for (int step = 0; step < 20; ++step) {
      clock.advance((step == 0 ? 0.25 : 1.5) / 30.0);  // away from frame boundaries
      ASSERT_TRUE(movie->preroll(5.0)) << c.name;
      const int64_t due = movie->frameIndexAt(clock.nowNanos());
      QImage picture;
      int64_t shownIndex = -1;
      // The render thread never waits for a busy movie: it tries again at
      // the next display frame, as here.
      waitFor([&] {
        onRenderThread([&] {
          output.update(clock.nowNanos());
          if (!output.frame()) return;
          shownIndex = output.frame()->index();
          picture = gl::TextureReader::read(output.texture());
        });
        return shownIndex == due;
      });
      ASSERT_EQ(shownIndex, due) << c.name;
      ASSERT_EQ(picture.size(), QSize(c.width, c.height)) << c.name;
      EXPECT_EQ(TestClip::frameNumberIn(picture), due) << c.name << " step " << step;
    }
  }
}

TEST_F(MovieTextureTest, YuvColoursComeOutRight) {
  // Black (16) and white (235) on video levels must come out as 0 and 255.
  TestClipSpec spec;
  spec.width = 64;
  spec.height = 48;
  spec.frames = 4;
  auto movie = TestMovie::open(spec);
  ASSERT_TRUE(movie);
  movie->setCurrentTime(QKTime{3, 30, 0});  // the two top left cells white
  const QImage picture = shown(movie);
  ASSERT_FALSE(picture.isNull());
  EXPECT_TRUE(near(picture.pixelColor(8, 8), QColor(255, 255, 255), 6));
  EXPECT_TRUE(near(picture.pixelColor(24, 8), QColor(255, 255, 255), 6));
  EXPECT_TRUE(near(picture.pixelColor(40, 8), QColor(0, 0, 0), 6));
  EXPECT_TRUE(near(picture.pixelColor(8, 40), QColor(0, 0, 0), 6));
  EXPECT_EQ(TestClip::frameNumberIn(picture), 3);
}

// Phone footage stored sideways: both paths show it turned as the track's
// display matrix says, at the movie's natural size.
TEST_F(MovieTextureTest, RotatedClipsComeOutUprightOnBothPaths) {
  for (const int rotation : {-90, 90, 180}) {
    for (const VideoFrame::Format format : {VideoFrame::Format::Yuv420, VideoFrame::Format::Rgba}) {
      const std::string name =
          std::to_string(rotation) + (format == VideoFrame::Format::Rgba ? " RGBA" : " YUV");
      TestClipSpec spec;
      spec.width = 96;
      spec.height = 48;
      spec.frames = 8;
      spec.rotation = rotation;
      Movie::Options options;
      options.frameFormat = format;
      auto movie = TestMovie::open(spec, nullptr, options);
      ASSERT_TRUE(movie) << name;
      movie->setCurrentTime(QKTime{5, 30, 0});
      const QImage picture = shown(movie);
      ASSERT_FALSE(picture.isNull()) << name;
      EXPECT_EQ(picture.size(), movie->naturalSize()) << name;
      EXPECT_EQ(TestClip::frameNumberIn(picture), 5) << name;
    }
  }
}

// The RGBA path converts colours as the YUV shader does: both follow the
// stream's matrix and levels.
TEST_F(MovieTextureTest, BothPathsFollowTheColourTags) {
  struct Tagged {
    const char* name;
    TestClipSpec::Matrix matrix;
    bool fullRange;
  };
  const Tagged cases[] = {
      {"BT.601, video levels", TestClipSpec::Matrix::Bt601, false},
      {"BT.709, video levels", TestClipSpec::Matrix::Bt709, false},
      {"BT.709, full levels", TestClipSpec::Matrix::Bt709, true},
      {"untagged, small", TestClipSpec::Matrix::Untagged, false},
  };
  for (const Tagged& c : cases) {
    TestClipSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.frames = 4;
    spec.matrix = c.matrix;
    spec.fullRange = c.fullRange;
    spec.chromaU = 96;  // a strong orange over black and white cells
    spec.chromaV = 190;
    QImage pictures[2];
    for (const VideoFrame::Format format : {VideoFrame::Format::Yuv420, VideoFrame::Format::Rgba}) {
      Movie::Options options;
      options.frameFormat = format;
      auto movie = TestMovie::open(spec, nullptr, options);
      ASSERT_TRUE(movie) << c.name;
      movie->setCurrentTime(QKTime{3, 30, 0});
      pictures[format == VideoFrame::Format::Rgba] = shown(movie);
      ASSERT_FALSE(pictures[format == VideoFrame::Format::Rgba].isNull()) << c.name;
    }
    for (const QPoint at : {QPoint(8, 8), QPoint(40, 8), QPoint(8, 40)})
      EXPECT_TRUE(near(pictures[1].pixelColor(at), pictures[0].pixelColor(at), 3))
          << c.name << " at " << at.x() << "," << at.y();
  }
}
