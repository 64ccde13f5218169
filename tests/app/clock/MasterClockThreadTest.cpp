#include "app/plugins/clock/MasterClock.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/app/clock/ClockFixture.h"
#include "tests/support/HangWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Start/stop storms on a "MIDI" thread (MIDI start, clock and stop, and the
// thread started and stopped outright) while the real clock thread ticks at
// a fast tempo and the main thread subscribes, unsubscribes and changes the
// tempo. Under ThreadSanitizer it also checks the shared state; everywhere a
// hang ends the program.
TEST(MasterClockThreads, StartStopStormsNeitherHangNorRace) {
  HangWatchdog watchdog("master clock start/stop storm", 60.0);
  MasterClock clock(MasterClock::TickThread::Launch);
  clock.awakeFromNib(nullptr);
  clock.setMeasureDuration(0.05);  // a bump every tick
  clock.setListenForMIDIClock(true);

  std::atomic<bool> done{false};
  std::thread midi([&] {
    const std::uint8_t types[] = {0xFA, 0xF8, 0xF8, 0xFC, 0xF8, 0xFC};
    for (int i = 0; !done.load(); ++i) {
      clock.midiClockReceived(QKMIDIMessage(types[i % 6], 0, 0, 0));
      if (i % 7 == 0) clock.stopTheThread();
      if (i % 7 == 3) clock.startTheThread();
    }
  });

  std::atomic<int> bumps{0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
  while (std::chrono::steady_clock::now() < end) {
    auto target = std::make_shared<BumpRecorder>();
    target->inside = [&] { bumps.fetch_add(1); };
    clock.subscribeObject(target, &BumpRecorder::bump);
    clock.setMeasureDuration(0.05);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    clock.unsubscribeObject(target, &BumpRecorder::bump);
    // Dropped while the clock or MIDI thread may be bumping it.
  }
  done.store(true);
  midi.join();
  clock.startTheThread();
  clock.setListenForMIDIClock(false);
  EXPECT_TRUE(std::isfinite(clock.measureDurationExact()));
  EXPECT_LT(clock.measurePositionExact(), 1.0);
}

}  // namespace
