#include "app/prefs/EasterEggTableView.h"
#include "app/prefs/PrefsController.h"
#include "app/prefs/PrefsListController.h"
#include "tests/app/prefs/FakePrefsHost.h"
#include "tests/support/Screenshot.h"

#include <QLabel>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class PrefsWindow : public ::testing::Test {
 protected:
  void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    EasterEggTableView* table = prefs.tableView();
    const QRect rect = table->visualRect(prefs.listController()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers, rect.center());
  }
  int panesInContainer() const {
    return int(prefs.containerView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size());
  }

  FakePrefsHost host;
  PrefsController prefs{&host};
};

TEST_F(PrefsWindow, ListsTheNinePanesAndNilPastThem) {
  const QStringList expected = {"File Loading", "FX Settings", "MIDI",   "OSC",           "Output",
                                "Sliders",      "User Paths",  "Colors", "Movie Playback"};
  PrefsListController* list = prefs.listController();
  ASSERT_EQ(list->numberOfRowsInTableView(), 9);
  for (int row = 0; row < 9; ++row)
    EXPECT_EQ(list->data(list->index(row, 0), Qt::DisplayRole).toString(), expected.at(row));
  EXPECT_EQ(PrefsListController::titleForRow(9), "nil");
  EXPECT_EQ(PrefsListController::titleForRow(-1), "nil");
}

// Clicking rows switches the one pane in the container; "Colors" shows
// the full editor only when Alt (Option) was held.
TEST_F(PrefsWindow, ClickingARowShowsItsPaneAloneAndAltClickOnColorsShowsTheEditor) {
  prefs.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&prefs));
  EXPECT_EQ(prefs.shownPane(), prefs.paneView(PrefsController::kFileLoadingRow));
  for (int row = 0; row < PrefsController::kRowCount; ++row) {
    clickRow(row);
    EXPECT_EQ(prefs.shownPane(), prefs.paneView(row)) << row;
    EXPECT_EQ(panesInContainer(), 1) << row;
    EXPECT_TRUE(prefs.shownPane()->isVisible());
  }
  QWidget* userColors = prefs.paneView(PrefsController::kColorsRow);
  QWidget* editor = prefs.alternatePaneView(PrefsController::kColorsRow);
  ASSERT_TRUE(userColors && editor && userColors != editor);
  clickRow(PrefsController::kOutputRow);
  clickRow(PrefsController::kColorsRow, Qt::AltModifier);
  EXPECT_EQ(prefs.shownPane(), editor);
  clickRow(PrefsController::kOutputRow);
  clickRow(PrefsController::kColorsRow);
  EXPECT_EQ(prefs.shownPane(), userColors);
  EXPECT_EQ(panesInContainer(), 1);
}

// Every pane as a performer sees it.
TEST_F(PrefsWindow, EveryPaneIsPictured) {
  prefs.awakePanes();
  prefs.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&prefs));
  for (int row = 0; row < PrefsController::kRowCount; ++row) {
    clickRow(row);
    const QString title = PrefsListController::titleForRow(row).toLower().replace(' ', '-');
    EXPECT_FALSE(saveScreenshot(prefs.grab().toImage(), "preferences-" + title).isEmpty());
  }
}

TEST_F(PrefsWindow, ARowWithoutAPaneEmptiesTheContainerAndDeselectingKeepsThePane) {
  prefs.displayPrefsForIndex(9);
  EXPECT_EQ(prefs.shownPane(), nullptr);
  EXPECT_EQ(panesInContainer(), 0);
  prefs.setPane(PrefsController::kSlidersRow, nullptr);
  prefs.displayPrefsForIndex(PrefsController::kSlidersRow);
  EXPECT_EQ(prefs.shownPane(), nullptr);

  prefs.tableView()->selectRow(PrefsController::kOutputRow);
  QWidget* output = prefs.shownPane();
  ASSERT_EQ(output, prefs.paneView(PrefsController::kOutputRow));
  prefs.tableView()->clearSelection();
  EXPECT_EQ(prefs.shownPane(), output);
}

// An owner sets its pane into a row: the earlier view goes, a row that is
// shown shows the new view at once, and the hooks run in list order.
TEST_F(PrefsWindow, PanesSetByTheirOwnersReplaceThePlaceholdersAndWakeInListOrder) {
  QStringList events;
  QPointer<QWidget> placeholder = prefs.paneView(PrefsController::kOSCRow);
  prefs.tableView()->selectRow(PrefsController::kOSCRow);
  auto* osc = new QLabel(QStringLiteral("OSC ports"));
  prefs.setPane(PrefsController::kOSCRow, osc,
                {[&] { events << "awake OSC"; }, [&] { events << "closing OSC"; }});
  auto* midi = new QLabel(QStringLiteral("MIDI sources"));
  prefs.setPane(PrefsController::kMIDIRow, midi,
                {[&] { events << "awake MIDI"; }, [&] { events << "closing MIDI"; }});
  EXPECT_TRUE(placeholder.isNull());
  EXPECT_EQ(prefs.shownPane(), osc);
  EXPECT_EQ(panesInContainer(), 1);

  prefs.awakePanes();
  EXPECT_EQ(events, QStringList({"awake MIDI", "awake OSC"}));
  events.clear();
  prefs.show();
  EXPECT_TRUE(prefs.close());
  EXPECT_EQ(events, QStringList({"closing MIDI", "closing OSC"}));
  EXPECT_EQ(prefs.paneView(PrefsController::kMIDIRow), midi);
}

}  // namespace
