#include "platform/audio/AudioRateConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <vector>

AudioRateConverter::~AudioRateConverter() { close(); }

void AudioRateConverter::close() {
  if (context_) swr_free(&context_);
}

QString AudioRateConverter::open(int channels, int inputRate, int outputRate, int maxInputFrames,
                                 int maxOutputFrames) {
  close();
  if (channels <= 0 || inputRate <= 0 || outputRate <= 0)
    return QStringLiteral("no channels or no sample rate");
  AVChannelLayout layout;
  av_channel_layout_default(&layout, channels);
  int error = swr_alloc_set_opts2(&context_, &layout, AV_SAMPLE_FMT_FLT, outputRate, &layout,
                                  AV_SAMPLE_FMT_FLT, inputRate, 0, nullptr);
  av_channel_layout_uninit(&layout);
  if (error >= 0) error = swr_init(context_);
  if (error < 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    close();
    return QString::fromUtf8(text);
  }
  // Grow the internal buffers now, then drop what the priming produced.
  std::vector<float> in(std::size_t(maxInputFrames) * std::size_t(channels), 0.0f);
  std::vector<float> out(std::size_t(maxOutputFrames + 64) * std::size_t(channels));
  for (int i = 0; i < 2; ++i) convert(in.data(), maxInputFrames, out.data(), maxOutputFrames + 64);
  swr_drop_output(context_, swr_get_out_samples(context_, 0));
  return {};
}

int AudioRateConverter::convert(const float* input, int inputFrames, float* output,
                                int maxOutputFrames) {
  if (!context_) return 0;
  const auto* in = reinterpret_cast<const uint8_t*>(input);
  auto* out = reinterpret_cast<uint8_t*>(output);
  const int written = swr_convert(context_, &out, maxOutputFrames, &in, inputFrames);
  return written < 0 ? 0 : written;
}
