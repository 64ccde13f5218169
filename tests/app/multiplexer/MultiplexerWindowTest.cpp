// The multiplexer's window: clicks in its learn table in and out of
// hardware-learn mode, the blue veil of learn mode, and a look at it.
#include "tests/app/multiplexer/MultiplexerFixture.h"

#include "app/plugins/multiplexer/MultiplexerTableModel.h"
#include "app/plugins/multiplexer/QKNSHardwareLearnTableView.h"
#include "framework/toolkit/QKWindow.h"
#include "tests/support/Screenshot.h"

#include <QItemSelectionModel>
#include <QTest>

namespace {

using M = QKMultiplexerPlugin;

class MultiplexerWindowTest : public MultiplexerTest {
 protected:
  M* shown() {
    M* m = make();
    m->window()->show();
    settle();
    return m;
  }
  static void click(M* m, int row, int column) {
    QKNSHardwareLearnTableView* table = m->tableView();
    const QRect cell = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    settle();
  }
  static std::vector<int> selectedRows(M* m) {
    std::vector<int> rows;
    for (const QModelIndex& index : m->tableView()->selectionModel()->selectedRows())
      rows.push_back(index.row());
    return rows;
  }
};

TEST_F(MultiplexerWindowTest, OutsideLearnModeOnlyTheShortcutColumnLearns) {
  M* m = shown();
  const auto inputs = m->inputs();
  click(m, 1, M::CurrentColumn);
  EXPECT_EQ(m->tableView()->lastClickedColAndRow(), QPoint(M::CurrentColumn, 1));
  EXPECT_EQ(m->inputIndex(), 1u);
  click(m, 1, M::SourceColumn);
  EXPECT_FALSE(inputs[1]->detecting());
  EXPECT_EQ(selectedRows(m), std::vector<int>{1});
  click(m, 0, M::ShortcutColumn);
  EXPECT_TRUE(inputs[0]->detecting());
  EXPECT_EQ(selectedRows(m), std::vector<int>{0});
  EXPECT_EQ(m->tableModel()->index(0, M::ShortcutColumn).data().toString(), M::kDetectingText);
  // Once learnt, the next click clears the shortcut.
  ASSERT_TRUE(dsc.inputSourceForKeyArray({"Key", "q"}));
  inputs[0]->learnSource({"Key", "q"});
  settle();
  EXPECT_EQ(m->tableModel()->index(0, M::ShortcutColumn).data().toString(), "Key: q");
  click(m, 0, M::ShortcutColumn);
  EXPECT_FALSE(inputs[0]->shortcutActive());
  EXPECT_FALSE(inputs[0]->detecting());
  EXPECT_FALSE(m->selected());
  saveScreenshot(m->window()->grab().toImage(), QStringLiteral("multiplexer"));
}

TEST_F(MultiplexerWindowTest, InLearnModeAClickSelectsTheMultiplexerAndTheRowListens) {
  M* m = shown();
  const auto inputs = m->inputs();
  dsc.setHardwareLearnMode(true);
  settle();
  ASSERT_TRUE(m->hardwareLearnMode());
  click(m, 1, M::SourceColumn);
  EXPECT_TRUE(m->selected());
  EXPECT_TRUE(inputs[1]->detecting());
  click(m, 0, M::CurrentColumn);  // selected: any column learns
  EXPECT_TRUE(inputs[0]->detecting());
  EXPECT_FALSE(inputs[1]->detecting());

  const QImage veiled = m->tableView()->viewport()->grab().toImage();
  saveScreenshot(m->window()->grab().toImage(), QStringLiteral("multiplexer-learn"));
  const QColor below = veiled.pixelColor(veiled.width() / 2, veiled.height() - 3);
  EXPECT_GT(below.blue(), below.red() + 40) << below.name().toStdString();

  m->deselect();
  EXPECT_FALSE(inputs[0]->detecting());
  click(m, 1, M::ShortcutColumn);
  dsc.setHardwareLearnMode(false);
  settle();
  for (const auto& input : inputs) EXPECT_FALSE(input->detecting());
  const QImage plain = m->tableView()->viewport()->grab().toImage();
  const QColor after = plain.pixelColor(plain.width() / 2, plain.height() - 3);
  EXPECT_LT(after.blue(), below.blue());
}

}  // namespace
