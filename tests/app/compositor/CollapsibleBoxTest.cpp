#include "app/compositor/QKCollapsibleBox.h"
#include "app/compositor/QKCollapsibleBoxManager.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A top-level holder 600 points tall: box frames are y upward in it.
struct BoxFixture : ::testing::Test {
  QWidget window;
  BoxFixture() { window.resize(400, 600); }
};

TEST_F(BoxFixture, FoldingKeepsTheTopEdgeAndUnfoldingGivesTheFrameBack) {
  QKCollapsibleBox box(QStringLiteral("Size"), QRectF(10, 100, 200, 150), &window);
  box.toggleExpand();
  EXPECT_TRUE(box.collapsed());
  EXPECT_EQ(box.frame(), QRectF(10, 233, 200, 17));
  EXPECT_EQ(box.bounds(), QRectF(0, 133, 200, 17));
  // On screen (y downward) the top edge did not move: 600 − 250.
  EXPECT_EQ(box.geometry(), QRect(10, 350, 200, 17));
  box.toggleExpand();
  EXPECT_EQ(box.frame(), QRectF(10, 100, 200, 150));
  EXPECT_EQ(box.bounds(), QRectF(0, 0, 200, 150));
  EXPECT_EQ(box.geometry(), QRect(10, 350, 200, 150));
}

TEST_F(BoxFixture, AFoldedBoxResizedKeepsItsExpandedHeightAtTheNewWidth) {
  QKCollapsibleBox box(QStringLiteral("Size"), QRectF(10, 100, 200, 150), &window);
  box.toggleExpand();
  box.setFrameSize(QSizeF(300, 17));
  EXPECT_EQ(box.expandedSize(), QSizeF(300, 150));
  box.toggleExpand();
  EXPECT_EQ(box.frame(), QRectF(10, 100, 300, 150));
}

TEST_F(BoxFixture, OnlyTheArrowSquareFolds) {
  QKCollapsibleBox box(QStringLiteral("Size"), QRectF(10, 100, 200, 150), &window);
  // The arrow sits in the title bar's left end: (5, 135, 12, 12) expanded.
  EXPECT_EQ(box.collapseToggleRect(), QRectF(5, 135, 12, 12));
  for (const QPointF point : {QPointF(100, 140), QPointF(4, 140), QPointF(10, 20)}) {
    box.clickAt(point);
    EXPECT_FALSE(box.collapsed()) << point.x() << "," << point.y();
  }
  box.clickAt(QPointF(10, 140));
  EXPECT_TRUE(box.collapsed());
  // Folded, the arrow is at the same place in the box's own space.
  EXPECT_EQ(box.collapseToggleRect(), QRectF(5, 135, 12, 12));
  box.clickAt(QPointF(10, 140));
  EXPECT_FALSE(box.collapsed());
}

TEST_F(BoxFixture, SnapshotsFoldAndUnfold) {
  QKCollapsibleBox box(QStringLiteral("Size"), QRectF(10, 100, 200, 150), &window);
  EXPECT_EQ(box.createSnapshot(), QVariantMap({{"collapsed", false}}));
  box.loadSnapshot({{"collapsed", true}});
  EXPECT_TRUE(box.collapsed());
  EXPECT_EQ(box.createSnapshot(), QVariantMap({{"collapsed", true}}));
  box.loadSnapshot({{"collapsed", true}});
  EXPECT_TRUE(box.collapsed());
  box.loadSnapshot({});
  EXPECT_FALSE(box.collapsed());
}

TEST(CollapsibleBoxManagerTest, StacksTheBoxesAndTheHolderInAWindow500PointsTall) {
  const auto frames = QKCollapsibleBoxManager::layout(500, QRectF(0, 0, 240, 100),
                                                      QRectF(0, 0, 240, 80), QRectF(0, 0, 240, 0));
  EXPECT_EQ(frames.top, QRectF(0, 348, 240, 100));
  EXPECT_EQ(frames.bottom, QRectF(0, 16, 240, 80));
  EXPECT_EQ(frames.holder, QRectF(0, 100, 240, 244));
}

TEST_F(BoxFixture, AFoldMakesTheManagerLayOutAgain) {
  window.resize(240, 500);
  QKCollapsibleBox top(QStringLiteral("Top"), QRectF(0, 348, 240, 100), &window);
  QKCollapsibleBox bottom(QStringLiteral("Bottom"), QRectF(0, 16, 240, 80), &window);
  QRectF holder(0, 100, 240, 244);
  int chainLayouts = 0;
  bool windowFolded = false;
  QKCollapsibleBoxManager manager;
  manager.setTopBox(&top);
  manager.setBottomBox(&bottom);
  manager.setWindowHeight([] { return 500.0; });
  manager.setHolder([&] { return holder; }, [&](const QRectF& frame) { holder = frame; });
  manager.setWindowCollapsed([&] { return windowFolded; });
  manager.setResizeChain([&] { ++chainLayouts; });
  top.setManager(&manager);
  bottom.setManager(&manager);

  bottom.toggleExpand();
  EXPECT_EQ(bottom.frame(), QRectF(0, 16, 240, 17));
  EXPECT_EQ(holder, QRectF(0, 37, 240, 307));
  top.toggleExpand();
  EXPECT_EQ(top.frame(), QRectF(0, 431, 240, 17));
  EXPECT_EQ(holder, QRectF(0, 37, 240, 390));
  EXPECT_EQ(chainLayouts, 2);

  windowFolded = true;
  top.toggleExpand();
  EXPECT_EQ(chainLayouts, 2);
  EXPECT_EQ(holder, QRectF(0, 37, 240, 390));
}

}  // namespace
