// Movie decoding and seeking at 1080p, on clips the benchmark makes itself.
//   bench_movie --benchmark_filter=Decode   our decode-to-upload-ready path
//                                           beside the bare FFmpeg loop
//   bench_movie --benchmark_filter=Seek     random access and stepping back
//
// Where ours has a bare counterpart, each iteration runs both, in
// alternating order, so that both meet the same load of the machine; the
// counters give each one's mean time ("bare_ms", "ours_ms") and their ratio
// ("ours_vs_bare"). "store_MB" is the frame store's budget behind each
// figure of ours.
#include "bench/CoreBenchMain.h"
#include "bench/SideBySide.h"
#include "platform/movie/FrameStore.h"
#include "platform/movie/KeyframeIndex.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/VideoDecoder.h"
#include "tests/support/TestClip.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cstdio>
#include <functional>
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
// sides open their decoder once and decode the whole clip per pass (steady
// state: buffers already allocated).
class BareDecode {
 public:
  BareDecode(int threads, bool convert)
      : bare_(clip(TestClipSpec::Gop::Long), threads, FF_THREAD_FRAME | FF_THREAD_SLICE),
        convert_(convert),
        rgba_(size_t(kWidth) * kHeight * 4),
        packet_(av_packet_alloc()),
        frame_(av_frame_alloc()) {}
  ~BareDecode() {
    sws_freeContext(sws_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
  }

  int64_t pass() {
    AVFormatContext* fc = bare_.format;
    av_seek_frame(fc, bare_.stream, 0, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(bare_.codec);
    int64_t frames = 0;
    while (av_read_frame(fc, packet_) >= 0) {
      if (packet_->stream_index == bare_.stream) avcodec_send_packet(bare_.codec, packet_);
      av_packet_unref(packet_);
      frames += drain();
    }
    avcodec_send_packet(bare_.codec, nullptr);
    return frames + drain();
  }

 private:
  int64_t drain() {
    int64_t frames = 0;
    uint8_t* dst[4] = {rgba_.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {kWidth * 4, 0, 0, 0};
    while (avcodec_receive_frame(bare_.codec, frame_) == 0) {
      if (convert_) {
        sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height,
                                    AVPixelFormat(frame_->format), frame_->width, frame_->height,
                                    AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        sws_scale(sws_, frame_->data, frame_->linesize, 0, frame_->height, dst, dstStride);
      }
      benchmark::DoNotOptimize(frame_->data[0]);
      av_frame_unref(frame_);
      ++frames;
    }
    return frames;
  }

  BareDecoder bare_;
  bool convert_;
  std::vector<uint8_t> rgba_;
  AVPacket* packet_;
  AVFrame* frame_;
  SwsContext* sws_ = nullptr;
};

// Ours: the decoder the movie's worker runs, by frame number, every frame
// kept in the frame store as the render thread would find it.
class OurDecode {
 public:
  OurDecode(VideoFrame::Format format, int threads, int64_t storeBytes) : store_(storeBytes) {
    QString error;
    auto source = MovieByteSource::forFile(clip(TestClipSpec::Gop::Long), &error);
    movie_ = Movie::openFile(clip(TestClipSpec::Gop::Long), &error);
    VideoDecoder::Options options;
    options.format = format;
    options.threads = threads;
    decoder_ = VideoDecoder::create(source, movie_->info(), nullptr, options, &error);
  }

  int64_t pass() {
    for (int64_t i = 0; i < movie_->frameCount(); ++i) {
      auto frame = decoder_->decode(i, [&](const std::shared_ptr<const VideoFrame>& f) {
        store_.insert(f->index(), f, i, 1);
      });
      benchmark::DoNotOptimize(frame);
    }
    return movie_->frameCount();
  }

 private:
  std::shared_ptr<Movie> movie_;
  std::unique_ptr<VideoDecoder> decoder_;
  FrameStore store_;
};

// Runs `bare` and `ours` once per iteration, in alternating order, after
// the untimed `prepare`; the iteration time is their sum.
void sideBySide(benchmark::State& state, const std::function<void()>& bare,
                const std::function<void()>& ours, int64_t storeBytes,
                const std::function<void()>& prepare = {}) {
  const auto [bareSeconds, ourSeconds] = bench::sideBySide(state, bare, ours, prepare);
  const double n = double(state.iterations());
  state.counters["bare_ms"] = 1000 * bareSeconds / n;
  state.counters["ours_ms"] = 1000 * ourSeconds / n;
  state.counters["ours_vs_bare"] = ourSeconds / bareSeconds;
  state.counters["store_MB"] = double(storeBytes >> 20);
}

// Arguments: decoder threads, the frame store's budget in MB (a movie's
// default is 128). The bare loop converts to RGBA when ours does.
void BM_Decode(benchmark::State& state, VideoFrame::Format format) {
  BareDecode bare(int(state.range(0)), format == VideoFrame::Format::Rgba);
  OurDecode ours(format, int(state.range(0)), state.range(1) << 20);
  int64_t frames = 0;
  sideBySide(
      state, [&] { frames += bare.pass(); }, [&] { ours.pass(); }, state.range(1) << 20);
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
  state.counters["store_MB"] = double(options.cacheBytes >> 20);
}

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

// The floor for a seek in an all-intra clip: FFmpeg alone decoding one key
// frame (packet already in memory, the decoder drained per frame). One
// thread: the clip's frames are single slices, so slice threads would have
// nothing to share.
class BareIntraFrame {
 public:
  BareIntraFrame() : bare_(clip(TestClipSpec::Gop::AllIntra), 1, FF_THREAD_SLICE) {
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(bare_.format, packet) >= 0) {
      if (packet->stream_index == bare_.stream) packets_.push_back(av_packet_clone(packet));
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
    frame_ = av_frame_alloc();
  }
  ~BareIntraFrame() {
    for (AVPacket* p : packets_) av_packet_free(&p);
    av_frame_free(&frame_);
  }

  void decode(int64_t index) {
    avcodec_send_packet(bare_.codec, packets_[size_t(index) % packets_.size()]);
    avcodec_send_packet(bare_.codec, nullptr);
    while (avcodec_receive_frame(bare_.codec, frame_) == 0) av_frame_unref(frame_);
    avcodec_flush_buffers(bare_.codec);
  }

 private:
  BareDecoder bare_;
  std::vector<AVPacket*> packets_;
  AVFrame* frame_ = nullptr;
};

// A seek to a random frame of an all-intra clip, from the request to the
// frame in the store through the movie's worker (argument: its decoder
// threads), beside the floor decoding the same frame.
void BM_SeekRandomFrameAllIntra(benchmark::State& state) {
  ManualMovieClock clock;
  auto movie = openOnClock(TestClipSpec::Gop::AllIntra, state, clock);
  BareIntraFrame floor;
  std::mt19937 random(5);
  std::uniform_int_distribution<int64_t> pick(0, movie->frameCount() - 1);
  movie->preroll(10.0);
  int64_t target = 0;
  sideBySide(
      state, [&] { floor.decode(target); },
      [&] {
        movie->setCurrentTime(movie->info().time(movie->info().frameStart(target)));
        if (!movie->preroll(10.0)) state.SkipWithError("no frame");
      },
      Movie::Options().cacheBytes,
      [&] {
        target = pick(random);
        while (movie->frameStore().contains(target)) target = pick(random);
      });
}

// One frame back in a long-GOP clip while it plays forward: the frame is
// still in the store, so this is a cache hit. The figure is the step and
// the store lookup, plus the benchmark's own pause and resume of its timer
// around the playing, which are of the same order.
void BM_SeekBackOneFrameLongGopWarm_CacheHit(benchmark::State& state) {
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
  state.counters["store_MB"] = double(Movie::Options().cacheBytes >> 20);
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
  state.counters["store_MB"] = double(Movie::Options().cacheBytes >> 20);
}
}  // namespace

namespace {
// Decoder threads, and the frame store's budget in MB.
void decodeRuns(benchmark::internal::Benchmark* b) {
  for (const int storeMegabytes : {128, 16})
    for (const int threads : {1, 4}) b->Args({threads, storeMegabytes});
  b->UseManualTime()->MinTime(3.0)->Unit(benchmark::kMillisecond);
}
}  // namespace

BENCHMARK_CAPTURE(BM_Decode, ToRgba, VideoFrame::Format::Rgba)->Apply(decodeRuns);
BENCHMARK_CAPTURE(BM_Decode, ToYuv, VideoFrame::Format::Yuv420)->Apply(decodeRuns);
BENCHMARK(moviePlay)
    ->Name("BM_DecodeMoviePlayingRgba")
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SeekRandomFrameAllIntra)
    ->Arg(1)
    ->Arg(4)
    ->UseManualTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekBackOneFrameLongGopWarm_CacheHit)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SeekBackOneFrameLongGopCold)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) { return bench::runInTestEnvironment(argc, argv); }
