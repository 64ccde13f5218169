// The multiplexer on a real data-source tree: its published source and
// shared group, switching (previous, next, random, the current column,
// shortcuts), deletion, source edits, shortcut texts, renaming and the
// snapshot with its bad input.
#include "tests/app/multiplexer/MultiplexerFixture.h"

#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/QKMIDIMessage.h"

namespace {

using M = QKMultiplexerPlugin;

TEST_F(MultiplexerTest, ANewMultiplexerPublishesUnderTheSharedGroupWhichGoesWithTheLast) {
  M* first = make();
  EXPECT_EQ(inputNames(*first), QStringList({"Mouse/X", "Mouse/Y"}));
  EXPECT_EQ(first->inputIndex(), 0u);
  EXPECT_EQ(first->follower()->syncArray(), KeyPath({"Mouse", "X"}));
  EXPECT_TRUE(first->follower()->syncFlag());
  const auto holder = dsc.dataSourceForKeyArray({M::kGroupName});
  ASSERT_TRUE(holder);
  EXPECT_TRUE(dsc.dataSourceForKeyArray({M::kGroupName, first->windowTitle()}));

  M* second = make();
  EXPECT_EQ(dsc.dataSourceForKeyArray({M::kGroupName}), holder);
  EXPECT_EQ(holder->asHolder()->elementDictCount(), 2);

  manager->deletePlugins({first});
  EXPECT_TRUE(dsc.dataSourceForKeyArray({M::kGroupName}));
  manager->deletePlugins({second});
  EXPECT_FALSE(dsc.dataSourceForKeyArray({M::kGroupName}));
}

TEST_F(MultiplexerTest, TheOutputFollowsTheCurrentInputOnTheNextTick) {
  addSource("a", 0.25f);
  auto b = addSource("b", 0.75f);
  M* m = makeWith({"a", "b"});
  auto out = record(m->windowTitle());
  b->setValue(0.8f);
  EXPECT_FLOAT_EQ(tick(*out), 0.25f) << "b is not current";
  m->switchToIndex(1);
  b->setValue(0.6f);
  EXPECT_FLOAT_EQ(tick(*out), 0.6f);
  EXPECT_FLOAT_EQ(m->levelView()->val(), 0.6f);
  m->switchToIndex(7);  // outside: ignored
  EXPECT_EQ(m->inputIndex(), 1u);
}

TEST_F(MultiplexerTest, PreviousAndNextWrapOverTheInputs) {
  const struct {
    std::uint32_t from;
    bool next;
    std::uint32_t to;
  } cases[] = {{0, false, 2}, {1, false, 0}, {2, true, 0}, {0, true, 1}};
  M* m = makeWith({"p", "q", "r"});
  for (const auto& c : cases) {
    m->switchToIndex(c.from);
    c.next ? m->nextInputButtonUsed() : m->prevInputButtonUsed();
    EXPECT_EQ(m->inputIndex(), c.to) << c.from << (c.next ? " next" : " previous");
  }
  m->deleteInputsAtIndicies({0, 1, 2});
  m->nextInputButtonUsed();
  m->prevInputButtonUsed();  // nothing to switch to
  EXPECT_TRUE(m->inputs().empty());
}

TEST_F(MultiplexerTest, RandomNeverStaysOnTheCurrentInput) {
  // Draws over the whole range of random().
  draws = {0, 1L << 29, 1L << 30, 3L << 29, 2147483647};
  M* two = makeWith({"p", "q"});
  for (std::uint32_t expected : {1u, 0u, 1u, 0u, 1u}) {
    two->randInputButtonUsed();
    EXPECT_EQ(two->inputIndex(), expected);
  }
  M* three = makeWith({"p", "q", "r"});
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t before = three->inputIndex();
    three->randInputButtonUsed();
    EXPECT_NE(three->inputIndex(), before);
    EXPECT_LT(three->inputIndex(), 3u);
  }
  M* one = makeWith({"p"});
  one->randInputButtonUsed();
  EXPECT_EQ(one->inputIndex(), 0u);
}

TEST_F(MultiplexerTest, DeletingKeepsTheCurrentInputWhereItCan) {
  const struct {
    const char* name;
    std::uint32_t current;
    std::set<int> deleted;
    QStringList left;
    std::uint32_t index;
    QString followed;
  } cases[] = {
      {"the current one goes: the next takes its place", 1, {1}, {"Test/p", "Test/r"}, 1, "r"},
      {"one before goes: the current one moves up", 1, {0}, {"Test/q", "Test/r"}, 0, "q"},
      {"the last while current: the new last", 2, {2}, {"Test/p", "Test/q"}, 1, "q"},
      {"all: the follower keeps its source", 1, {0, 1, 2}, {}, 1, "q"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    M* m = makeWith({"p", "q", "r"});
    m->switchToIndex(c.current);
    m->deleteInputsAtIndicies(c.deleted);
    EXPECT_EQ(inputNames(*m), c.left);
    EXPECT_EQ(m->inputIndex(), c.index);
    EXPECT_EQ(m->follower()->syncArray(), test(c.followed));
    for (int row = 0; row < m->numberOfRows(); ++row)
      EXPECT_EQ(m->objectValue(row, M::CurrentColumn).toInt(), row == int(c.index) ? 1 : 0);
  }
}

TEST_F(MultiplexerTest, EditingASourceMattersOnlyForTheCurrentInput) {
  addSource("a", 0.1f);
  addSource("b", 0.2f);
  auto c = addSource("c", 0.3f);
  M* m = makeWith({"a", "b"});
  m->dataSourcesChangedNotification();
  const auto& items = m->sourceMenuItems();
  const auto indexOf = [&items](const KeyPath& path) {
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].enabled && items[i].keyPath == path) return int(i);
    return -1;
  };
  auto out = record(m->windowTitle());
  m->setObjectValue(1, M::SourceColumn, indexOf(test("c")));
  EXPECT_EQ(m->follower()->syncArray(), test("a"));
  EXPECT_EQ(m->objectValue(1, M::SourceColumn).toInt(), indexOf(test("c")));

  m->setObjectValue(0, M::SourceColumn, indexOf(test("c")));
  c->setValue(0.35f);
  EXPECT_FLOAT_EQ(tick(*out), 0.35f);
  // A heading (the group's title) and an index outside the menu change nothing.
  for (int bad : {-1, int(items.size()), M::kNotFound}) m->setObjectValue(0, M::SourceColumn, bad);
  for (size_t i = 0; i < items.size(); ++i)
    if (!items[i].enabled) m->outputItemToldToUseDSAtIndex(0, int(i));
  EXPECT_EQ(m->inputs()[0]->sliderSyncArray(), test("c"));
  // A source gone from the tree shows no choice.
  m->inputs()[1]->setSliderSyncArray(test("gone"));
  EXPECT_EQ(m->objectValue(1, M::SourceColumn).toInt(), M::kNotFound);
}

TEST_F(MultiplexerTest, AClickInTheCurrentColumnMakesTheRowCurrentCheckedOrNot) {
  M* m = makeWith({"p", "q", "r"});
  for (const QVariant& value : {QVariant(0), QVariant(1), QVariant(int(Qt::Unchecked))}) {
    m->switchToIndex(0);
    m->setObjectValue(2, M::CurrentColumn, value);
    EXPECT_EQ(m->inputIndex(), 2u);
    EXPECT_EQ(m->follower()->syncArray(), test("r"));
  }
}

TEST_F(MultiplexerTest, TheShortcutColumnSaysWhatTheRowListensTo) {
  M* m = make();
  const auto input = m->inputs()[0];
  const KeyPath note60{"MIDI", "note [60] ch. 1"};
  ASSERT_TRUE(dsc.inputSourceForKeyArray(note60));
  EXPECT_EQ(m->objectValue(0, M::ShortcutColumn).toString(), M::kSetShortcutText);
  input->startAllDetect();
  EXPECT_EQ(m->objectValue(0, M::ShortcutColumn).toString(), M::kDetectingText);
  input->useThisSource(note60);
  input->setSyncFlag(true);
  EXPECT_EQ(m->objectValue(0, M::ShortcutColumn).toString(), M::kDetectingText);
  // Learning in hardware-learn mode shows the newest shortcut.
  m->hardwareLearnModeUpdated(true);
  m->select();
  EXPECT_EQ(m->objectValue(0, M::ShortcutColumn).toString(), QStringLiteral("C3"));
  m->hardwareLearnModeUpdated(false);
  EXPECT_FALSE(input->detecting());

  const struct {
    QVariant flag;  // invalid: the default absent
    KeyPath path;
    QString text;
  } cases[] = {
      {{}, note60, "C3"},
      {1, note60, "C3"},
      {0, note60, "n60"},
      {{}, {"MIDI", "ctrl [57] ch. 2"}, "A2"},
      {0, {"MIDI", "ptch.whl. ch. 1"}, "n0"},
      {{}, {"Key", "a"}, "Key: a"},
  };
  for (const auto& c : cases) {
    if (c.flag.isValid())
      UserDefaults::standard().setValue(QStringLiteral("QKMIDIUseNaturalNoteNamesFlag"), c.flag);
    else
      UserDefaults::standard().remove(QStringLiteral("QKMIDIUseNaturalNoteNamesFlag"));
    ASSERT_TRUE(dsc.inputSourceForKeyArray(c.path)) << c.path.join("/").toStdString();
    input->useThisSource(c.path);
    input->setSyncFlag(true);
    EXPECT_EQ(m->objectValue(0, M::ShortcutColumn).toString(), c.text);
  }
  input->setSyncFlag(false);
  EXPECT_EQ(m->objectValue(0, M::ShortcutColumn).toString(), M::kSetShortcutText);
}

TEST_F(MultiplexerTest, OneClickClearsAShortcutAndTheNextListensForANewOne) {
  M* m = make();
  const auto first = m->inputs()[0];
  const auto second = m->inputs()[1];
  m->detectShortcutForItemAtIndex(0);
  EXPECT_TRUE(first->detecting());
  m->detectShortcutForItemAtIndex(1);
  EXPECT_FALSE(first->detecting());
  EXPECT_TRUE(second->detecting());
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 62, 100));
  EXPECT_TRUE(second->shortcutActive());
  EXPECT_FALSE(second->detecting());
  EXPECT_EQ(second->syncArray(), KeyPath({"MIDI", "note [62] ch. 1"}));
  // The shortcut makes its input current, on the delivering thread.
  EXPECT_EQ(m->inputIndex(), 1u);
  m->switchToIndex(0);
  dsc.midiMsgReceived(QKMIDIMessage(0x80, 1, 62, 0));
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 62, 100));
  EXPECT_EQ(m->inputIndex(), 1u);

  m->detectShortcutForItemAtIndex(1);
  EXPECT_FALSE(second->shortcutActive());
  EXPECT_FALSE(second->detecting());
  m->detectShortcutForItemAtIndex(1);
  EXPECT_TRUE(second->detecting());
  m->detectShortcutForItemAtIndex(5);  // no such row: nothing stops
  EXPECT_TRUE(second->detecting());
}

TEST_F(MultiplexerTest, ASourceNamedWithSlashesBindsAndComesBack) {
  auto slashed = addSource("/a/b", 0.4f);
  M* m = make();
  m->dataSourcesChangedNotification();
  int listed = -1;
  for (size_t i = 0; i < m->sourceMenuItems().size(); ++i)
    if (m->sourceMenuItems()[i].keyPath == test("/a/b")) listed = int(i);
  ASSERT_GE(listed, 0);
  m->setObjectValue(0, M::SourceColumn, listed);
  EXPECT_EQ(m->inputs()[0]->sliderSyncArray(), test("/a/b"));
  EXPECT_EQ(m->objectValue(0, M::SourceColumn).toInt(), listed);
  EXPECT_EQ(m->follower()->syncArray(), test("/a/b"));
  auto out = record(m->windowTitle());
  slashed->setValue(0.45f);
  EXPECT_FLOAT_EQ(tick(*out), 0.45f);

  // An OSC address, which holds "/" too, through the snapshot.
  const KeyPath osc{"OSC", "/fader/1"};
  auto oscSource = dsc.inputSourceForKeyArray(osc);
  ASSERT_TRUE(oscSource);
  m->inputs()[1]->setSliderSyncArray(osc);
  M* copy = make();
  copy->loadSnapshot(m->createSnapshot());
  EXPECT_EQ(copy->inputs()[1]->sliderSyncArray(), osc);
  copy->switchToIndex(1);
  auto copyOut = record(copy->windowTitle());
  oscSource->setValue(0.9f);
  EXPECT_FLOAT_EQ(tick(*copyOut), 0.9f);
}

TEST_F(MultiplexerTest, RenamingMovesTheSourceAndItsSubscribers) {
  M* m = make();
  auto out = record(m->windowTitle());
  const auto source = dsc.dataSourceForKeyArray({M::kGroupName, m->windowTitle()});
  m->setPluginName(QStringLiteral("Crowd"));
  EXPECT_EQ(dsc.dataSourceForKeyArray({M::kGroupName, "Crowd"}), source);
  EXPECT_EQ(out->path, KeyPath({M::kGroupName, "Crowd"}));
  out->values.clear();
  dsc.threadProc();
  EXPECT_FALSE(out->values.empty());
}

TEST_F(MultiplexerTest, TheSnapshotBringsBackInputsShortcutsAndTheCurrentOne) {
  addSource("a");
  addSource("b");
  M* m = makeWith({"a", "b"});
  ASSERT_TRUE(dsc.inputSourceForKeyArray({"MIDI", "note [64] ch. 1"}));
  m->inputs()[1]->useThisSource({"MIDI", "note [64] ch. 1"});
  m->inputs()[1]->setSyncFlag(true);
  m->switchToIndex(1);
  const QVariantMap saved = m->createSnapshot();
  EXPECT_EQ(saved.value("inputIndex").toInt(), 1);
  for (const char* key : {"superSnap", "prevInputButton", "nextInputButton", "randInputButton"})
    EXPECT_TRUE(saved.contains(key)) << key;

  M* copy = make();
  copy->loadSnapshot(saved);
  EXPECT_EQ(inputNames(*copy), QStringList({"Test/a", "Test/b"}));
  EXPECT_EQ(copy->inputIndex(), 1u);
  EXPECT_EQ(copy->follower()->syncArray(), test("b"));
  EXPECT_TRUE(copy->inputs()[1]->shortcutActive());
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 64, 100));
  copy->switchToIndex(0);
  dsc.midiMsgReceived(QKMIDIMessage(0x80, 1, 64, 0));
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 64, 100));
  EXPECT_EQ(copy->inputIndex(), 1u);
}

TEST_F(MultiplexerTest, AStoredIndexBeyondTheInputsMeansNoCurrentInput) {
  addSource("a");
  addSource("b");
  M* m = makeWith({"a", "b"});
  QVariantMap saved = m->createSnapshot();
  saved.insert("inputIndex", 5);
  M* copy = make();
  copy->loadSnapshot(saved);
  EXPECT_EQ(copy->inputIndex(), 5u);
  EXPECT_EQ(copy->createSnapshot().value("inputIndex").toInt(), 5) << "kept and saved back";
  EXPECT_EQ(copy->follower()->syncArray(), KeyPath({"Mouse", "X"})) << "no switch";
  for (int row = 0; row < 2; ++row) EXPECT_EQ(copy->objectValue(row, M::CurrentColumn), 0);
  copy->prevInputButtonUsed();
  EXPECT_EQ(copy->inputIndex(), 1u) << "previous goes to the last input";
  copy->loadSnapshot(saved);
  copy->nextInputButtonUsed();
  EXPECT_EQ(copy->inputIndex(), 0u) << "next goes to the first";
  copy->loadSnapshot(saved);
  copy->deleteInputsAtIndicies({0});
  EXPECT_EQ(copy->inputIndex(), 0u);
}

TEST_F(MultiplexerTest, BadSnapshotEntriesAreSkippedAndTheRestLoads) {
  addSource("a");
  const QVariantMap good{{"sliderSyncArray", QStringList({"Test", "a"})}};
  const struct {
    const char* name;
    QVariantMap snapshot;
    QStringList inputs;
    std::uint32_t index;
  } cases[] = {
      {"inputs not a list: they stay", {{"inputsArray", "x"}}, {"Mouse/X", "Mouse/Y"}, 0},
      {"entries not dictionaries are skipped",
       {{"inputsArray", QVariantList{3, good, "x"}}},
       {"Test/a"},
       0},
      {"a path not of strings gives an input without a source",
       {{"inputsArray", QVariantList{QVariantMap{{"sliderSyncArray", QVariantList{1, 2}}}, good}}},
       {"-", "Test/a"},
       0},
      {"a negative index is ignored", {{"inputIndex", -1}}, {"Mouse/X", "Mouse/Y"}, 0},
      {"a fractional index is ignored", {{"inputIndex", 1.5}}, {"Mouse/X", "Mouse/Y"}, 0},
      {"a text index is ignored", {{"inputIndex", "1"}}, {"Mouse/X", "Mouse/Y"}, 0},
      {"a whole double is an index", {{"inputIndex", 1.0}}, {"Mouse/X", "Mouse/Y"}, 1},
      {"a superSnap that is no dictionary", {{"superSnap", 4}}, {"Mouse/X", "Mouse/Y"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    M* m = make();
    m->loadSnapshot(c.snapshot);
    EXPECT_EQ(inputNames(*m), c.inputs);
    EXPECT_EQ(m->inputIndex(), c.index);
  }
}

TEST_F(MultiplexerTest, TheTickHandsTheLevelMeterItsValueThroughTheMainThread) {
  auto a = addSource("a", 0.0f);
  M* m = makeWith({"a"});
  m->window();
  settle();
  a->setValue(0.7f);
  dsc.threadProc();
  EXPECT_FLOAT_EQ(m->levelView()->val(), 0.7f);
  EXPECT_TRUE(m->levelView()->repaintPending());
  settle();
  EXPECT_FALSE(m->levelView()->repaintPending());
}

}  // namespace
