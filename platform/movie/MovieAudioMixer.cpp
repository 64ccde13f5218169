#include "platform/movie/MovieAudioMixer.h"

#include "platform/foundation/Log.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

MovieAudioMixer::Stream::Stream(int capacityFrames)
    : ring_(size_t(capacityFrames) * kChannels), capacity_(capacityFrames) {}

int MovieAudioMixer::Stream::queuedFrames() const {
  return int(written_.load() - std::max(read_.load(), clearedUpTo_.load()));
}

int MovieAudioMixer::Stream::freeFrames() const {
  return capacity_ - int(written_.load() - read_.load());
}

int MovieAudioMixer::Stream::write(const float* interleaved, int frames) {
  frames = std::min(frames, freeFrames());
  int64_t at = written_.load();
  for (int i = 0; i < frames; ++i, ++at) {
    const size_t slot = size_t(at % capacity_) * kChannels;
    ring_[slot] = interleaved[2 * i];
    ring_[slot + 1] = interleaved[2 * i + 1];
  }
  written_.store(at);
  return frames;
}

int MovieAudioMixer::Stream::mixInto(float* out, int frames) {
  const int64_t cleared = clearedUpTo_.load();
  if (cleared > read_.load()) read_.store(cleared);
  const int64_t available = written_.load() - read_.load();
  const int n = int(std::min<int64_t>(frames, available));
  const float g = gain.load();
  int64_t at = read_.load();
  for (int i = 0; i < n; ++i, ++at) {
    const size_t slot = size_t(at % capacity_) * kChannels;
    out[2 * i] += ring_[slot] * g;
    out[2 * i + 1] += ring_[slot + 1] * g;
  }
  read_.store(at);
  return n;
}

MovieAudioMixer& MovieAudioMixer::shared() {
  static MovieAudioMixer* mixer = new MovieAudioMixer;  // lives as long as the audio callback
  return *mixer;
}

MovieAudioMixer::~MovieAudioMixer() = default;

std::shared_ptr<MovieAudioMixer::Stream> MovieAudioMixer::addStream(double seconds) {
  auto stream = std::make_shared<Stream>(std::max(1024, int(seconds * kSampleRate)));
  bool start = false;
  {
    std::lock_guard<std::mutex> lock(streamsMutex_);
    streams_.push_back(stream);
    if (!tried_ && outputEnabled_) {
      tried_ = true;
      start = true;
    }
  }
  if (start) startOutput();
  return stream;
}

void MovieAudioMixer::removeStream(const std::shared_ptr<Stream>& stream) {
  std::lock_guard<std::mutex> lock(streamsMutex_);
  streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
}

void MovieAudioMixer::pull(float* out, int frames) {
  std::memset(out, 0, sizeof(float) * size_t(frames) * kChannels);
  std::unique_lock<std::mutex> lock(streamsMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  for (const auto& stream : streams_) stream->mixInto(out, frames);
}

int MovieAudioMixer::queuedFrames() {
  std::lock_guard<std::mutex> lock(streamsMutex_);
  int most = 0;
  for (const auto& stream : streams_) most = std::max(most, stream->queuedFrames());
  return most;
}

namespace {
int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
             PaStreamCallbackFlags, void* user) {
  static_cast<MovieAudioMixer*>(user)->pull(static_cast<float*>(output), int(frames));
  return paContinue;
}
}  // namespace

void MovieAudioMixer::startOutput() {
  std::lock_guard<std::recursive_mutex> session(AudioSession::shared().mutex());
  std::lock_guard<std::mutex> output(outputMutex_);
  if (paStream_) return;
  static bool joined = false;
  if (!joined) {
    joined = true;
    AudioSession::shared().addClient(this);
  }
  if (!AudioSession::shared().initialise()) {
    Log::line("\t\terr: no sound output: movies play without sound");
    return;
  }
  const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
  if (device == paNoDevice) {
    Log::line("\t\terr: no sound device: movies play without sound");
    return;
  }
  PaStreamParameters params{};
  params.device = device;
  params.channelCount = kChannels;
  params.sampleFormat = paFloat32;
  params.suggestedLatency = Pa_GetDeviceInfo(device)->defaultLowOutputLatency;
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, nullptr, &params, kSampleRate, paFramesPerBufferUnspecified, paNoFlag,
                    &callback, this) != paNoError ||
      Pa_StartStream(stream) != paNoError) {
    Log::line("\t\terr: the sound device cannot be opened: movies play without sound");
    return;
  }
  paStream_ = stream;
  running_ = true;
}

void MovieAudioMixer::closeStreams() {
  std::lock_guard<std::mutex> output(outputMutex_);
  if (!paStream_) return;
  auto* stream = static_cast<PaStream*>(paStream_);
  Pa_StopStream(stream);
  Pa_CloseStream(stream);
  paStream_ = nullptr;
  running_ = false;
}

void MovieAudioMixer::reopenStreams() {
  if (tried_ && outputEnabled_) startOutput();
}
