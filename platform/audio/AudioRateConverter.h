#pragma once

#include <QString>

struct SwrContext;

// Interleaved float32 from one sample rate to another, with the same channel
// count on both sides (libswresample). Made on the main thread, where its
// buffers are grown to the largest block it will be given, so that
// `convert` on an IO thread allocates nothing.
class AudioRateConverter {
 public:
  AudioRateConverter() = default;
  ~AudioRateConverter();
  AudioRateConverter(const AudioRateConverter&) = delete;
  AudioRateConverter& operator=(const AudioRateConverter&) = delete;

  // Answers the error, empty on success.
  QString open(int channels, int inputRate, int outputRate, int maxInputFrames,
               int maxOutputFrames);
  void close();
  bool isOpen() const { return context_ != nullptr; }

  // Converts `inputFrames` frames, writing at most `maxOutputFrames`;
  // answers the frames written (0 on error).
  int convert(const float* input, int inputFrames, float* output, int maxOutputFrames);

 private:
  SwrContext* context_ = nullptr;
};
