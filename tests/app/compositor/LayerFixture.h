#pragma once

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerListInterface.h"
#include "app/compositor/LayerWindowController.h"
#include "app/sources/VidSourceObject.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/taps/QKTapManager.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/GLTest.h"

#include <QColor>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <memory>

// A source of one colour over its whole size, shown at once (no black
// frame). Its texture is made on the render thread at the first frame.
class SolidSource : public VidSourceObject {
 public:
  SolidSource(const QString& name, Layer* layer) : VidSourceObject(name, layer) {
    setBlackFrame(false);
  }
  gl::TextureHandle currentTexture() override {
    ++textureCalls;
    if (!picture.isNull()) {
      if (!texture_) texture_ = GLTest::imageTexture(picture);
      return texture_;
    }
    if (!colour.isValid()) return {};
    if (!texture_ || texture_.size() != size) texture_ = GLTest::solidTexture(size, colour);
    return texture_;
  }
  void eject() override { ++ejects; }
  void render(const gl::DisplayLink::Frame&) override { ++renders; }
  void skippedRenderTask(const gl::DisplayLink::Frame&) override { ++skipped; }

  QColor colour;   // invalid: no texture
  QImage picture;  // shown instead of the colour when set
  QSize size{320, 240};
  std::atomic<int> renders{0}, skipped{0}, ejects{0}, textureCalls{0};

 private:
  gl::TextureHandle texture_;
};

// A layer window that only keeps its list.
class FakeLayerWindow : public LayerWindowController {
 public:
  explicit FakeLayerWindow(Compositor& compositor) : compositor_(compositor) {}
  std::vector<Layer*>& layerArray() override { return layers_; }
  void addLayerToWindow(Layer* layer) override {
    if (std::find(layers_.begin(), layers_.end(), layer) == layers_.end()) layers_.push_back(layer);
    layer->setParentWindow(this);
  }
  void deleteThisLayer(Layer* layer) override {
    layer->removeFromParentWindow();
    compositor_.deleteThisLayer(layer);
    if (layers_.empty()) compositor_.deleteThisWindow(this);
  }
  Layer* currentlyDisplayedLayer() const override { return nullptr; }
  bool deleted() const override { return deleted_; }
  void prepareToBeDeleted() override { deleted_ = true; }
  bool isVisible() const override { return visible; }
  long long lastActivation() const override { return activation; }

  bool visible = true;
  long long activation = 0;

 private:
  Compositor& compositor_;
  std::vector<Layer*> layers_;
  bool deleted_ = false;
};

class FakeLayerList : public LayerListInterface {
 public:
  std::vector<Layer*> selectedLayers() const override { return selection; }
  void deselectAll() override { selection.clear(); }
  void update() override { ++updates; }
  std::vector<Layer*> selection;
  int updates = 0;
};

// A compositor with a 640 x 480 canvas shown stretched in a 640 x 480
// view, a data-source controller without a tick thread, sources of one
// colour for the tap kind (the others the base's) and a fake layer list.
struct LayerWorld {
  LayerWorld() {
    Compositor::Environment environment;
    environment.gpuVendors = {"NVIDIA"};
    environment.compositeFilterNames = {"CISourceOverCompositing", "CIAdditionCompositing"};
    environment.localizedFilterName = [](const QString& name) {
      return image::FilterRegistry::shared().localizedNameForFilterName(name);
    };
    compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
    compositor->setDataSourceController(&dsc);
    compositor->registerSourceFactory(VidSourceObject::kTapSource,
                                      [](const QString& name, Layer& layer) {
                                        return std::make_shared<SolidSource>(name, &layer);
                                      });
    compositor->layerSizeChangedFrom(QSizeF(), QSizeF(640, 480));
    compositor->canvasSizeChanged(QSizeF(640, 480));
    compositor->setDisplaySize(QSizeF(640, 480));
    compositor->setCanvasPresentationMode(2);
    compositor->setLayerView(&list);
  }
  ~LayerWorld() {
    compositor->setLayerArray({});
    compositor.reset();
  }

  // A new top-level layer showing a solid colour (invalid: none).
  std::shared_ptr<Layer> solidLayer(QColor colour = QColor()) {
    auto layer = compositor->createNewLayer();
    layer->useSourceNamed(Layer::kVideoTap);
    // The layer is in the tree: frames may read its source already.
    compositor->spinRenderLock();
    solid(*layer).colour = colour;
    compositor->unlockRenderLock();
    return layer;
  }
  static SolidSource& solid(Layer& layer) {
    return static_cast<SolidSource&>(*layer.sourceOfKind(VidSourceObject::kTapSource));
  }
  // New layer windows are fake ones, listed in `madeWindows`.
  void useFakeWindows() {
    compositor->setLayerWindowFactory([this](Compositor& owner) {
      auto window = std::make_unique<FakeLayerWindow>(owner);
      madeWindows.push_back(window.get());
      return window;
    });
  }
  Layer* top(int index) const { return compositor->topLevelLayers().at(index).get(); }
  QStringList topNames() const {
    QStringList names;
    for (const auto& layer : compositor->topLevelLayers()) names << layer->layerName();
    return names;
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  FakeLayerList list;
  std::vector<FakeLayerWindow*> madeWindows;
  std::unique_ptr<Compositor> compositor;
};

// A GL test with a layer world made once GL is set up and gone before GL
// is torn down.
class LayerGLTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    world_ = std::make_unique<LayerWorld>();
  }
  void TearDown() override {
    world_.reset();
    GLTest::TearDown();
  }
  std::unique_ptr<LayerWorld> world_;
};
