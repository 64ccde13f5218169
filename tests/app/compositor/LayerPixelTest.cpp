#include "LayerFixture.h"

#include "app/compositor/LayerSizeController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "tests/app/compositor/CanvasFrame.h"

#include <gtest/gtest.h>

namespace {

constexpr QSize kCanvas(640, 480);

// Layers of solid-colour sources composited by the real compositor into a
// 640 x 480 target (the canvas shown 1:1), read back top row first.
class LayerPixelTest : public LayerGLTest {
 protected:
  Compositor& compositor() { return *world_->compositor; }

  QImage frame() {
    QImage pixels;
    onRenderThread([&] { pixels = drawCanvasFrame(compositor(), kCanvas); });
    EXPECT_FALSE(pixels.isNull()) << "the frame could not be drawn";
    return pixels;
  }

  // Size mode, then position mode and sliders (X, Y, scale).
  static void place(Layer& layer, int sizeMode, int posMode, float x, float y, float scale = 1) {
    LayerSizeController* size = layer.layerSizeController();
    size->sizeButton(sizeMode)->setIntValue(1, true);
    size->posButton(posMode)->setIntValue(1, true);
    size->xPosSlider()->setValueWithRangedValue(x, true);
    size->yPosSlider()->setValueWithRangedValue(y, true);
    size->xScaleSlider()->setValueWithRangedValue(scale, true);
    size->yScaleSlider()->setValueWithRangedValue(scale, true);
  }
};

TEST_F(LayerPixelTest, OpacityFadesTheLayerInBothModes) {
  for (int mode : {1, 0}) {
    compositor().setContentsRenderingMode(mode);
    auto layer = world_->solidLayer(QColor(255, 0, 0));
    layer->setGroupRenderingMode(mode);
    layer->setDFactor(Layer::kOverFactor);
    layer->alphaSlider()->setValueWithRangedValue(0.5f, true);
    const QImage pixels = frame();
    for (QPoint p : {QPoint(1, 1), QPoint(320, 240), QPoint(638, 478)}) {
      QColor colour = pixels.pixelColor(p);
      colour.setAlpha(255);  // the output is opaque
      EXPECT_TRUE(near(colour, QColor(128, 0, 0), 3)) << "mode " << mode;
    }
    compositor().deleteThisLayer(layer.get());
  }
}

// Two members of a group: red below over the whole canvas, green above
// over the left half; the group draws the lower first.
TEST_F(LayerPixelTest, AGroupDrawsItsMembersBottomToTopInBothModes) {
  for (int mode : {1, 0}) {
    auto red = world_->solidLayer(QColor(255, 0, 0));
    auto green = world_->solidLayer(QColor(0, 255, 0));
    auto group = compositor().groupLayers({green.get(), red.get()});
    group->setContentsRenderingMode(mode);
    place(*red, LayerSizeController::Stretch, LayerSizeController::Onscreen, 0, 0);
    place(*green, LayerSizeController::Stretch, LayerSizeController::Onscreen, -1, 0);
    green->layerSizeController()->xScaleSlider()->setValueWithRangedValue(0.5f, true);
    green->setDFactor(Layer::kOverFactor);
    red->setDFactor(Layer::kOverFactor);
    green->useCompModeNamed("CISourceOverCompositing");
    const QImage pixels = frame();
    EXPECT_TRUE(near(pixels.pixelColor(100, 240), QColor(0, 255, 0), 3)) << "mode " << mode;
    EXPECT_TRUE(near(pixels.pixelColor(540, 240), QColor(255, 0, 0), 3)) << "mode " << mode;
    compositor().deleteAllLayers();
  }
}

// A 320 x 240 picture, red on its top half and blue on the bottom, placed
// on the 640 x 480 canvas by each size mode; the top stays on top.
TEST_F(LayerPixelTest, EachSizeModePlacesTheLayerUpright) {
  QImage picture(320, 240, QImage::Format_RGBA8888);
  picture.fill(Qt::blue);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 320; ++x) picture.setPixelColor(x, y, Qt::red);
  struct Case {
    const char* name;
    int sizeMode, posMode;
    float x, y;
    QRect expected;  // in the image read back (top row first)
  };
  const Case cases[] = {
      {"fit", LayerSizeController::Fit, LayerSizeController::Onscreen, 0, 0, QRect(0, 0, 640, 480)},
      {"fill", LayerSizeController::Fill, LayerSizeController::Onscreen, 0, 0,
       QRect(0, 0, 640, 480)},
      {"stretch", LayerSizeController::Stretch, LayerSizeController::Onscreen, 0, 0,
       QRect(0, 0, 640, 480)},
      {"1:1 centred", LayerSizeController::OneToOne, LayerSizeController::Onscreen, 0, 0,
       QRect(160, 120, 320, 240)},
      {"1:1 at the top right", LayerSizeController::OneToOne, LayerSizeController::Onscreen, 1, 1,
       QRect(320, 0, 320, 240)},
  };
  for (int mode : {1, 0}) {
    compositor().setContentsRenderingMode(mode);
    for (const Case& c : cases) {
      auto layer = world_->solidLayer();
      LayerWorld::solid(*layer).picture = picture;
      layer->setDFactor(Layer::kOverFactor);
      place(*layer, c.sizeMode, c.posMode, c.x, c.y);
      const QImage pixels = frame();
      const QRect r = c.expected;
      const QString what = QStringLiteral("%1, mode %2").arg(c.name).arg(mode);
      EXPECT_TRUE(near(pixels.pixelColor(r.left() + 4, r.top() + 4), Qt::red, 3))
          << qPrintable(what);
      EXPECT_TRUE(near(pixels.pixelColor(r.right() - 4, r.bottom() - 4), Qt::blue, 3))
          << qPrintable(what);
      if (r.left() > 0) {
        EXPECT_TRUE(near(pixels.pixelColor(r.left() - 2, r.center().y()), Qt::black, 3))
            << qPrintable(what);
      }
      compositor().deleteThisLayer(layer.get());
    }
  }
}

// 1:1 at a position off the pixel grid: every pixel is one of the
// picture's, never a blend of two.
TEST_F(LayerPixelTest, OneToOneIsSampledNearest) {
  QImage stripes(320, 240, QImage::Format_RGBA8888);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) stripes.setPixelColor(x, y, x % 2 ? Qt::white : Qt::black);
  auto layer = world_->solidLayer();
  LayerWorld::solid(*layer).picture = stripes;
  layer->setDFactor(Layer::kOverFactor);
  place(*layer, LayerSizeController::OneToOne, LayerSizeController::Centered, 0.001f, 0);
  const QImage pixels = frame();
  for (int x = 170; x < 470; ++x) {
    const int v = pixels.pixelColor(x, 240).red();
    EXPECT_TRUE(v == 0 || v == 255) << "x " << x << " value " << v;
  }
}

TEST_F(LayerPixelTest, BuffersAreRemadeOnlyAfterASizeChange) {
  auto layer = world_->solidLayer(Qt::red);
  frame();
  frame();
  int made = 0;
  onRenderThread([&] { made = layer->bufferGeneration(); });
  EXPECT_EQ(made, 1);
  layer->setLayerSize(QSizeF(320, 240));  // the same size: made again all the same
  frame();
  frame();
  onRenderThread([&] { made = layer->bufferGeneration(); });
  EXPECT_EQ(made, 2);
  onRenderThread([&] { EXPECT_EQ(layer->pBufferARef().size(), QSize(320, 240)); });
}

}  // namespace

namespace {

// A comp-mode composition ("Crossfade.qtz": the premultiplied mix of the
// two by the opacity) on the canvas and, the lowest in a filter-mode
// group, over a transparent background rather than last frame's.
TEST_F(LayerPixelTest, ACompModeCompositionMixesWithWhatLiesBelow) {
  compositor().setContentsRenderingMode(0);
  auto red = world_->solidLayer(QColor(255, 0, 0));
  auto green = world_->solidLayer(QColor(0, 255, 0));
  for (Layer* layer : {red.get(), green.get()})
    place(*layer, LayerSizeController::Stretch, LayerSizeController::Onscreen, 0, 0);
  green->useQCCompModeNamed("Crossfade.qtz");
  green->setCompRenderingMode(1);
  green->alphaSlider()->setValueWithRangedValue(0.5f, true);
  QImage pixels = frame();
  pixels = frame();  // the composition's renderer is made at its first frame
  EXPECT_TRUE(near(pixels.pixelColor(320, 240), QColor(128, 128, 0), 3));

  auto group = compositor().groupLayers({green.get(), red.get()});
  group->setContentsRenderingMode(0);
  group->setDFactor(Layer::kOverFactor);
  frame();
  compositor().deleteThisLayer(red.get());
  pixels = frame();
  QColor colour = pixels.pixelColor(320, 240);
  colour.setAlpha(255);
  EXPECT_TRUE(near(colour, QColor(0, 128, 0), 3)) << "nothing of last frame's red";
}

}  // namespace
