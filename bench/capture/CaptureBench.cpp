// A live input's picture from its source to a texture ready on the render
// thread, beside bare FFmpeg doing the least the same picture needs.
//
// Ours: a 1280 × 720 MJPEG movie read by a `CaptureInput` in its unpaced
// mode (a picture is read when asked for, not at the clip's rate): the
// render thread asks for a picture and sleeps; the capture thread wakes,
// reads, decodes and hands the picture over (the hand-over hook wakes the
// render thread: the benchmark's only addition); the render thread takes
// it and uploads it with `MovieTextureUploader` (the YUV planes into pooled
// textures; the layer's draw converts them in its own shader), then glFinish.
// Bare: on the render thread, av_read_frame and the same decoder (one
// thread, as ours), then the three planes as they came out of the decoder
// uploaded into textures made beforehand, then glFinish.
// Both read the same file from its start, one picture per iteration, and
// start over at its end.
// Besides the two times: "bare_decode_ms" is the bare read and decode
// alone, "capture_upload_ms" our upload alone (from the
// picture taken to the texture ready), and the "_cpu_ms" figures the CPU
// time of the capture thread per picture and of the bare read and decode
// (on a loaded machine the wall times of two threads say more about the
// scheduler than about the work).
// "PictureDrawn" is the draw that converts: one uploaded picture drawn pixel
// on pixel into a 1280 × 720 target from its planes (what a layer's draw now
// does), beside the same picture as a plain RGBA texture drawn the same way
// (what the layer's draw cost once a separate pass had converted it), both
// checked to make the same pixels. "PictureConvertedThenDrawn" is the way
// before: a separate conversion pass, then the RGBA draw.
// Run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_capture
#include "bench/RenderThreadBench.h"
#include "platform/capture/CaptureInput.h"
#include "platform/capture/CaptureRecorder.h"
#include "platform/capture/CaptureSettings.h"
#include "platform/capture/CaptureStream.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLObject.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/Texture.h"
#include "platform/gl/YuvConverter.h"
#include "platform/gl/YuvPicture.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/gl/TextureHandle.h"
#include "platform/movie/MovieTextureUploader.h"
#include "platform/movie/VideoFrame.h"
#include "tests/support/TestEnvironment.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QDir>
#include <benchmark/benchmark.h>

#include <pthread.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 90;
constexpr int kFps = 30;

// The plain decoding loop: the file's packets, decoded one by one, starting
// over at the end.
class BareDecoder {
 public:
  ~BareDecoder() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    if (format_) avformat_close_input(&format_);
  }
  bool open(const QString& path) {
    if (avformat_open_input(&format_, path.toUtf8().constData(), nullptr, nullptr) < 0)
      return false;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream_ < 0) return false;
    const AVCodecParameters* parameters = format_->streams[stream_]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder) return false;
    codec_ = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec_, parameters);
    codec_->thread_count = 1;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    return avcodec_open2(codec_, decoder, nullptr) >= 0;
  }
  // The next picture (owned by the decoder), or null on a failure.
  const AVFrame* next() {
    for (;;) {
      av_packet_unref(packet_);
      const int read = av_read_frame(format_, packet_);
      if (read == AVERROR_EOF) {
        if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0) return nullptr;
        avcodec_flush_buffers(codec_);
        continue;
      }
      if (read < 0) return nullptr;
      if (packet_->stream_index != stream_) continue;
      if (avcodec_send_packet(codec_, packet_) < 0) return nullptr;
      const int received = avcodec_receive_frame(codec_, frame_);
      if (received == AVERROR(EAGAIN)) continue;
      return received < 0 ? nullptr : frame_;
    }
  }

 private:
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
};

double seconds(const timespec& t) { return double(t.tv_sec) + 1e-9 * double(t.tv_nsec); }

// The CPU seconds a thread has used so far (0 when its clock is not known).
double cpuSeconds(clockid_t clock) {
  timespec now{};
  return clock_gettime(clock, &now) == 0 ? seconds(now) : 0.0;
}

// The capture thread's hand-overs, counted by its hook, which also learns
// the thread's CPU clock.
class HandOvers {
 public:
  void handedOver() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!known_.load()) known_.store(pthread_getcpuclockid(pthread_self(), &clock_) == 0);
      ++count_;
    }
    arrived_.notify_one();
  }
  // Render thread: sleeps until a hand-over after the one seen last.
  void awaitNext() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return count_ != seen_; });
    seen_ = count_;
  }
  double threadCpuSeconds() {
    std::lock_guard<std::mutex> lock(mutex_);
    return known_.load() ? cpuSeconds(clock_) : 0.0;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  uint64_t count_ = 0;  // under mutex_
  uint64_t seen_ = 0;
  clockid_t clock_{};
  std::atomic<bool> known_{false};
};

struct Scene {
  std::unique_ptr<CaptureInput> input;
  HandOvers handOvers;
  uint64_t lastSerial = 0;
  BareDecoder bare;
  double bareDecodeSeconds = 0;
  double bareDecodeCpuSeconds = 0;
  double uploadSeconds = 0;
  double captureCpuSeconds = 0;
  // Render thread:
  std::unique_ptr<MovieTextureUploader> uploader;
  gl::TextureHandle texture;
  std::array<gl::GLObject, 3> planes;
  gl::TextureHandle picture;  // a YUV picture, and the same as RGBA
  gl::TextureHandle pictureRgba;
  std::unique_ptr<gl::RenderTarget> drawTarget;
};
Scene* scene = nullptr;

void finish() { gl::GLContext::current()->functions().glFinish(); }

void oursFrame() {
  const double cpuBefore = scene->handOvers.threadCpuSeconds();
  scene->input->requestFrame();
  scene->handOvers.awaitNext();
  std::shared_ptr<const VideoFrame> frame;
  while (!scene->input->tryNewestFrame(&frame) || !frame || frame->serial() == scene->lastSerial)
    std::this_thread::yield();  // the hook runs with the hand-over held
  scene->lastSerial = frame->serial();
  if (cpuBefore > 0) scene->captureCpuSeconds += scene->handOvers.threadCpuSeconds() - cpuBefore;
  const auto t0 = std::chrono::steady_clock::now();
  scene->texture = scene->uploader->upload(*frame);
  finish();
  scene->uploadSeconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void makePlanes() {
  gl::GLContext* context = gl::GLContext::current();
  gl::GLFunctions& f = context->functions();
  for (int i = 0; i < 3; ++i) {
    const int width = i == 0 ? kWidth : kWidth / 2;
    const int height = i == 0 ? kHeight : kHeight / 2;
    GLuint name = 0;
    f.glGenTextures(1, &name);
    scene->planes[size_t(i)] =
        gl::GLObject(gl::GLObject::Kind::Texture, name, context->shareGroupLifetime());
    f.glBindTexture(GL_TEXTURE_2D, name);
    f.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    f.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    f.glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width, height, 0, GL_RED, GL_UNSIGNED_BYTE, nullptr);
  }
  f.glBindTexture(GL_TEXTURE_2D, 0);
}

void bareFrame() {
  const auto started = std::chrono::steady_clock::now();
  const double cpuBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const AVFrame* frame = scene->bare.next();
  scene->bareDecodeCpuSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
  scene->bareDecodeSeconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!frame) return;
  gl::GLFunctions& f = gl::GLContext::current()->functions();
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 3; ++i) {
    f.glBindTexture(GL_TEXTURE_2D, scene->planes[size_t(i)].name());
    f.glPixelStorei(GL_UNPACK_ROW_LENGTH, frame->linesize[i]);
    f.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, i == 0 ? kWidth : kWidth / 2,
                      i == 0 ? kHeight : kHeight / 2, GL_RED, GL_UNSIGNED_BYTE, frame->data[i]);
  }
  f.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  f.glBindTexture(GL_TEXTURE_2D, 0);
  finish();
}

void BM_CaptureToTexture(benchmark::State& state) {
  scene->bareDecodeSeconds = scene->bareDecodeCpuSeconds = 0;
  scene->uploadSeconds = scene->captureCpuSeconds = 0;
  const bench::SideBySideSeconds own = bench::sideBySideOnRenderThread(state, oursFrame, bareFrame);
  const double n = double(state.iterations());
  state.counters["capture_ms"] = 1000 * own.first / n;
  state.counters["bare_ms"] = 1000 * own.second / n;
  state.counters["capture_vs_bare"] = own.first / own.second;
  state.counters["capture_upload_ms"] = 1000 * scene->uploadSeconds / n;
  state.counters["bare_decode_ms"] = 1000 * scene->bareDecodeSeconds / n;
  state.counters["capture_thread_cpu_ms"] = 1000 * scene->captureCpuSeconds / n;
  state.counters["bare_decode_cpu_ms"] = 1000 * scene->bareDecodeCpuSeconds / n;
}

// The picture pixel on pixel over the draw target, cleared first.
void drawPicture(const gl::TextureHandle& texture) {
  gl::GLContext* context = gl::GLContext::current();
  scene->drawTarget->bind();
  scene->drawTarget->clear(QVector4D(0, 0, 0, 0));
  context->setProjection(scene->drawTarget->projection());
  const float w = float(kWidth), h = float(kHeight);
  gl::QuadShader::forCurrentContext()->draw(texture, QRectF(0, 0, w, h),
                                            gl::QuadShader::TexCoords{0, 0, w, h},
                                            QVector4D(1, 1, 1, 1), false, true);
  finish();
}

void drawYuvPicture() { drawPicture(scene->picture); }
void drawRgbaPicture() { drawPicture(scene->pictureRgba); }
// The way a picture reached the canvas before: a separate pass converts it
// into its RGBA texture, which is then drawn.
void convertThenDrawPicture() {
  gl::Texture& texture = *scene->picture.storage();
  gl::YuvConverter::convert(texture, *texture.yuvPicture());
  drawPicture(scene->pictureRgba);
}

QImage drawnBy(void (*draw)()) {
  draw();
  return gl::TextureReader::read(scene->drawTarget->attached());
}

void BM_PictureDrawn(benchmark::State& state) {
  int agreement = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    agreement = bench::largestDifference(drawnBy(drawYuvPicture), drawnBy(drawRgbaPicture));
  });
  bench::besideBareOnRenderThread(state, "yuv_draw", drawYuvPicture, drawRgbaPicture, agreement, 3);
}

void BM_PictureConvertedThenDrawn(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "convert_then_draw", convertThenDrawPicture,
                                  drawRgbaPicture, 0, 0);
}

// One picture of the source, uploaded, and the same converted into a plain
// RGBA texture, rows top first like an upload (render thread).
bool makePictures(const VideoFrame& frame) {
  gl::TexturePool& pool = gl::TexturePool::shared();
  scene->picture = scene->uploader->upload(frame);
  gl::TextureHandle rgba = pool.acquire(QSize(kWidth, kHeight));
  gl::RenderTarget converting;
  converting.setProjection(gl::RenderTarget::bottomUpOrtho(QSizeF(kWidth, kHeight)));
  if (!scene->picture || !converting.bind(rgba)) return false;
  gl::GLContext::current()->setProjection(converting.projection());
  const float w = float(kWidth), h = float(kHeight);
  gl::QuadShader::forCurrentContext()->draw(scene->picture, QRectF(0, 0, w, h),
                                            gl::QuadShader::TexCoords{0, 0, w, h},
                                            QVector4D(1, 1, 1, 1), false, true);
  scene->pictureRgba = rgba.withFlipped(true);
  scene->drawTarget = std::make_unique<gl::RenderTarget>();
  scene->drawTarget->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kWidth, kHeight)));
  return scene->drawTarget->bind(pool.acquire(QSize(kWidth, kHeight)));
}

// A camera-like source: the moving test picture with sensor noise, through
// the recorder's MJPEG encoder (what a recording of a raw camera holds).
QString writeSource() {
  const QString path =
      QDir(TestEnvironment::makeTempDir(QStringLiteral("capture"))).filePath("source.mov");
  CaptureSettings pattern;
  pattern.backend = CaptureSettings::Backend::TestPattern;
  pattern.devicePath =
      QStringLiteral("testsrc2=size=%1x%2:rate=%3,noise=alls=12:allf=t,format=yuv420p")
          .arg(kWidth)
          .arg(kHeight)
          .arg(kFps);
  QString error;
  auto stream = CaptureStream::open(pattern, &error);
  auto recorder = stream
                      ? CaptureRecorder::create(path, nullptr, kFps, QSize(kWidth, kHeight), &error)
                      : nullptr;
  for (int n = 0; recorder && n < kFrames && error.isEmpty(); ++n)
    if (stream->readPacket(&error) && stream->decode(n, &error))
      recorder->writeFrame(stream->lastDecoded(), &error);
  if (recorder && error.isEmpty()) recorder->finish(&error);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "source: %s\n", qPrintable(error));
    return {};
  }
  return path;
}

bool makeScene() {
  const QString path = writeSource();
  if (path.isEmpty()) return false;
  CaptureSettings file;
  file.backend = CaptureSettings::Backend::File;
  file.devicePath = path;
  file.unpaced = true;
  QString error;
  scene->input = CaptureInput::open(file, &error);
  if (scene->input) scene->input->setHandOverHook([] { scene->handOvers.handedOver(); });
  if (!scene->input || !scene->input->start({}, &error, nullptr) || !scene->bare.open(path)) {
    std::fprintf(stderr, "input: %s\n", qPrintable(error));
    return false;
  }
  scene->input->requestFrame();
  std::shared_ptr<const VideoFrame> frame;
  for (int i = 0; i < 5000 && (!scene->input->tryNewestFrame(&frame) || !frame); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!frame) return false;
  scene->lastSerial = frame->serial();
  bool made = false;
  gl::RenderThread::instance().invokeAndWait([&] {
    scene->uploader = std::make_unique<MovieTextureUploader>();
    makePlanes();
    made = makePictures(*frame);
  });
  return made;
}

}  // namespace

int main(int argc, char** argv) {
  TestEnvironment::prepareProcess();
  const int status = bench::runOnRenderThread(
      argc, argv,
      [] {
        scene = new Scene;
        return true;
      },
      [] {
        if (!makeScene()) {
          std::fprintf(stderr, "the scene could not be made\n");
          return;
        }
        benchmark::AddCustomContext("source", "1280x720 MJPEG, 90 frames, read in a loop");
        benchmark::RegisterBenchmark("CaptureToTexture", BM_CaptureToTexture)
            ->UseManualTime()
            ->MinTime(5.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("PictureDrawn", BM_PictureDrawn)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("PictureConvertedThenDrawn", BM_PictureConvertedThenDrawn)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
      },
      [] {
        if (!scene) return;
        scene->texture = {};
        scene->picture = {};
        scene->pictureRgba = {};
        scene->drawTarget.reset();
        scene->uploader.reset();
        for (auto& plane : scene->planes) plane = {};
      });
  if (scene) scene->input.reset();
  TestEnvironment::cleanUpProcess();
  return status;
}
