#include "framework/audio/QKAudioDeviceController.h"

#include "framework/audio/QKAudioPlugin.h"
#include "platform/audio/AudioThreadLog.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <numeric>

const QString QKAudioDeviceController::kUnnamedDevice = QStringLiteral("Unnamed audio device");

namespace {

constexpr std::uint32_t kBytesPerSample = 4;
constexpr const char* kInputClientError = "error: %ld at audio device: %ld passing audio to input";
constexpr const char* kOutputClientError =
    "error: %ld at audio device: %ld passing audio to output";

int sum(const std::vector<int>& counts) { return std::accumulate(counts.begin(), counts.end(), 0); }

}  // namespace

QKAudioDeviceController::QKAudioDeviceController(AudioBackend& backend, std::uint32_t deviceID)
    : backend_(backend), deviceID_(deviceID) {
  if (deviceID == 0) {
    Log::line(QStringLiteral("\t\terror creating unknown audio device"));
    return;
  }
  const std::optional<AudioDeviceFacts> facts = backend.facts(deviceID);
  if (!facts) {
    Log::line(QStringLiteral("\t\terror getting device name"));
    deviceName_ = kUnnamedDevice;
    return;
  }
  deviceName_ = facts->name.isEmpty() ? kUnnamedDevice : facts->name;
  deviceSampleRate_ = facts->sampleRate;
  const std::uint32_t frames = static_cast<std::uint32_t>(std::max(0, facts->framesPerBuffer));
  inputBuffersArray_ = facts->inputStreams;
  outputBuffersArray_ = facts->outputStreams;
  inputChannelCount_ = sum(inputBuffersArray_);
  outputChannelCount_ = sum(outputBuffersArray_);
  outputBufferSize_ = outputChannelCount_ * frames * kBytesPerSample;
  deviceBufferSize_ = (inputChannelCount_ > 0 ? inputChannelCount_ : outputChannelCount_) * frames *
                      kBytesPerSample;
  if (inputChannelCount_ > 0) {
    inputFrameCount_ = deviceBufferSize_ / (inputChannelCount_ * kBytesPerSample);
    fakeInputBuffer_.assign(deviceBufferSize_ / kBytesPerSample, 0.0f);
  }
  if (outputChannelCount_ > 0) {
    outputFrameCount_ = outputBufferSize_ / (outputChannelCount_ * kBytesPerSample);
    fakeOutputBuffer_.assign(outputBufferSize_ / kBytesPerSample, 0.0f);
  }
}

QKAudioDeviceController::~QKAudioDeviceController() {
  std::lock_guard lock(callbackLock_);
  setIsRunningLocked(false);
}

// --- Clients ----------------------------------------------------------------------------

void QKAudioDeviceController::subscribeObject(QKAudioPlugin* plugin, bool isInput) {
  if (!plugin || deleted()) return;
  std::lock_guard lock(callbackLock_);
  QKAudioDeviceController* current = isInput ? plugin->audioSource() : plugin->audioDest();
  // Already here: taking our own lock again would deadlock, and nothing
  // is to change.
  if (current == this) return;
  if (current) current->unsubscribeObject(plugin, isInput);
  (isInput ? inputsArray_ : outputsArray_).push_back(plugin);
  recomputeFlagsLocked();
  if (inputsRunning_ || outputsRunning_) setIsRunningLocked(true);
  if (isInput)
    plugin->setAudioSource(this);
  else
    plugin->setAudioDest(this);
}

void QKAudioDeviceController::unsubscribeObject(QKAudioPlugin* plugin, bool isInput) {
  if (!plugin || deleted()) return;
  std::lock_guard lock(callbackLock_);
  removeFromSideLocked(plugin, isInput);
  recomputeFlagsLocked();
  if (!inputsRunning_ && !outputsRunning_) setIsRunningLocked(false);
  if (isInput)
    plugin->setAudioSource(nullptr);
  else
    plugin->setAudioDest(nullptr);
}

void QKAudioDeviceController::deleteObject(QKAudioPlugin* plugin) {
  if (!plugin || deleted()) return;
  std::lock_guard lock(callbackLock_);
  removeFromSideLocked(plugin, true);
  removeFromSideLocked(plugin, false);
  recomputeFlagsLocked();
  if (!inputsRunning_ && !outputsRunning_) setIsRunningLocked(false);
}

void QKAudioDeviceController::removeFromSideLocked(QKAudioPlugin* plugin, bool isInput) {
  std::erase(isInput ? inputsArray_ : outputsArray_, plugin);
}

void QKAudioDeviceController::recomputeFlagsLocked() {
  inputsRunning_.store(!inputsArray_.empty());
  outputsRunning_.store(!outputsArray_.empty());
}

int QKAudioDeviceController::inputClientCount() const {
  std::lock_guard lock(const_cast<std::mutex&>(callbackLock_));
  return static_cast<int>(inputsArray_.size());
}

int QKAudioDeviceController::outputClientCount() const {
  std::lock_guard lock(const_cast<std::mutex&>(callbackLock_));
  return static_cast<int>(outputsArray_.size());
}

// --- Start and stop ------------------------------------------------------------------------

void QKAudioDeviceController::setIsRunningLocked(bool run) {
  if (deleted()) {
    isRunning_ = inputsRunning_ = outputsRunning_ = false;
    return;
  }
  if (run == isRunning_.load() || deviceID_ == 0) return;
  if (run) {
    const QString error = backend_.start(deviceID_, &QKAudioDeviceController::audioIOProc, this);
    if (!error.isEmpty()) {
      Log::line(
          QStringLiteral("\t\terror: %1 at starting the audio device %2").arg(error, deviceName_));
      return;
    }
    isRunning_ = true;
    return;
  }
  const QString error = backend_.stop(deviceID_);
  if (!error.isEmpty())
    Log::line(
        QStringLiteral("\t\terror: %1 at stopping the audio device %2").arg(error, deviceName_));
  isRunning_ = false;
}

// --- Retirement ------------------------------------------------------------------------------

void QKAudioDeviceController::detachAllLocked() {
  for (QKAudioPlugin* plugin : inputsArray_) plugin->setAudioSource(nullptr);
  for (QKAudioPlugin* plugin : outputsArray_) plugin->setAudioDest(nullptr);
  inputsArray_.clear();
  outputsArray_.clear();
}

void QKAudioDeviceController::prepareToQuit() {
  if (deleted()) return;
  std::lock_guard lock(callbackLock_);
  detachAllLocked();
  setIsRunningLocked(false);
  deleted_ = true;
  inputsRunning_ = outputsRunning_ = false;
}

void QKAudioDeviceController::prepareToBeDeleted() {
  if (deleted()) return;
  prepareToQuit();
  std::lock_guard lock(callbackLock_);
  fakeInputBuffer_ = {};
  fakeOutputBuffer_ = {};
}

// --- The IO cycle ------------------------------------------------------------------------------

void QKAudioDeviceController::audioIOProc(void* client, const AudioStreamBuffer* inputs,
                                          int inputCount, AudioStreamBuffer* outputs,
                                          int outputCount, double now) {
  if (auto* device = static_cast<QKAudioDeviceController*>(client))
    device->ioCycle(inputs, inputCount, outputs, outputCount, now);
}

void QKAudioDeviceController::writeSilence(AudioStreamBuffer* outputs, int outputCount) {
  for (int i = 0; i < outputCount; ++i)
    if (outputs[i].data)
      std::fill_n(outputs[i].data, std::size_t(outputs[i].frames) * outputs[i].channels, 0.0f);
}

void QKAudioDeviceController::ioCycle(const AudioStreamBuffer* inputs, int inputCount,
                                      AudioStreamBuffer* outputs, int outputCount, double now) {
  std::unique_lock lock(callbackLock_, std::try_to_lock);
  if (!lock.owns_lock() || deleted()) {
    // Busy (or retired): this cycle plays silence rather than what the
    // device's buffers held before.
    writeSilence(outputs, outputCount);
    return;
  }
  AudioStreamBuffer interleavedIn{fakeInputBuffer_.data(), inputChannelCount_, 0};
  AudioStreamBuffer interleavedOut{fakeOutputBuffer_.data(), outputChannelCount_, 0};
  if (inputsRunning_.load() && !inputsArray_.empty()) {
    // The cycle's own frames, never more than the interleaved buffer holds.
    int frames = static_cast<int>(inputFrameCount_);
    for (int s = 0; s < inputCount; ++s) frames = std::min(frames, std::max(0, inputs[s].frames));
    interleavedIn.frames = frames;
    const int c = inputChannelCount_;
    std::fill_n(fakeInputBuffer_.data(), std::size_t(c) * frames, 0.0f);
    int j = 0;
    for (int s = 0; s < inputCount && j < c; ++s) {
      const AudioStreamBuffer& stream = inputs[s];
      if (!stream.data) {
        j += stream.channels;
        continue;
      }
      for (int channel = 0; channel < stream.channels && j < c; ++channel, ++j)
        for (int k = 0; k < frames; ++k)
          fakeInputBuffer_[std::size_t(k) * c + j] +=
              stream.data[std::size_t(k) * stream.channels + channel];
    }
    interleavedOut.frames = std::min<int>(frames, outputFrameCount_);
    for (QKAudioPlugin* plugin : inputsArray_) {
      if (plugin->audioSource() != this) continue;
      const std::int32_t result = plugin->audioPluginInputIOProc(
          deviceID_, now, &interleavedIn, fakeOutputBuffer_.empty() ? nullptr : &interleavedOut);
      if (result != 0) AudioThreadLog::note(kInputClientError, result, long(deviceID_));
    }
  }
  if (outputsRunning_.load() && !outputsArray_.empty()) {
    int frames = static_cast<int>(outputFrameCount_);
    for (int s = 0; s < outputCount; ++s) frames = std::min(frames, std::max(0, outputs[s].frames));
    interleavedOut.frames = frames;
    for (QKAudioPlugin* plugin : outputsArray_) {
      if (plugin->audioDest() != this) continue;
      const std::int32_t result = plugin->audioPluginOutputIOProc(
          deviceID_, now, fakeInputBuffer_.empty() ? nullptr : &interleavedIn, &interleavedOut);
      if (result != 0) AudioThreadLog::note(kOutputClientError, result, long(deviceID_));
    }
    const int c = outputChannelCount_;
    int j = 0;
    for (int s = 0; s < outputCount; ++s) {
      AudioStreamBuffer& stream = outputs[s];
      if (!stream.data) {
        j += stream.channels;
        continue;
      }
      for (int channel = 0; channel < stream.channels; ++channel, ++j)
        for (int k = 0; k < stream.frames; ++k)
          stream.data[std::size_t(k) * stream.channels + channel] =
              (j < c && k < frames) ? fakeOutputBuffer_[std::size_t(k) * c + j] : 0.0f;
    }
    std::fill_n(fakeOutputBuffer_.data(), std::size_t(c) * frames, 0.0f);
  }
}
