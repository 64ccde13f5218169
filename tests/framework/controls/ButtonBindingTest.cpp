#include "tests/framework/controls/ButtonFixture.h"

#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/InputNotifications.h"
#include "platform/midi/QKMIDIMessage.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QKeyEvent>

namespace {

const KeyPath kPath{QStringLiteral("ZAPH"), QStringLiteral("src")};

}  // namespace

using ButtonTrigger = ButtonFixture;

TEST_F(ButtonTrigger, SourceValuesTriggerByModeThresholdAndEdges) {
  struct Case {
    const char* name;
    int mode;
    bool rise, fall;
    float threshold;
    int type;
    std::vector<float> values;
    std::vector<int> bangsAfterEach;
    int finalValue;
  };
  const Case cases[] = {
      {"straight: at the threshold stays off", 0, true, false, 0.01f, 1, {0.01f}, {0}, 0},
      {"straight: above turns on and bangs once",
       0,
       true,
       false,
       0.01f,
       1,
       {0.02f, 0.5f},
       {1, 1},
       1},
      {"straight: back to zero turns off", 0, true, false, 0.01f, 1, {0.02f, 0.0f}, {1, 2}, 0},
      {"straight momentary: every value above bangs",
       0,
       true,
       false,
       0.01f,
       0,
       {0.5f, 0.6f, 0.0f, 0.7f},
       {1, 2, 2, 3},
       0},
      {"rise: crossings upward only, equality included",
       1,
       true,
       false,
       0.5f,
       0,
       {0.4f, 0.6f, 0.4f, 0.5f, 0.5f},
       {0, 1, 1, 2, 3},
       0},
      {"rise and fall", 1, true, true, 0.5f, 0, {0.6f, 0.4f}, {1, 2}, 0},
      {"fall only", 1, false, true, 0.5f, 0, {0.6f, 0.4f}, {0, 1}, 0},
      {"edges flip a toggle button", 1, true, false, 0.5f, 1, {0.6f, 0.4f, 0.6f}, {1, 1, 2}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      std::lock_guard<std::mutex> lock(mutex);
      banged.clear();
    }
    auto source = sourceAt(kPath, DSType::FloatInfreqRepeat);
    auto cell = button(c.type);
    cell->setTriggerMode(c.mode);
    cell->setTriggerOnRise(c.rise);
    cell->setTriggerOnFall(c.fall);
    cell->setThreshVal(c.threshold);
    cell->useThisSource(kPath);
    cell->setSyncFlag(true);
    ASSERT_TRUE(cell->syncFlag());
    for (size_t i = 0; i < c.values.size(); ++i) {
      source->setValue(c.values[i]);
      EXPECT_EQ(bangsOf(cell.get()), c.bangsAfterEach[i]) << "after value " << c.values[i];
    }
    EXPECT_EQ(cell->intValue(), c.finalValue);
    cell->prepareToBeDeleted();
  }
}

TEST_F(ButtonTrigger, ValuelessSourcesTriggerByTheEdgeFlagsOnly) {
  struct Case {
    bool rise, fall;
    int bangs;
  };
  for (const Case& c : {Case{true, false, 3}, Case{false, true, 3}, Case{false, false, 0}}) {
    auto source = sourceAt<DSFloatInfrequent>(kPath, DSType::Plain);
    auto cell = button(0);
    cell->setTriggerOnRise(c.rise);
    cell->setTriggerOnFall(c.fall);
    cell->setThreshVal(0.5f);
    cell->useThisSource(kPath);
    cell->setSyncFlag(true);
    EXPECT_EQ(bangsOf(cell.get()), 0) << "nothing is delivered at binding";
    for (float v : {0.2f, 0.9f, 0.3f}) source->setValue(v);
    EXPECT_EQ(bangsOf(cell.get()), c.bangs) << c.rise << c.fall;
    cell->prepareToBeDeleted();
  }
}

TEST_F(ButtonTrigger, BindingAValuelessSourceSwitchesToEdgesAndRefusesStraightSync) {
  sourceAt<DSFloatInfrequent>(kPath, DSType::Plain);
  auto cell = button(1);
  cell->setTriggerMode(0);
  cell->useThisSource(kPath);
  cell->setSyncFlag(true);
  EXPECT_EQ(cell->triggerMode(), 1);
  cell->setTriggerMode(0);
  EXPECT_EQ(cell->triggerMode(), 1);
}

TEST_F(ButtonTrigger, KeyHeldDownDrivesEdgesAndStraightSync) {
  const KeyPath key{QStringLiteral("Key"), QStringLiteral("a")};
  auto edge = button(0);
  edge->useThisSource(key);
  edge->setSyncFlag(true);  // the key's source is made on subscription
  auto follower = button(1);
  follower->setTriggerMode(0);
  follower->useThisSource(key);
  follower->setSyncFlag(true);
  auto source = dsc.dataSourceForKeyArray(key);
  ASSERT_NE(source, nullptr);

  source->setValue(1.0f);
  EXPECT_EQ(bangsOf(edge.get()), 1);
  EXPECT_EQ(follower->intValue(), 1);
  source->setValue(0.0f);
  EXPECT_EQ(bangsOf(edge.get()), 1) << "the release does not trigger";
  EXPECT_EQ(follower->intValue(), 0);
}

TEST_F(ButtonTrigger, ALostSourceIsBoundAgainWhenItComesBack) {
  auto cell = button(0);
  cell->useThisSource(kPath);
  cell->setSyncFlag(true);
  EXPECT_FALSE(cell->syncFlag());
  EXPECT_TRUE(cell->syncDeletedUnderMe());

  auto source = sourceAt(kPath, DSType::FloatInfreqRepeat);
  EXPECT_TRUE(cell->syncFlag());
  EXPECT_FALSE(cell->syncDeletedUnderMe());

  ASSERT_TRUE(dsc.setDataSource(nullptr, kPath));
  EXPECT_FALSE(cell->syncFlag());
  EXPECT_TRUE(cell->syncDeletedUnderMe());
}

TEST_F(ButtonTrigger, ASelectedButtonShowsItsIncomingValueOnTheMainThread) {
  auto source = sourceAt(kPath, DSType::FloatInfreqRepeat);
  auto cell = button(0);
  cell->useThisSource(kPath);
  cell->setSyncFlag(true);
  manager.selectThisButton(cell.get());
  std::thread([&] {
    for (float v : {0.2f, 0.4f, 0.6f}) source->setValue(v);
  }).join();
  ASSERT_TRUE(MainThread::processUntil([&] { return !inspector.values.empty(); }, 2.0));
  QCoreApplication::processEvents();
  EXPECT_EQ(inspector.values, std::vector<float>{0.6f}) << "coalesced to the latest value";
}

// Posts the detect notifications as the controller does.
void postMIDIDetect(int status, int channel, int data1) {
  NotificationCenter::defaultCenter().post(
      QStringLiteral("QKMIDIDetectNotification"), nullptr,
      {{QString::fromLatin1(InputNotifications::MessageKey),
        QVariant::fromValue(QKMIDIMessage(static_cast<std::uint8_t>(status), channel,
                                          static_cast<std::uint8_t>(data1), 100))}});
}

void postOSCDetect(const std::shared_ptr<DataSource>& node) {
  NotificationCenter::defaultCenter().post(
      QStringLiteral("QKOSCDetectNotification"), nullptr,
      {{QString::fromLatin1(InputNotifications::DataSourceKey), QVariant::fromValue(node)}});
}

// --- Learn ---------------------------------------------------------------------------------

using ButtonLearn = ButtonFixture;

TEST_F(ButtonLearn, MidiMessagesAreLearntByStatus) {
  struct Case {
    int status, channel, data1;
    KeyPath learnt;  // empty: ignored
  };
  const Case cases[] = {
      {0x90, 1, 60, {"MIDI", "note [60] ch. 1"}},
      {0x80, 1, 60, {"MIDI", "note [60] ch. 1"}},
      {0xB0, 16, 7, {"MIDI", "ctrl [7] ch. 16"}},
      {0xE0, 3, 0, {"MIDI", "ptch.whl. ch. 3"}},
      {0xC0, 1, 5, {}},
  };
  for (const Case& c : cases) {
    auto cell = button(0);
    cell->startMIDIDetect();
    postMIDIDetect(c.status, c.channel, c.data1);
    if (c.learnt.isEmpty()) {
      EXPECT_EQ(cell->syncArray(), (KeyPath{"Mouse", "X"}));
      EXPECT_TRUE(cell->detectingMIDI()) << "still listening";
    } else {
      EXPECT_EQ(cell->syncArray(), c.learnt);
      EXPECT_TRUE(cell->syncFlag());
      EXPECT_FALSE(cell->detectingMIDI()) << "one message ends learning";
    }
    cell->prepareToBeDeleted();
  }
}

TEST_F(ButtonLearn, OscKeysAndPressedButtonsAreLearnt) {
  auto oscSource = DSFloatInfrequent::createWithName(QStringLiteral("/fader/1"));
  auto osc = button(0);
  osc->startOSCDetect();
  postOSCDetect(oscSource);
  EXPECT_EQ(osc->syncArray(), (KeyPath{"OSC", "/fader/1"}));

  auto key = button(0);
  key->startKeyDetect();
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
  NotificationCenter::defaultCenter().post(QStringLiteral("QKKeyDetectNotification"), &release);
  EXPECT_TRUE(key->detectingKey()) << "a release is not learnt";
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
  NotificationCenter::defaultCenter().post(QStringLiteral("QKKeyDetectNotification"), &press);
  EXPECT_EQ(key->syncArray(), (KeyPath{"Key", "q"}));
  EXPECT_TRUE(key->syncFlag());
  auto arrow = button(0);
  arrow->startKeyDetect();
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
  NotificationCenter::defaultCenter().post(QStringLiteral("QKKeyDetectNotification"), &left);
  EXPECT_EQ(arrow->syncArray(), (KeyPath{"Key", "left arrow"})) << "named as the controller names it";

  auto pressed = sourceAt<DSFloatInfrequent>(kPath, DSType::Plain);
  auto follower = button(0);
  follower->startButtonDetect();
  pressed->setValue(1.0f);
  EXPECT_EQ(follower->syncArray(), kPath);
  EXPECT_TRUE(follower->syncFlag());
}

TEST_F(ButtonLearn, InputThroughTheControllerIsLearnt) {
  auto cell = button(0);
  cell->startMIDIDetect();
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 2, 64, 127));
  EXPECT_EQ(cell->syncArray(), (KeyPath{"MIDI", "note [64] ch. 2"}));

  auto key = button(0);
  key->startKeyDetect();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  dsc.keyDown(&press);
  EXPECT_EQ(key->syncArray(), (KeyPath{"Key", "down arrow"}));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
  dsc.keyDown(&release);
}

TEST_F(ButtonLearn, HardwareLearnKeepsASelectedButtonListening) {
  auto cell = button(0);
  manager.selectThisButton(cell.get());
  manager.setHardwareLearnMode(true);
  EXPECT_TRUE(cell->detectingMIDI() && cell->detectingOSC() && cell->detectingKey() &&
              cell->detectingButton());
  for (int controller : {1, 2}) {
    postMIDIDetect(0xB0, 1, controller);
    EXPECT_EQ(cell->syncArray().last(), QStringLiteral("ctrl [%1] ch. 1").arg(controller));
  }
  manager.deselectAllButtons();
  EXPECT_FALSE(cell->detectingMIDI());
  manager.setHardwareLearnMode(false);
}

TEST_F(ButtonLearn, InspectorLearnPathsAreNotTakenAndPreventClickSelectDeselects) {
  auto inspectorButton = button(0);
  inspectorButton->useThisSource({"MIDI", "ctrl [9] ch. 1"});
  inspectorButton->setSyncFlag(true);
  manager.setPaletteButton(QStringLiteral("midiDetectButton"), inspectorButton);

  auto cell = button(0);
  cell->setPreventClickSelect(true);
  manager.selectThisButton(cell.get());
  cell->startMIDIDetect();
  postMIDIDetect(0xB0, 1, 9);
  EXPECT_EQ(cell->syncArray(), (KeyPath{"Mouse", "X"}));
  EXPECT_TRUE(cell->detectingMIDI());
  EXPECT_TRUE(cell->selected());

  postMIDIDetect(0xB0, 1, 10);
  EXPECT_EQ(cell->syncArray().last(), QStringLiteral("ctrl [10] ch. 1"));
  EXPECT_FALSE(cell->selected()) << "a learnt button with preventClickSelect is deselected";
}

// --- Snapshot ----------------------------------------------------------------------------------

using ButtonSnapshot = ButtonFixture;

TEST_F(ButtonSnapshot, RoundTripKeepsBindingAndTriggerSettings) {
  sourceAt(kPath, DSType::FloatInfreqRepeat);
  auto original = button(1, QStringLiteral("orig"));
  original->setKey(QStringLiteral("k1"));
  original->useThisSource(kPath);
  original->setSyncFlag(true);
  original->setThreshVal(0.25f);
  original->setTriggerOnFall(true);
  original->setTriggerOnRise(false);
  original->setIntValue(1, false);
  const QVariantMap snapshot = original->createSnapshot();
  EXPECT_EQ(snapshot.value("title").toString(), QStringLiteral("orig"));
  EXPECT_EQ(snapshot.value("key").toString(), QStringLiteral("k1"));

  auto restored = button(1, QStringLiteral("other"));
  restored->loadSnapshot(snapshot, false);
  EXPECT_EQ(restored->title(), QStringLiteral("other")) << "titles and keys are not loaded";
  EXPECT_TRUE(restored->key().isEmpty());
  QVariantMap again = restored->createSnapshot();
  again.remove("title");
  QVariantMap expected = snapshot;
  expected.remove("title");
  expected.remove("key");
  EXPECT_EQ(again, expected);
}

TEST_F(ButtonSnapshot, OlderPathsAndMissingSourcesLoadAsDesigned) {
  auto legacy = button(0);
  legacy->loadSnapshot({{"syncGen", "Hardware"}, {"syncSpec", "h.mouse"}});
  EXPECT_EQ(legacy->syncArray(), (KeyPath{"Mouse", "X"}));
  legacy->loadSnapshot({{"syncGen", "Hardware"}, {"syncSpec", "v.mouse"}});
  EXPECT_EQ(legacy->syncArray(), (KeyPath{"Mouse", "Y"}));

  auto lost = button(0);
  lost->loadSnapshot({{"syncArray", QStringList{"ZAPH", "later"}}, {"syncFlag", true}});
  EXPECT_FALSE(lost->syncFlag());
  EXPECT_TRUE(lost->syncDeletedUnderMe());
  sourceAt({"ZAPH", "later"}, DSType::FloatInfreqRepeat);
  EXPECT_TRUE(lost->syncFlag());

  auto mistyped = button(0);
  mistyped->loadSnapshot(
      {{"triggerMode", "zero"}, {"threshVal", QVariantList{}}, {"buttonValue", "1"}});
  EXPECT_EQ(mistyped->triggerMode(), 1);
  EXPECT_FLOAT_EQ(mistyped->threshVal(), 0.01f);
  EXPECT_EQ(mistyped->intValue(), 0);
}

TEST_F(ButtonSnapshot, InStraightSyncASourceWithAValueDecidesTheButtonsValue) {
  auto source = sourceAt<DSFloatInfrequent>(kPath, DSType::FloatInfrequent);
  const QVariantMap stored{
      {"syncArray", kPath}, {"syncFlag", true}, {"triggerMode", 0}, {"buttonValue", 1}};
  auto beforeAnyValue = button(1);
  beforeAnyValue->loadSnapshot(stored, false);
  EXPECT_EQ(beforeAnyValue->intValue(), 1) << "the source has no value yet";

  source->setValue(0.0f);
  source->setValue(0.0f);
  auto afterAValue = button(1);
  afterAValue->loadSnapshot(stored, false);
  EXPECT_EQ(afterAValue->intValue(), 0);
}
