#include "platform/audio/JackAudioBackend.h"

#include "platform/foundation/HappensBefore.h"
#include "platform/foundation/Log.h"

#include <QTimer>

#include <jack/jack.h>

#include <algorithm>

namespace {

constexpr int kWatchMilliseconds = 250;
constexpr int kProbeTicks = 4;  // a missing server is looked for once a second
constexpr const char* kStreamClientName = "ZAPH audio";
constexpr const char* kWatchClientName = "ZAPH audio watch";
constexpr int kChannelsWithoutPorts = 2;

// libjack prints on every failed connection attempt: one line a minute.
void jackMessage(const char* text) {
  Log::limited(QStringLiteral("jack-messages"),
               QStringLiteral("\t\terr: JACK: %1").arg(QString::fromLocal8Bit(text)), 60.0);
}

void noteShutDown(jack_status_t, const char*, void* flag) {
  static_cast<std::atomic<bool>*>(flag)->store(true);
}

std::vector<QString> portNames(jack_client_t* client, unsigned long flags) {
  std::vector<QString> names;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags);
  for (int i = 0; ports && ports[i]; ++i) names.push_back(QString::fromUtf8(ports[i]));
  if (ports) jack_free(ports);
  return names;
}

QString clientPart(const QString& portName) { return portName.section(QLatin1Char(':'), 0, 0); }

}  // namespace

struct JackAudioBackend::Stream {
  jack_client_t* client = nullptr;
  std::atomic<bool> shutDown{false};
  AudioBackend::IOFunction io = nullptr;
  void* ioClient = nullptr;
  double sampleRate = 48000;
  int capacity = 0;  // frames the interleaved buffers hold
  std::vector<jack_port_t*> inputPorts;
  std::vector<jack_port_t*> outputPorts;
  std::vector<const float*> inputData;  // this cycle's port buffers
  std::vector<float*> outputData;
  std::vector<float> interleavedIn;
  std::vector<float> interleavedOut;

  static int process(jack_nframes_t frames, void* self);
  void cycle(int frames);
  void runChunk(int offset, int frames, double now);
};

int JackAudioBackend::Stream::process(jack_nframes_t frames, void* self) {
  try {
    static_cast<Stream*>(self)->cycle(static_cast<int>(frames));
  } catch (...) {
    // Nothing may leave the process thread; the device layer notes its own errors.
  }
  return 0;
}

void JackAudioBackend::Stream::cycle(int frames) {
  for (std::size_t c = 0; c < inputPorts.size(); ++c)
    inputData[c] = static_cast<const float*>(jack_port_get_buffer(inputPorts[c], frames));
  for (std::size_t c = 0; c < outputPorts.size(); ++c)
    outputData[c] = static_cast<float*>(jack_port_get_buffer(outputPorts[c], frames));
  // JACK hands port buffers between the clients' cycles through futexes in
  // shared memory, which ThreadSanitizer does not see.
  for (const float* data : inputData) HappensBefore::observe(data);
  for (const float* data : outputData) HappensBefore::observe(data);
  const double start = double(jack_last_frame_time(client)) / sampleRate;
  // A period longer than the buffers (the server's was changed) runs in parts.
  for (int offset = 0; offset < frames; offset += capacity)
    runChunk(offset, std::min(capacity, frames - offset), start + offset / sampleRate);
  for (const float* data : inputData) HappensBefore::publish(data);
  for (const float* data : outputData) HappensBefore::publish(data);
}

void JackAudioBackend::Stream::runChunk(int offset, int frames, double now) {
  const int inputs = static_cast<int>(inputPorts.size());
  const int outputs = static_cast<int>(outputPorts.size());
  for (int c = 0; c < inputs; ++c)
    for (int k = 0; k < frames; ++k)
      interleavedIn[std::size_t(k) * inputs + c] = inputData[c][offset + k];
  std::fill_n(interleavedOut.begin(), std::size_t(frames) * outputs, 0.0f);
  AudioStreamBuffer in{interleavedIn.data(), inputs, frames};
  AudioStreamBuffer out{interleavedOut.data(), outputs, frames};
  io(ioClient, &in, inputs > 0 ? 1 : 0, &out, outputs > 0 ? 1 : 0, now);
  for (int c = 0; c < outputs; ++c)
    for (int k = 0; k < frames; ++k)
      outputData[c][offset + k] = interleavedOut[std::size_t(k) * outputs + c];
}

JackAudioBackend::JackAudioBackend() {
  jack_set_error_function(jackMessage);
  jack_set_info_function(jackMessage);
  if (connectWatch()) readServerFacts();
  watchTimer_ = std::make_unique<QTimer>();
  QObject::connect(watchTimer_.get(), &QTimer::timeout, [this] { watch(); });
  watchTimer_->start(kWatchMilliseconds);
}

JackAudioBackend::~JackAudioBackend() {
  watchTimer_.reset();
  if (stream_) closeStreamClient(*stream_);
  stream_.reset();
  if (watchClient_) jack_client_close(watchClient_);
}

bool JackAudioBackend::connectWatch() {
  jack_status_t status{};
  watchShutDown_ = false;
  watchClient_ = jack_client_open(kWatchClientName, JackNoStartServer, &status);
  if (!watchClient_) return false;
  jack_on_info_shutdown(watchClient_, &noteShutDown, &watchShutDown_);
  if (jack_activate(watchClient_) != 0) {
    jack_client_close(watchClient_);
    watchClient_ = nullptr;
    return false;
  }
  return true;
}

void JackAudioBackend::readServerFacts() {
  capturePorts_ = portNames(watchClient_, JackPortIsPhysical | JackPortIsOutput);
  playbackPorts_ = portNames(watchClient_, JackPortIsPhysical | JackPortIsInput);
  facts_ = {};
  facts_.id = kDeviceId;
  const std::vector<QString>& named = capturePorts_.empty() ? playbackPorts_ : capturePorts_;
  facts_.name = named.empty() ? QStringLiteral("JACK") : clientPart(named.front());
  const auto channels = [](const std::vector<QString>& ports) {
    return ports.empty() ? kChannelsWithoutPorts : static_cast<int>(ports.size());
  };
  facts_.inputStreams = {channels(capturePorts_)};
  facts_.outputStreams = {channels(playbackPorts_)};
  facts_.framesPerBuffer = static_cast<int>(jack_get_buffer_size(watchClient_));
  facts_.sampleRate = jack_get_sample_rate(watchClient_);
}

std::vector<std::uint32_t> JackAudioBackend::deviceIds() {
  if (!watchClient_) return {};
  return {kDeviceId};
}

std::optional<AudioDeviceFacts> JackAudioBackend::facts(std::uint32_t id) {
  if (!watchClient_ || id != kDeviceId) return std::nullopt;
  return facts_;
}

std::uint32_t JackAudioBackend::defaultInputDevice() { return watchClient_ ? kDeviceId : 0; }

std::uint32_t JackAudioBackend::defaultOutputDevice() { return watchClient_ ? kDeviceId : 0; }

QString JackAudioBackend::start(std::uint32_t id, IOFunction io, void* client) {
  if (!watchClient_ || id != kDeviceId) return QStringLiteral("no such device");
  if (stream_) return {};
  auto stream = std::make_unique<Stream>();
  stream->io = io;
  stream->ioClient = client;
  const QString error = openStreamClient(*stream);
  if (!error.isEmpty()) {
    closeStreamClient(*stream);
    return error;
  }
  stream_ = std::move(stream);
  return {};
}

QString JackAudioBackend::openStreamClient(Stream& stream) {
  jack_status_t status{};
  stream.client = jack_client_open(kStreamClientName, JackNoStartServer, &status);
  if (!stream.client) return QStringLiteral("the JACK server does not take a client");
  jack_on_info_shutdown(stream.client, &noteShutDown, &stream.shutDown);
  const int inputs = facts_.inputStreams.front();
  const int outputs = facts_.outputStreams.front();
  for (int c = 0; c < inputs; ++c)
    stream.inputPorts.push_back(jack_port_register(stream.client,
                                                   QStringLiteral("in_%1").arg(c + 1).toUtf8(),
                                                   JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
  for (int c = 0; c < outputs; ++c)
    stream.outputPorts.push_back(jack_port_register(stream.client,
                                                    QStringLiteral("out_%1").arg(c + 1).toUtf8(),
                                                    JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
  const auto missing = [](jack_port_t* port) { return port == nullptr; };
  if (std::any_of(stream.inputPorts.begin(), stream.inputPorts.end(), missing) ||
      std::any_of(stream.outputPorts.begin(), stream.outputPorts.end(), missing))
    return QStringLiteral("JACK refused the client's ports");
  stream.sampleRate = jack_get_sample_rate(stream.client);
  stream.capacity = std::max<int>(1, static_cast<int>(jack_get_buffer_size(stream.client)));
  stream.inputData.assign(inputs, nullptr);
  stream.outputData.assign(outputs, nullptr);
  stream.interleavedIn.assign(std::size_t(stream.capacity) * inputs, 0.0f);
  stream.interleavedOut.assign(std::size_t(stream.capacity) * outputs, 0.0f);
  if (jack_set_process_callback(stream.client, &Stream::process, &stream) != 0 ||
      jack_activate(stream.client) != 0)
    return QStringLiteral("the JACK client could not start");
  for (std::size_t c = 0; c < capturePorts_.size() && c < stream.inputPorts.size(); ++c)
    jack_connect(stream.client, capturePorts_[c].toUtf8().constData(),
                 jack_port_name(stream.inputPorts[c]));
  for (std::size_t c = 0; c < playbackPorts_.size() && c < stream.outputPorts.size(); ++c)
    jack_connect(stream.client, jack_port_name(stream.outputPorts[c]),
                 playbackPorts_[c].toUtf8().constData());
  return {};
}

void JackAudioBackend::closeStreamClient(Stream& stream) {
  // Closing deactivates first: no process cycle runs once it returns. A
  // client of a server that died takes this call and no other.
  if (stream.client) jack_client_close(stream.client);
  stream.client = nullptr;
}

QString JackAudioBackend::stop(std::uint32_t id) {
  if (id != kDeviceId || !stream_) return {};
  closeStreamClient(*stream_);
  stream_.reset();
  return {};
}

void JackAudioBackend::setDevicesChangedHandler(std::function<void()> handler) {
  changed_ = std::move(handler);
}

void JackAudioBackend::watch() {
  if (watchClient_) {
    if (watchShutDown_.load() || (stream_ && stream_->shutDown.load())) serverWentAway();
    return;
  }
  if (++ticksSinceProbe_ < kProbeTicks) return;
  ticksSinceProbe_ = 0;
  if (!connectWatch()) return;
  readServerFacts();
  Log::line(
      QStringLiteral("a JACK server runs: its audio device \"%1\" is listed").arg(facts_.name));
  if (changed_) changed_();
}

// The server is gone (or dropped our client): its clients are closed at
// once, before a new server of the same name can start, and the device
// leaves the list; a running stream stays known, closed, until stopped.
void JackAudioBackend::serverWentAway() {
  if (stream_) closeStreamClient(*stream_);
  jack_client_close(watchClient_);
  watchClient_ = nullptr;
  ticksSinceProbe_ = 0;
  Log::line(QStringLiteral("\t\terr: the JACK server went away: its audio device \"%1\" is retired")
                .arg(facts_.name));
  if (changed_) changed_();
}
