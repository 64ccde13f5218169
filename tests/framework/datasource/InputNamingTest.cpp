// MIDI, OSC and keys named into the tree, with message objects made in the
// test.
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DSInputNaming.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/osc/OSCMessage.h"
#include "tests/framework/datasource/DataSourceFakes.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/support/LogCapture.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class InputNaming : public ::testing::Test {
 protected:
  InputNaming() : dsc(DataSourceController::TickThread::Manual), osc(&app) {
    app.dsc = &dsc;
    app.midi = &midi;
    app.osc = &osc;
    dsc.setAppController(&app);
    dsc.awakeFromNib();
  }

  std::shared_ptr<DataSource> node(const KeyPath& path) { return dsc.dataSourceForKeyArray(path); }
  float valueAt(const KeyPath& path) {
    auto n = node(path);
    return n ? n->value() : std::numeric_limits<float>::quiet_NaN();
  }
  bool received(const KeyPath& path) {
    auto n = std::dynamic_pointer_cast<DSFloatInfrequent>(node(path));
    return n && n->valReceived();
  }
  void dedicate(const KeyPath& path) {
    dsc.setDataSource(DataSourceHolder::createWithName(path.first()), {path.first()});
    dsc.setDataSource(DSFloatInfrequent::createWithName(path.last()), path);
  }

  FakeInputApp app;
  DataSourceController dsc;
  FakeDedicatingMIDIManager midi;
  QKOSCManager osc;
  NotificationCounter midiDetect{InputNotifications::MIDIDetect};
  NotificationCounter oscDetect{InputNotifications::OSCDetect};
  NotificationCounter keyDetect{InputNotifications::KeyDetect};
};

const QString kMIDI = QStringLiteral("MIDI");

TEST_F(InputNaming, MIDIMessagesNameTheirSourceAndSetItsValue) {
  struct Case {
    const char* what;
    QKMIDIMessage message;
    const char* name;
    float value;
  };
  const std::vector<Case> cases = {
      {"note on", QKMIDIMessage(0x90, 1, 60, 127), "note [60] ch. 1", 1.0f},
      {"note off shares the node", QKMIDIMessage(0x80, 1, 60, 64), "note [60] ch. 1", 0.0f},
      {"velocity", QKMIDIMessage(0x90, 16, 0, 64), "note [0] ch. 16", 64 / 127.0f},
      {"note on with velocity 0", QKMIDIMessage(0x90, 16, 0, 0), "note [0] ch. 16", 0.0f},
      {"control change", QKMIDIMessage(0xB0, 3, 7, 64), "ctrl [7] ch. 3", 64 / 127.0f},
      {"pitch wheel centre", QKMIDIMessage(0xE0, 2, 0, 64), "ptch.whl. ch. 2", 8192 / 16383.0f},
      {"pitch wheel top", QKMIDIMessage(0xE0, 2, 127, 127), "ptch.whl. ch. 2", 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    midiDetect.clear();
    dsc.midiMsgReceived(c.message);
    EXPECT_FLOAT_EQ(valueAt({kMIDI, QString::fromLatin1(c.name)}), c.value);
    ASSERT_EQ(midiDetect.count(), 1);
    const Notification note = midiDetect.notes().front();
    EXPECT_EQ(note.object, nullptr);
    EXPECT_EQ(note.userInfo.value(QString::fromLatin1(InputNotifications::MessageKey))
                  .value<QKMIDIMessage>(),
              c.message);
  }
}

TEST_F(InputNaming, MessagesWithoutANameOnlyNotify) {
  auto rootChildren = [&] { return node({kMIDI})->asHolder()->elementDictCount(); };
  for (const QKMIDIMessage& message :
       {QKMIDIMessage(0xC0, 1, 5, 0), QKMIDIMessage(0xD0, 1, 5, 0), QKMIDIMessage(0xFB, 0, 0, 0),
        QKMIDIMessage::createSysex(QByteArray("\x01", 1))}) {
    dsc.midiMsgReceived(message);
  }
  EXPECT_EQ(rootChildren(), 0u);
  EXPECT_EQ(midiDetect.count(), 4);
}

TEST_F(InputNaming, SubscribersHearInputAtOnceOnTheInputThread) {
  auto target = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received,
                                  {kMIDI, QStringLiteral("ctrl [1] ch. 1")}));
  std::thread input([&] { dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 1, 127)); });
  const auto inputThread = input.get_id();
  input.join();
  ASSERT_EQ(target->values(),
            (std::vector<float>{0.0f, 1.0f}));  // the current value, then the input
  EXPECT_EQ(target->threads().back(), inputThread);
}

TEST_F(InputNaming, InputAfterItsNodeWasReplacedOrRemovedReachesTheNodeNowThere) {
  const KeyPath path = {kMIDI, QStringLiteral("ctrl [1] ch. 1")};
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 1, 10));
  const auto first = node(path);
  auto replacement = DSFloatInfrequent::createWithName(QStringLiteral("ctrl [1] ch. 1"));
  dsc.setDataSource(replacement, path);
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 1, 127));
  EXPECT_FLOAT_EQ(replacement->value(), 1.0f);
  EXPECT_FLOAT_EQ(first->value(), 10 / 127.0f);

  dsc.setDataSource(nullptr, path);
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 1, 0));
  ASSERT_TRUE(node(path));
  EXPECT_NE(node(path), replacement);
  EXPECT_TRUE(received(path));
}

TEST_F(InputNaming, DedicatedMIDIGoesToItsNodeWithoutNotifying) {
  midi.dedicated.insert(QStringLiteral("ctrl [7] ch. 1"), QStringLiteral("Volume"));
  dedicate({QStringLiteral("Dedicated MIDI"), QStringLiteral("Volume")});
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 7, 127));
  EXPECT_FLOAT_EQ(valueAt({QStringLiteral("Dedicated MIDI"), QStringLiteral("Volume")}), 1.0f);
  EXPECT_FALSE(node({kMIDI, QStringLiteral("ctrl [7] ch. 1")}));
  EXPECT_EQ(midiDetect.count(), 0);

  dsc.setDataSource(nullptr, {QStringLiteral("Dedicated MIDI"), QStringLiteral("Volume")});
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 7, 1));  // its node was removed
  EXPECT_FALSE(node({kMIDI, QStringLiteral("ctrl [7] ch. 1")}));
  EXPECT_FALSE(node({QStringLiteral("Dedicated MIDI"), QStringLiteral("Volume")}));
  EXPECT_EQ(midiDetect.count(), 0);
}

TEST_F(InputNaming, OSCValuesAreClampedByType) {
  struct Case {
    const char* what;
    OSCValue value;
    bool sets;
    float expected;
  };
  const std::vector<Case> cases = {
      {"int 5", OSCValue::fromInt(5), true, 1.0f},
      {"int -3", OSCValue::fromInt(-3), true, 0.0f},
      {"float 0.25", OSCValue::fromFloat(0.25f), true, 0.25f},
      {"float -0.3", OSCValue::fromFloat(-0.3f), true, 0.0f},
      {"float 7", OSCValue::fromFloat(7.0f), true, 1.0f},
      {"float infinity", OSCValue::fromFloat(std::numeric_limits<float>::infinity()), true, 1.0f},
      {"true", OSCValue::fromBool(true), true, 1.0f},
      {"false", OSCValue::fromBool(false), true, 0.0f},
      {"string", OSCValue::fromString(QStringLiteral("go")), false, 0.0f},
      {"double 0.5", OSCValue::fromDouble(0.5), true, 0.5f},
      {"double -2", OSCValue::fromDouble(-2.0), true, 0.0f},
      {"double 1e300", OSCValue::fromDouble(1e300), true, 1.0f},
      {"int64 beyond 32 bits", OSCValue::fromInt64(std::int64_t{1} << 40), true, 1.0f},
      {"int64 -5", OSCValue::fromInt64(-5), true, 0.0f},
      {"int64 1", OSCValue::fromInt64(1), true, 1.0f},
      {"NaN is not a value", OSCValue::fromFloat(std::numeric_limits<float>::quiet_NaN()), false,
       0.0f},
      {"a double NaN neither", OSCValue::fromDouble(std::numeric_limits<double>::quiet_NaN()),
       false, 0.0f},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    oscDetect.clear();
    const QString address = QStringLiteral("/case/%1").arg(++n);
    OSCMessage message(address);
    message.addValue(c.value);
    message.addInt(99);  // only the first value counts
    Log::resetLimits();
    LogCapture log;
    dsc.receivedOSCMessage(&message);
    EXPECT_EQ(log.contains(QStringLiteral("dropped a NaN sent to OSC address ") + address),
              std::isnan(c.value.doubleValue()));
    const KeyPath path = {QStringLiteral("OSC"), address};
    ASSERT_TRUE(node(path)) << "the node is made for any value type";
    EXPECT_EQ(received(path), c.sets);
    EXPECT_FLOAT_EQ(valueAt(path), c.expected);
    ASSERT_EQ(oscDetect.count(), c.sets ? 1 : 0);
    if (c.sets) {
      const auto posted =
          oscDetect.notes()
              .front()
              .userInfo.value(QString::fromLatin1(InputNotifications::DataSourceKey))
              .value<std::shared_ptr<DataSource>>();
      EXPECT_EQ(posted, node(path));
    }
  }
}

TEST_F(InputNaming, OSCMessagesWithoutAddressOrValueAreIgnored) {
  dsc.receivedOSCMessage(nullptr);
  OSCMessage noValue(QStringLiteral("/empty"));
  dsc.receivedOSCMessage(&noValue);
  OSCMessage noAddress{QString()};
  noAddress.addFloat(1.0f);
  dsc.receivedOSCMessage(&noAddress);
  EXPECT_EQ(node({QStringLiteral("OSC")})->asHolder()->elementDictCount(), 0u);
  EXPECT_EQ(oscDetect.count(), 0);
}

TEST_F(InputNaming, DedicatedOSCAndTheDictionaryForm) {
  osc.setDedicatedSourcesDict({{QStringLiteral("/xy/1"), QStringLiteral("Pad")}});
  dedicate({QStringLiteral("Dedicated OSC"), QStringLiteral("Pad")});
  OSCMessage pad(QStringLiteral("/xy/1"));
  pad.addFloat(0.75f);
  OSCMessage fader(QStringLiteral("/fader"));
  fader.addFloat(0.5f);
  dsc.oscDictReceived({{QStringLiteral("/xy/1"), {pad}}, {QStringLiteral("/fader"), {fader}}});
  EXPECT_FLOAT_EQ(valueAt({QStringLiteral("Dedicated OSC"), QStringLiteral("Pad")}), 0.75f);
  EXPECT_FALSE(node({QStringLiteral("OSC"), QStringLiteral("/xy/1")}));
  EXPECT_FLOAT_EQ(valueAt({QStringLiteral("OSC"), QStringLiteral("/fader")}), 0.5f);
  EXPECT_EQ(oscDetect.count(), 1);  // the dedicated one is not announced
}

QKeyEvent key(QEvent::Type type, int key, quint32 scanCode, const QString& text,
              bool autoRepeat = false, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  return QKeyEvent(type, key, modifiers, scanCode, 0, 0, text, autoRepeat);
}

TEST_F(InputNaming, KeysPressAndReleaseTheirNode) {
  const KeyPath a = {QStringLiteral("Key"), QStringLiteral("a")};
  auto press = key(QEvent::KeyPress, Qt::Key_A, 38, QStringLiteral("a"));
  dsc.keyDown(&press);
  EXPECT_FLOAT_EQ(valueAt(a), 1.0f);
  ASSERT_EQ(keyDetect.count(), 1);
  EXPECT_EQ(keyDetect.notes().front().object, &press);
  auto repeat = key(QEvent::KeyPress, Qt::Key_A, 38, QStringLiteral("a"), true);
  dsc.keyDown(&repeat);
  EXPECT_EQ(keyDetect.count(), 1);  // auto-repeat is ignored
  auto release = key(QEvent::KeyRelease, Qt::Key_A, 38, QStringLiteral("a"));
  dsc.keyDown(&release);
  EXPECT_FLOAT_EQ(valueAt(a), 0.0f);
  EXPECT_EQ(keyDetect.count(), 2);

  auto escape = key(QEvent::KeyPress, Qt::Key_Escape, 9, QStringLiteral("\x1b"));
  dsc.keyDown(&escape);
  auto shiftAlone = key(QEvent::KeyPress, Qt::Key_Shift, 50, QString());
  dsc.keyDown(&shiftAlone);
  dsc.keyDown(nullptr);
  EXPECT_EQ(keyDetect.count(), 2);
  EXPECT_EQ(node({QStringLiteral("Key")})->asHolder()->elementDictCount(), 1u);
}

TEST_F(InputNaming, AReleaseGoesToThePressNodeWhateverShiftDidBetween) {
  auto press = key(QEvent::KeyPress, Qt::Key_1, 10, QStringLiteral("1"));
  dsc.keyDown(&press);
  auto release =
      key(QEvent::KeyRelease, Qt::Key_Exclam, 10, QStringLiteral("!"), false, Qt::ShiftModifier);
  dsc.keyDown(&release);
  EXPECT_FLOAT_EQ(valueAt({QStringLiteral("Key"), QStringLiteral("1")}), 0.0f);
  EXPECT_FALSE(node({QStringLiteral("Key"), QStringLiteral("!")}));
}

TEST(InputNamingDetection, AnObserverAddedLaterHearsTheNextMessage) {
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 1, 1));  // nobody listens yet
  NotificationCounter learner(InputNotifications::MIDIDetect);
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 1, 2));
  EXPECT_EQ(learner.count(), 1);
}

TEST(InputNamingKeys, KeysThatTypeNothingReadableHaveNamesOfTheirOwn) {
  struct Case {
    int key;
    const char* text;
    const char* name;
  };
  for (const Case& c : std::vector<Case>{{Qt::Key_Left, "", "left arrow"},
                                         {Qt::Key_Right, "", "right arrow"},
                                         {Qt::Key_Up, "", "up arrow"},
                                         {Qt::Key_Down, "", "down arrow"},
                                         {Qt::Key_F5, "", "F5"},
                                         {Qt::Key_Return, "\r", "return"},
                                         {Qt::Key_Tab, "\t", "tab"},
                                         {Qt::Key_Backspace, "\b", "backspace"},
                                         {Qt::Key_Delete, "\x7f", "delete"},
                                         {Qt::Key_Space, " ", " "},
                                         {Qt::Key_A, "A", "A"},
                                         {Qt::Key_Escape, "\x1b", ""},
                                         {Qt::Key_Control, "", ""}}) {
    const QKeyEvent event(QEvent::KeyPress, c.key, Qt::NoModifier, QString::fromLatin1(c.text));
    EXPECT_EQ(DSInputNaming::keyName(event), QString::fromLatin1(c.name)) << c.name;
  }
}

TEST(InputNamingDetection, PathsOfTheDetectButtonsAreNotSafe) {
  class DetectButtons : public FakeButtonManager {
   public:
    using FakeButtonManager::FakeButtonManager;
    std::vector<KeyPath> detectionButtonSyncArrays() override {
      return {{QStringLiteral("MIDI"), QStringLiteral("ctrl [20] ch. 1")}};
    }
  };
  CallLog log;
  DetectButtons buttons(&log);
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  EXPECT_TRUE(
      dsc.isThisDetectedSrcArraySafe({QStringLiteral("MIDI"), QStringLiteral("ctrl [20] ch. 1")}));
  dsc.setButtonManager(&buttons);
  EXPECT_FALSE(
      dsc.isThisDetectedSrcArraySafe({QStringLiteral("MIDI"), QStringLiteral("ctrl [20] ch. 1")}));
  EXPECT_TRUE(
      dsc.isThisDetectedSrcArraySafe({QStringLiteral("MIDI"), QStringLiteral("ctrl [21] ch. 1")}));
}

}  // namespace
