#include "platform/audio/PortAudioBackend.h"

#include "platform/foundation/Log.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdlib>

struct PortAudioBackend::Stream {
  PaStream* stream = nullptr;
  IOFunction io = nullptr;
  void* client = nullptr;
  int inputChannels = 0;
  int outputChannels = 0;
};

PortAudioBackend::PortAudioBackend() {
  // Never start a sound server of our own.
  ::setenv("JACK_NO_START_SERVER", "1", 0);
  const PaError error = Pa_Initialize();
  initialised_ = error == paNoError;
  if (!initialised_)
    Log::line(QStringLiteral("\t\terr: no audio devices: %1")
                  .arg(QString::fromUtf8(Pa_GetErrorText(error))));
}

PortAudioBackend::~PortAudioBackend() {
  std::lock_guard lock(mutex_);
  for (auto& [id, stream] : streams_) {
    Pa_StopStream(stream->stream);
    Pa_CloseStream(stream->stream);
  }
  streams_.clear();
  if (initialised_) Pa_Terminate();
}

std::vector<std::uint32_t> PortAudioBackend::deviceIds() {
  std::vector<std::uint32_t> ids;
  if (!initialised_) return ids;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) ids.push_back(static_cast<std::uint32_t>(i + 1));
  return ids;
}

std::optional<AudioDeviceFacts> PortAudioBackend::facts(std::uint32_t id) {
  if (!initialised_ || id == 0) return std::nullopt;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(static_cast<PaDeviceIndex>(id - 1));
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

namespace {

// JACK's default device when a server runs, else PortAudio's.
std::uint32_t preferJack(bool input) {
  const PaHostApiIndex jack = Pa_HostApiTypeIdToHostApiIndex(paJACK);
  if (jack >= 0) {
    const PaHostApiInfo* api = Pa_GetHostApiInfo(jack);
    const PaDeviceIndex device =
        api ? (input ? api->defaultInputDevice : api->defaultOutputDevice) : paNoDevice;
    if (device != paNoDevice) return static_cast<std::uint32_t>(device + 1);
  }
  const PaDeviceIndex device = input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
  return device == paNoDevice ? 0 : static_cast<std::uint32_t>(device + 1);
}

}  // namespace

std::uint32_t PortAudioBackend::defaultInputDevice() { return initialised_ ? preferJack(true) : 0; }

std::uint32_t PortAudioBackend::defaultOutputDevice() {
  return initialised_ ? preferJack(false) : 0;
}

namespace {

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
    // Never out of the audio thread.
  }
  return paContinue;
}

}  // namespace

QString PortAudioBackend::start(std::uint32_t id, IOFunction io, void* client) {
  const std::optional<AudioDeviceFacts> device = facts(id);
  if (!device) return QStringLiteral("no such device");
  std::lock_guard lock(mutex_);
  if (streams_.count(id)) return {};
  auto stream = std::make_unique<Stream>();
  stream->io = io;
  stream->client = client;
  stream->inputChannels = device->inputStreams.empty() ? 0 : device->inputStreams.front();
  stream->outputChannels = device->outputStreams.empty() ? 0 : device->outputStreams.front();
  const PaDeviceInfo* info = Pa_GetDeviceInfo(static_cast<PaDeviceIndex>(id - 1));
  PaStreamParameters in{static_cast<PaDeviceIndex>(id - 1), stream->inputChannels, paFloat32,
                        info->defaultLowInputLatency, nullptr};
  PaStreamParameters out{static_cast<PaDeviceIndex>(id - 1), stream->outputChannels, paFloat32,
                         info->defaultLowOutputLatency, nullptr};
  PaError error = Pa_OpenStream(&stream->stream, stream->inputChannels ? &in : nullptr,
                                stream->outputChannels ? &out : nullptr, device->sampleRate,
                                kFramesPerBuffer, paNoFlag, &streamCallback, stream.get());
  if (error == paNoError) error = Pa_StartStream(stream->stream);
  if (error != paNoError) {
    if (stream->stream) Pa_CloseStream(stream->stream);
    return QString::fromUtf8(Pa_GetErrorText(error));
  }
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
  const PaError error = Pa_StopStream(stream->stream);
  Pa_CloseStream(stream->stream);
  return error == paNoError ? QString() : QString::fromUtf8(Pa_GetErrorText(error));
}

void PortAudioBackend::setDevicesChangedHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  changed_ = std::move(handler);
}
