#include "framework/media/QKMovieTextureContext.h"

#include "framework/render/DeferredReleaseArrays.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/RenderThread.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"

#include <vector>

namespace {
using WeakList = std::vector<std::weak_ptr<QKMovieTextureContext>>;

struct Registry {
  std::mutex mutex;  // held briefly; the render thread only try-locks it
  WeakList contexts;
  bool handlerInstalled = false;
};

Registry& registry() {
  static Registry r;
  return r;
}

// A movie joins its decoder thread when it goes: never on the render thread.
void releaseOffRenderThread(std::shared_ptr<Movie> movie) {
  if (!movie || !gl::RenderThread::isRenderThread()) return;
  MainThread::post([movie = std::move(movie)]() mutable { movie.reset(); });
}
}  // namespace

std::shared_ptr<QKMovieTextureContext> QKMovieTextureContext::create() {
  auto context = std::make_shared<QKMovieTextureContext>();
  registerContext(context);
  return context;
}

QKMovieTextureContext::~QKMovieTextureContext() {
  std::shared_ptr<Movie> movie = output_.movie();
  output_.setMovie(nullptr);
  releaseOffRenderThread(std::move(movie));
  releaseOffRenderThread(std::move(attached_));
}

void QKMovieTextureContext::registerContext(const std::shared_ptr<QKMovieTextureContext>& context) {
  bool install = false;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::erase_if(r.contexts, [](const auto& weak) { return weak.expired(); });
    r.contexts.push_back(context);
    install = !r.handlerInstalled;
    r.handlerInstalled = true;
  }
  if (install) gl::RenderThread::instance().addFrameHandler([](const auto&) { renderAll(); });
}

void QKMovieTextureContext::renderAll() {
  // Kept across frames so that a frame allocates nothing.
  thread_local std::vector<std::shared_ptr<QKMovieTextureContext>> live;
  {
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.mutex, std::try_to_lock);
    if (!lock.owns_lock()) return;
    for (const auto& weak : r.contexts)
      if (auto context = weak.lock()) live.push_back(std::move(context));
  }
  for (const auto& context : live) context->updateOnRenderThread();
  live.clear();
}

void QKMovieTextureContext::attach(std::shared_ptr<Movie> movie) {
  std::lock_guard<std::mutex> lock(movieMutex_);
  attached_ = std::move(movie);
}

std::shared_ptr<Movie> QKMovieTextureContext::movie() const {
  std::lock_guard<std::mutex> lock(movieMutex_);
  return attached_;
}

void QKMovieTextureContext::updateOnRenderThread() {
  try {
    update();
  } catch (const std::exception& e) {
    Log::limited(QStringLiteral("QKMovieTextureContext"),
                 QStringLiteral("\t\terr: caught exception updating a movie texture: %1")
                     .arg(QString::fromUtf8(e.what())));
  }
}

bool QKMovieTextureContext::update() {
  std::shared_ptr<Movie> movie;
  {
    std::unique_lock<std::mutex> lock(movieMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    movie = attached_;
  }
  if (movie != output_.movie()) {
    std::shared_ptr<Movie> previous = output_.movie();
    output_.setMovie(movie);
    releaseOffRenderThread(std::move(previous));
    frameIndex_ = -1;
  }
  if (!movie || !output_.update(movie->clock().nowNanos())) return false;
  frameIndex_ = output_.frame()->index();
  return true;
}

void QKMovieTextureContext::releaseLater(std::shared_ptr<QKMovieTextureContext> context) {
  if (!context) return;
  context->detach();
  DeferredReleaseArrays::shared().addRenderer(std::move(context));
}
