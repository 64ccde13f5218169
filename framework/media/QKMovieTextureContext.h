#pragma once

#include "platform/gl/TextureHandle.h"
#include "platform/movie/MovieTextureOutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class Movie;

// The texture context of a pre-rolled movie: the frames of the movie it is
// attached to, as textures shared with the output context. It is made
// without any GL call, on any thread; on the render thread it takes the
// picture due at each frame and uploads it when it is new, so that the
// first picture of a pre-rolled movie is in a texture before anyone plays
// it. The render thread never waits on it (a busy context skips a frame).
//
// Attach and detach belong to the movie file, under the compositor's render
// lock; the file hands a context it lets go to the deferred-release arrays.
class QKMovieTextureContext {
 public:
  static std::shared_ptr<QKMovieTextureContext> create();
  QKMovieTextureContext() = default;
  ~QKMovieTextureContext();
  QKMovieTextureContext(const QKMovieTextureContext&) = delete;
  QKMovieTextureContext& operator=(const QKMovieTextureContext&) = delete;

  void attach(std::shared_ptr<Movie> movie);
  void detach() { attach(nullptr); }
  std::shared_ptr<Movie> movie() const;

  // Render thread: takes the picture due now; answers whether it changed.
  bool update();
  // Render thread: the texture of the picture (null before the first).
  const gl::TextureHandle& texture() const { return output_.texture(); }

  // Any thread: the frame number in the texture, or -1.
  int64_t frameIndex() const { return frameIndex_.load(); }
  bool hasPicture() const { return frameIndex() >= 0; }

  // Hands a context the caller lets go to the deferred-release arrays: the
  // render thread frees it after the frame under way.
  static void releaseLater(std::shared_ptr<QKMovieTextureContext> context);

 private:
  void updateOnRenderThread();
  static void registerContext(const std::shared_ptr<QKMovieTextureContext>& context);
  static void renderAll();

  mutable std::mutex movieMutex_;  // guards attached_ (briefly; the render thread try-locks)
  std::shared_ptr<Movie> attached_;
  std::atomic<int64_t> frameIndex_{-1};

  // Render thread only.
  MovieTextureOutput output_;
};
