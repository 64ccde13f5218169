// An external MIDI clock, played through a JACK server into "To ZAPH",
// drives ZAPH's master clock.
#include "app/plugins/clock/MasterClock.h"
#include "app/shell/AppController.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/support/Eventually.h"
#include "tests/support/JackServer.h"

#include <rtmidi/RtMidi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

struct PulseCounter : DataSourceTarget {
  void received(DataSource* source) {
    if (source->value() == 1.0f) pulses.fetch_add(1);
  }
  std::atomic<int> pulses{0};
};

TEST(MasterClockJack, AnExternalMIDIClockSlavesTheClockAtItsTempo) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  ::setenv("ZAPH_MIDI_API", "jack", 1);
  UserDefaults::standard().resetForTesting();
  AppController controller;
  MasterClock* clock = controller.masterClockObject();
  ASSERT_EQ(controller.masterClock(), clock);
  clock->setListenForMIDIClock(true);
  auto counter = std::make_shared<PulseCounter>();
  ASSERT_TRUE(controller.dataSourceController()->subscribeObject(
      counter, &PulseCounter::received, {QStringLiteral("ZAPH"), QStringLiteral("Beat 1")}));

  SafeMidiOut out(RtMidi::UNIX_JACK, "external clock");
  const int toZaph = JackServer::portIndex(out, ":To ZAPH");
  ASSERT_GE(toZaph, 0);
  out.openPort(unsigned(toZaph), "clock out");
  const std::vector<unsigned char> start = {0xFA};
  const std::vector<unsigned char> tick = {0xF8};
  ASSERT_TRUE(
      sendUntil([&] { out.sendMessage(&start); }, [&] { return clock->midiClockSlaveRunning(); }));
  out.sendMessage(&start);
  std::this_thread::sleep_for(
      std::chrono::milliseconds(100));  // the start's pulse, if any, is delivered
  counter->pulses.store(0);

  // Three measures at 10 ms a clock: 0.96 s a measure, 250 BPM with 4 beats.
  auto next = std::chrono::steady_clock::now();
  for (int i = 0; i < 3 * 96; ++i) {
    next += std::chrono::milliseconds(10);
    std::this_thread::sleep_until(next);
    out.sendMessage(&tick);
  }
  // JACK's dummy driver may drop a clock when the machine is starved: the
  // missing ones follow at the same pace, with no pause that the tempo
  // estimate would span, so that the clock still counts three measures of
  // clocks 10 ms apart.
  const auto received = [&] {
    return clock->measuresElapsed() * 96 + std::lround(clock->measurePosition() * 96);
  };
  for (int extra = 0; extra < 48; ++extra) {
    next += std::chrono::milliseconds(10);
    if (waitFor([&] { return received() >= 3 * 96; }, 0.009)) break;
    std::this_thread::sleep_until(next);
    out.sendMessage(&tick);
  }
  EXPECT_TRUE(waitFor([&] { return clock->measuresElapsed() == 3; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(counter->pulses.load(), 3);
  EXPECT_NEAR(clock->calculatedBPM(), 250.0f, 25.0f);
  EXPECT_NEAR(clock->measureDuration(), 0.96f, 0.1f);
  controller.applicationWillTerminate();
}

}  // namespace
