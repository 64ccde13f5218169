#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/MIDIPollObject.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/datasource/DataSourceFakes.h"
#include "tests/framework/datasource/InputTestSupport.h"

#include <gtest/gtest.h>

namespace {

// No transport: the tests hand messages in and read the tree. Without a
// JACK server (and with JACK chosen) the manager waits and opens nothing.
MIDIManager::Options offline() {
  MIDIManager::Options options;
  options.api = RtMidi::UNIX_JACK;
  options.pollIntervalSeconds = 0;
  return options;
}

class MIDIManagerTest : public ::testing::Test {
 protected:
  MIDIManagerTest() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    app.clock = &clock;
    dsc.setAppController(&app);
  }
  std::shared_ptr<DataSource> node(const KeyPath& path) { return dsc.dataSourceForKeyArray(path); }

  FakeInputApp app;
  FakeClock clock;
  DataSourceController dsc;
};

const QString kMIDI = QStringLiteral("MIDI");
const QString kDedicated = QStringLiteral("Dedicated MIDI");

TEST(MIDIManagerNames, NaturalNoteNames) {
  struct Case {
    int note;
    const char* name;
  };
  for (const Case& c : std::vector<Case>{
           {60, "C3"}, {59, "B2"}, {69, "A3"}, {0, "C-2"}, {127, "G8"}, {61, "C#3"}, {21, "A-1"}})
    EXPECT_EQ(MIDIManager::naturalNameForMIDINoteValue(c.note), QString::fromLatin1(c.name))
        << c.note;
}

TEST_F(MIDIManagerTest, ClockStartAndStopGoToTheClockEverythingElseToTheTree) {
  MIDIManager manager(&app, offline());
  app.midi = &manager;
  dsc.awakeFromNib();
  EXPECT_EQ(manager.receivingNodeName(), QStringLiteral("To ZAPH"));
  EXPECT_EQ(manager.sendingNodeName(), QStringLiteral("From ZAPH"));
  NotificationCounter detect(InputNotifications::MIDIDetect);
  const QKMIDIMessage clockTick(0xF8, 0, 0, 0), start(0xFA, 0, 0, 0), stop(0xFC, 0, 0, 0),
      cont(0xFB, 0, 0, 0), note(0x90, 1, 60, 127);
  manager.receivedMIDI({start, clockTick, note, cont, stop});
  EXPECT_EQ(clock.received(), (QKMIDIMessageArray{start, clockTick, stop}));
  EXPECT_FLOAT_EQ(node({kMIDI, QStringLiteral("note [60] ch. 1")})->value(), 1.0f);
  ASSERT_EQ(detect.count(), 2);  // the note and the continue message
  EXPECT_EQ(detect.notes()[1].userInfo.value(QStringLiteral("message")).value<QKMIDIMessage>(),
            cont);
}

TEST_F(MIDIManagerTest, MessagesBeforeTheControllerExistsAreDropped) {
  FakeInputApp early;  // no controller yet
  MIDIManager manager(&early, offline());
  manager.receivedMIDI({QKMIDIMessage(0x90, 1, 60, 127)});
  early.dsc = &dsc;  // fetched when next needed
  manager.receivedMIDI({QKMIDIMessage(0x90, 1, 61, 127)});
  EXPECT_FALSE(node({kMIDI, QStringLiteral("note [60] ch. 1")}));
  EXPECT_TRUE(node({kMIDI, QStringLiteral("note [61] ch. 1")}));
}

TEST_F(MIDIManagerTest, PolledObjectsAreBangedUntilTheyUnregister) {
  struct Output : MIDIPollObject {
    void bang() override { ++bangs; }
    int bangs = 0;
  };
  MIDIManager manager(&app, offline());
  app.midi = &manager;
  dsc.awakeFromNib();
  Output a, b;
  auto& center = NotificationCenter::defaultCenter();
  center.post(QString::fromLatin1(InputNotifications::MIDIRegisterForPoll),
              static_cast<MIDIPollObject*>(&a));
  center.post(QString::fromLatin1(InputNotifications::MIDIRegisterForPoll),
              static_cast<MIDIPollObject*>(&b));
  center.post(QString::fromLatin1(InputNotifications::MIDIRegisterForPoll), nullptr);
  dsc.threadProc();  // one tick ends with the manager's bang
  center.post(QString::fromLatin1(InputNotifications::MIDIUnregisterForPoll),
              static_cast<MIDIPollObject*>(&a));
  dsc.threadProc();
  EXPECT_EQ(a.bangs, 1);
  EXPECT_EQ(b.bangs, 2);
  EXPECT_EQ(manager.pollArray().lockCount(), 1u);
}

TEST_F(MIDIManagerTest, DedicatedSourcesRoundTripThroughTheDefaults) {
  MIDIManager manager(&app, offline());
  app.midi = &manager;
  dsc.awakeFromNib();
  manager.receivedMIDI({QKMIDIMessage(0xB0, 1, 7, 64)});  // seen before dedicating
  auto target = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received,
                                  {kMIDI, QStringLiteral("ctrl [7] ch. 1")}));

  manager.setDedicatedSourcesDict({{QStringLiteral("ctrl [7] ch. 1"), QStringLiteral("Volume")},
                                   {QStringLiteral("note [36] ch. 10"), QStringLiteral("Kick")},
                                   {QStringLiteral("junk"), 5}});
  manager.saveDedicatedToDefaults();
  EXPECT_EQ(UserDefaults::standard().dictionaryValue(QStringLiteral("MIDIDedicatedDict")).size(),
            2);
  manager.setDedicatedSourcesDict({});
  manager.loadDedicatedFromDefaults();

  const auto volume = node({kDedicated, QStringLiteral("Volume")});
  ASSERT_TRUE(volume);
  EXPECT_FALSE(node({kMIDI, QStringLiteral("ctrl [7] ch. 1")}));  // moved, not copied
  EXPECT_TRUE(
      std::dynamic_pointer_cast<DSFloatInfrequent>(node({kDedicated, QStringLiteral("Kick")})));
  manager.receivedMIDI({QKMIDIMessage(0xB0, 1, 7, 127)});
  EXPECT_FLOAT_EQ(volume->value(), 1.0f);
  EXPECT_EQ(target->values().back(), 1.0f);  // the subscriber followed the move

  UserDefaults::standard().setValue(QStringLiteral("MIDIDedicatedDict"), QVariantMap());
  manager.loadDedicatedFromDefaults();
  EXPECT_FALSE(node({kDedicated}));
  EXPECT_EQ(node({kMIDI, QStringLiteral("ctrl [7] ch. 1")}), volume);  // back, the same node
  EXPECT_TRUE(node({kMIDI, QStringLiteral("note [36] ch. 10")}));
}

TEST_F(MIDIManagerTest, ARemovedDedicationReturnsItsNodeOnReload) {
  MIDIManager manager(&app, offline());
  app.midi = &manager;
  dsc.awakeFromNib();
  manager.setDedicatedSourcesDict({{QStringLiteral("ctrl [1] ch. 1"), QStringLiteral("A")},
                                   {QStringLiteral("ctrl [2] ch. 1"), QStringLiteral("B")}});
  manager.saveDedicatedToDefaults();
  manager.loadDedicatedFromDefaults();
  manager.setDedicatedSourcesDict(
      {{QStringLiteral("ctrl [1] ch. 1"), QStringLiteral("A")}});  // B removed
  manager.saveDedicatedToDefaults();
  manager.loadDedicatedFromDefaults();
  EXPECT_TRUE(node({kDedicated, QStringLiteral("A")}));
  EXPECT_FALSE(node({kDedicated, QStringLiteral("B")}));
  EXPECT_TRUE(node({kMIDI, QStringLiteral("ctrl [2] ch. 1")}));
}

TEST_F(MIDIManagerTest, EnableStatesLoadFromTheDefaults) {
  UserDefaults::standard().setValue(QStringLiteral("midiSourcesEnabledDict"),
                                    QVariantMap{{QStringLiteral("pads:out"), false}});
  MIDIManager manager(&app, offline());
  EXPECT_TRUE(manager.sourceEnabled(QStringLiteral("pads:out")));
  manager.loadSourceEnableStatesFromDefaults();
  EXPECT_FALSE(manager.sourceEnabled(QStringLiteral("pads:out")));
  EXPECT_TRUE(manager.sourceEnabled(QStringLiteral("other:out")));
}

}  // namespace
