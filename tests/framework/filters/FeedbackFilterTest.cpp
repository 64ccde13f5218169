// The feedback filters frame after frame: restarts, steps, the textures
// their trails keep and the precision of the trail.
#include "framework/filters/FeedbackFilter.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/FilterKeys.h"
#include "tests/framework/filters/BuiltInFilters.h"
#include "tests/support/ImageFixture.h"

#include <QVector4D>

using FilterKeys::kInputImage;
using image::Filter;
using image::Image;

namespace {

class FeedbackGL : public ImageFixture {
 protected:
  static void feed(Filter& filter, const Image& input) {
    filter.setValue(QVariant::fromValue(input), kInputImage);
  }
  static std::shared_ptr<Filter> trails(double weight) {
    auto filter = makeBuiltIn(QStringLiteral("RGB_Trails"));
    for (const char* key : {"rWeight", "gWeight", "bWeight", "aWeight"})
      filter->setValue(weight, QLatin1String(key));
    return filter;
  }
  static std::shared_ptr<Filter> blur(double amount) {
    auto filter = makeBuiltIn(QStringLiteral("MotionBlur"));
    filter->setValue(amount, QStringLiteral("amount"));
    return filter;
  }
  static void overwrite(const gl::TextureHandle& texture, const QColor& colour) {
    gl::RenderTarget target;
    ASSERT_TRUE(target.bind(texture));
    target.clear(QVector4D(colour.redF(), colour.greenF(), colour.blueF(), colour.alphaF()));
    target.detach();
  }
};

TEST_F(FeedbackGL, WithoutWeightTheOutputIsTheInputEveryFrame) {
  const QColor frames[] = {QColor(200, 20, 30), QColor(10, 250, 60, 128), QColor(0, 0, 255)};
  onRenderThread([&] {
    EXPECT_EQ(makeBuiltIn("MotionBlur")->value("amount").toDouble(), 0.5);
    for (const auto& filter : {trails(0), blur(0)}) {
      SCOPED_TRACE(filter->name().toStdString());
      for (const QColor& colour : frames) {
        feed(*filter, solid(colour, QRectF(0, 0, 4, 4)));
        const Image out = filter->outputImage();
        EXPECT_EQ(out.extent(), QRectF(0, 0, 4, 4));
        EXPECT_TRUE(near(at(out, 1, 1), colour));
      }
    }
  });
}

struct FirstInputCase {
  const char* name;
  QRectF extent;
  int alpha;  // of the first step at amount 0.5
};

TEST_F(FeedbackGL, AFirstInputRestartsTheTrailUnlessItIsTheInitialExtent) {
  const FirstInputCase cases[] = {
      {"Initial320By240", QRectF(0, 0, 320, 240), 128},  // mixed with transparent black
      {"Other", QRectF(0, 0, 64, 48), 255},              // mixed with itself
      {"Moved320By240", QRectF(1, 0, 320, 240), 255},
  };
  onRenderThread([&] {
    for (const FirstInputCase& c : cases) {
      SCOPED_TRACE(c.name);
      const auto filter = blur(0.5);
      feed(*filter, solid(Qt::red, c.extent));
      const QColor out = at(filter->outputImage(), c.extent.x() + 5, 5);
      EXPECT_EQ(out.red(), 255);
      EXPECT_NEAR(out.alpha(), c.alpha, 2);
    }
  });
}

TEST_F(FeedbackGL, AChangeOfSizeDropsTheTrail) {
  onRenderThread([&] {
    const auto filter = trails(1);  // keeps its previous result for ever
    const QRectF vga(0, 0, 640, 480), wide(0, 0, 720, 480);
    feed(*filter, solid(Qt::red, vga));
    EXPECT_TRUE(near(at(filter->outputImage(), 9, 9), Qt::red));
    feed(*filter, solid(Qt::blue, vga));
    EXPECT_TRUE(near(at(filter->outputImage(), 9, 9), Qt::red)) << "the trail stays";
    feed(*filter, solid(Qt::blue, wide));
    EXPECT_TRUE(near(at(filter->outputImage(), 9, 9), Qt::blue));
    feed(*filter, solid(Qt::green, vga));
    EXPECT_TRUE(near(at(filter->outputImage(), 9, 9), Qt::green));
  });
}

TEST_F(FeedbackGL, WeightsMixChannelByChannelAndEachOutputIsAStep) {
  onRenderThread([&] {
    const QRectF extent(0, 0, 4, 4);
    const auto filter = makeBuiltIn("RGB_Trails");
    filter->setValue(1.0, "rWeight");
    filter->setValue(0.5, "bWeight");
    feed(*filter, solid(QColor(200, 100, 40), extent));
    filter->outputImage();
    feed(*filter, solid(QColor(20, 200, 220), extent));
    // Red kept from before, green the input's, blue halfway.
    EXPECT_TRUE(near(at(filter->outputImage(), 1, 1), QColor(200, 200, 130)));

    for (int calls : {1, 2}) {
      const auto motion = blur(0.5);
      feed(*motion, solid(Qt::red, extent));
      motion->outputImage();
      feed(*motion, solid(Qt::blue, extent));
      Image out;
      for (int i = 0; i < calls; ++i) out = motion->outputImage();
      EXPECT_NEAR(at(out, 1, 1).red(), calls == 1 ? 128 : 64, 2) << calls << " calls";
    }
  });
}

// Each step is rendered into a texture of its own at once: no frame's pass
// joins the frames before it or keeps their inputs, and the pool stays
// small however long the trail runs.
TEST_F(FeedbackGL, StepsAreStoredAtOnceInTexturesOfTheirOwn) {
  onRenderThread([&] {
    const auto filter = trails(0.5);
    const QRectF extent(0, 0, 8, 8);
    const Image red = solid(Qt::red, extent);
    const Image green = solid(Qt::green, extent);
    feed(*filter, red);
    filter->outputImage();
    const std::size_t created = gl::TexturePool::shared().createdCount();
    for (int frame = 0; frame < 300; ++frame) {
      feed(*filter, frame % 2 ? green : red);
      const Image out = filter->outputImage();
      ASSERT_FALSE(out.isPending()) << "frame " << frame;
    }
    EXPECT_LE(gl::TexturePool::shared().createdCount() - created, 4u);

    // The last input rewritten after its step leaves the trail as it was.
    feed(*filter, red);
    for (int frame = 0; frame < 12; ++frame) filter->outputImage();  // red again
    const gl::TextureHandle blueTexture = solidTexture(QSize(8, 8), Qt::blue);
    feed(*filter, Image::fromTexture(blueTexture));
    const Image out = filter->outputImage();
    overwrite(blueTexture, Qt::white);
    EXPECT_TRUE(near(at(out, 3, 3), QColor(128, 0, 127), 3));
  });
}

TEST_F(FeedbackGL, TheFilterHoldsItsInputAndIgnoresNone) {
  onRenderThread([&] {
    const QColor colour(30, 160, 90);
    const auto filter = trails(0);
    {
      const gl::TextureHandle texture = solidTexture(QSize(4, 4), colour);
      feed(*filter, Image::fromTexture(texture));
    }
    // Were the input's texture back in the pool, one of these would be it.
    std::vector<gl::TextureHandle> others;
    for (int i = 0; i < 4; ++i) {
      others.push_back(gl::TexturePool::shared().acquire(QSize(4, 4)));
      overwrite(others.back(), Qt::magenta);
    }
    filter->setValue(QVariant(), kInputImage);
    feed(*filter, Image());
    EXPECT_TRUE(near(at(filter->outputImage(), 2, 2), colour));
    EXPECT_EQ(static_cast<FeedbackFilter&>(*filter).accumulatorExtent(), QRectF(0, 0, 4, 4));
  });
}

// Half floats: a blur at 0.9 closes in on a new picture instead of sticking
// a few steps of 1/255 short of it.
TEST_F(FeedbackGL, ABlurReachesANewInput) {
  onRenderThread([&] {
    const auto filter = blur(0.9);
    const QRectF extent(0, 0, 4, 4);
    feed(*filter, solid(Qt::black, extent));
    filter->outputImage();
    feed(*filter, solid(Qt::white, extent));
    Image out;
    for (int frame = 0; frame < 100; ++frame) out = filter->outputImage();
    const QColor c = at(out, 1, 1);
    EXPECT_GE(std::min({c.red(), c.green(), c.blue()}), 254);
  });
}

}  // namespace
