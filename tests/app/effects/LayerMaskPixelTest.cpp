// A layer keyed by another layer's tap through a "Layer Mask" effect, set up
// as a performer does it: the effect added to the layer's chain, the mask
// layer chosen in the effect panel's tap pop-up, the canvas read back.
#include "app/effects/FilterFXContext.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/effects/LayerFXObject.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/filters/CustomFilters.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/params/CITapElement.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/support/LogCapture.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr QSize kCanvas(640, 480);
const QColor kInput(200, 100, 40);
constexpr int kGrey = 128;

double lumaOf(const QColor& c) { return 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF(); }

// The input's colour keyed to `key` over the canvas's black.
QColor keyed(double key) {
  const auto channel = [key](int v) { return int(std::lround(v * std::clamp(key, 0.0, 1.0))); };
  return QColor(channel(kInput.red()), channel(kInput.green()), channel(kInput.blue()));
}

// A mask in quadrants, as it shows on the canvas: white top left, black top
// right, grey bottom left, white bottom right (a flip either way shows).
QImage quadrants(QSize size) {
  QImage image(size, QImage::Format_RGBA8888);
  QPainter painter(&image);
  const int w = size.width() / 2, h = size.height() / 2;
  painter.fillRect(0, 0, w, h, Qt::white);
  painter.fillRect(w, 0, size.width() - w, h, Qt::black);
  painter.fillRect(0, h, w, size.height() - h, QColor(kGrey, kGrey, kGrey));
  painter.fillRect(w, h, size.width() - w, size.height() - h, Qt::white);
  return image;
}

class LayerMaskPixelTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    {
      LogCapture quiet;
      CustomFilters::initialize();
    }
    world_ = std::make_unique<LayerWorld>();
    compositor().populateCompFilterTypes();  // the effect's mix-mode pop-up
    LayerFXChainAdapter::install(compositor(), std::make_shared<LayerChainManager>());
  }
  void TearDown() override {
    masked_.reset();  // layers go before their compositor
    world_.reset();
    GLTest::TearDown();
  }
  Compositor& compositor() { return *world_->compositor; }

  // A 640 x 480 layer of the input colour over the whole canvas, with a
  // "Layer Mask" effect at full wet/dry: its panel.
  CIAttributeLoader* maskedLayerPanel() {
    masked_ = world_->solidLayer(kInput);
    LayerWorld::solid(*masked_).size = kCanvas;
    masked_->setLayerSize(QSizeF(kCanvas));
    masked_->setDFactor(Layer::kOverFactor);
    EXPECT_TRUE(masked_->addCIFXNamed("LayerMask"));
    auto* chain = &static_cast<LayerFXChainAdapter*>(masked_->fxChain())->chain();
    if (chain->count() != 1) return nullptr;
    auto* effect = static_cast<LayerFXObject*>(chain->fxArray().back().get());
    effect->wetDrySlider()->setValue(1.0f);
    auto* context = dynamic_cast<FilterFXContext*>(effect->renderContext());
    return context ? context->attributeLoader() : nullptr;
  }
  // A layer showing `picture`, itself invisible (opacity 0): only its tap
  // shows, through the mask.
  std::shared_ptr<Layer> maskLayer(const QImage& picture) {
    auto layer = world_->solidLayer();
    compositor().spinRenderLock();
    LayerWorld::solid(*layer).picture = picture;
    compositor().unlockRenderLock();
    layer->alphaSlider()->setValueWithRangedValue(0.0f, true);
    return layer;
  }
  static CITapElement* tapChooser(CIAttributeLoader& panel) {
    if (panel.tapArray().size() != 1) return nullptr;
    return dynamic_cast<CITapElement*>(panel.tapArray().front().get());
  }
  // Picks the tap named `name` in the chooser's pop-up ("<none>" for an
  // empty name), as a click in its menu does; false when it is not listed.
  static bool choose(CITapElement& chooser, const QString& name) {
    MainThread::processUntil([] { return false; }, 0.02);  // the tap list's reload
    for (QAction* item : chooser.button()->menu()->actions())
      if (item->data().toString() == name) {
        item->trigger();
        return true;
      }
    return false;
  }
  static void setSlider(CIAttributeLoader& panel, const char* key, float value) {
    const auto element = panel.findElementWithKey(QLatin1String(key));
    auto* slider = element ? dynamic_cast<QKSliderControl*>(element->view()) : nullptr;
    ASSERT_TRUE(slider) << key;
    slider->setValueWithRangedValue(value, true);
  }

  QImage frame() {
    QImage pixels;
    // The first frame makes the buffers; the second shows the tap's picture
    // of this frame whatever the order of the passes.
    for (int i = 0; i < 2; ++i)
      onRenderThread([&] { pixels = drawCanvasFrame(compositor(), kCanvas); });
    EXPECT_FALSE(pixels.isNull()) << "the frame could not be drawn";
    return pixels;
  }
  static QColor opaque(QColor colour) {
    colour.setAlpha(255);
    return colour;
  }
  // The quadrants' centres on the canvas, in the order of `quadrants`.
  static constexpr QPoint kCentres[4] = {{160, 120}, {480, 120}, {160, 360}, {480, 360}};

  std::unique_ptr<LayerWorld> world_;
  std::shared_ptr<Layer> masked_;
};

// The mask's luma keys the input wherever the mask lies, scaled onto the
// input whatever its size and aspect; contrast and offset shape the key.
TEST_F(LayerMaskPixelTest, AnotherLayersTapKeysTheLayerFittedToItsExtent) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode == 1 ? "GL compositing" : "filter compositing");
    compositor().setContentsRenderingMode(mode);
    CIAttributeLoader* panel = maskedLayerPanel();
    ASSERT_TRUE(panel);
    CITapElement* chooser = tapChooser(*panel);
    ASSERT_TRUE(chooser);

    const double grey = kGrey / 255.0;
    for (QSize size : {QSize(320, 240), QSize(640, 480), QSize(1280, 360), QSize(2, 2)}) {
      SCOPED_TRACE(
          QStringLiteral("mask %1 x %2").arg(size.width()).arg(size.height()).toStdString());
      auto mask = maskLayer(quadrants(size));
      ASSERT_TRUE(choose(*chooser, mask->layerName()));
      // The mask layer is not drawn: black stays black.
      const QImage pixels = frame();
      const double keys[4] = {1, 0, grey, 1};
      for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(near(opaque(pixels.pixelColor(kCentres[q])), keyed(keys[q]), 3)) << q;
      compositor().deleteThisLayer(mask.get());
    }

    auto mask = maskLayer(quadrants(QSize(320, 240)));
    ASSERT_TRUE(choose(*chooser, mask->layerName()));
    struct Shape {
      float contrast, offset;
    };
    for (const Shape& s : {Shape{2, 0}, Shape{1, 0.25f}, Shape{-1, 0}, Shape{0, 0}}) {
      setSlider(*panel, "contrast", s.contrast);
      setSlider(*panel, "offset", s.offset);
      const QImage pixels = frame();
      for (int q : {0, 1, 2}) {
        const double luma = q == 0 ? 1 : q == 1 ? 0 : grey;
        const double key = (luma - 0.5) * s.contrast + 0.5 + s.offset;
        EXPECT_TRUE(near(opaque(pixels.pixelColor(kCentres[q])), keyed(key), 3))
            << "contrast " << s.contrast << " offset " << s.offset << " quadrant " << q;
      }
    }
    compositor().deleteAllLayers();
  }
}

// Without a picture from a tap the layer is keyed by itself: no tap chosen,
// "<none>" chosen again, or the mask layer deleted.
TEST_F(LayerMaskPixelTest, WithoutATapPictureTheLayerIsKeyedByItself) {
  CIAttributeLoader* panel = maskedLayerPanel();
  ASSERT_TRUE(panel);
  CITapElement* chooser = tapChooser(*panel);
  ASSERT_TRUE(chooser);
  const QColor self = keyed(lumaOf(kInput));
  const QColor keyedWhereBlack = keyed(0);

  EXPECT_TRUE(near(opaque(frame().pixelColor(kCentres[1])), self, 3)) << "no tap chosen";

  auto mask = maskLayer(quadrants(QSize(320, 240)));
  ASSERT_TRUE(choose(*chooser, mask->layerName()));
  EXPECT_TRUE(near(opaque(frame().pixelColor(kCentres[1])), keyedWhereBlack, 3));
  ASSERT_TRUE(choose(*chooser, QString()));
  EXPECT_TRUE(near(opaque(frame().pixelColor(kCentres[1])), self, 3)) << "<none> chosen";

  ASSERT_TRUE(choose(*chooser, mask->layerName()));
  EXPECT_TRUE(near(opaque(frame().pixelColor(kCentres[1])), keyedWhereBlack, 3));
  compositor().deleteThisLayer(mask.get());
  mask.reset();
  MainThread::processUntil([] { return false; }, 0.05);
  const QImage pixels = frame();
  for (QPoint p : kCentres)
    EXPECT_TRUE(near(opaque(pixels.pixelColor(p)), self, 3)) << "mask layer deleted";
  EXPECT_EQ(chooser->menuController()->lastSelectedName(), QString());
}

}  // namespace
