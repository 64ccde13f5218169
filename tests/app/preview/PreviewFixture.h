#pragma once

#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/preview/PreviewView.h"
#include "app/plugins/preview/PreviewWindow.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKSTap.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/app/sources/SourceFixture.h"
#include "tests/support/GLTest.h"
#include "tests/support/Screenshot.h"

#include <QGuiApplication>
#include <QScreen>

// A source without a layer whose picture size the test chooses.
class SizedTap : public QKSTap {
 public:
  static std::shared_ptr<SizedTap> create(const QString& name, QSizeF size) {
    auto tap = std::make_shared<SizedTap>(name, size);
    tap->announce();
    return tap;
  }
  SizedTap(const QString& name, QSizeF size) : QKSTap(nullptr, name), size_(size) {}
  QSizeF imageSize() const override { return size_; }

 private:
  QSizeF size_;
};

// Previews in ZAPH's surroundings: a compositor whose layers make the real
// sources (and answer the plug-ins' finder), the data-source tree and the
// plug-in manager. Frames run by hand on the unpaced render thread: the
// compositor's frame (taps, canvas, then the preview pass).
class PreviewFixture : public GLTest, public AppControllerInterface {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    UserDefaults::standard().resetForTesting();
    LayoutRegistry::setShared(&layouts);
    world = std::make_unique<SourceWorld>();
    world->compositor->awake();
    manager = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID; }, BuiltInPluginTypes::entries());
  }
  void TearDown() override {
    manager.reset();
    world.reset();
    LayoutRegistry::setShared(nullptr);
    GLTest::TearDown();
  }
  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &world->dsc; }

  // A preview on screen, drawing every 2nd frame.
  PreviewWindow* makeShown() {
    auto* preview =
        static_cast<PreviewWindow*>(manager->instantiatePluginType(PreviewWindow::kTypeName));
    if (!preview) return nullptr;
    preview->window()->show();
    settle();
    EXPECT_TRUE(
        MainThread::processUntil([&] { return preview->previewView()->exposedForDrawing(); }, 5.0));
    return preview;
  }
  static void choose(PreviewWindow& preview, const QString& tap) {
    preview.tapMenuController()->setLastSelectedName(tap);
    preview.tapMenuUsed();
  }
  // Makes the view `size` points: the window is 6 wider and 37 higher.
  static void sizeView(PreviewWindow& preview, QSizeF size) {
    QKWindow* window = preview.window();
    const QRectF frame = window->frame();
    window->contentView()->moveWindowToHere(
        QRectF(frame.x(), frame.y(), size.width() + 6, size.height() + 37));
    settle();
  }
  // One output frame, taps and previews included.
  void frame() {
    onRenderThread([&] { drawCanvasFrame(*world->compositor, QSize(640, 480)); });
  }
  // Enough frames for a preview at any rate to draw once.
  void frames(int count) {
    for (int i = 0; i < count; ++i) frame();
    settle();
  }
  static void settle(double seconds = 0.05) {
    MainThread::processUntil([] { return false; }, seconds);
  }
  static QImage grab(PreviewWindow& preview) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(preview.previewView()->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  static QSizeF viewSize(PreviewWindow& preview) { return QSizeF(preview.previewView()->size()); }

  LayoutRegistry layouts;
  std::unique_ptr<SourceWorld> world;
  std::unique_ptr<QKPluginManager> manager;
  long lastID = 0;
};
