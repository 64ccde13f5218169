// JACK outputs going while their messages still flow: with a bare RtMidiOut
// the client's process thread reads freed buffers in about two runs of
// three of the first test.
#include "platform/midi/SettlingMidiOut.h"
#include "tests/support/JackServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class SettlingMidiOutJack : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(jack.ready()) << jack.error().toStdString(); }
  JackServer jack;
};

TEST_F(SettlingMidiOutJack, OutputsGoWhileTheirMessagesAreStillGoingOut) {
  const std::vector<unsigned char> knob = {0xB0, 21, 64};
  for (int i = 0; i < 50; ++i) {
    auto out = std::make_unique<SettlingMidiOut>(RtMidi::UNIX_JACK, "settling");
    out->openVirtualPort("out");
    for (int k = 0; k < 50; ++k) out->sendMessage(&knob);
    out.reset();
  }
}

}  // namespace
