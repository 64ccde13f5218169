// The Layer Manager in ZAPH is dragged and resized as a palette: a drag on
// its title moves it whole, and its corner never makes it smaller than the
// frame it starts at.
#include "app/compositor/CompositorWindow.h"
#include "app/shell/AppController.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/Screenshot.h"

#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

// A press at `at` (the window's own coordinates), moved by `by`, released,
// as the window system delivers it.
void drag(QWidget* window, QPoint at, QPoint by) {
  QWindow* handle = window->windowHandle();
  QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseMove(handle, at + by / 2);
  QTest::mouseMove(handle, at + by);
  QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, at + by);
  MainThread::processUntil([] { return false; }, 0.05);
}

TEST(LayerManagerPalette, MovesWholeByItsTitleAndKeepsItsSmallestSize) {
  AppController controller;
  ASSERT_TRUE(controller.compositorWindow());
  QKPaletteWindow* window = controller.compositorWindow()->window();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  MainThread::processUntil([] { return false; }, 0.1);
  const QRect first = window->geometry();

  drag(window, QPoint(first.width() / 2, 6), QPoint(30, 20));
  EXPECT_EQ(window->size(), first.size());
  // Where exactly it lands depends on the palettes it snaps to.
  EXPECT_GT(window->x(), first.x());
  EXPECT_GT(window->y(), first.y());
  drag(window, QPoint(window->width() - 10, window->height() - 10), QPoint(-40, -40));
  EXPECT_EQ(window->size(), first.size());
  drag(window, QPoint(window->width() - 10, window->height() - 10), QPoint(40, 30));
  EXPECT_EQ(window->size(), first.size() + QSize(40, 30));
  saveScreenshot(window->screen()->grabWindow(window->winId()).toImage(), "layer-manager-grown");
}

}  // namespace
