#include "app/compositor/FXChainShortcutTableView.h"
#include "app/compositor/FilterListMenuHost.h"
#include "app/compositor/FilterTableView.h"

#include <QStandardItemModel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// An effects browser that only counts its menu openings.
class FakeBrowser : public FilterListMenuHost {
 public:
  void openContextualMenuOnEvent(QAbstractItemView*, const QPoint&) override { ++menus; }
  int menus = 0;
};

struct TableFixture : ::testing::Test {
  QStandardItemModel model{3, 2};
  FilterTableView table;
  FakeBrowser browser;
  TableFixture() {
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 2; ++column)
        model.setItem(row, column, new QStandardItem(QStringLiteral("%1,%2").arg(row).arg(column)));
    table.setModel(&model);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setFilterListController(&browser);
    table.resize(300, 200);
    table.setColumnWidth(0, 100);
    table.show();
  }
  QPoint cell(int row, int column) const {
    return table.visualRect(model.index(row, column)).center();
  }
  QPoint belowTheRows() const { return QPoint(20, table.viewport()->height() - 4); }
  QList<int> selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : table.selectionModel()->selectedRows()) rows << index.row();
    return rows;
  }
};

TEST_F(TableFixture, AClickRemembersItsPointColumnAndRow) {
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell(1, 1));
  EXPECT_EQ(table.lastClickedColAndRow(), QPointF(1, 1));
  EXPECT_EQ(table.lastClickedPoint(), QPointF(cell(1, 1)));
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, belowTheRows());
  EXPECT_EQ(table.lastClickedColAndRow().y(), -1);
  EXPECT_EQ(browser.menus, 0);
}

TEST_F(TableFixture, RightAndControlClicksSelectTheRowAloneAndOpenTheMenu) {
  for (auto [button, modifiers] : {std::pair{Qt::RightButton, Qt::KeyboardModifiers()},
                                   {Qt::LeftButton, Qt::KeyboardModifiers(Qt::ControlModifier)}}) {
    table.selectRow(0);
    QTest::mouseClick(table.viewport(), button, modifiers, cell(2, 0));
    EXPECT_EQ(selectedRows(), QList<int>({2}));
    // Below the last row: nothing is selected (not row −1).
    QTest::mouseClick(table.viewport(), button, modifiers, belowTheRows());
    EXPECT_TRUE(selectedRows().isEmpty());
  }
  EXPECT_EQ(browser.menus, 4);
}

TEST(FXChainShortcutTableViewTest, SelectedRowsAreDrawnInItsOwnBlue) {
  FXChainShortcutTableView table;
  const QColor blue = QColor::fromRgbF(0.22f, 0.459f, 0.843f, 1.0f);
  EXPECT_EQ(table.palette().color(QPalette::Active, QPalette::Highlight), blue);
  // The theme sets the palette again: the blue stays.
  QPalette themed = table.palette();
  themed.setColor(QPalette::Highlight, Qt::red);
  table.setPalette(themed);
  EXPECT_EQ(table.palette().color(QPalette::Active, QPalette::Highlight), blue);
  EXPECT_EQ(table.palette().color(QPalette::Inactive, QPalette::Highlight), blue);
}

}  // namespace
