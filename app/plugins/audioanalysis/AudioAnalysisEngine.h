#pragma once

#include "app/plugins/audioanalysis/QKAudioRingBuffer.h"
#include "app/plugins/audioanalysis/QKBiquadOpt.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/AudioRateConverter.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QKAAWaveViewSlice;

// The signal path of the audio analysis: each input cycle mixes the input
// channels by their weights, applies the gain, runs the block through every
// analysis band's band-pass and through the preview bank, and raises each
// band's held peak (its 1.5 power) and feeds its normaliser; the input may
// also go into a ring from which each output cycle of the pass-through
// device reads it back, converted to that device's rate and channels, and
// adds it to the output.
//
// Threads: `inputCycle` on the input device's IO thread, `outputCycle` on
// the output device's; everything else on the main thread. The IO path
// allocates nothing and never waits: the band list is an immutable array
// swapped whole (an old one is freed only once no input cycle can hold it),
// settings are atomics, buffers are made on the main thread at their
// largest size while the device controller holds its lock, and messages go
// through AudioThreadLog.
class AudioAnalysisEngine {
 public:
  static constexpr int kMaxChannels = 64;
  static constexpr int kMaxPreviewBands = QKBiquadOpt::kBandCount;
  static constexpr float kPreviewLow = 40.0f;
  static constexpr float kPreviewHigh = 20000.0f;
  static constexpr float kPreviewBandwidth = 0.23f;
  using BandList = std::vector<std::shared_ptr<QKAAWaveViewSlice>>;

  AudioAnalysisEngine();
  ~AudioAnalysisEngine();

  // --- IO threads (the audio plug-in's callbacks) ---
  std::int32_t inputCycle(const AudioStreamBuffer* input);
  std::int32_t outputCycle(AudioStreamBuffer* output);

  // --- Devices (main thread, under the device controller's lock) ---
  // The input's format as chosen: every weight 1.0, preview at the new
  // rate, bands follow the rate, write position 0.
  void setInputFormat(int channels, float sampleRate);
  // Attaches the input: buffers for `framesPerCycle` frames, the ring 16
  // cycles long, running, not paused.
  void attachInput(std::uint32_t framesPerCycle);
  void detachInput();
  // Attaches the pass-through output; a converter that cannot be made
  // leaves pass-through off (logged once).
  void attachOutput(int channels, float sampleRate, std::uint32_t framesPerCycle);
  void detachOutput();

  // --- Settings (main thread) ---
  void setBands(BandList bands);
  const BandList& bands() const { return *bandsOwned_.back(); }
  // Frees band lists no input cycle can still hold.
  void releaseRetiredBands();
  void setPause(bool pause) { pause_.store(pause); }
  bool pause() const { return pause_.load(); }
  bool running() const { return running_.load(); }
  bool passThruRunning() const { return passThruRunning_.load(); }
  void setGain(float gain) { gain_.store(gain); }
  float gain() const { return gain_.load(); }
  void setChannelWeight(int channel, float weight);
  float channelWeight(int channel) const;
  int inputChannelCount() const { return inputChannels_; }
  float inputSampleRate() const { return inputSampleRate_; }
  void setNormalizeLevels(bool on);
  bool normalizeLevels() const { return normalizeLevels_.load(); }
  void setPresetIsLoading(bool loading) { presetIsLoading_.store(loading); }
  void setPassThruAudio(bool on) { passThruAudio_.store(on); }
  bool passThruAudio() const { return passThruAudio_.load(); }
  void setCollapsed(bool collapsed) { collapsed_.store(collapsed); }
  // Clamped to 1..128; recomputes the bank.
  void setPreviewBandCount(int count);
  int previewBandCount() const { return previewBandCount_.load(); }
  void setPreviewRunning(bool on) { previewRunning_.store(on); }
  bool previewRunning() const { return previewRunning_.load(); }
  void recomputePreview();
  QKBiquadOpt& previewBQ() { return previewBQ_; }
  std::uint64_t lastWriteTime() const { return lastWriteTime_.load(); }

 private:
  void analyse(const float* samples, int frames);

  std::atomic<bool> running_{false};
  std::atomic<bool> pause_{false};
  std::atomic<bool> presetIsLoading_{false};
  std::atomic<bool> passThruAudio_{true};
  std::atomic<bool> passThruRunning_{false};
  std::atomic<bool> previewRunning_{false};
  std::atomic<bool> collapsed_{false};
  std::atomic<bool> normalizeLevels_{true};
  std::atomic<float> gain_{1.0f};
  std::array<std::atomic<float>, kMaxChannels> channelMask_;
  std::atomic<int> previewBandCount_{40};

  int inputChannels_ = 0;
  float inputSampleRate_ = 44100.0f;
  std::vector<float> samples_;
  int samplesCapacity_ = 0;

  // The band list the input cycle walks, and the lists it may still hold.
  std::atomic<const BandList*> bands_{nullptr};
  std::atomic<bool> inCycle_{false};
  std::vector<std::unique_ptr<const BandList>> bandsOwned_;

  QKBiquadOpt previewBQ_;

  // Pass-through.
  QKAudioRingBuffer ring_;
  std::atomic<std::uint64_t> lastWriteTime_{0};
  std::uint64_t lastReadTime_ = 0;
  AudioRateConverter converter_;
  int outputChannels_ = 0;
  float outputSampleRate_ = 0;
  double readFraction_ = 0;
  int readCapacity_ = 0;
  int readChannels_ = 0;
  int outputCapacity_ = 0;
  std::vector<float> readBuffer_;    // input channels, from the ring
  std::vector<float> mappedBuffer_;  // output channels, into the converter
  std::vector<float> convertedBuffer_;
};
