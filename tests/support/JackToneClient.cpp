#include "tests/support/JackToneClient.h"

#include "platform/foundation/HappensBefore.h"

#include <QString>

#include <jack/jack.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kClientName = "zaph-test-tone";

bool isOursOrTheServers(const char* port) {
  const QString name = QString::fromUtf8(port);
  return name.startsWith(QLatin1String(kClientName) + QLatin1Char(':')) ||
         name.startsWith(QStringLiteral("system:"));
}

}  // namespace

JackToneClient::JackToneClient(double frequency) : frequency_(frequency) {
  jack_status_t status;
  client_ = jack_client_open(kClientName, JackNoStartServer, &status);
  if (!client_) return;
  out_ = jack_port_register(client_, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  rate_ = jack_get_sample_rate(client_);
  jack_set_process_callback(
      client_, [](jack_nframes_t frames, void* self) { return process(frames, self); }, this);
  jack_activate(client_);
}

JackToneClient::~JackToneClient() {
  if (client_) jack_client_close(client_);
}

int JackToneClient::connectToOthers() {
  int connected = 0;
  const char** inputs = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
  for (int i = 0; inputs && inputs[i]; ++i)
    if (!isOursOrTheServers(inputs[i]) &&
        jack_connect(client_, jack_port_name(out_), inputs[i]) == 0)
      ++connected;
  jack_free(inputs);
  const char** outputs =
      jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
  for (int i = 0; outputs && outputs[i]; ++i)
    if (!isOursOrTheServers(outputs[i])) jack_connect(client_, outputs[i], jack_port_name(in_));
  jack_free(outputs);
  return connected;
}

int JackToneClient::process(unsigned frames, void* self) {
  static_cast<JackToneClient*>(self)->cycle(frames);
  return 0;
}

void JackToneClient::cycle(unsigned frames) {
  auto* out = static_cast<float*>(jack_port_get_buffer(out_, frames));
  const auto* in = static_cast<const float*>(jack_port_get_buffer(in_, frames));
  // JACK hands port buffers between clients through futexes ThreadSanitizer
  // does not see.
  HappensBefore::observe(in);
  HappensBefore::observe(out);
  const long period = long(rate_) / 2, burst = long(rate_) * 60 / 1000;
  const bool quiet = silent.load(std::memory_order_relaxed);
  const bool bursting = bursts.load(std::memory_order_relaxed);
  const float step = float(1000.0 / (5.0 * rate_));
  for (unsigned k = 0; k < frames; ++k, ++frame_) {
    const bool on = !quiet && (!bursting || frame_ % period < burst);
    gain_ = on ? std::min(1.0f, gain_ + step) : std::max(0.0f, gain_ - step);
    out[k] = 0.1f * gain_ * float(std::sin(2 * M_PI * frequency_ * double(frame_) / rate_));
    if ((in[k] >= 0) != (last_ >= 0) && std::fabs(in[k] - last_) > 1e-4f) crossings.fetch_add(1);
    last_ = in[k];
  }
  HappensBefore::publish(in);
  HappensBefore::publish(out);
}
