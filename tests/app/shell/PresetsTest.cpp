// Presets: where a new one lands, its name, what an update touches, the
// recall of each kind between the restore notifications (also when a
// restorer throws), stepping, the buttons' thread, and the preset table.
#include "app/shell/PMTableDelegate.h"
#include "app/shell/PMTableView.h"
#include "app/shell/PresetManager.h"
#include "app/shell/PresetRecords.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/shell/FakePresetManagerHost.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ManualDelayedCalls.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <thread>

namespace {

using namespace PresetRecords;

QVariantMap record(const QString& name, const QString& kind, qint64 index) {
  return {{kNameKey, name}, {kTypeKey, kind}, {kIndexKey, index}};
}

// Records named "r0" … with the given indices, all "Everything".
QVariantList recordsWithIndices(const QList<qint64>& indices) {
  QVariantList records;
  for (int i = 0; i < indices.size(); ++i)
    records << record(QStringLiteral("r%1").arg(i), kEverything, indices[i]);
  return records;
}

QStringList namesInOrder(const QVariantList& records) {
  QStringList names;
  for (const QVariant& r : records) names << nameOf(r);
  return names;
}

QList<qint64> indicesOf(const QVariantList& records) {
  QList<qint64> indices;
  for (const QVariant& r : records) indices << indexOf(r);
  return indices;
}

class PresetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = TestEnvironment::makeTempDir();
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(dir + QStringLiteral("/defaults.plist"));
    Alert::clearRecorded();
    Alert::clearScriptedAnswers();
    // Both notifications land in the host's call list, in order.
    for (const char* name : {"QKPMRestoreStartNotification", "QKPMRestoreEndNotification"})
      NotificationCenter::defaultCenter().addObserver(
          this, QString::fromLatin1(name), nullptr, [this](const Notification& note) {
            const QString kind = note.userInfo.value(kTypeKey).toString();
            host.calls << note.name + (kind.isEmpty() ? QString() : QStringLiteral(" ") + kind);
          });
  }
  void TearDown() override { NotificationCenter::defaultCenter().removeObserver(this); }

  QString dir;
  FakePresetManagerHost host;
};

// (selected row, indices before) → the new record's index and the others'.
TEST_F(PresetsTest, ANewPresetLandsJustBelowTheSelectedRow) {
  struct Case {
    const char* name;
    int selectedRow;
    QList<qint64> before;
    QList<qint64> after;  // the old records, then the new one
  };
  const Case cases[] = {
      {"row 2 of five", 2, {0, 1, 2, 3, 4}, {0, 1, 2, 4, 5, 3}},
      {"first row", 0, {0, 1, 2}, {0, 2, 3, 1}},
      {"last row", 2, {0, 1, 2}, {0, 1, 2, 3}},
      {"no selection: the end", -1, {0, 1, 2}, {0, 1, 2, 3}},
      {"empty table", -1, {}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PresetManager manager(&host);
    manager.presetArray() = recordsWithIndices(c.before);
    manager.tableDelegate()->rearrange();
    manager.selectRow(c.selectedRow);
    manager.takeSnapshot(kLayers);
    EXPECT_EQ(indicesOf(manager.presetArray()), c.after);
    const int newRow = int(c.after.last());
    EXPECT_EQ(manager.selectedRow(), newRow) << "the new preset is selected";
    EXPECT_EQ(kindOf(manager.arrangedPresets().value(newRow)), kLayers);
  }
}

// "untitled 1" comes back once the preset that had it is renamed.
TEST_F(PresetsTest, NamesReuseTheFirstFreeUntitled) {
  PresetManager manager(&host);
  manager.takeSnapshot(kEverything);
  manager.takeSnapshot(kPlugins);
  EXPECT_EQ(namesInOrder(manager.presetArray()),
            (QStringList{QStringLiteral("untitled 1"), QStringLiteral("untitled 2")}));
  manager.tableDelegate()->setData(manager.tableDelegate()->index(0, PMTableDelegate::NameColumn),
                                   QStringLiteral("Intro"), Qt::EditRole);
  manager.selectRow(-1);
  manager.takeSnapshot(kEverything);
  EXPECT_EQ(nameOf(manager.presetArray().last()), QStringLiteral("untitled 1"));
  EXPECT_FALSE(nameExists(QStringLiteral("Untitled 2"), manager.presetArray()))
      << "names compare case-sensitively";
}

// Each kind holds its own snapshot keys; an update renews only those.
TEST_F(PresetsTest, TakingAndUpdatingTouchOnlyTheKindsKeys) {
  PresetManager manager(&host);
  for (const QString& kind : {kEverything, kPlugins, kLayers, kLayerFX}) {
    SCOPED_TRACE(kind.toStdString());
    manager.presetArray().clear();
    manager.tableDelegate()->rearrange();
    manager.takeSnapshot(kind);
    QVariantMap taken = manager.presetArray().value(0).toMap();
    QStringList keys = snapshotKeys(kind) << kNameKey << kTypeKey << kIndexKey;
    keys.sort();
    EXPECT_EQ(taken.keys(), keys);
    // A foreign key survives; the kind's keys take the new state.
    taken.insert(QStringLiteral("foreign"), 7);
    manager.presetArray()[0] = taken;
    host.compositorState = {{QStringLiteral("layerSnapArray"), QVariantList{1}}};
    host.fxChain = QStringLiteral("chain B");
    manager.updatePreset();
    const QVariantMap updated = manager.presetArray().value(0).toMap();
    EXPECT_EQ(updated.value(QStringLiteral("foreign")), 7);
    EXPECT_EQ(updated.value(kNameKey), taken.value(kNameKey));
    for (const QString& key : snapshotKeys(kind)) {
      if (key == kCompositorSnapshotKey)
        EXPECT_EQ(updated.value(key).toMap(), host.compositorState);
      if (key == kLayerFXSnapshotKey)
        EXPECT_EQ(updated.value(key).toMap().value(QStringLiteral("Layer 1")), host.fxChain);
    }
    host.compositorState = {{QStringLiteral("layerSnapArray"), QVariantList()}};
    host.fxChain = QStringLiteral("chain A");
  }
}

TEST_F(PresetsTest, UpdateWithoutSelectionOrWhileBusyDoesNothing) {
  PresetManager manager(&host);
  manager.takeSnapshot(kLayers);
  const QVariantList before = manager.presetArray();
  host.compositorState = {{QStringLiteral("layerSnapArray"), QVariantList{1}}};
  manager.selectRow(-1);
  manager.updatePreset();
  EXPECT_EQ(manager.presetArray(), before);
  manager.selectRow(0);
  manager.setBusy(true);
  manager.updatePreset();
  EXPECT_EQ(manager.presetArray(), before);
}

// The kinds restore in their order, between the start (with the kind) and
// the end; an unknown kind restores nothing but still posts both.
TEST_F(PresetsTest, RecallRestoresEachKindInOrderBetweenTheNotifications) {
  QVariantMap everything = record(QStringLiteral("E"), kEverything, 0);
  everything.insert(kWindowPositionSnapshotKey,
                    QVariantMap{{QStringLiteral("interfaceLockDict"),
                                 QVariantMap{{QStringLiteral("lock"), true},
                                             {QStringLiteral("lockAll"), false}}}});
  everything.insert(kCompositorSnapshotKey, host.compositorState);
  everything.insert(kPluginManagerSnapshotKey, QVariantList{QVariantMap()});
  QVariantMap plugins = record(QStringLiteral("P"), kPlugins, 1);
  plugins.insert(kPluginManagerSnapshotKey, QVariantList());
  QVariantMap layers = record(QStringLiteral("L"), kLayers, 2);
  layers.insert(kCompositorSnapshotKey, host.compositorState);
  QVariantMap fx = record(QStringLiteral("F"), kLayerFX, 3);
  fx.insert(kLayerFXSnapshotKey, QVariantMap{{QStringLiteral("Layer 1"), 1}});
  fx.insert(kLayerFXShortcutSnapshotKey, QVariantMap());
  const QString start = QStringLiteral("QKPMRestoreStartNotification");
  const QString end = QStringLiteral("QKPMRestoreEndNotification");
  struct Case {
    const char* name;
    QVariantMap preset;
    QStringList calls;
  };
  const Case cases[] = {
      {"Everything: windows, layers, plug-ins",
       everything,
       {start + QStringLiteral(" Everything"), QStringLiteral("setLock 1 0"),
        QStringLiteral("compositor"), QStringLiteral("plugins"), end}},
      {"Plugins", plugins, {start + QStringLiteral(" Plugins"), QStringLiteral("plugins"), end}},
      {"Layers", layers, {start + QStringLiteral(" Layers"), QStringLiteral("compositor"), end}},
      {"Layer FX: chains, then shortcuts",
       fx,
       {start + QStringLiteral(" Layer FX"), QStringLiteral("layerFX"),
        QStringLiteral("layerFXShortcuts"), end}},
      {"unknown kind",
       record(QStringLiteral("U"), QStringLiteral("Odd"), 4),
       {start + QStringLiteral(" Odd"), end}},
      {"an older record without snapshots",
       record(QStringLiteral("O"), kEverything, 5),
       {start + QStringLiteral(" Everything"), end}},
      {"no kind at all", QVariantMap{{kNameKey, QStringLiteral("N")}}, {start, end}},
  };
  PresetManager manager(&host);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.calls.clear();
    manager.triggerPreset(c.preset);
    EXPECT_EQ(host.calls, c.calls);
    EXPECT_FALSE(manager.busy());
  }
  host.calls.clear();
  manager.setBusy(true);
  manager.triggerPreset(layers);
  EXPECT_TRUE(host.calls.isEmpty()) << "a recall while busy is dropped";
}

// A restorer that throws: the end is still posted, busy cleared, the error
// logged and shown once, and a Save right after writes the project.
TEST_F(PresetsTest, AThrowingRestorerStillEndsTheRecall) {
  PresetManager manager(&host);
  QVariantMap layers = record(QStringLiteral("L"), kLayers, 0);
  layers.insert(kCompositorSnapshotKey, host.compositorState);
  manager.presetArray() << layers;
  manager.tableDelegate()->rearrange();
  manager.selectRow(0);
  host.throwingRestorer = QStringLiteral("compositor");
  LogCapture log;
  manager.triggerPresetClicked();
  manager.triggerPresetClicked();
  EXPECT_EQ(host.calls.filter(QStringLiteral("QKPMRestoreEndNotification")).size(), 2);
  EXPECT_FALSE(manager.busy());
  EXPECT_EQ(log.lines()
                .filter(QStringLiteral("threw an exception while triggering preset: "
                                       "restorer failed"))
                .size(),
            2);
  EXPECT_EQ(Alert::recorded().size(), 1u) << "shown once";
  manager.setSavePath(dir + QStringLiteral("/After.zaph"));
  manager.saveButtonUsed();
  EXPECT_TRUE(PropertyList::read(dir + QStringLiteral("/After.zaph")).ok());
}

// Stepping by kind over the table order: (kinds, selected, kind, forward) →
// the row selected after.
TEST_F(PresetsTest, SteppingByKindAndByRow) {
  const QString E = kEverything, P = kPlugins, L = kLayers;
  struct Case {
    const char* name;
    QStringList kinds;
    int selected;
    QString kind;  // empty: any
    bool forward;
    int expected;
  };
  const Case cases[] = {
      {"next of kind", {E, P, E, L}, 0, E, true, 2},
      {"next of kind wraps", {E, P, E, L}, 2, E, true, 0},
      {"next of the only one stays", {E, P, L}, 0, E, true, 0},
      {"previous of kind", {E, P, E, L}, 2, E, false, 0},
      {"previous of kind skips others", {P, E, L, P}, 3, P, false, 0},
      {"previous wraps from the top", {P, E, L, P}, 0, P, false, 3},
      {"no selection: nothing", {E, P}, -1, P, true, -1},
      {"next any", {E, P, L}, 1, QString(), true, 2},
      {"next any wraps", {E, P, L}, 2, QString(), true, 0},
      {"previous any wraps", {E, P, L}, 0, QString(), false, 2},
      {"single row: nothing", {E}, 0, QString(), true, 0},
  };
  PresetManager manager(&host);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    manager.presetArray().clear();
    for (int i = 0; i < c.kinds.size(); ++i)
      manager.presetArray() << record(QStringLiteral("r%1").arg(i), c.kinds[i], i);
    manager.tableDelegate()->rearrange();
    manager.selectRow(c.selected);
    if (c.kind.isEmpty())
      c.forward ? manager.nextAnyUsed() : manager.prevAnyUsed();
    else
      c.forward ? manager.nextUsed(c.kind) : manager.prevUsed(c.kind);
    EXPECT_EQ(manager.selectedRow(), c.expected);
  }
}

// A take button played from an input thread (a learnt MIDI note) takes the
// preset later, on the main thread.
TEST_F(PresetsTest, ATakeButtonPlayedFromAnotherThreadActsOnTheMainThread) {
  struct ThreadCheckingHost : FakePresetManagerHost {
    QVariantMap compositorSnapshot() override {
      onMain = onMain && MainThread::isMainThread();
      ++snapshots;
      return compositorState;
    }
    std::atomic<bool> onMain{true};
    std::atomic<int> snapshots{0};
  } threaded;
  PresetManager manager(&threaded);
  QKButton* take = nullptr;
  for (QKButton* button : manager.contentView()->body()->findChildren<QKButton*>())
    if (button->title() == QStringLiteral("+ Layers")) take = button;
  ASSERT_NE(take, nullptr);
  std::thread input([take] { take->bang(); });
  input.join();
  EXPECT_TRUE(manager.presetArray().isEmpty()) << "nothing happened on the input thread";
  EXPECT_TRUE(MainThread::processUntil([&] { return manager.presetArray().size() == 1; }, 3.0));
  EXPECT_TRUE(threaded.onMain);
  EXPECT_EQ(threaded.snapshots, 1);
}

// The name cell's trigger image recalls 0.01 s later.
TEST_F(PresetsTest, TheDelayedTriggerRecallsAHundredthOfASecondLater) {
  ManualDelayedCalls clock;
  PresetManager manager(&host);
  manager.setDelayedCalls(&clock);
  QVariantMap layers = record(QStringLiteral("L"), kLayers, 0);
  layers.insert(kCompositorSnapshotKey, host.compositorState);
  manager.presetArray() << layers;
  manager.tableDelegate()->rearrange();
  manager.selectRow(0);
  manager.delayedTriggerPresetClicked();
  EXPECT_FALSE(host.calls.contains(QStringLiteral("compositor")));
  clock.advance(0.009);
  EXPECT_FALSE(host.calls.contains(QStringLiteral("compositor")));
  clock.advance(0.002);
  EXPECT_TRUE(host.calls.contains(QStringLiteral("compositor")));
}

TEST_F(PresetsTest, ARestoreClosesTheOptionsSheet) {
  PresetManager manager(&host);
  manager.openOptionsPanel();
  EXPECT_TRUE(manager.optionsPanelOpen());
  manager.triggerPreset(record(QStringLiteral("U"), QStringLiteral("Odd"), 0));
  EXPECT_FALSE(manager.optionsPanelOpen());
}

// --- The preset table -----------------------------------------------------------------------

class PresetTableTest : public PresetsTest {
 protected:
  // Five records "r0" … "r4", indices 0 … 4.
  void fill(PresetManager& manager, int count = 5) {
    QList<qint64> indices;
    for (int i = 0; i < count; ++i) indices << i;
    manager.presetArray() = recordsWithIndices(indices);
    manager.tableDelegate()->rearrange();
  }
  static QStringList rowNames(PresetManager& manager) {
    return namesInOrder(manager.arrangedPresets());
  }
};

TEST_F(PresetTableTest, DraggingARowReordersAndRenumbers) {
  struct Case {
    const char* name;
    int from;
    int dropAbove;
    bool accepted;
    QStringList order;
  };
  const Case cases[] = {
      {"row 0 above row 3", 0, 3, true, {"r1", "r2", "r0", "r3", "r4"}},
      {"row 4 above row 0", 4, 0, true, {"r4", "r0", "r1", "r2", "r3"}},
      {"row 1 to the end", 1, 5, true, {"r0", "r2", "r3", "r4", "r1"}},
      {"just below itself", 2, 3, true, {"r0", "r1", "r2", "r3", "r4"}},
      {"onto itself: refused", 2, 2, false, {"r0", "r1", "r2", "r3", "r4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PresetManager manager(&host);
    fill(manager);
    PMTableDelegate* table = manager.tableDelegate();
    ASSERT_TRUE(table->startDrag(c.from));
    EXPECT_EQ(table->validateDrop(c.dropAbove, true), c.accepted);
    EXPECT_FALSE(table->validateDrop(c.dropAbove, false)) << "a drop onto a row is refused";
    if (c.accepted) table->acceptDrop(c.dropAbove);
    EXPECT_EQ(rowNames(manager), c.order);
    EXPECT_EQ(indicesOf(manager.arrangedPresets()), (QList<qint64>{0, 1, 2, 3, 4}));
  }
}

TEST_F(PresetTableTest, ADragIsRefusedWhileSortedByAnotherColumn) {
  PresetManager manager(&host);
  fill(manager);
  manager.tableView()->horizontalHeader()->setSortIndicator(PMTableDelegate::NameColumn,
                                                            Qt::DescendingOrder);
  EXPECT_FALSE(manager.tableDelegate()->startDrag(0));
  EXPECT_EQ(rowNames(manager).first(), QStringLiteral("r4"));
  manager.tableView()->horizontalHeader()->setSortIndicator(PMTableDelegate::IndexColumn,
                                                            Qt::AscendingOrder);
  EXPECT_TRUE(manager.tableDelegate()->startDrag(0));
}

TEST_F(PresetTableTest, TheDeleteKeyRemovesTheSelectedRowsAndRenumbers) {
  PresetManager manager(&host);
  fill(manager);
  PMTableView* view = manager.tableView();
  view->selectionModel()->select(manager.tableDelegate()->index(1, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  view->selectionModel()->select(manager.tableDelegate()->index(3, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(rowNames(manager), (QStringList{"r0", "r2", "r4"}));
  EXPECT_EQ(indicesOf(manager.arrangedPresets()), (QList<qint64>{0, 1, 2}));
  view->clearSelection();
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(rowNames(manager).size(), 3) << "no selection removes nothing";
}

// A double click on the kind or index recalls; on the name it edits, and
// Return ends the edit; no other column ever edits.
TEST_F(PresetTableTest, DoubleClicksRecallOrEditTheName) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "needs a display (run under Xvfb)";
  PresetManager manager(&host);
  fill(manager, 3);
  manager.window()->show();
  PMTableView* view = manager.tableView();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(manager.window()));
  const auto cellCentre = [&](int row, int column) {
    return view->visualRect(manager.tableDelegate()->index(row, column)).center();
  };
  for (int column : {int(PMTableDelegate::TypeColumn), int(PMTableDelegate::IndexColumn)}) {
    SCOPED_TRACE(column);
    host.calls.clear();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCentre(1, column));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cellCentre(1, column));
    EXPECT_TRUE(host.calls.contains(QStringLiteral("QKPMRestoreStartNotification Everything")));
    EXPECT_FALSE(view->editing());
    view->setCurrentIndex(manager.tableDelegate()->index(1, column));
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_FALSE(view->editing()) << "no editing from the keyboard";
  }
  host.calls.clear();
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                     cellCentre(0, PMTableDelegate::NameColumn) + QPoint(20, 0));
  EXPECT_FALSE(host.calls.contains(QStringLiteral("QKPMRestoreStartNotification Everything")));
  auto* editor = view->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("Opening"));
  const int rowBefore = view->currentIndex().row();
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(MainThread::processUntil([&] { return !view->editing(); }, 2.0));
  EXPECT_EQ(rowNames(manager).first(), QStringLiteral("Opening"));
  EXPECT_EQ(view->currentIndex().row(), rowBefore) << "Return stays on the row";
  // Below the last row and right of the last column: nothing.
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                     QPoint(view->viewport()->width() - 1, view->viewport()->height() - 1));
  saveScreenshot(manager.window()->grab().toImage(), QStringLiteral("preset-window"));
}

// The older layouts and wrong types: (elements) → (name, kind, index) rows.
TEST(PresetReading, OlderLayoutsAndWrongTypes) {
  const auto group = [](const QVariantList& array) {
    return QVariantMap{{QStringLiteral("type"), QStringLiteral("namedArray")},
                       {QStringLiteral("array"), array}};
  };
  const auto older = [](const char* name) {
    return QVariantMap{{QStringLiteral("presetName"), QString::fromLatin1(name)},
                       {QStringLiteral("compositorSnapshot"), QVariantMap()}};
  };
  struct Case {
    const char* name;
    QVariantList elements;
    QStringList names;  // in table order
    QStringList kinds;
  };
  QVariantMap five = record(QStringLiteral("five"), kLayers, 5);
  QVariantMap two = record(QStringLiteral("two"), kPlugins, 2);
  QVariantMap none{{kNameKey, QStringLiteral("none")}, {kTypeKey, kLayers}};
  QVariantMap mistyped{{kNameKey, 12},
                       {kTypeKey, QVariantList()},
                       {kIndexKey, QStringLiteral("x")},
                       {QStringLiteral("presetName"), QStringLiteral("old name")}};
  const Case cases[] = {
      {"presetName only",
       {older("a"), older("b"), older("c")},
       {"a", "b", "c"},
       {kEverything, kEverything, kEverything}},
      {"groups depth first",
       {group({older("a"), group({older("b"), older("c")}), older("d")}), older("e")},
       {"a", "b", "c", "d", "e"},
       {kEverything, kEverything, kEverything, kEverything, kEverything}},
      {"indices 5, 2, none",
       {five, two, none},
       {"two", "five", "none"},
       {kPlugins, kLayers, kLayers}},
      {"wrong types count as missing",
       {mistyped, QStringLiteral("not a record"), 3},
       {"old name"},
       {kEverything}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QVariantList records = readPresets(c.elements);
    QVariantList arranged;
    for (int position : arrangedOrder(records)) arranged << records[position];
    EXPECT_EQ(namesInOrder(arranged), c.names);
    QStringList kinds;
    for (const QVariant& r : arranged) kinds << kindOf(r);
    EXPECT_EQ(kinds, c.kinds);
    QList<qint64> expected;
    for (int i = 0; i < c.names.size(); ++i) expected << i;
    EXPECT_EQ(indicesOf(arranged), expected) << "renumbered 0 … n−1";
  }
  // Inside a group only name, index and kind are kept.
  const QVariantList grouped = readPresets({group({older("a")})});
  EXPECT_EQ(grouped.value(0).toMap().keys(), (QStringList{kIndexKey, kNameKey, kTypeKey}));
}

TEST(PresetReading, DeepGroupsAreSkippedNotRecursedWithoutEnd) {
  QVariant nested = QVariantMap{{QStringLiteral("presetName"), QStringLiteral("deep")}};
  for (int i = 0; i < 40; ++i)
    nested = QVariantMap{{QStringLiteral("type"), QStringLiteral("namedArray")},
                         {QStringLiteral("array"), QVariantList{nested}}};
  LogCapture log;
  const QVariantList records = readPresets({nested, record(QStringLiteral("top"), kLayers, 0)});
  EXPECT_EQ(namesInOrder(records), QStringList{QStringLiteral("top")});
  EXPECT_FALSE(log.lines().filter(QStringLiteral("nested deeper than 32")).isEmpty());
}

}  // namespace
