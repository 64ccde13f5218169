// The multiplexer in ZAPH's process: a shortcut learnt from an OSC message
// over loopback, or from a MIDI note through a JACK server, makes its input
// current, and a subscriber of ["Multiplexers", name] sees that input's
// value from the running tick.
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "app/shell/AppController.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/JackServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

namespace {

struct Output : DataSourceTarget {
  void updated(DataSource* source) { value.store(source->value()); }
  std::atomic<float> value{-1.0f};
};

QKMultiplexerPlugin* makeMultiplexer(AppController& controller, std::shared_ptr<Output>& output) {
  auto* m = static_cast<QKMultiplexerPlugin*>(
      controller.pluginManager()->instantiatePluginType(QKMultiplexerPlugin::kTypeName));
  if (!m) return nullptr;
  output = std::make_shared<Output>();
  controller.dataSourceController()->subscribeObject(
      output, &Output::updated, {QKMultiplexerPlugin::kGroupName, m->windowTitle()});
  return m;
}

bool outputBecomes(const Output& output, float value) {
  return MainThread::processUntil([&] { return std::abs(output.value.load() - value) < 1e-4f; },
                                  5.0);
}

TEST(MultiplexerInZaph, AnOSCShortcutMakesItsInputCurrentAndTheOutputFollows) {
  UserDefaults::standard().resetForTesting();
  AppController controller;
  const auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
  const auto send = [&out](const char* address, float value) {
    auto message = OSCMessage::createWithAddress(QString::fromLatin1(address));
    message->addFloat(value);
    return out.sendThisMessage(*message);
  };
  std::shared_ptr<Output> output;
  QKMultiplexerPlugin* m = makeMultiplexer(controller, output);
  ASSERT_NE(m, nullptr);

  // Input 2 takes its value from one OSC address and learns another as its
  // shortcut.
  ASSERT_TRUE(send("/mux/value", 0.6f));
  const KeyPath value{QStringLiteral("OSC"), QStringLiteral("/mux/value")};
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return controller.dataSourceController()->dataSourceForKeyArray(value) != nullptr; },
      5.0));
  m->inputs()[1]->setSliderSyncArray(value);
  m->detectShortcutForItemAtIndex(1);
  ASSERT_TRUE(send("/mux/two", 1.0f));
  ASSERT_TRUE(MainThread::processUntil([&] { return m->inputs()[1]->shortcutActive(); }, 5.0));
  EXPECT_EQ(m->inputs()[1]->syncArray(), KeyPath({"OSC", "/mux/two"}));

  m->switchToIndex(0);
  ASSERT_TRUE(send("/mux/two", 0.0f));
  ASSERT_TRUE(send("/mux/two", 1.0f));
  EXPECT_TRUE(MainThread::processUntil([&] { return m->inputIndex() == 1; }, 5.0));
  ASSERT_TRUE(send("/mux/value", 0.65f));
  EXPECT_TRUE(outputBecomes(*output, 0.65f)) << output->value.load();
  controller.pluginManager()->deleteAllPlugins();
  controller.applicationWillTerminate();
}

TEST(MultiplexerInZaph, AMIDINoteThroughJackMakesItsInputCurrent) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  ScopedEnvironmentVariable midiApi("ZAPH_MIDI_API", "jack");
  UserDefaults::standard().resetForTesting();
  AppController controller;
  std::shared_ptr<Output> output;
  QKMultiplexerPlugin* m = makeMultiplexer(controller, output);
  ASSERT_NE(m, nullptr);
  SafeMidiOut out(RtMidi::UNIX_JACK, "controller");
  int toZaph = -1;
  for (unsigned i = 0; i < out.getPortCount(); ++i)
    if (out.getPortName(i).ends_with(":To ZAPH")) toZaph = static_cast<int>(i);
  ASSERT_GE(toZaph, 0);
  out.openPort(static_cast<unsigned>(toZaph), "out");
  const std::vector<unsigned char> on = {0x90, 60, 100}, off = {0x80, 60, 0};
  const std::vector<unsigned char> knob = {0xB0, 7, 127};

  // Input 1 follows controller 7 and learns note 60; the port connection
  // takes a moment, so the note is sent until it is learnt.
  m->detectShortcutForItemAtIndex(0);
  bool learnt = false;
  for (int i = 0; i < 75 && !learnt; ++i) {
    out.sendMessage(&on);
    out.sendMessage(&off);
    learnt = MainThread::processUntil([&] { return m->inputs()[0]->shortcutActive(); }, 0.2);
  }
  ASSERT_TRUE(learnt);
  out.sendMessage(&knob);
  const KeyPath controller7{QStringLiteral("MIDI"), QStringLiteral("ctrl [7] ch. 1")};
  ASSERT_TRUE(MainThread::processUntil(
      [&] {
        return controller.dataSourceController()->dataSourceForKeyArray(controller7) != nullptr;
      },
      5.0));
  m->inputs()[0]->setSliderSyncArray(controller7);
  m->switchToIndex(1);
  // A press after a release: the same press again is no change of the note.
  out.sendMessage(&off);
  MainThread::processUntil([] { return false; }, 0.2);
  out.sendMessage(&on);
  EXPECT_TRUE(MainThread::processUntil([&] { return m->inputIndex() == 0; }, 5.0));
  out.sendMessage(&knob);
  EXPECT_TRUE(outputBecomes(*output, 1.0f)) << output->value.load();
  controller.pluginManager()->deleteAllPlugins();
  controller.applicationWillTerminate();
}

}  // namespace
