// Movie decoding and seeking at 1080p, on clips the benchmark makes itself.
//   bench_movie --benchmark_filter=Decode   our decode-to-upload-ready path
//                                           beside the bare FFmpeg loop
//   bench_movie --benchmark_filter=Seek     random access and stepping back
#include "platform/movie/FrameStore.h"
#include "platform/movie/KeyframeIndex.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/VideoDecoder.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <QCoreApplication>

#include <cstdio>
#include <map>
#include <random>

namespace {
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kDecodeFrames = 60;

const QString& clip(TestClipSpec::Gop gop) {
  static std::map<TestClipSpec::Gop, QString> paths;
  auto it = paths.find(gop);
  if (it != paths.end()) return it->second;
  TestClipSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.frames = kDecodeFrames;
  spec.gop = gop;
  spec.gopSize = 30;
  // Coded colour in every block: about 10 MB/s long-GOP, 25 MB/s all-intra.
  spec.chromaNoise = 3;
  spec.quality = 22;
  QString error;
  const QString path = TestClip::create(spec, QStringLiteral("bench.mov"), &error);
  if (!error.isEmpty()) std::fprintf(stderr, "clip: %s\n", qPrintable(error));
  return paths[gop] = path;
}

// FFmpeg alone: the clip's demuxer and its picture decoder.
struct BareDecoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  int stream = -1;

  BareDecoder(const QString& path, int threads, int threadType) {
    avformat_open_input(&format, path.toLocal8Bit().constData(), nullptr, nullptr);
    avformat_find_stream_info(format, nullptr);
    stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* decoder = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
    codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    codec->thread_count = threads;
    codec->thread_type = threadType;
    avcodec_open2(codec, decoder, nullptr);
  }
  ~BareDecoder() {
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

// The bare loop: demux, decode, convert into one reused RGBA buffer. Both
// sides open their decoder once and decode the whole clip per iteration
// (steady state: buffers already allocated).
void bareDecode(benchmark::State& state, bool convert) {
  std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
  uint8_t* dst[4] = {rgba.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {kWidth * 4, 0, 0, 0};
  BareDecoder bare(clip(TestClipSpec::Gop::Long), int(state.range(0)),
                   FF_THREAD_FRAME | FF_THREAD_SLICE);
  AVFormatContext* fc = bare.format;
  AVCodecContext* c = bare.codec;
  const int stream = bare.stream;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* sws = nullptr;
  int64_t frames = 0;
  auto drain = [&] {
    while (avcodec_receive_frame(c, frame) == 0) {
      if (convert) {
        sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format),
                                   frame->width, frame->height, AV_PIX_FMT_RGBA, SWS_BILINEAR,
                                   nullptr, nullptr, nullptr);
        sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
      }
      benchmark::DoNotOptimize(frame->data[0]);
      av_frame_unref(frame);
      ++frames;
    }
  };
  for (auto _ : state) {
    av_seek_frame(fc, stream, 0, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(c);
    while (av_read_frame(fc, packet) >= 0) {
      if (packet->stream_index == stream) avcodec_send_packet(c, packet);
      av_packet_unref(packet);
      drain();
    }
    avcodec_send_packet(c, nullptr);
    drain();
  }
  sws_freeContext(sws);
  av_frame_free(&frame);
  av_packet_free(&packet);
  state.SetItemsProcessed(frames);
}

// Ours: the decoder the movie's worker runs, by frame number, every frame
// kept in the frame store as the render thread would find it (the second
// argument is the store's budget in MB; a movie's default is 128).
void movieDecode(benchmark::State& state, VideoFrame::Format format) {
  QString error;
  auto source = MovieByteSource::forFile(clip(TestClipSpec::Gop::Long), &error);
  auto movie = Movie::openFile(clip(TestClipSpec::Gop::Long), &error);
  VideoDecoder::Options options;
  options.format = format;
  options.threads = int(state.range(0));
  auto decoder = VideoDecoder::create(source, movie->info(), nullptr, options, &error);
  FrameStore store(state.range(1) << 20);
  int64_t frames = 0;
  for (auto _ : state) {
    for (int64_t i = 0; i < movie->frameCount(); ++i) {
      auto frame = decoder->decode(i, [&](const std::shared_ptr<const VideoFrame>& f) {
        store.insert(f->index(), f, i, 1);
      });
      benchmark::DoNotOptimize(frame);
      ++frames;
    }
  }
  state.SetItemsProcessed(frames);
}

// Ours end to end: the worker thread decoding ahead while the clock runs
// (four frames per step, as fast as the frames come).
void moviePlay(benchmark::State& state) {
  ManualMovieClock clock;
  Movie::Options options;
  options.clock = &clock;
  options.frameFormat = VideoFrame::Format::Rgba;
  options.decoderThreads = int(state.range(0));
  options.framesAhead = 8;
  QString error;
  int64_t frames = 0;
  for (auto _ : state) {
    auto movie = Movie::openFile(clip(TestClipSpec::Gop::Long), &error, options);
    movie->play();
    for (int64_t i = 0; i + 4 < movie->frameCount(); i += 4) {
      movie->preroll(10.0);
      clock.advance(4.0 / 30.0);
      frames += 4;
    }
  }
  state.SetItemsProcessed(frames);
}

void BM_DecodeBareFFmpegToRgba(benchmark::State& state) { bareDecode(state, true); }
void BM_DecodeMovieToRgba(benchmark::State& state) { movieDecode(state, VideoFrame::Format::Rgba); }
void BM_DecodeBareFFmpegOnly(benchmark::State& state) { bareDecode(state, false); }
void BM_DecodeMovieToYuv(benchmark::State& state) { movieDecode(state, VideoFrame::Format::Yuv420); }

// A movie of the clip on a standing clock, decoding with the benchmark's
// thread count.
std::shared_ptr<Movie> openOnClock(TestClipSpec::Gop gop, const benchmark::State& state,
                                   ManualMovieClock& clock) {
  Movie::Options options;
  options.clock = &clock;
  options.decoderThreads = int(state.range(0));
  QString error;
  return Movie::openFile(clip(gop), &error, options);
}

// A seek to a random frame of an all-intra clip: from the request to the
// frame in the store, through the movie's worker.
void BM_SeekRandomFrameAllIntra(benchmark::State& state) {
  ManualMovieClock clock;
  auto movie = openOnClock(TestClipSpec::Gop::AllIntra, state, clock);
  std::mt19937 random(5);
  std::uniform_int_distribution<int64_t> pick(0, movie->frameCount() - 1);
  movie->preroll(10.0);
  for (auto _ : state) {
    state.PauseTiming();
    int64_t target = pick(random);
    while (movie->frameStore().contains(target)) target = pick(random);
    state.ResumeTiming();
    movie->setCurrentTime(movie->info().time(movie->info().frameStart(target)));
    if (!movie->preroll(10.0)) state.SkipWithError("no frame");
  }
}

// The floor for the seek above: FFmpeg alone decoding one key frame of the
// same clip (packet already in memory, the decoder drained per frame).
void BM_SeekFloorBareIntraFrameDecode(benchmark::State& state) {
  BareDecoder bare(clip(TestClipSpec::Gop::AllIntra), int(state.range(0)), FF_THREAD_SLICE);
  AVFormatContext* fc = bare.format;
  AVCodecContext* c = bare.codec;
  const int stream = bare.stream;
  std::vector<AVPacket*> packets;
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(fc, packet) >= 0) {
    if (packet->stream_index == stream) packets.push_back(av_packet_clone(packet));
    av_packet_unref(packet);
  }
  AVFrame* frame = av_frame_alloc();
  std::mt19937 random(5);
  for (auto _ : state) {
    AVPacket* p = packets[random() % packets.size()];
    avcodec_send_packet(c, p);
    avcodec_send_packet(c, nullptr);
    while (avcodec_receive_frame(c, frame) == 0) av_frame_unref(frame);
    avcodec_flush_buffers(c);
  }
  for (AVPacket* p : packets) av_packet_free(&p);
  av_packet_free(&packet);
  av_frame_free(&frame);
}

// One frame back in a long-GOP clip while it plays forward (the cache warm):
// from the step to the frame in the store.
void BM_SeekBackOneFrameLongGop(benchmark::State& state) {
  ManualMovieClock clock;
  auto movie = openOnClock(TestClipSpec::Gop::Long, state, clock);
  std::mt19937 random(9);
  std::uniform_int_distribution<int64_t> pick(31, movie->frameCount() - 2);
  for (auto _ : state) {
    state.PauseTiming();
    // Playing forward to a point: the frames behind the head are cached.
    const int64_t at = pick(random);
    movie->setCurrentTime(movie->info().time(movie->info().frameStart(at - 12)));
    movie->preroll(10.0);
    for (int64_t i = at - 11; i <= at; ++i) {
      movie->setCurrentTime(movie->info().time(movie->info().frameStart(i)));
      movie->preroll(10.0);
    }
    state.ResumeTiming();
    movie->stepBackward();
    if (!movie->preroll(10.0)) state.SkipWithError("no frame");
  }
}

// The same with a cold cache: the decoder goes back to the key frame.
void BM_SeekBackOneFrameLongGopCold(benchmark::State& state) {
  ManualMovieClock clock;
  std::mt19937 random(9);
  for (auto _ : state) {
    state.PauseTiming();
    auto movie = openOnClock(TestClipSpec::Gop::Long, state, clock);
    const int64_t at = std::uniform_int_distribution<int64_t>(31, movie->frameCount() - 2)(random);
    movie->setCurrentTime(movie->info().time(movie->info().frameStart(at)));
    movie->preroll(10.0);
    const_cast<FrameStore&>(movie->frameStore()).clear();
    state.ResumeTiming();
    movie->stepBackward();
    if (!movie->preroll(10.0)) state.SkipWithError("no frame");
    state.PauseTiming();
    movie.reset();
    state.ResumeTiming();
  }
}
}  // namespace

BENCHMARK(BM_DecodeBareFFmpegToRgba)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
// Second argument: the frame store's budget in MB (the movie's default cache is 128).
BENCHMARK(BM_DecodeMovieToRgba)->Args({1, 128})->Args({4, 128})->Args({1, 16})->Args({4, 16})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeBareFFmpegOnly)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeMovieToYuv)->Args({1, 128})->Args({4, 128})->Args({1, 16})->Args({4, 16})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(moviePlay)->Name("BM_DecodeMoviePlayingRgba")->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SeekRandomFrameAllIntra)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SeekFloorBareIntraFrameDecode)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SeekBackOneFrameLongGop)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SeekBackOneFrameLongGopCold)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  TestEnvironment::prepareProcess();
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TestEnvironment::cleanUpProcess();
  return 0;
}
