#include "framework/splitview/SplitAnimation.h"
#include "framework/splitview/TQSplitViewDelegate.h"
#include "tests/framework/splitview/SplitViewFixture.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace {

TEST(TQSplitView, LaysOutPanesAndDividersAndSkipsHiddenPanes) {
  auto view = makeSplitView({100, 200, 100});
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{100, 200, 100}));
  ASSERT_EQ(view->dividerRects().size(), 2u);
  EXPECT_EQ(view->dividerRects()[1], QRectF(308, 0, 8, 120));
  EXPECT_EQ(view->panes()[2]->frame(), QRectF(316, 0, 100, 120));

  view->panes()[1]->setHidden(true);
  EXPECT_EQ(view->dividerRects().size(), 1u);
  EXPECT_EQ(view->panes()[0]->visibleDimension() + view->panes()[2]->visibleDimension(), 408);
  EXPECT_EQ(view->stringWithSavedState().count('H'), 1);  // still counted
  view->panes()[1]->setHidden(false);                     // comes back at its size
  EXPECT_FLOAT_EQ(view->panes()[1]->visibleDimension(), 200);
}

TEST(TQSplitView, APlainWidgetIsWrappedInAPaneThatItFills) {
  TQSplitView view(QRectF(0, 0, 300, 100));
  auto* label = new QLabel("content");
  label->resize(100, 100);
  TQSplitSubview* pane = view.addSubview(label);
  view.addSubview(new TQSplitSubview(QRectF(0, 0, 200, 100)));
  view.adjustSubviews();
  EXPECT_EQ(label->parentWidget(), pane);
  EXPECT_EQ(view.panes().size(), 2);
  EXPECT_EQ(label->size(), pane->frame().size().toSize());
}

TEST(TQSplitView, NestedSplitViewsTakeTheOtherOrientationAndLayOutInside) {
  auto outer = makeSplitView({200, 200});
  auto* inner = new TQSplitView(QRectF(0, 0, 200, 120), 2);
  outer->addSubview(inner, 1);
  outer->adjustSubviews();
  EXPECT_TRUE(inner->isHorizontal());
  EXPECT_TRUE(inner->isCoupled());
  EXPECT_EQ(inner->dividerThickness(), 8);  // the parent's image
  EXPECT_EQ(outer->panes().indexOf(inner), 1);
  ASSERT_EQ(inner->dividerRects().size(), 1u);
  const QList<TQSplitSubview*> panes = inner->panes();
  EXPECT_EQ(panes[0]->frame().height() + panes[1]->frame().height() + 8, inner->frame().height());

  outer->setFrame(QRectF(0, 0, 808, 300));       // wider and taller: every level follows
  EXPECT_FLOAT_EQ(inner->frame().width(), 264);  // a third of 808 − 16
  EXPECT_FLOAT_EQ(inner->frame().height(), 300);
  for (TQSplitSubview* p : inner->panes()) EXPECT_EQ(p->frame().width(), 264);
  EXPECT_EQ(panes[1]->frame().bottom(), 300);
}

struct ReentrantDelegate : TQSplitViewDelegate {
  void willAdjustSubviews(TQSplitView* view) override {
    ++will;
    view->adjustSubviews();
  }
  void didAdjustSubviews(TQSplitView* view) override {
    ++did;
    if (did == 1) view->setMustAdjust();
  }
  int will = 0;
  int did = 0;
};

TEST(TQSplitView, ALayoutAskedForDuringAPassRunsNoSecondPassInside) {
  auto view = makeSplitView({100, 100});
  ReentrantDelegate delegate;
  view->setDelegate(&delegate);
  view->adjustSubviews();
  EXPECT_EQ(delegate.will, 1);
  EXPECT_EQ(delegate.did, 1);
  EXPECT_TRUE(view->mustAdjust());  // asked after the pass: one more, later
  QApplication::processEvents();
  EXPECT_EQ(delegate.will, 2);
  view->setDelegate(nullptr);
}

TEST(TQSplitView, ResizingKeepsTheProportionsOfPanesAcrossSteps) {
  auto view = makeSplitView({101, 101}, true, 0);
  view->setFrame(QRectF(0, 0, 203, 120));
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{101, 102}));
  EXPECT_DOUBLE_EQ(view->panes()[1]->fraction(), -0.5);
  view->setFrame(QRectF(0, 0, 204, 120));
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{102, 102}));
}

TEST(TQSplitView, LimitsTakeEffectAtTheNextPass) {
  auto view = makeSplitView({100, 100}, true, 0);
  view->panes()[0]->setMinDimension(150, 0);
  EXPECT_TRUE(view->mustAdjust());
  view->adjustSubviews();
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{150, 50}));
  EXPECT_FLOAT_EQ(view->panes()[0]->maxDimension(), 1e6f);
}

struct ManualClock {
  ManualClock() {
    SplitAnimation::setClock([this] { return now; });
  }
  ~ManualClock() { SplitAnimation::setClock({}); }
  double now = 0.0;
};

struct CollapseCounter : TQSplitViewDelegate {
  void didCollapse(TQSplitView*, TQSplitSubview*) override { ++collapsed; }
  void didExpand(TQSplitView*, TQSplitSubview*) override { ++expanded; }
  int collapsed = 0;
  int expanded = 0;
};

TEST(TQSplitView, AnimationsStepOnTheClockOneAtATime) {
  ManualClock clock;
  auto view = makeSplitView({12, 300, 300});
  CollapseCounter counter;
  view->setDelegate(&counter);
  QList<TQSplitSubview*> panes = view->panes();
  for (TQSplitSubview* p : panes) p->setCanCollapse(true);

  EXPECT_FALSE(panes[0]->collapseWithAnimation());  // 12 points: at once
  EXPECT_EQ(panes[0]->status(), 1);
  EXPECT_FALSE(panes[0]->expandWithAnimation(false, true));
  EXPECT_FALSE(panes[2]->expandWithAnimation());  // open: refused
  EXPECT_EQ(panes[2]->status(), 0);

  EXPECT_TRUE(panes[1]->collapseWithAnimation());
  EXPECT_EQ(panes[1]->status(), -1);
  EXPECT_TRUE(view->isDragging());
  EXPECT_FALSE(panes[2]->collapseWithAnimation());  // a second cannot start one
  EXPECT_EQ(panes[2]->status(), 1);                 // … and collapses at once
  panes[2]->expand();

  clock.now = 0.2;  // half way
  TQSplitSubview::stepRunningAnimation();
  EXPECT_NEAR(panes[1]->visibleDimension(), 150, 1);
  clock.now = 1.0;
  TQSplitSubview::stepRunningAnimation();
  EXPECT_EQ(panes[1]->status(), 1);
  EXPECT_FALSE(TQSplitSubview::animating());
  EXPECT_FALSE(view->isDragging());

  EXPECT_TRUE(panes[1]->expandWithAnimation());
  EXPECT_EQ(panes[1]->status(), -2);
  clock.now = 2.0;
  TQSplitSubview::stepRunningAnimation();
  EXPECT_EQ(panes[1]->status(), 0);
  EXPECT_NEAR(panes[1]->visibleDimension(), 300, 1);
  EXPECT_EQ(counter.collapsed, 3);
  EXPECT_EQ(counter.expanded, 3);
  view->setDelegate(nullptr);
}

TEST(TQSplitView, APaneDestroyedWhileItAnimatesStopsTheAnimation) {
  ManualClock clock;
  auto view = makeSplitView({300, 300});
  TQSplitSubview* pane = view->panes()[0];
  pane->setCanCollapse(true);
  ASSERT_TRUE(pane->collapseWithAnimation());
  delete pane;
  EXPECT_FALSE(TQSplitSubview::animating());
  TQSplitSubview::stepRunningAnimation();  // nothing left to step
  EXPECT_FALSE(view->isDragging());
}

TEST(TQSplitView, TheAnimationTimerRunsTheStepsToTheEnd) {
  auto view = makeSplitView({100, 300});
  TQSplitSubview* pane = view->panes()[0];
  pane->setCanCollapse(true);
  ASSERT_TRUE(pane->collapseWithAnimation());
  EXPECT_TRUE(MainThread::processUntil([&] { return !TQSplitSubview::animating(); }, 3.0));
  EXPECT_EQ(pane->status(), 1);
  QApplication::processEvents();
  EXPECT_EQ(paneSizes(*view), (std::vector<float>{0, 400}));
}

}  // namespace
