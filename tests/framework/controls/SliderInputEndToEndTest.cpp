// Sliders driven by real input: OSC over loopback into a bound slider, and a
// MIDI controller, played through a JACK server, learnt by a slider.
#include "framework/controls/QKSliderCell.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/framework/controls/SliderFakes.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/JackServer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

class SliderInput : public testing::Test {
 protected:
  SliderInput() {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    app.clock = &clock;
    dsc.setAppController(&app);
    manager.controller = &dsc;
    dsc.setSliderManager(&manager);
  }
  ~SliderInput() override { dsc.setSliderManager(nullptr); }

  // A slider whose action records the values and the threads they came on.
  struct RecordingSlider : ViewedSlider {
    RecordingSlider() {
      cell->setAction([this](QKSliderCell& sender) {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(sender.value());
        threads.push_back(std::this_thread::get_id());
      });
    }
    std::vector<float> received() {
      std::lock_guard<std::mutex> lock(mutex);
      return values;
    }
    std::mutex mutex;
    std::vector<float> values;
    std::vector<std::thread::id> threads;
  };

  FakeInputApp app;
  FakeClock clock;
  FakeSliderManager manager;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

}  // namespace

TEST_F(SliderInput, OSCOverLoopbackReachesABoundSlider) {
  QKOSCManager osc(&app);
  app.osc = &osc;
  dsc.awakeFromNib();
  auto in = osc.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());

  RecordingSlider slider;
  manager.add(slider.cell);
  slider.cell->setMinRange(0.0f);
  slider.cell->setMaxRange(200.0f);
  slider.cell->useThisSource(KeyPath{"OSC", "/layer/1/opacity"});
  slider.cell->setSyncFlag(true);
  ASSERT_TRUE(slider.cell->syncFlag());

  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
  auto message = OSCMessage::createWithAddress(QStringLiteral("/layer/1/opacity"));
  message->addFloat(0.625f);
  ASSERT_TRUE(out.sendThisMessage(*message));
  ASSERT_TRUE(waitFor([&] {
    const auto values = slider.received();
    return !values.empty() && values.back() == 0.625f;
  }));
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.625f);
  EXPECT_FLOAT_EQ(slider.cell->rangedValue(), 125.0f);
  std::lock_guard<std::mutex> lock(slider.mutex);
  EXPECT_NE(slider.threads.back(), std::this_thread::get_id());  // on the OSC input thread
}

TEST_F(SliderInput, AMIDIControllerMovedInLearnModeBindsTheSlider) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  // Made before the MIDI manager, so that its input thread has ended before
  // the slider's action goes.
  RecordingSlider slider;
  MIDIManager::Options options;
  options.api = RtMidi::UNIX_JACK;
  options.pollIntervalSeconds = 0;
  MIDIManager midi(&app, options);
  app.midi = &midi;
  dsc.awakeFromNib();
  ASSERT_TRUE(midi.endpointsOpen());

  manager.add(slider.cell);
  slider.cell->selectJustMe();
  dsc.setHardwareLearnMode(true);
  ASSERT_TRUE(slider.cell->detectingMIDI());

  SafeMidiOut controller(RtMidi::UNIX_JACK, "controller");
  int toZaph = -1;
  for (unsigned i = 0; i < controller.getPortCount(); ++i)
    if (controller.getPortName(i).ends_with(":To ZAPH")) toZaph = static_cast<int>(i);
  ASSERT_GE(toZaph, 0);
  controller.openPort(static_cast<unsigned>(toZaph), "out");

  const std::vector<unsigned char> knob = {0xB2, 21, 127};  // controller 21 on channel 3
  ASSERT_TRUE(sendUntil([&] { controller.sendMessage(&knob); },
                        [&] { return slider.cell->syncFlag(); }, 15.0));
  EXPECT_EQ(slider.cell->syncArray(), (KeyPath{"MIDI", "ctrl [21] ch. 3"}));
  EXPECT_TRUE(slider.cell->detectingMIDI());  // learn mode: still listening

  const std::vector<unsigned char> turned = {0xB2, 21, 64};
  controller.sendMessage(&turned);
  EXPECT_TRUE(waitFor(
      [&] {
        const auto values = slider.received();
        return !values.empty() && values.back() == 64.0f / 127.0f;
      },
      10.0));
  dsc.setHardwareLearnMode(false);
  EXPECT_FALSE(slider.cell->detectingMIDI());
}
