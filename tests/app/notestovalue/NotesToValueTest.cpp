#include "app/plugins/notestovalue/NotesToValue.h"
#include "app/plugins/notestovalue/NotesToValueTableModel.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/support/DetectPosts.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr float kEps = 1e-5f;

KeyPath note(int number, int channel = 1) {
  return {QStringLiteral("MIDI"), QStringLiteral("note [%1] ch. %2").arg(number).arg(channel)};
}

class NotesToValueTest : public PluginHost {
 protected:
  NotesToValue* make() { return PluginHost::make<NotesToValue>(); }
  std::shared_ptr<ValueRecorder> record(const QString& name) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(
        dsc.subscribeObject(recorder, &ValueRecorder::updated, {NotesToValue::kGroupName, name}));
    recorder->values.clear();
    return recorder;
  }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }
  void play(int number, int channel = 1) {
    dsc.midiMsgReceived(QKMIDIMessage(0x90, channel, std::uint8_t(number), 100));
    dsc.midiMsgReceived(QKMIDIMessage(0x80, channel, std::uint8_t(number), 0));
  }
  NotesToValue* withNotes(std::initializer_list<int> notes) {
    NotesToValue* plugin = make();
    for (int n : notes) plugin->addListenerWithSyncArray(note(n));
    return plugin;
  }
};

// --- Firing ---------------------------------------------------------------------------------

TEST_F(NotesToValueTest, AShortcutPublishesItsValueEveryTimeItFires) {
  struct Case {
    const char* name;
    std::vector<int> notes;
    bool autoSpace;
    int played;
    float expected;
  };
  const Case cases[] = {
      {"evenly spaced, middle of three", {60, 61, 62}, true, 61, 0.5f},
      {"evenly spaced, last of five", {60, 61, 62, 63, 64}, true, 64, 1.0f},
      {"evenly spaced, only one", {60}, true, 60, 0.0f},
      {"own values: the third is 2/3", {60, 61, 62}, false, 62, 2.0f / 3},
      {"own values: the first is 0", {60, 61, 62}, false, 60, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NotesToValue* plugin = make();
    for (int n : c.notes) plugin->addListenerWithSyncArray(note(n));
    plugin->autoSpaceButtonUsed(c.autoSpace);
    const auto recorder = record(plugin->windowTitle());
    play(c.played);
    play(c.played);
    ASSERT_EQ(recorder->values.size(), 2u) << "a repeat is published too";
    EXPECT_NEAR(recorder->values.back(), c.expected, kEps);
    EXPECT_NEAR(plugin->lastVal(), c.expected, kEps);
    manager->deletePlugins({plugin});
  }
}

TEST_F(NotesToValueTest, NothingFiresWhileDetectingOrAfterDeletion) {
  NotesToValue* plugin = withNotes({60, 61});
  const auto recorder = record(plugin->windowTitle());
  plugin->doContinuousDetect(true);
  play(61);
  EXPECT_TRUE(recorder->values.empty());
  plugin->doContinuousDetect(false);
  play(61);
  EXPECT_EQ(recorder->values.size(), 1u);
  const auto shortcuts = plugin->shortcuts();
  manager->deletePlugins({plugin});
  EXPECT_TRUE(recorder->deleted);
  for (const auto& shortcut : shortcuts) EXPECT_TRUE(shortcut->deleted());
  play(61);  // nothing left to reach
}

// --- Continuous detection -------------------------------------------------------------------

TEST_F(NotesToValueTest, ContinuousDetectionAddsAShortcutForEverySourceThatArrives) {
  auto oscNode = DSFloatInfrequent::createWithName("/fader");
  auto button = DSFloatInfrequent::createWithName("pad", DSType::Plain);
  // A button source announces its own presses.
  const auto postButton = [&](float value) {
    button->setValue(0.0f);
    button->setValue(value);
  };
  const auto postOSC = [&](float value) {
    oscNode->setValue(value);
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(InputNotifications::OSCDetect), nullptr,
        {{QString::fromLatin1(InputNotifications::DataSourceKey),
          QVariant::fromValue(std::shared_ptr<DataSource>(oscNode.get(), [](DataSource*) {}))}});
  };
  struct Case {
    const char* name;
    std::function<void()> post;
    QStringList names;
  };
  const Case cases[] = {
      {"the same key twice is learnt twice",
       [] {
         postKeyDetect("a");
         postKeyDetect("a");
       },
       {"Key: a", "Key: a"}},
      {"a note-on", [] { postMIDIDetect(0x90, 60, 100, 2); }, {"C3"}},
      {"a note-off", [] { postMIDIDetect(0x80, 60, 0); }, {}},
      {"a note-on of velocity 0", [] { postMIDIDetect(0x90, 60, 0); }, {}},
      {"a controller", [] { postMIDIDetect(0xB0, 7, 100); }, {}},
      {"an auto-repeat", [] { postKeyDetect("a", true); }, {}},
      {"a key release", [] { postKeyDetect("a", false, Qt::Key_A, QEvent::KeyRelease); }, {}},
      {"the delete key", [] { postKeyDetect("\b", false, Qt::Key_Backspace); }, {}},
      {"a button half pressed", [&] { postButton(0.5f); }, {}},
      {"a button pressed", [&] { postButton(1.0f); }, {QString()}},
      {"an OSC message", [&] { postOSC(0.0f); }, {"OSC: /fader"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NotesToValue* plugin = make();
    plugin->continuousDetectButtonUsed(1);
    EXPECT_EQ(plugin->instructions(), NotesToValue::kWaitingForKeys);
    c.post();
    settle();
    QStringList names;
    for (const auto& shortcut : plugin->shortcuts()) names << shortcut->humanReadableName();
    EXPECT_EQ(names, c.names);
    plugin->continuousDetectButtonUsed(0);
    EXPECT_EQ(plugin->instructions(), NotesToValue::kIdleInstructions);
    manager->deletePlugins({plugin});
  }
}

TEST_F(NotesToValueTest, ASecondLearntShortcutPublishesOneAndNothingIsLearntWhenOff) {
  NotesToValue* plugin = make();
  const auto recorder = record(plugin->windowTitle());
  plugin->continuousDetectButtonUsed(1);
  postMIDIDetect(0x90, 60, 100);
  settle();
  EXPECT_TRUE(recorder->values.empty()) << "one shortcut publishes nothing yet";
  postMIDIDetect(0x90, 62, 100);
  settle();
  ASSERT_EQ(recorder->values.size(), 1u);
  EXPECT_EQ(recorder->values.back(), 1.0f);
  plugin->continuousDetectButtonUsed(0);
  postMIDIDetect(0x90, 64, 100);
  settle();
  EXPECT_EQ(plugin->shortcutCount(), 2);
}

// --- MIDI range setup -----------------------------------------------------------------------

TEST_F(NotesToValueTest, ARangeGivesOneShortcutPerNoteInPlayedOrder) {
  struct Case {
    const char* name;
    int first, last, channel;
    bool typed;
    std::vector<KeyPath> expected;
  };
  const Case cases[] = {
      {"up", 60, 63, 2, false, {note(60, 1), note(61, 2), note(62, 2), note(63, 2)}},
      {"down", 63, 61, 1, false, {note(63), note(62), note(61)}},
      {"the same note", 60, 60, 1, false, {note(60)}},
      {"typed", 36, 38, 10, true, {note(36, 10), note(37, 10), note(38, 10)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NotesToValue* plugin = withNotes({50});
    plugin->autoMidiRangeSetupButtonUsed();
    EXPECT_EQ(plugin->shortcutCount(), 0) << "a range starts from an empty list";
    EXPECT_TRUE(plugin->rangeFieldsShown());
    EXPECT_EQ(plugin->instructions(), NotesToValue::kPressStartingNote);
    const auto give = [&](int number, int channel) {
      if (c.typed) {
        plugin->midiRangeTextField()->setText(QString::number(number));
        plugin->midiRangeChannelTextField()->setText(QString::number(channel));
        plugin->midiRangeTextFieldUsed();
      } else {
        postMIDIDetect(0x90, number, 90, channel);
        settle();
      }
    };
    give(c.first, c.typed ? c.channel : 1);
    EXPECT_EQ(plugin->instructions(), NotesToValue::kPressLastNote);
    give(c.last, c.channel);
    EXPECT_EQ(plugin->autoMidiSetupStage(), 0);
    EXPECT_FALSE(plugin->rangeFieldsShown());
    std::vector<KeyPath> paths;
    for (const auto& shortcut : plugin->shortcuts()) paths.push_back(shortcut->syncArray());
    EXPECT_EQ(paths, c.expected);
    postMIDIDetect(0x90, 70, 90);  // the range is over: nothing more is learnt
    settle();
    EXPECT_EQ(plugin->shortcutCount(), int(c.expected.size()));
    manager->deletePlugins({plugin});
  }
}

TEST_F(NotesToValueTest, ARangeSetupRefusesWhatNamesNoNoteAndEndsWhenCleared) {
  NotesToValue* plugin = make();
  plugin->autoMidiRangeSetupButtonUsed();
  for (const auto& [n, ch] : {std::pair{128, 1}, {-1, 1}, {60, 0}, {60, 17}})
    plugin->doMidiRangeSetup(n, ch);
  plugin->midiRangeTextField()->setText(QStringLiteral("sixty"));
  plugin->midiRangeChannelTextField()->setText(QStringLiteral("1"));
  plugin->midiRangeTextFieldUsed();
  EXPECT_EQ(plugin->shortcutCount(), 0);
  EXPECT_EQ(plugin->autoMidiSetupStage(), 1);

  plugin->clearAllShortcutsButtonUsed();
  EXPECT_EQ(plugin->autoMidiSetupStage(), 0);
  EXPECT_EQ(plugin->instructions(), NotesToValue::kNoShortcuts);
  EXPECT_FALSE(plugin->rangeFieldsShown());
  postMIDIDetect(0x90, 60, 90);
  settle();
  EXPECT_EQ(plugin->shortcutCount(), 0);

  // Starting detection ends a range setup, and a range setup ends detection.
  plugin->autoMidiRangeSetupButtonUsed();
  plugin->continuousDetectButtonUsed(1);
  EXPECT_EQ(plugin->autoMidiSetupStage(), 0);
  EXPECT_TRUE(plugin->continuousDetectSetup());
  plugin->autoMidiRangeSetupButtonUsed();
  EXPECT_FALSE(plugin->continuousDetectSetup());
  EXPECT_EQ(plugin->autoMidiSetupStage(), 1);
}

// --- Names and the table --------------------------------------------------------------------

TEST(NTVShortcutName, NamesTheSourceAsThePerformerKnowsIt) {
  struct Case {
    KeyPath path;
    QVariant naturalNames;  // invalid: the default absent
    QString expected;
  };
  const Case cases[] = {
      {{"MIDI", "note [60] ch. 1"}, {}, "C3"},
      {{"MIDI", "note [61] ch. 3"}, 1, "C#3"},
      {{"MIDI", "note [60] ch. 1"}, 0, "n60"},
      {{"Key", "a"}, {}, "Key: a"},
      {{"OSC", "/1/fader", "more"}, {}, "OSC: /1/fader"},
      {{"MIDI"}, {}, ""},
      {{}, {}, ""},
  };
  for (const Case& c : cases) {
    UserDefaults::standard().resetForTesting();
    if (c.naturalNames.isValid())
      UserDefaults::standard().setValue("QKMIDIUseNaturalNoteNamesFlag", c.naturalNames);
    EXPECT_EQ(QKNTVShortcut::humanReadableName(c.path), c.expected)
        << c.path.join('/').toStdString();
  }
  UserDefaults::standard().resetForTesting();
}

TEST_F(NotesToValueTest, TheTableShowsValuesAndEditsOnlyOwnValuesClamped) {
  NotesToValue* plugin = withNotes({60, 62, 64});
  NotesToValueTableModel* model = plugin->tableModel();
  ASSERT_NE(model, nullptr);
  const auto cell = [&](int row, int column) { return model->index(row, column); };
  EXPECT_EQ(model->data(cell(1, NotesToValueTableModel::CellNumber)).toString(), "2");
  EXPECT_EQ(model->data(cell(2, NotesToValueTableModel::Shortcut)).toString(), "E3");
  EXPECT_NEAR(model->data(cell(1, NotesToValueTableModel::Value)).toFloat(), 0.5f, kEps);
  EXPECT_FALSE(model->flags(cell(1, NotesToValueTableModel::Value)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model->setData(cell(1, NotesToValueTableModel::Value), 0.9));

  plugin->autoSpaceCheckBox()->click();
  EXPECT_FALSE(plugin->autoSpace());
  EXPECT_TRUE(model->flags(cell(1, NotesToValueTableModel::Value)) & Qt::ItemIsEditable);
  EXPECT_NEAR(model->data(cell(1, NotesToValueTableModel::Value)).toFloat(), 0.5f, kEps);
  struct Edit {
    QVariant value;
    bool accepted;
    float stored;
  };
  for (const Edit& e : {Edit{0.25, true, 0.25f}, Edit{7.0, true, 1.0f}, Edit{-3.0, true, 0.0f},
                        Edit{QStringLiteral("loud"), false, 0.0f}, Edit{QVariant(), false, 0.0f}}) {
    EXPECT_EQ(model->setData(cell(2, NotesToValueTableModel::Value), e.value), e.accepted);
    if (e.accepted) {
      EXPECT_NEAR(plugin->shortcuts()[2]->outputValue(), e.stored, kEps);
    }
  }
  EXPECT_FALSE(model->setData(cell(2, NotesToValueTableModel::Shortcut), QStringLiteral("x")));
  const auto recorder = record(plugin->windowTitle());
  model->setData(cell(2, NotesToValueTableModel::Value), 0.75);
  EXPECT_TRUE(recorder->values.empty()) << "an edit is not published";
  play(64);
  EXPECT_NEAR(recorder->values.back(), 0.75f, kEps);
}

TEST_F(NotesToValueTest, TheDeleteKeyRemovesTheSelectedShortcuts) {
  NotesToValue* plugin = withNotes({60, 61, 62, 63});
  const auto gone = plugin->shortcuts()[1];
  plugin->tableView()->selectRow(1);
  plugin->tableView()->selectionModel()->select(
      plugin->tableModel()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  plugin->deleteKeyPressed();
  std::vector<KeyPath> paths;
  for (const auto& shortcut : plugin->shortcuts()) paths.push_back(shortcut->syncArray());
  EXPECT_EQ(paths, (std::vector<KeyPath>{note(60), note(62)}));
  EXPECT_TRUE(gone->deleted());
}

// --- Snapshot, name, deletion ---------------------------------------------------------------

TEST_F(NotesToValueTest, ASnapshotBringsBackTheShortcutsTheirValuesAndTheOutput) {
  NotesToValue* plugin = withNotes({60, 61, 62});
  plugin->autoSpaceButtonUsed(false);
  plugin->tableModel()->setData(plugin->tableModel()->index(0, NotesToValueTableModel::Value), 0.9);
  play(61);
  const QVariantMap snapshot = plugin->createSnapshot();
  EXPECT_EQ(snapshot.value("autoSpaceButton").toInt(), 0);
  EXPECT_NEAR(snapshot.value("lastVal").toFloat(), 0.5f, kEps);

  NotesToValue* other = make();
  const auto recorder = record(other->windowTitle());
  QVariantMap stored = snapshot;
  QVariantList shortcuts = stored.value("shortcutsArray").toList();
  shortcuts.insert(1, QStringLiteral("not a shortcut"));
  stored.insert("shortcutsArray", shortcuts);
  other->loadSnapshot(stored);
  ASSERT_EQ(recorder->values.size(), 1u) << "the output is published again";
  EXPECT_NEAR(recorder->values.back(), 0.5f, kEps);
  EXPECT_FALSE(other->autoSpace());
  EXPECT_FALSE(other->autoSpaceCheckBox()->isChecked());
  ASSERT_EQ(other->shortcutCount(), 3);
  EXPECT_NEAR(other->shortcuts()[0]->outputValue(), 0.9f, kEps);
  EXPECT_EQ(other->shortcuts()[2]->syncArray(), note(62));
  play(60);
  EXPECT_NEAR(recorder->values.back(), 0.9f, kEps);

  // No "shortcutsArray": an empty list; the output keeps its value.
  other->loadSnapshot({{"autoSpaceButton", 1}});
  EXPECT_EQ(other->shortcutCount(), 0);
  EXPECT_TRUE(other->autoSpace());
  EXPECT_NEAR(other->lastVal(), 0.9f, kEps);
  EXPECT_TRUE(
      NotesToValue(NotesToValue::kTypeName, "lone", 99).createSnapshot().contains("superSnap"));
}

TEST_F(NotesToValueTest, ARenameMovesTheOutputAndTheLastDeletionRemovesTheGroup) {
  NotesToValue* first = make();
  NotesToValue* second = make();
  const auto recorder = record(first->windowTitle());
  first->setPluginName(QStringLiteral("Keys"));
  EXPECT_EQ(recorder->path, (KeyPath{NotesToValue::kGroupName, "Keys"}));
  EXPECT_NE(dsc.dataSourceForKeyArray({NotesToValue::kGroupName, "Keys"}), nullptr);
  manager->deletePlugins({first});
  EXPECT_EQ(dsc.dataSourceForKeyArray({NotesToValue::kGroupName, "Keys"}), nullptr);
  EXPECT_NE(dsc.dataSourceForKeyArray({NotesToValue::kGroupName}), nullptr);
  manager->deletePlugins({second});
  EXPECT_EQ(dsc.dataSourceForKeyArray({NotesToValue::kGroupName}), nullptr);
}

// --- Threads --------------------------------------------------------------------------------

// Notes fire on a MIDI thread while the main thread edits the list and the
// plug-in finally goes (run under ThreadSanitizer too).
TEST_F(NotesToValueTest, NotesOnAMIDIThreadMeetEditsAndDeletion) {
  NotesToValue* plugin = withNotes({60, 61, 62, 63, 64, 65, 66, 67});
  std::atomic<bool> stop{false};
  std::thread midi([&] {
    int n = 0;
    while (!stop.load()) play(60 + (n++ % 8));
  });
  for (int round = 0; round < 30; ++round) {
    if (round % 3 == 0) plugin->removeItemsAtIndexes({0});
    if (round % 3 == 1) plugin->addListenerWithSyncArray(note(60 + round % 8));
    if (round % 10 == 9) plugin->autoSpaceButtonUsed(round % 20 == 9);
    settle();
  }
  manager->deletePlugins({plugin});
  stop.store(true);
  midi.join();
}

TEST_F(NotesToValueTest, TheWindowShowsTheListAndItsControls) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the window is a real one";
  NotesToValue* plugin = withNotes({60, 62, 64, 65});
  plugin->autoMidiRangeSetupButtonUsed();
  plugin->doMidiRangeSetup(48, 1);
  QKWindow* window = plugin->window();
  ASSERT_NE(window, nullptr);
  window->show();
  settle();
  EXPECT_TRUE(plugin->midiRangeTextField()->isVisible());
  EXPECT_FALSE(
      saveScreenshot(window->grab().toImage(), QStringLiteral("notes-to-value")).isEmpty());
}

}  // namespace
