#include "app/plugins/audioanalysis/AudioAnalysisEngine.h"

#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"
#include "platform/audio/AudioThreadLog.h"
#include "platform/audio/Dsp.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kNoInput = "inABL was NULL";
constexpr const char* kNoInputData = "inABL->mBuffers[0].mData was NULL";
constexpr std::uint32_t kRingCycles = 16;

// The 1.5 power in which held peaks are kept.
inline float heldScale(float peak) { return float(double(peak) * std::sqrt(double(peak))); }

}  // namespace

AudioAnalysisEngine::AudioAnalysisEngine() {
  for (auto& weight : channelMask_) weight.store(0.0f);
  bandsOwned_.push_back(std::make_unique<const BandList>());
  bands_.store(bandsOwned_.back().get());
  recomputePreview();
}

AudioAnalysisEngine::~AudioAnalysisEngine() = default;

// --- Input cycle -------------------------------------------------------------------------------

std::int32_t AudioAnalysisEngine::inputCycle(const AudioStreamBuffer* input) {
  if (!running_.load(std::memory_order_acquire) || pause_.load(std::memory_order_acquire)) return 0;
  if (!input) {
    AudioThreadLog::note(kNoInput);
    return 0;
  }
  if (!input->data) {
    AudioThreadLog::note(kNoInputData);
    return 0;
  }
  const int frames = std::min(std::max(0, input->frames), samplesCapacity_);
  const int channels = std::min(input->channels, kMaxChannels);
  if (frames == 0 || channels <= 0) return 0;
  if (passThruAudio_.load(std::memory_order_relaxed) && channels == ring_.channels()) {
    const std::uint64_t at = lastWriteTime_.load(std::memory_order_relaxed);
    ring_.store(input->data, std::uint32_t(frames), at);
    lastWriteTime_.store(at + std::uint64_t(frames), std::memory_order_release);
  }
  if (presetIsLoading_.load(std::memory_order_relaxed)) return 0;
  float weights[kMaxChannels];
  for (int c = 0; c < channels; ++c)
    weights[c] = channelMask_[std::size_t(c)].load(std::memory_order_relaxed);
  if (input->channels > kMaxChannels) {
    // Channels past the weights' table are left out of the mix.
    for (int n = 0; n < frames; ++n) {
      const float* frame = input->data + std::size_t(n) * std::size_t(input->channels);
      float sum = 0;
      for (int c = 0; c < kMaxChannels; ++c) sum += frame[c] * weights[c];
      samples_[std::size_t(n)] = sum;
    }
  } else {
    Dsp::mixWeighted(input->data, frames, channels, weights, samples_.data());
  }
  analyse(samples_.data(), frames);
  return 0;
}

void AudioAnalysisEngine::analyse(const float* samples, int frames) {
  // Silence is judged on the largest magnitude, before the gain.
  const bool silent = Dsp::maxMagnitude(samples, frames) == 0.0f;
  float* block = samples_.data();
  Dsp::scale(block, frames, gain_.load(std::memory_order_relaxed));
  const bool normalize = normalizeLevels_.load(std::memory_order_relaxed);

  inCycle_.store(true);
  const BandList* bands = bands_.load();
  for (const auto& band : *bands) {
    float peak = 0;
    if (!silent) {
      float coeffs[5];
      band->coefficients(coeffs);
      peak = Dsp::biquadPeak(block, frames, coeffs);
    }
    if (normalize) band->levelNormalizer().addValue(peak);
    band->raiseTempPeak(heldScale(peak));
  }
  inCycle_.store(false);

  if (!previewRunning_.load(std::memory_order_relaxed) ||
      collapsed_.load(std::memory_order_relaxed))
    return;
  const int count =
      std::clamp(previewBandCount_.load(std::memory_order_relaxed), 1, kMaxPreviewBands);
  for (int i = 0; i < count; ++i) {
    float peak = 0;
    if (!silent) {
      float coeffs[5];
      previewBQ_.coefficients(i, coeffs);
      peak = Dsp::biquadPeak(block, frames, coeffs);
    }
    previewBQ_.raisePeak(i, heldScale(peak));
  }
}

// --- Output cycle ------------------------------------------------------------------------------

std::int32_t AudioAnalysisEngine::outputCycle(AudioStreamBuffer* output) {
  const std::uint64_t written = lastWriteTime_.load(std::memory_order_acquire);
  if (!passThruRunning_.load(std::memory_order_acquire) ||
      !running_.load(std::memory_order_acquire) || pause_.load(std::memory_order_acquire) ||
      !output || !output->data) {
    lastReadTime_ = written;
    return 0;
  }
  const int outFrames = std::min(std::max(0, output->frames), outputCapacity_);
  if (outFrames == 0) return 0;
  // The input frames this output cycle consumes, the fraction carried on.
  const double exact =
      outFrames * double(inputSampleRate_) / double(outputSampleRate_) + readFraction_;
  const int inFrames = std::min(int(exact), readCapacity_);
  readFraction_ = exact - int(exact);
  // Read behind the writer, never past it nor so far behind that the ring
  // was overwritten: no drift between the two clocks is corrected otherwise.
  const std::uint64_t total = ring_.totalFrames();
  if (lastReadTime_ + std::uint64_t(inFrames) > written ||
      written - lastReadTime_ + std::uint64_t(inFrames) > total)
    lastReadTime_ = written >= std::uint64_t(inFrames) ? written - std::uint64_t(inFrames) : 0;
  const int inChannels = ring_.channels();
  if (inChannels != readChannels_) return 0;  // the input changed under us
  float* read = readBuffer_.data();
  if (written >= std::uint64_t(inFrames))
    ring_.retrieve(read, std::uint32_t(inFrames), lastReadTime_);
  else
    std::fill_n(read, std::size_t(inFrames) * std::size_t(inChannels), 0.0f);
  lastReadTime_ += std::uint64_t(inFrames);

  // Channels switched off are silent; channels past the output's count fold
  // onto output channel c mod count; output channel i plays input i mod
  // input count.
  const int outChannels = outputChannels_;
  for (int c = 0; c < inChannels; ++c) {
    const float weight =
        c < kMaxChannels ? channelMask_[std::size_t(c)].load(std::memory_order_relaxed) : 0.0f;
    if (weight == 0.0f)
      Dsp::clearStrided(read + c, inChannels, inFrames);
    else if (c >= outChannels)
      Dsp::addStrided(read + c, inChannels, read + (c % outChannels), inChannels, inFrames);
  }
  float* mapped = mappedBuffer_.data();
  for (int k = 0; k < inFrames; ++k)
    for (int i = 0; i < outChannels; ++i)
      mapped[std::size_t(k) * std::size_t(outChannels) + std::size_t(i)] =
          inChannels > 0
              ? read[std::size_t(k) * std::size_t(inChannels) + std::size_t(i % inChannels)]
              : 0.0f;
  const int produced = converter_.convert(mapped, inFrames, convertedBuffer_.data(), outFrames);
  const int channels = std::min(outChannels, output->channels);
  for (int k = 0; k < produced; ++k)
    for (int i = 0; i < channels; ++i)
      output->data[std::size_t(k) * std::size_t(output->channels) + std::size_t(i)] +=
          convertedBuffer_[std::size_t(k) * std::size_t(outChannels) + std::size_t(i)];
  return 0;
}

// --- Devices -----------------------------------------------------------------------------------

void AudioAnalysisEngine::setInputFormat(int channels, float sampleRate) {
  inputChannels_ = std::clamp(channels, 0, kMaxChannels);
  if (sampleRate > 0) inputSampleRate_ = sampleRate;
  for (int c = 0; c < kMaxChannels; ++c)
    channelMask_[std::size_t(c)].store(c < inputChannels_ ? 1.0f : 0.0f);
  recomputePreview();
  for (const auto& band : bands()) band->setSampleRate(inputSampleRate_);
  lastWriteTime_.store(0);
}

void AudioAnalysisEngine::attachInput(std::uint32_t framesPerCycle) {
  samplesCapacity_ = int(framesPerCycle);
  samples_.assign(framesPerCycle, 0.0f);
  ring_.allocate(inputChannels_, kRingCycles * framesPerCycle);
  lastWriteTime_.store(0);
  running_.store(true);
  pause_.store(false);
}

void AudioAnalysisEngine::detachInput() {
  running_.store(false);
  samples_ = {};
  samplesCapacity_ = 0;
  pause_.store(false);
}

void AudioAnalysisEngine::attachOutput(int channels, float sampleRate,
                                       std::uint32_t framesPerCycle) {
  passThruRunning_.store(false);
  ring_.clear();
  outputChannels_ = channels;
  outputSampleRate_ = sampleRate;
  outputCapacity_ = int(framesPerCycle);
  readCapacity_ = inputSampleRate_ > 0 && sampleRate > 0
                      ? int(std::ceil(framesPerCycle * double(inputSampleRate_) / sampleRate)) + 1
                      : 0;
  readChannels_ = ring_.channels();
  readBuffer_.assign(std::size_t(readCapacity_) * std::size_t(std::max(1, readChannels_)), 0.0f);
  mappedBuffer_.assign(std::size_t(readCapacity_) * std::size_t(std::max(1, channels)), 0.0f);
  convertedBuffer_.assign(std::size_t(outputCapacity_) * std::size_t(std::max(1, channels)), 0.0f);
  readFraction_ = 0;
  const QString error =
      converter_.open(channels, int(std::lround(inputSampleRate_)), int(std::lround(sampleRate)),
                      readCapacity_, outputCapacity_);
  if (!error.isEmpty() || ring_.totalFrames() == 0) {
    Log::line(QStringLiteral("\t\terror making audio converter: %1")
                  .arg(error.isEmpty() ? QStringLiteral("no input attached") : error));
    converter_.close();
    return;
  }
  lastWriteTime_.store(0);
  lastReadTime_ = 0;
  passThruRunning_.store(true);
}

void AudioAnalysisEngine::detachOutput() {
  passThruRunning_.store(false);
  converter_.close();
  outputChannels_ = 0;
  outputCapacity_ = 0;
  readCapacity_ = 0;
}

// --- Settings ----------------------------------------------------------------------------------

void AudioAnalysisEngine::setBands(BandList bands) {
  const bool normalize = normalizeLevels_.load();
  for (const auto& band : bands) {
    band->setNormalize(normalize);
    band->setSampleRate(inputSampleRate_);
  }
  bandsOwned_.push_back(std::make_unique<const BandList>(std::move(bands)));
  bands_.store(bandsOwned_.back().get());
  releaseRetiredBands();
}

void AudioAnalysisEngine::releaseRetiredBands() {
  if (bandsOwned_.size() <= 1 || inCycle_.load()) return;
  // No cycle runs now, and any cycle from here on finds the newest list.
  bandsOwned_.erase(bandsOwned_.begin(), bandsOwned_.end() - 1);
}

void AudioAnalysisEngine::setChannelWeight(int channel, float weight) {
  if (channel < 0 || channel >= kMaxChannels || !std::isfinite(weight)) return;
  channelMask_[std::size_t(channel)].store(weight);
}

float AudioAnalysisEngine::channelWeight(int channel) const {
  if (channel < 0 || channel >= kMaxChannels) return 0.0f;
  return channelMask_[std::size_t(channel)].load();
}

void AudioAnalysisEngine::setNormalizeLevels(bool on) {
  normalizeLevels_.store(on);
  for (const auto& band : bands()) band->setNormalize(on);
}

void AudioAnalysisEngine::setPreviewBandCount(int count) {
  previewBandCount_.store(std::clamp(count, 1, kMaxPreviewBands));
  recomputePreview();
}

void AudioAnalysisEngine::recomputePreview() {
  previewBQ_.setOptimizedFilterArray(0, previewBandCount_.load(), QKBiquadOpt::kBandPass, 1.0f,
                                     kPreviewLow, kPreviewHigh, inputSampleRate_,
                                     kPreviewBandwidth);
}
