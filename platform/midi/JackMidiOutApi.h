#pragma once

#include <rtmidi/RtMidi.h>

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <string>

// RtMidi's output interface over a JACK client of our own. RtMidi's own JACK
// output unregisters its port while the client lives: libjack's notification
// thread may be walking the client's port list at that moment (a crash), and
// a process cycle under way may still read the queued messages it frees.
// Here a port goes only with its client: closing closes the client, which
// stops the process thread first and lets the server drop the port; the
// queue is freed after that. A new client is made when one is needed again.
//
// Messages go through a lock-free ring read by the process thread: one sender
// at a time (the caller serialises sends, as with any RtMidiOut).
class JackMidiOutApi : public MidiOutApi {
 public:
  static constexpr size_t kRingBytes = 16384;

  explicit JackMidiOutApi(const std::string& clientName);
  ~JackMidiOutApi() override;
  JackMidiOutApi(const JackMidiOutApi&) = delete;
  JackMidiOutApi& operator=(const JackMidiOutApi&) = delete;

  RtMidi::Api getCurrentApi() override { return RtMidi::UNIX_JACK; }
  void openPort(unsigned int portNumber, const std::string& portName) override;
  void openVirtualPort(const std::string& portName) override;
  void closePort() override;
  void setClientName(const std::string& clientName) override;
  void setPortName(const std::string& portName) override;
  unsigned int getPortCount() override;
  std::string getPortName(unsigned int portNumber) override;
  void sendMessage(const unsigned char* message, size_t size) override;

 protected:
  void initialize(const std::string& clientName) override;

 private:
  static int process(jack_nframes_t frames, void* self);
  bool ensureClient();
  bool registerAndActivate(const std::string& portName);
  void closeClient();
  // The names of the MIDI inputs a port of ours can send to; free with jack_free.
  const char** destinations();
  // "client:port" of the destination numbered `portNumber`, or empty.
  std::string destinationName(unsigned int portNumber);

  std::string clientName_;
  jack_client_t* client_ = nullptr;
  // Set before the client is activated and cleared only after it is closed:
  // the process thread reads it without a lock.
  jack_port_t* port_ = nullptr;
  jack_ringbuffer_t* ring_ = nullptr;
};
