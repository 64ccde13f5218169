#include "platform/audio/PortAudioBackend.h"

#include "platform/foundation/Log.h"

#include <QDir>
#include <QTimer>

#include <portaudio.h>

#include <algorithm>

struct PortAudioBackend::Stream {
  PaStream* stream = nullptr;
  IOFunction io = nullptr;
  void* client = nullptr;
  int inputChannels = 0;
  int outputChannels = 0;
};

namespace {

constexpr int kWatchMilliseconds = 250;
constexpr int kQuietTicks = 4;  // 1 s after the last change

// Belt and braces: the session keeps PortAudio from any JACK server.
bool isJack(const PaDeviceInfo& info) {
  const PaHostApiInfo* api = Pa_GetHostApiInfo(info.hostApi);
  return api && api->type == paJACK;
}

QString keyOf(const PaDeviceInfo& info) {
  const PaHostApiInfo* api = Pa_GetHostApiInfo(info.hostApi);
  return QString::fromUtf8(api ? api->name : "?") + QLatin1Char('/') + QString::fromUtf8(info.name);
}

int streamCallback(const void* input, void* output, unsigned long frames,
                   const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
  try {
    auto* stream = static_cast<PortAudioBackend::Stream*>(user);
    // PortAudio hands the output block uninitialised: a cycle that plays
    // nothing must play silence.
    if (output)
      std::fill_n(static_cast<float*>(output), frames * unsigned(stream->outputChannels), 0.0f);
    AudioStreamBuffer in{const_cast<float*>(static_cast<const float*>(input)),
                         stream->inputChannels, static_cast<int>(frames)};
    AudioStreamBuffer out{static_cast<float*>(output), stream->outputChannels,
                          static_cast<int>(frames)};
    stream->io(stream->client, &in, input ? 1 : 0, &out, output ? 1 : 0,
               Pa_GetStreamTime(stream->stream));
  } catch (...) {
    // Nothing may leave an audio thread; the device layer notes its own errors.
  }
  return paContinue;
}

}  // namespace

PortAudioBackend::PortAudioBackend() {
  initialised_ = AudioSession::shared().initialise();
  AudioSession::shared().addClient(this);
  readDevices();
  signature_ = watchSignature();
  watchTimer_ = std::make_unique<QTimer>();
  QObject::connect(watchTimer_.get(), &QTimer::timeout, [this] { watch(); });
  watchTimer_->start(kWatchMilliseconds);
}

PortAudioBackend::~PortAudioBackend() {
  watchTimer_.reset();
  AudioSession::shared().removeClient(this);
  closeStreams();
  std::lock_guard lock(mutex_);
  streams_.clear();
}

void PortAudioBackend::readDevices() {
  std::lock_guard session(AudioSession::shared().mutex());
  devices_.clear();
  if (!initialised_) return;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info || isJack(*info)) continue;
    const QString key = keyOf(*info);
    auto found = idsByKey_.find(key);
    if (found == idsByKey_.end()) found = idsByKey_.emplace(key, nextId_++).first;
    // Two devices of one name: the second gets an ID of its own too.
    std::uint32_t id = found->second;
    for (int n = 2; std::any_of(devices_.begin(), devices_.end(),
                                [id](const Device& d) { return d.id == id; });
         ++n) {
      const QString nth = key + QStringLiteral(" #%1").arg(n);
      auto again = idsByKey_.find(nth);
      if (again == idsByKey_.end()) again = idsByKey_.emplace(nth, nextId_++).first;
      id = again->second;
    }
    devices_.push_back({id, i});
  }
}

int PortAudioBackend::indexOf(std::uint32_t id) const {
  for (const Device& device : devices_)
    if (device.id == id) return device.index;
  return -1;
}

std::vector<std::uint32_t> PortAudioBackend::deviceIds() {
  std::vector<std::uint32_t> ids;
  for (const Device& device : devices_) ids.push_back(device.id);
  return ids;
}

std::optional<AudioDeviceFacts> PortAudioBackend::facts(std::uint32_t id) {
  std::lock_guard session(AudioSession::shared().mutex());
  const int index = indexOf(id);
  if (!initialised_ || index < 0) return std::nullopt;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  if (!info) return std::nullopt;
  AudioDeviceFacts facts;
  facts.id = id;
  facts.name = QString::fromUtf8(info->name);
  if (info->maxInputChannels > 0) facts.inputStreams = {info->maxInputChannels};
  if (info->maxOutputChannels > 0) facts.outputStreams = {info->maxOutputChannels};
  facts.framesPerBuffer = kFramesPerBuffer;
  facts.sampleRate = info->defaultSampleRate;
  return facts;
}

std::uint32_t PortAudioBackend::defaultInputDevice() {
  std::lock_guard session(AudioSession::shared().mutex());
  if (!initialised_) return 0;
  const int index = Pa_GetDefaultInputDevice();
  for (const Device& device : devices_)
    if (device.index == index) return device.id;
  return 0;
}

std::uint32_t PortAudioBackend::defaultOutputDevice() {
  std::lock_guard session(AudioSession::shared().mutex());
  if (!initialised_) return 0;
  const int index = Pa_GetDefaultOutputDevice();
  for (const Device& device : devices_)
    if (device.index == index) return device.id;
  return 0;
}

QString PortAudioBackend::open(std::uint32_t id, Stream& stream) {
  std::lock_guard session(AudioSession::shared().mutex());
  const int index = indexOf(id);
  const PaDeviceInfo* info = index >= 0 ? Pa_GetDeviceInfo(index) : nullptr;
  if (!info) return QStringLiteral("no such device");
  stream.inputChannels = info->maxInputChannels;
  stream.outputChannels = info->maxOutputChannels;
  PaStreamParameters in{index, stream.inputChannels, paFloat32, info->defaultLowInputLatency,
                        nullptr};
  PaStreamParameters out{index, stream.outputChannels, paFloat32, info->defaultLowOutputLatency,
                         nullptr};
  stream.stream = nullptr;
  PaError error = Pa_OpenStream(&stream.stream, stream.inputChannels ? &in : nullptr,
                                stream.outputChannels ? &out : nullptr, info->defaultSampleRate,
                                kFramesPerBuffer, paNoFlag, &streamCallback, &stream);
  if (error == paNoError) error = Pa_StartStream(stream.stream);
  if (error != paNoError) {
    if (stream.stream) Pa_CloseStream(stream.stream);
    stream.stream = nullptr;
    return QString::fromUtf8(Pa_GetErrorText(error));
  }
  return {};
}

QString PortAudioBackend::start(std::uint32_t id, IOFunction io, void* client) {
  std::lock_guard lock(mutex_);
  if (streams_.count(id)) return {};
  auto stream = std::make_unique<Stream>();
  stream->io = io;
  stream->client = client;
  const QString error = open(id, *stream);
  if (!error.isEmpty()) return error;
  streams_[id] = std::move(stream);
  return {};
}

QString PortAudioBackend::stop(std::uint32_t id) {
  std::unique_ptr<Stream> stream;
  {
    std::lock_guard lock(mutex_);
    const auto found = streams_.find(id);
    if (found == streams_.end()) return {};
    stream = std::move(found->second);
    streams_.erase(found);
  }
  if (!stream->stream) return {};
  std::lock_guard session(AudioSession::shared().mutex());
  const PaError error = Pa_StopStream(stream->stream);
  Pa_CloseStream(stream->stream);
  return error == paNoError ? QString() : QString::fromUtf8(Pa_GetErrorText(error));
}

void PortAudioBackend::closeStreams() {
  std::lock_guard lock(mutex_);
  std::lock_guard session(AudioSession::shared().mutex());
  for (auto& [id, stream] : streams_)
    if (stream->stream) {
      Pa_StopStream(stream->stream);
      Pa_CloseStream(stream->stream);
      stream->stream = nullptr;
    }
}

// After a re-initialisation: the device list anew, streams reopened on the
// devices (by name) still there. A stream whose device went stays closed
// until the registry retires it.
void PortAudioBackend::reopenStreams() {
  initialised_ = true;
  readDevices();
  std::lock_guard lock(mutex_);
  for (auto& [id, stream] : streams_) {
    if (indexOf(id) < 0) continue;
    const QString error = open(id, *stream);
    if (!error.isEmpty())
      Log::line(QStringLiteral("\t\terr: the audio device could not be reopened: %1").arg(error));
  }
}

void PortAudioBackend::setDevicesChangedHandler(std::function<void()> handler) {
  changed_ = std::move(handler);
}

void PortAudioBackend::reinitialise() {
  AudioSession::shared().reinitialise();
  if (changed_) changed_();
}

// --- Hot-plug watch (main thread) ----------------------------------------------------------

QString PortAudioBackend::watchSignature() {
  QStringList cards = QDir(QStringLiteral("/dev/snd")).entryList(QDir::System | QDir::Files);
  cards.sort();
  return cards.join(QLatin1Char(','));
}

void PortAudioBackend::watch() {
  const QString now = watchSignature();
  if (now != signature_) {
    signature_ = now;
    quietTicks_ = 0;
    return;
  }
  if (quietTicks_ < 0) return;
  if (++quietTicks_ < kQuietTicks) return;
  quietTicks_ = -1;
  Log::line("audio devices changed: re-reading them");
  reinitialise();
}
