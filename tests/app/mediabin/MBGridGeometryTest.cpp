#include "app/mediabin/MBGridGeometry.h"

#include <gtest/gtest.h>

namespace {

namespace G = MBGridGeometry;

TEST(MBGridGeometry, RowsOfAPage) {
  struct Case {
    int entries, columns, listeners;
    bool current;
    int rows;
  };
  const Case cases[] = {
      {0, 4, 10, true, 3}, {0, 4, 10, false, 1}, {9, 4, 0, false, 3},
      {8, 4, 0, false, 2}, {0, 4, 0, true, 1},   {20, 4, 10, true, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(G::rows({1, true, true, c.current, c.entries}, c.columns, c.listeners), c.rows)
        << c.entries << " " << c.listeners << " " << c.current;
}

// Width 403, 4 columns: cells 100 x 75. Page 1 (2 rows) expanded over
// page 2 collapsed, in a view 400 high (model y up from the bottom).
TEST(MBGridGeometry, HitTestTable) {
  const std::vector<G::Page> pages = {{1, true, true, true, 5}, {2, true, false, false, 3}};
  struct Case {
    QPointF point;
    G::Hit::Item item;
    long page;
    int index;
  };
  // Page 1: tab 387..400, grid 235..385 (bottom 235); page 2 tab 220..233.
  const Case cases[] = {
      {{5, 395}, G::Hit::DisclosureTriangle, 1, -1},
      {{200, 395}, G::Hit::PageTab, 1, -1},
      {{2, 380}, G::Hit::Grid, 1, 0},
      {{102, 380}, G::Hit::Grid, 1, 1},
      {{302, 240}, G::Hit::Grid, 1, 7},
      {{200, 386}, G::Hit::None, -1, -1},  // the gap below the tab
      {{200, 225}, G::Hit::PageTab, 2, -1},
      {{5, 225}, G::Hit::DisclosureTriangle, 2, -1},
      {{200, 100}, G::Hit::None, -1, -1},  // below the last page
  };
  for (const Case& c : cases) {
    const G::Hit hit = G::hitTest(c.point, pages, 403, 400, 4, 0);
    EXPECT_EQ(hit.item, c.item) << c.point.x() << "," << c.point.y();
    EXPECT_EQ(hit.pageId, c.page) << c.point.x() << "," << c.point.y();
    EXPECT_EQ(hit.index, c.index) << c.point.x() << "," << c.point.y();
  }
  // A page block is rows x cell height + 15; a collapsed one 13.
  EXPECT_DOUBLE_EQ(G::contentHeight(pages, 403, 4, 0), 2 * 75 + 15 + 13);
}

TEST(MBGridGeometry, AutoCloseAlwaysHitsTheGrid) {
  const G::Hit below = G::autoCloseHitTest({150, 10}, 9, 403, 400, 4);
  EXPECT_EQ(below.item, G::Hit::Grid);
  EXPECT_EQ(below.pageId, 9);
  EXPECT_EQ(below.index, 1 + 5 * 4);                  // row 5 from the top, past any entry
  EXPECT_EQ(G::autoCloseRows(3, 403, 400, 4, 0), 6);  // fills the view
}

TEST(MBGridGeometry, TitlesAndColumns) {
  EXPECT_EQ(G::pageTitle("Loops", 5), QStringLiteral("Loops :: 5 items"));
  EXPECT_EQ(G::pageTitle("Loops", 1), QStringLiteral("Loops :: 1 item"));
  EXPECT_EQ(G::clampColumns(0), 1);
  EXPECT_EQ(G::clampColumns(99), 32);
  EXPECT_DOUBLE_EQ(G::cellSize(403, 4).height(), 75.0);
}

TEST(MBGridGeometry, CellRectsConvertToWidgetSpace) {
  const auto blocks = G::layout({{1, true, true, true, 5}}, 403, 400, 4, 0);
  ASSERT_EQ(blocks.size(), 1u);
  const QRectF first = G::toWidget(G::cellRect(blocks[0], 0, 403, 4), 400);
  EXPECT_DOUBLE_EQ(first.left(), 1.0);
  EXPECT_DOUBLE_EQ(first.top(), 15.0);  // below the 13-point tab and its gap
  EXPECT_DOUBLE_EQ(first.width(), 98.0);
  const QPointF centre = G::toModel(first.center(), 400);
  EXPECT_EQ(G::hitTest(centre, {{1, true, true, true, 5}}, 403, 400, 4, 0).index, 0);
}

}  // namespace
