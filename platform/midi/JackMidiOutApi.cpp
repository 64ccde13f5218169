#include "platform/midi/JackMidiOutApi.h"

#include <jack/midiport.h>

#include <cstdint>

namespace {

// Each message sits in the ring as its byte count, then its bytes.
using MessageSize = std::uint32_t;

}  // namespace

JackMidiOutApi::JackMidiOutApi(const std::string& clientName) { initialize(clientName); }

JackMidiOutApi::~JackMidiOutApi() {
  closeClient();
  if (ring_) jack_ringbuffer_free(ring_);
}

void JackMidiOutApi::initialize(const std::string& clientName) {
  clientName_ = clientName;
  ring_ = jack_ringbuffer_create(kRingBytes);
  ensureClient();
}

bool JackMidiOutApi::ensureClient() {
  if (client_) return true;
  jack_status_t status{};
  client_ = jack_client_open(clientName_.c_str(), JackNoStartServer, &status);
  if (client_) return true;
  error(RtMidiError::WARNING, "JackMidiOutApi: JACK server not running?");
  return false;
}

void JackMidiOutApi::closeClient() {
  if (!client_) return;
  // Closing deactivates first: no process cycle runs once it returns.
  jack_client_close(client_);
  client_ = nullptr;
  port_ = nullptr;
  connected_ = false;
  jack_ringbuffer_reset(ring_);
}

bool JackMidiOutApi::registerAndActivate(const std::string& portName) {
  if (port_) {
    error(RtMidiError::WARNING, "JackMidiOutApi: a port is already open");
    return false;
  }
  if (!ensureClient()) return false;
  jack_port_t* port =
      jack_port_register(client_, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (!port) {
    error(RtMidiError::DRIVER_ERROR,
          "JackMidiOutApi: could not make the port \"" + portName + "\"");
    return false;
  }
  port_ = port;
  if (jack_set_process_callback(client_, &JackMidiOutApi::process, this) != 0 ||
      jack_activate(client_) != 0) {
    closeClient();
    error(RtMidiError::DRIVER_ERROR, "JackMidiOutApi: could not start the JACK client");
    return false;
  }
  return true;
}

void JackMidiOutApi::openVirtualPort(const std::string& portName) { registerAndActivate(portName); }

void JackMidiOutApi::openPort(unsigned int portNumber, const std::string& portName) {
  if (!ensureClient()) return;
  const std::string destination = destinationName(portNumber);
  if (destination.empty()) {
    error(RtMidiError::INVALID_PARAMETER,
          "JackMidiOutApi: no MIDI destination numbered " + std::to_string(portNumber));
    return;
  }
  if (!registerAndActivate(portName)) return;
  if (jack_connect(client_, jack_port_name(port_), destination.c_str()) != 0) {
    error(RtMidiError::DRIVER_ERROR,
          "JackMidiOutApi: could not connect to \"" + destination + "\"");
    return;
  }
  connected_ = true;
}

void JackMidiOutApi::closePort() {
  if (port_) closeClient();
}

void JackMidiOutApi::setClientName(const std::string&) {
  error(RtMidiError::WARNING, "JackMidiOutApi: JACK clients cannot be renamed");
}

void JackMidiOutApi::setPortName(const std::string& portName) {
  if (port_) jack_port_rename(client_, port_, portName.c_str());
}

const char** JackMidiOutApi::destinations() {
  return jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
}

std::string JackMidiOutApi::destinationName(unsigned int portNumber) {
  const char** names = destinations();
  std::string name;
  for (unsigned int i = 0; names && names[i]; ++i)
    if (i == portNumber) name = names[i];
  if (names) jack_free(names);
  return name;
}

unsigned int JackMidiOutApi::getPortCount() {
  if (!ensureClient()) return 0;
  const char** names = destinations();
  unsigned int count = 0;
  while (names && names[count]) ++count;
  if (names) jack_free(names);
  return count;
}

std::string JackMidiOutApi::getPortName(unsigned int portNumber) {
  if (!ensureClient()) return {};
  const std::string name = destinationName(portNumber);
  if (name.empty())
    error(RtMidiError::WARNING,
          "JackMidiOutApi: no MIDI destination numbered " + std::to_string(portNumber));
  return name;
}

void JackMidiOutApi::sendMessage(const unsigned char* message, size_t size) {
  if (!port_ || size == 0) return;
  const auto count = static_cast<MessageSize>(size);
  if (jack_ringbuffer_write_space(ring_) < sizeof(count) + size) {
    error(RtMidiError::WARNING, "JackMidiOutApi: the JACK client is not taking messages");
    return;
  }
  jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&count), sizeof(count));
  jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(message), size);
}

int JackMidiOutApi::process(jack_nframes_t frames, void* self) {
  auto* api = static_cast<JackMidiOutApi*>(self);
  void* buffer = jack_port_get_buffer(api->port_, frames);
  jack_midi_clear_buffer(buffer);
  MessageSize count = 0;
  while (jack_ringbuffer_peek(api->ring_, reinterpret_cast<char*>(&count), sizeof(count)) ==
             sizeof(count) &&
         jack_ringbuffer_read_space(api->ring_) >= sizeof(count) + count) {
    jack_ringbuffer_read_advance(api->ring_, sizeof(count));
    if (jack_midi_data_t* bytes = jack_midi_event_reserve(buffer, 0, count))
      jack_ringbuffer_read(api->ring_, reinterpret_cast<char*>(bytes), count);
    else
      jack_ringbuffer_read_advance(api->ring_, count);  // full this cycle: dropped
  }
  return 0;
}
