#pragma once

#include <atomic>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// A test's own JACK client: plays a sine (always, or in 60 ms bursts every
// 500 ms) into every audio input port of the other clients, and counts the
// zero crossings of what their outputs send back. It starts silent; the
// tone fades in and out over 5 ms, so that no click spreads over the
// spectrum when it starts or stops.
class JackToneClient {
 public:
  explicit JackToneClient(double frequency = 1280);
  ~JackToneClient();
  JackToneClient(const JackToneClient&) = delete;
  JackToneClient& operator=(const JackToneClient&) = delete;

  bool ready() const { return client_ && out_ && in_; }
  // Connects the tone to every input port of the other clients (not the
  // server's own "system" ports) and their outputs to ours; answers how
  // many inputs take the tone.
  int connectToOthers();
  void play() { silent = false; }

  std::atomic<bool> bursts{false};
  std::atomic<bool> silent{true};
  std::atomic<long> crossings{0};

 private:
  static int process(unsigned frames, void* self);
  void cycle(unsigned frames);

  const double frequency_;
  jack_client_t* client_ = nullptr;
  jack_port_t* out_ = nullptr;
  jack_port_t* in_ = nullptr;
  double rate_ = 48000;
  long frame_ = 0;
  float last_ = 0;
  float gain_ = 0;
};
