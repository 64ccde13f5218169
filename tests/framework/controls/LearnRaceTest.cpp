#include "framework/controls/QKSliderCell.h"
#include "framework/datasource/InputNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/framework/controls/ButtonFixture.h"
#include "tests/framework/controls/SliderFakes.h"
#include "tests/support/HangWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

// A control learning MIDI while the interface ends its learn: the MIDI
// thread, delivering a detect notice, ends detection too (a learnt message
// ends the learn), so both threads stop the same detection at once and
// neither may wait for the other.

namespace {

class LearnRaceTest : public ButtonFixture {
 protected:
  LearnRaceTest() {
    sliders.controller = &dsc;
    dsc.setSliderManager(&sliders);
  }
  ~LearnRaceTest() override { dsc.setSliderManager(nullptr); }

  // The MIDI thread posts learn messages back to back while `endLearn` runs
  // on this thread after every new start of the learn.
  // The race runs for a second and then on until the control has learnt at
  // least once (`learnt`), so a loaded machine still sees a learn happen.
  template <class Start, class End, class Learnt>
  void raceLearnAgainstItsEnd(const char* what, Start startLearn, End endLearn, Learnt learnt) {
    HangWatchdog watchdog(what, 30.0);
    std::atomic<bool> running{true};
    std::atomic<int> posted{0};
    std::thread midi([&] {
      for (int controller = 0; running.load(); controller = (controller + 1) % 120) {
        const QKMIDIMessage message(0xB0, 1, static_cast<std::uint8_t>(controller), 64);
        NotificationCenter::defaultCenter().post(
            QString::fromLatin1(InputNotifications::MIDIDetect), nullptr,
            {{QString::fromLatin1(InputNotifications::MessageKey), QVariant::fromValue(message)}});
        ++posted;
      }
    });
    while (posted.load() == 0) std::this_thread::yield();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (int round = 0;; ++round) {
      const bool raced = round >= 1000 || std::chrono::steady_clock::now() >= deadline;
      if (raced && learnt()) break;
      startLearn();
      std::this_thread::yield();
      endLearn();
    }
    running = false;
    midi.join();
  }

  FakeSliderManager sliders;
};

}  // namespace

TEST_F(LearnRaceTest, DeselectingALearningSliderWhileItLearns) {
  auto cell = QKSliderCell::create();
  sliders.add(cell);
  raceLearnAgainstItsEnd(
      "deselecting a slider while it learns",
      [&] {
        cell->setSelected(true);
        cell->startMIDIDetect();
      },
      [&] { cell->setSelected(false); },
      [&] { return cell->syncArray().value(0) == QStringLiteral("MIDI"); });
  EXPECT_FALSE(cell->detectingMIDI());
  EXPECT_EQ(cell->syncArray().value(0), QStringLiteral("MIDI"));  // it did learn
  cell->prepareToBeDeleted();
}

TEST_F(LearnRaceTest, EndingAButtonsLearnWhileItLearns) {
  auto cell = button();
  raceLearnAgainstItsEnd(
      "ending a button's learn while it learns", [&] { cell->startMIDIDetect(); },
      [&] { cell->stopAllDetect(); },
      [&] { return cell->syncArray().value(0) == QStringLiteral("MIDI"); });
  EXPECT_FALSE(cell->detectingMIDI());
  EXPECT_EQ(cell->syncArray().value(0), QStringLiteral("MIDI"));
}
