#include "RestoreFixture.h"

#include "framework/controls/QKButtonCell.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/InputNotifications.h"
#include "platform/foundation/MainThread.h"
#include "platform/midi/QKMIDIMessage.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

void postMIDIDetect(int status, int channel, int data1) {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::MIDIDetect), nullptr,
      {{QString::fromLatin1(InputNotifications::MessageKey),
        QVariant::fromValue(
            QKMIDIMessage(std::uint8_t(status), channel, std::uint8_t(data1), 100))}});
}

class LayerShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Paths::setUserDataDirOverride(folder.path());
    layer = world.named("L");
    LogCapture quiet;
    // "P" holds one filter effect; "Q" none.
    world.manager->savePreset("P", QVariantList{QVariantMap{{"fxNameString", "Bright"}}});
    world.manager->savePreset("Q", QVariantList());
  }
  void TearDown() override { Paths::setUserDataDirOverride({}); }
  static void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  QTemporaryDir folder;
  RestoreWorld world;
  std::shared_ptr<Layer> layer;
};

TEST_F(LayerShortcutTest, EveryKindOfEventIsLearntAsItsKeyPath) {
  auto oscNode = DSFloatInfrequent::createWithName("/fader/1");
  auto buttonNode = DSFloatInfrequent::createWithName("pad", DSType::Plain);
  world.dsc.setDataSource(buttonNode, {"ZAPH", "pad"});
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q");
  struct Case {
    const char* name;
    std::function<void()> post;
    QString shortcut;
  };
  const Case cases[] = {
      {"note off", [] { postMIDIDetect(0x80, 1, 60); }, "MIDI/note [60] ch. 1"},
      {"controller", [] { postMIDIDetect(0xB0, 2, 7); }, "MIDI/ctrl [7] ch. 2"},
      {"pitch wheel", [] { postMIDIDetect(0xE0, 3, 0); }, "MIDI/ptch.whl. ch. 3"},
      {"OSC",
       [&] {
         NotificationCenter::defaultCenter().post(
             QString::fromLatin1(InputNotifications::OSCDetect), nullptr,
             {{QString::fromLatin1(InputNotifications::DataSourceKey),
               QVariant::fromValue(std::shared_ptr<DataSource>(oscNode))}});
       },
       "OSC//fader/1"},
      {"key",
       [&] {
         NotificationCenter::defaultCenter().post(
             QString::fromLatin1(InputNotifications::KeyDetect), &press);
       },
       "Key/q"},
      {"button", [&] { buttonNode->setValue(1.0f); }, "ZAPH/pad"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    layer->clearShortcutForFXChainNamed("P");
    layer->startDetectForFXChainShortcutNamed("P");
    ASSERT_TRUE(layer->fxShortcuts().detecting());
    c.post();
    settle();
    EXPECT_FALSE(layer->fxShortcuts().detecting());
    EXPECT_EQ(layer->shortcutStringForFXChainPresetNamed("P"), c.shortcut);
    ASSERT_NE(layer->fxShortcuts().cellFor("P"), nullptr);
    EXPECT_TRUE(layer->fxShortcuts().cellFor("P")->triggerOnMain());
  }
}

TEST_F(LayerShortcutTest, LearningEndsOnTheFirstEventAndASecondClickClears) {
  int reloads = 0;
  struct Window : FakeLayerWindow {
    using FakeLayerWindow::FakeLayerWindow;
    void reloadPresetShortcuts() override { ++*reloads; }
    int* reloads = nullptr;
  } window(*world.compositor);
  window.reloads = &reloads;
  layer->setParentWindow(&window);

  // A clock message names no source and ends nothing; a key release ends
  // the learning with no shortcut.
  layer->startDetectForFXChainShortcutNamed("P");
  postMIDIDetect(0xF8, 0, 0);
  settle();
  EXPECT_TRUE(layer->fxShortcuts().detecting());
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, "q");
  NotificationCenter::defaultCenter().post(QString::fromLatin1(InputNotifications::KeyDetect),
                                           &release);
  settle();
  EXPECT_FALSE(layer->fxShortcuts().detecting());
  EXPECT_TRUE(layer->shortcutStringForFXChainPresetNamed("P").isNull());
  EXPECT_EQ(reloads, 1);
  // Only the first event counts.
  layer->startDetectForFXChainShortcutNamed("P");
  postMIDIDetect(0x90, 1, 60);
  postMIDIDetect(0x90, 1, 61);
  settle();
  EXPECT_EQ(layer->shortcutStringForFXChainPresetNamed("P"), "MIDI/note [60] ch. 1");
  // A second click clears, a third learns again.
  layer->startDetectForFXChainShortcutNamed("P");
  EXPECT_FALSE(layer->fxShortcuts().detecting());
  EXPECT_TRUE(layer->shortcutStringForFXChainPresetNamed("P").isNull());
  layer->startDetectForFXChainShortcutNamed("P");
  EXPECT_TRUE(layer->fxShortcuts().detecting());
  layer->cancelDetect();
  postMIDIDetect(0x90, 1, 62);
  settle();
  EXPECT_TRUE(layer->shortcutStringForFXChainPresetNamed("P").isNull());
  layer->setParentWindow(nullptr);
}

// A note through the controller on an input thread: the learning and the
// preset it fires both happen on the main thread.
TEST_F(LayerShortcutTest, AShortcutFromAnInputThreadAppliesItsPresetOnTheMainThread) {
  layer->startDetectForFXChainShortcutNamed("P");
  std::thread([&] { world.dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 60, 0)); }).join();
  EXPECT_TRUE(layer->shortcutStringForFXChainPresetNamed("P").isNull()) << "not before main runs";
  settle();
  ASSERT_EQ(layer->shortcutStringForFXChainPresetNamed("P"), "MIDI/note [60] ch. 1");
  EXPECT_TRUE(RestoreWorld::chainOf(layer.get()).isEmpty());
  std::thread([&] { world.dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 60, 127)); }).join();
  EXPECT_TRUE(RestoreWorld::chainOf(layer.get()).isEmpty()) << "queued for the main thread";
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return RestoreWorld::chainOf(layer.get()) == QStringList{"Bright"}; }, 2.0));
}

TEST_F(LayerShortcutTest, ADeletedPresetClearsItsShortcutsAndAMissingOneChangesNothing) {
  auto other = world.named("M");
  ASSERT_TRUE(layer->addCIFXNamed("Contrast"));
  const QVariantMap shortcut{
      {"P", QVariantMap{{"presetName", "P"}, {"syncArray", QStringList{"MIDI", "note [1] ch. 1"}}}},
      {"Gone",
       QVariantMap{{"presetName", "Gone"}, {"syncArray", QStringList{"MIDI", "note [2] ch. 1"}}}}};
  for (Layer* each : {layer.get(), other.get()}) each->fxShortcuts().loadSnapshot(shortcut);
  ASSERT_TRUE(world.manager->deletePreset("P"));
  for (Layer* each : {layer.get(), other.get()})
    EXPECT_TRUE(each->shortcutStringForFXChainPresetNamed("P").isNull());

  // A shortcut to a preset that never existed (an old project) logs and
  // leaves the chain as it is.
  LogCapture log;
  layer->fxShortcuts().cellFor("Gone")->bang();
  settle();
  EXPECT_EQ(RestoreWorld::chainOf(layer.get()), QStringList({"Contrast"}));
  EXPECT_TRUE(log.lines().join('\n').contains("no chain preset named Gone"));
}

// Shortcuts fired from a MIDI-like thread while the main thread edits the
// presets: the presets are only ever read on the main thread.
TEST_F(LayerShortcutTest, ShortcutsFiredFromAnotherThreadWhileThePresetsChange) {
  layer->fxShortcuts().loadSnapshot(
      QVariantMap{{"P", QVariantMap{{"presetName", "P"},
                                    {"syncArray", QStringList{"MIDI", "note [5] ch. 1"}}}}});
  std::atomic<bool> stop{false};
  std::thread input([&] {
    for (int i = 0; !stop.load(); ++i)
      world.dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 5, i % 2 ? 127 : 0));
  });
  LogCapture quiet;
  for (int i = 0; i < 200; ++i) {
    if (i % 2)
      world.manager->savePreset("P", QVariantList{QVariantMap{{"fxNameString", "Bright"}}});
    else
      world.manager->deletePresetNamed("P");
    QCoreApplication::processEvents();
  }
  stop.store(true);
  input.join();
  settle();
  SUCCEED();
}

}  // namespace
