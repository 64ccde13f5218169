#include "app/compositor/Compositor.h"
#include "app/plugins/auxdisplay/AuxDisplay.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/GLTest.h"
#include "tests/support/Screenshot.h"

#include <QGuiApplication>
#include <QScreen>

#include <atomic>
#include <thread>

namespace {

// ZAPH's pieces an aux display meets: a compositor with its tap manager and
// preview list, the data-source tree and the plug-in manager; frames are run
// by hand on the unpaced render thread.
class AuxDisplayTest : public GLTest, public AppControllerInterface {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    UserDefaults::standard().resetForTesting();
    LayoutRegistry::setShared(&layouts);
    compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(),
                                              Compositor::Environment{{"NVIDIA"}});
    compositor->awake();
    manager = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID; }, BuiltInPluginTypes::entries());
  }
  void TearDown() override {
    manager.reset();
    compositor.reset();
    LayoutRegistry::setShared(nullptr);
    ScreenList::setProvider({});
    GLTest::TearDown();
  }
  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc; }

  AuxDisplay* make() {
    return static_cast<AuxDisplay*>(manager->instantiatePluginType(AuxDisplay::kTypeName));
  }
  // One output frame's preview pass.
  void frame() {
    onRenderThread([&] {
      compositor->lockForRender();
      compositor->drawPreviews();
      compositor->unlockRender();
    });
  }
  static void settle(double seconds = 0.05) {
    MainThread::processUntil([] { return false; }, seconds);
  }
  void choose(AuxDisplay& aux, const QString& tap) {
    aux.tapMenuController()->setLastSelectedName(tap);
    aux.tapMenuUsed();
  }
  static bool exposed(AuxDisplay& aux) {
    return MainThread::processUntil([&] { return aux.previewView()->exposedForDrawing(); }, 5.0);
  }
  static QImage grab(AuxDisplay& aux) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(aux.previewView()->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

  LayoutRegistry layouts;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<QKPluginManager> manager;
  long lastID = 0;
};

TEST_F(AuxDisplayTest, TheRateDividesFramesAndACollapsedOrBusyDisplayCountsNothing) {
  AuxDisplay* aux = make();
  ASSERT_NE(aux, nullptr);
  EXPECT_EQ(aux->windowTitle(), QStringLiteral("AuxDisplay 1"));
  EXPECT_EQ(aux->rate(), 1);
  aux->rateButton()->selectItemAtIndex(2);
  aux->rateMenuUsed(aux->rateButton()->indexOfSelectedItem());
  EXPECT_EQ(aux->rate(), 4);
  aux->rateMenuUsed(7);  // no such item
  EXPECT_EQ(aux->rate(), 4);
  for (int i = 0; i < 8; ++i) frame();
  EXPECT_EQ(aux->flushCount(), 2);
  for (int i = 0; i < 3; ++i) frame();
  EXPECT_EQ(aux->flushCount(), 2);

  // A busy lock skips without counting: the 4th frame still comes one later.
  aux->drawLock().lock();
  frame();
  aux->drawLock().unlock();
  EXPECT_EQ(aux->skippedCount(), 1);
  EXPECT_EQ(aux->flushCount(), 2);
  frame();
  EXPECT_EQ(aux->flushCount(), 3);

  aux->window()->show();
  settle();
  aux->window()->contentView()->collapse();
  settle();
  for (int i = 0; i < 12; ++i) frame();
  EXPECT_EQ(aux->flushCount(), 3);
  aux->window()->contentView()->expand();
  settle();
  for (int i = 0; i < 4; ++i) frame();
  EXPECT_EQ(aux->flushCount(), 4);
}

// A 4 x 4 picture: red and green on top, blue and white below.
QImage quadrants() {
  QImage image(4, 4, QImage::Format_RGBA8888);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      image.setPixelColor(x, y,
                          y < 2 ? (x < 2 ? Qt::red : Qt::green) : (x < 2 ? Qt::blue : Qt::white));
  return image;
}

TEST_F(AuxDisplayTest, DrawsTheTapStretchedAndUprightFlippedOrNot) {
  auto source = InputTap::create(QStringLiteral("cam"));
  AuxDisplay* aux = make();
  aux->window()->show();
  ASSERT_TRUE(exposed(*aux));

  frame();  // no source chosen: black
  settle();
  const QImage black = grab(*aux);
  EXPECT_TRUE(near(black.pixelColor(black.width() / 2, black.height() / 2), Qt::black, 8));

  choose(*aux, QStringLiteral("cam"));
  EXPECT_EQ(aux->rTap()->lastSelectedTapName(), QStringLiteral("cam"));
  const auto stub = source->stub();
  ASSERT_NE(stub, nullptr);
  for (bool flipped : {true, false}) {
    onRenderThread([&] {
      const QImage picture = flipped ? quadrants() : quadrants().mirrored(false, true);
      stub->setTextureRef(imageTexture(picture).withFlipped(flipped));
    });
    frame();
    settle();
    const QImage shown = grab(*aux);
    saveScreenshot(shown, flipped ? QStringLiteral("aux-display-flipped")
                                  : QStringLiteral("aux-display-unflipped"));
    const int w = shown.width(), h = shown.height();
    ASSERT_GT(w, 16);
    EXPECT_TRUE(near(shown.pixelColor(w / 4, h / 4), Qt::red, 8)) << flipped;
    EXPECT_TRUE(near(shown.pixelColor(3 * w / 4, h / 4), Qt::green, 8)) << flipped;
    EXPECT_TRUE(near(shown.pixelColor(w / 4, 3 * h / 4), Qt::blue, 8)) << flipped;
    EXPECT_TRUE(near(shown.pixelColor(3 * w / 4, 3 * h / 4), Qt::white, 8)) << flipped;
  }
  // Back to "<none>": black again.
  choose(*aux, QString());
  frame();
  settle();
  const QImage none = grab(*aux);
  EXPECT_TRUE(near(none.pixelColor(none.width() / 4, none.height() / 4), Qt::black, 8));

  QKWindow* window = aux->window();
  saveScreenshot(window->screen()->grabWindow(window->winId()).toImage(),
                 QStringLiteral("aux-display-window"));
}

TEST_F(AuxDisplayTest, FullscreenFillsTheOneSecondaryScreenItTouches) {
  AuxDisplay* aux = make();
  QKWindow* window = aux->window();
  const QRectF start(1100, 568, 160, 120);
  const QList<QRect> one{{0, 0, 1024, 768}, {1024, 0, 800, 600}};
  const QList<QRect> none{{0, 0, 1024, 768}};
  const QList<QRect> two{{0, 0, 1024, 768}, {1024, 0, 800, 600}, {1024, 600, 800, 600}};
  const struct {
    const char* name;
    QList<QRect> screens;
    QRectF frame;
    std::optional<QRectF> expected;
  } cases[] = {
      {"one secondary", one, start, QRectF(1024, 168, 800, 600)},
      {"none", none, start, std::nullopt},
      {"two secondaries", two, QRectF(1100, 140, 160, 100), std::nullopt},
  };
  for (const auto& c : cases) {
    ScreenList::setProvider([screens = c.screens] { return screens; });
    window->setFrame(c.frame);
    const QRectF before = window->frame();
    aux->goFullscreen(1);
    EXPECT_EQ(window->frame(), c.expected.value_or(before)) << c.name;
    aux->goFullscreen(0);
    EXPECT_EQ(window->frame(), before) << c.name;
  }
}

TEST_F(AuxDisplayTest, GatherRowsTheDisplaysDiagonallyAndTurnsFullscreenOff) {
  std::vector<AuxDisplay*> displays{make(), make(), make()};
  displays[1]->fullscreenToggle()->setChecked(true);
  manager->windowMenuGatherOutputs();
  for (int k = 0; k < 3; ++k) {
    const QRectF expected(420 + 20 * k, 340 + 20 * k, 112, 84);
    EXPECT_EQ(displays[k]->window()->frame(), expected) << k;
    EXPECT_EQ(displays[k]->preFullscreenWinFrame(), expected) << k;
    EXPECT_FALSE(displays[k]->fullscreenToggle()->isChecked()) << k;
  }
}

TEST_F(AuxDisplayTest, ASnapshotInEitherOrderBindsTheTapWhenTheRestoreEnds) {
  auto source = InputTap::create(QStringLiteral("cam"));
  AuxDisplay* aux = make();
  aux->rateMenuUsed(3);
  aux->rateButton()->selectItemAtIndex(3);
  choose(*aux, QStringLiteral("cam"));
  const QVariantMap snapshot = aux->createSnapshot();
  QVariantMap reversed = snapshot;
  QVariantList components = snapshot.value(QStringLiteral("componentArray")).toList();
  ASSERT_EQ(components.size(), 2);
  std::reverse(components.begin(), components.end());
  components.prepend(5);  // not a dictionary: skipped
  reversed.insert(QStringLiteral("componentArray"), components);

  for (const QVariantMap& stored : {snapshot, reversed}) {
    AuxDisplay* other = make();
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.post(QKRTapMenuController::kRestoreStartNotification);
    other->loadSnapshot(stored);
    EXPECT_EQ(other->rate(), 8);
    EXPECT_NE(other->rTap()->lastSelectedTapName(), QStringLiteral("cam"));
    center.post(QKRTapMenuController::kRestoreEndNotification);
    settle();
    EXPECT_EQ(other->rTap()->lastSelectedTapName(), QStringLiteral("cam"));
    manager->deletePlugins({other});
  }
}

TEST_F(AuxDisplayTest, TheOptionsSheetClosesWhenARestoreStartsOrAPluginGoes) {
  AuxDisplay* aux = make();
  aux->window()->show();
  settle();
  const struct {
    const char* name;
    std::function<void()> close;
  } cases[] = {
      {"restore",
       [] {
         NotificationCenter::defaultCenter().post(QKRTapMenuController::kRestoreStartNotification);
       }},
      {"deletion", [&] { manager->deletePlugins({make()}); }},
  };
  for (const auto& c : cases) {
    aux->openOptionsPanel();
    settle();
    ASSERT_TRUE(aux->optionsPanel()->isVisible()) << c.name;
    EXPECT_TRUE(aux->optionsPanel()->windowModality() == Qt::WindowModal);
    saveScreenshot(aux->optionsPanel()->grab().toImage(), QStringLiteral("aux-display-options"));
    c.close();
    EXPECT_FALSE(aux->optionsPanel()->isVisible()) << c.name;
  }
}

TEST_F(AuxDisplayTest, DisplaysDeletedWhileFramesRunLeaveNothingBehind) {
  auto source = InputTap::create(QStringLiteral("cam"));
  std::atomic<bool> running{true};
  std::atomic<long> frames{0};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    compositor->lockForRender();
    compositor->drawPreviews();
    compositor->unlockRender();
    frames.fetch_add(1);
  });
  std::thread ticker([&] {
    while (running.load()) {
      gl::RenderThread::instance().runFrameNow();
      std::this_thread::yield();
    }
  });
  for (int round = 0; round < 20; ++round) {
    AuxDisplay* aux = make();
    choose(*aux, QStringLiteral("cam"));
    aux->window()->show();
    settle(0.01);
    manager->deletePlugins({aux});
  }
  running.store(false);
  ticker.join();
  gl::RenderThread::instance().removeFrameHandler(handler);
  EXPECT_GT(frames.load(), 0);
  frame();  // the preview list is empty again
}

}  // namespace
