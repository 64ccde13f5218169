// JACK outputs that go, or close, while their messages still flow. With a
// bare RtMidiOut the client's process thread read freed buffers in about two
// runs of three of the first test, and libjack's notification thread walked
// a port list being edited by the port's unregistering now and then.
#include "platform/midi/SafeMidiOut.h"
#include "tests/support/Eventually.h"
#include "tests/support/JackServer.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

class SafeMidiOutJack : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(jack.ready()) << jack.error().toStdString(); }
  JackServer jack;
};

struct Errors {
  static void record(RtMidiError::Type type, const std::string& text, void* self) {
    static_cast<Errors*>(self)->last = text;
    static_cast<Errors*>(self)->lastType = type;
  }
  std::string last;
  RtMidiError::Type lastType = RtMidiError::WARNING;
};

// A JACK MIDI input counting the bytes it receives.
class Listener {
 public:
  Listener() {
    client_ = jack_client_open("listener", JackNoStartServer, nullptr);
    if (!client_) return;
    port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &Listener::process, this);
    jack_activate(client_);
  }
  ~Listener() {
    if (client_) jack_client_close(client_);
  }
  bool ready() const { return port_ != nullptr; }
  int events() const { return events_.load(); }

 private:
  static int process(jack_nframes_t frames, void* self) {
    auto* listener = static_cast<Listener*>(self);
    void* buffer = jack_port_get_buffer(listener->port_, frames);
    listener->events_ += static_cast<int>(jack_midi_get_event_count(buffer));
    return 0;
  }
  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::atomic<int> events_{0};
};

TEST_F(SafeMidiOutJack, OutputsGoWhileTheirMessagesAreStillGoingOut) {
  const std::vector<unsigned char> knob = {0xB0, 21, 64};
  for (int i = 0; i < 50; ++i) {
    auto out = std::make_unique<SafeMidiOut>(RtMidi::UNIX_JACK, "settling");
    out->openVirtualPort("out");
    for (int k = 0; k < 50; ++k) out->sendMessage(&knob);
    out.reset();
  }
}

TEST_F(SafeMidiOutJack, AClosedPortOpensAgainAndSends) {
  Listener listener;
  ASSERT_TRUE(listener.ready());
  SafeMidiOut out(RtMidi::UNIX_JACK, "reopening");
  const std::vector<unsigned char> knob = {0xB0, 21, 64};
  for (int round = 0; round < 3; ++round) {
    const int index = JackServer::portIndex(out, "listener:in");
    ASSERT_GE(index, 0) << "round " << round;
    out.openPort(static_cast<unsigned>(index), "out");
    ASSERT_TRUE(out.isPortOpen());
    const int before = listener.events();
    ASSERT_TRUE(
        sendUntil([&] { out.sendMessage(&knob); }, [&] { return listener.events() > before; }))
        << "round " << round;
    for (int k = 0; k < 20; ++k) out.sendMessage(&knob);
    out.closePort();
    EXPECT_FALSE(out.isPortOpen());
  }
}

TEST_F(SafeMidiOutJack, ADestinationNotListedIsReportedAndNothingOpens) {
  SafeMidiOut out(RtMidi::UNIX_JACK, "lost");
  Errors errors;
  out.setErrorCallback(&Errors::record, &errors);
  out.openPort(out.getPortCount() + 3, "out");
  EXPECT_FALSE(out.isPortOpen());
  EXPECT_EQ(errors.lastType, RtMidiError::INVALID_PARAMETER);
  EXPECT_NE(errors.last.find("no MIDI destination"), std::string::npos) << errors.last;
  const std::vector<unsigned char> knob = {0xB0, 21, 64};
  out.sendMessage(&knob);  // no port: nothing queued, nothing reported
  EXPECT_EQ(errors.lastType, RtMidiError::INVALID_PARAMETER);
}

}  // namespace
