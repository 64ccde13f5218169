#include "framework/splitview/TQSplitViewDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/splitview/SplitViewFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QGuiApplication>
#include <QScrollArea>

#include <gtest/gtest.h>

namespace {

#define SKIP_WITHOUT_DISPLAY() \
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "drags need a window"

// A split view shown as a window of its own, at a known place.
std::unique_ptr<TQSplitView> shownSplitView(const std::vector<float>& sizes) {
  auto view = makeSplitView(sizes);
  view->move(100, 100);
  showAndWait(view.get());
  view->adjustSubviews();
  return view;
}

TEST(TQSplitViewDrag, AMouseDragMovesTheDividerSavesAndHoldsTheCursor) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({100, 200, 100});
  UserDefaults::standard().remove("TQSplitView V Drag");
  view->setAutosaveName("Drag", false);
  view->restoreState(false);
  WindowMouse mouse(view.get());
  mouse.press({104, 60});
  EXPECT_TRUE(view->isDragging());
  ASSERT_TRUE(QGuiApplication::overrideCursor());
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
  mouse.move({124, 61});
  mouse.move({134, 70});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{130, 170, 100}));
  mouse.release({134, 70});
  EXPECT_FALSE(view->isDragging());
  EXPECT_FALSE(QGuiApplication::overrideCursor());
  EXPECT_EQ(UserDefaults::standard().stringValue("TQSplitView V Drag"), "3 130 170 100");
}

TEST(TQSplitViewDrag, TheDividerStopsAtALimitAndKeepsItsGrabOffset) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({100, 200, 100});
  view->panes()[0]->setMinDimension(1, 150);
  WindowMouse mouse(view.get());
  mouse.press({104, 60});  // 4 points into the divider at 100
  mouse.move({204, 60});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{150, 150, 100}));
  mouse.move({154, 60});  // back over the grab point: nothing moves yet
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{150, 150, 100}));
  mouse.move({134, 60});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{130, 170, 100}));
  mouse.release({134, 60});
}

TEST(TQSplitViewDrag, PastAPaneAtItsMinimumThePaneBeforeItShrinks) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({200, 100, 200});
  view->panes()[1]->setMinDimension(100, 0);
  WindowMouse mouse(view.get());
  mouse.press({312, 60});  // the divider after the held pane
  mouse.move({262, 60});
  mouse.release({262, 60});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{150, 100, 250}));
}

struct RefusingDelegate : TQSplitViewDelegate {
  bool shouldHandleEvent(TQSplitView*, QMouseEvent*, int, TQSplitSubview*,
                         TQSplitSubview*) override {
    return false;
  }
};

TEST(TQSplitViewDrag, ARefusingDelegateOrAMissingImageMakesTheDividerInert) {
  SKIP_WITHOUT_DISPLAY();
  auto refused = shownSplitView({100, 300});
  RefusingDelegate delegate;
  refused->setDelegate(&delegate);
  WindowMouse mouse(refused.get());
  mouse.press({104, 60});
  mouse.move({150, 60});
  mouse.release({150, 60});
  EXPECT_EQ(paneSizes(*refused), (std::vector<float>{100, 300}));
  refused->setDelegate(nullptr);

  auto plain = makeSplitView({100, 300}, true, 0);
  plain->setDividerThickness(8);  // a divider without an image
  plain->move(100, 100);
  showAndWait(plain.get());
  plain->adjustSubviews();
  ASSERT_EQ(plain->dividerRects().size(), 1u);
  const std::vector<float> before = paneSizes(*plain);
  WindowMouse plainMouse(plain.get());
  const QPointF onDivider = plain->dividerRects()[0].center();
  plainMouse.press(onDivider);
  plainMouse.move(onDivider + QPointF(50, 0));
  plainMouse.release(onDivider + QPointF(50, 0));
  EXPECT_FALSE(plain->isDragging());
  EXPECT_EQ(paneSizes(*plain), before);
}

TEST(TQSplitViewDrag, DoubleClicksCollapseTheSmallerPaneAndReopenIt) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({100, 300});
  for (TQSplitSubview* p : view->panes()) p->setCanCollapse(true);
  WindowMouse mouse(view.get());
  auto doubleClick = [&] {
    mouse.press({104, 60});
    mouse.release({104, 60});
    mouse.press({104, 60}, true);
    mouse.release({104, 60});
  };
  doubleClick();
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{0, 400}));
  EXPECT_EQ(view->panes()[0]->status(), 1);
  mouse.press({4, 60});  // the divider now lies at 0
  mouse.release({4, 60});
  mouse.press({4, 60}, true);
  mouse.release({4, 60});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{100, 300}));
}

struct ResizingDelegate : TQSplitViewDelegate {
  bool shouldResizeWindowForDivider(TQSplitView*, int divider, TQSplitSubview*, TQSplitSubview*,
                                    bool) override {
    return divider == 0;
  }
};

TEST(TQSplitViewDrag, AResizingDelegateGrowsTheWindowWithinItsMaximum) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({200, 200});
  view->setMaximumWidth(450);
  ResizingDelegate delegate;
  view->setDelegate(&delegate);
  WindowMouse mouse(view.get());
  mouse.press({204, 60});
  mouse.move({304, 60});
  mouse.release({304, 60});
  EXPECT_TRUE(MainThread::processUntil([&] { return view->width() == 450; }, 3.0));
  QApplication::processEvents();
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{242, 200}));
  view->setDelegate(nullptr);
}

// Side-by-side panes 200 | stacked 56 / 56 | 200: the stacked view's divider
// meets the first divider of the outer view at (200…208, 56…64).
std::unique_ptr<TQSplitView> crossingView() {
  auto outer = makeSplitView({200, 200, 200});
  auto* inner = new TQSplitView(QRectF(0, 0, 200, 120), 2);
  outer->addSubview(inner, 1);
  delete outer->panes()[2];
  outer->move(100, 100);
  showAndWait(outer.get());
  outer->adjustSubviews();
  return outer;
}

TEST(TQSplitViewDrag, ACrossingOfCoupledDividersDragsBoth) {
  SKIP_WITHOUT_DISPLAY();
  auto outer = crossingView();
  TQSplitView* inner = outer->panes()[1]->asSplitView();
  ASSERT_TRUE(inner && inner->isCoupled());
  ASSERT_EQ(inner->dividerRects().size(), 1u);
  EXPECT_EQ(inner->dividerRects()[0], QRectF(0, 56, 200, 8));
  WindowMouse mouse(outer.get());
  mouse.press({204, 60});
  mouse.move({184, 80});
  mouse.release({184, 80});
  EXPECT_EQ(paneSizes(*outer), (std::vector<float>{180, 220, 200}));
  EXPECT_EQ(paneSizes(*inner), (std::vector<float>{76, 36}));
}

TEST(TQSplitViewDrag, CursorsComeFromTheHitAreasCrossingsFirst) {
  SKIP_WITHOUT_DISPLAY();
  auto outer = crossingView();
  const auto rects = outer->cursorRects();
  ASSERT_GE(rects.size(), 3u);
  EXPECT_EQ(rects[0].second, TQSplitView::Crossing);
  EXPECT_EQ(rects[0].first, QRectF(200, 56, 8, 8));
  WindowMouse mouse(outer.get());
  QMouseEvent hover(QEvent::MouseMove, QPointF(204, 60), outer->mapToGlobal(QPointF(204, 60)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(outer.get(), &hover);
  EXPECT_EQ(outer->QWidget::cursor().shape(), Qt::OpenHandCursor);
  QMouseEvent onDivider(QEvent::MouseMove, QPointF(204, 10), outer->mapToGlobal(QPointF(204, 10)),
                        Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(outer.get(), &onDivider);
  EXPECT_EQ(outer->QWidget::cursor().shape(), Qt::SplitHCursor);

  TQSplitView::setCursor(TQSplitView::VerticalDivider, QCursor(Qt::CrossCursor));
  EXPECT_EQ(TQSplitView::cursor(TQSplitView::VerticalDivider).shape(), Qt::CrossCursor);
  TQSplitView::setCursor(TQSplitView::VerticalDivider, std::nullopt);
  EXPECT_EQ(TQSplitView::cursor(TQSplitView::VerticalDivider).shape(), Qt::SplitHCursor);
}

}  // namespace

namespace {

struct HeaderDelegate : TQSplitViewDelegate {
  std::optional<int> dividerForPoint(TQSplitView*, const QPointF& point, TQSplitSubview*) override {
    if (point.y() >= 10) return std::nullopt;
    return index;  // the top strip of a pane drags this divider
  }
  int index = 0;
};

TEST(TQSplitViewDrag, APaneCanClaimADividerForPointsInsideIt) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({100, 300});
  HeaderDelegate delegate;
  view->setDelegate(&delegate);
  WindowMouse mouse(view.get());
  mouse.press({150, 5});  // inside the second pane
  EXPECT_TRUE(view->isDragging());
  mouse.move({130, 5});
  mouse.release({130, 5});
  EXPECT_FALSE(view->isDragging());
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{80, 320}));

  delegate.index = 5;  // not a divider: an ordinary click
  mouse.press({150, 5});
  mouse.move({100, 5});
  mouse.release({100, 5});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{80, 320}));
  view->setDelegate(nullptr);
}

TEST(TQSplitViewDrag, InAScrollViewThePanesKeepTheirSizesAndTheViewFollows) {
  QScrollArea area;
  area.resize(200, 150);
  auto owned = makeSplitView({100, 200});
  TQSplitView* view = owned.release();
  area.setWidget(view);
  ASSERT_TRUE(view->isInScrollView());
  view->adjustSubviews();
  EXPECT_FLOAT_EQ(view->frame().width(), 308);
  view->panes()[0]->setDimension(150);
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{150, 200}));
  EXPECT_FLOAT_EQ(view->frame().width(), 358);
}

}  // namespace

namespace {

TEST(TQSplitViewDrag, APanesBackgroundMovesTheWindowOnlyWhereTheWindowAsks) {
  SKIP_WITHOUT_DISPLAY();
  auto view = shownSplitView({100, 300});
  const QPoint start = view->pos();
  WindowMouse mouse(view.get());
  mouse.press({200, 60});  // the second pane's background
  mouse.move({230, 80});
  mouse.release({230, 80});
  QApplication::processEvents();
  EXPECT_EQ(view->pos(), start);

  view->setProperty("movableByBackground", true);
  mouse.press({200, 60});
  mouse.move({230, 80});
  mouse.release({230, 80});
  EXPECT_TRUE(MainThread::processUntil([&] { return view->pos() == start + QPoint(30, 20); }, 3.0));
}

}  // namespace
