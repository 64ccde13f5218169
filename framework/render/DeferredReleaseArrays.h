#pragma once

#include <QObject>

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

// The two arrays through which GPU objects are given up: objects the render
// thread may still be using in the frame under way (composition renderers,
// render targets, buffers, uploaded bitmaps) are handed over here instead
// of being released, and released on the render thread after the frame.
// A renderer goes at the next renderer purge; a buffer at the 30th buffer
// purge after its hand-over.
//
// Hand-overs come from any thread. The render thread purges after every
// frame (renderers first, then buffers); while it is not running, a timer
// on the main thread purges instead, so nothing piles up. Each array has its
// own mutex, held only to add or to take the due objects out: the objects
// are released after it is let go (a released object may hand over others).
// The two mutexes are never held together. The purges after a frame only
// try them and skip a busy array.
class DeferredReleaseArrays {
 public:
  static constexpr int kBufferPurges = 30;
  static constexpr int kIdlePurgeMilliseconds = 500;

  // The process's arrays, purged by the render thread after each frame and
  // by the main-thread fallback.
  static DeferredReleaseArrays& shared();

  DeferredReleaseArrays() = default;
  ~DeferredReleaseArrays();
  DeferredReleaseArrays(const DeferredReleaseArrays&) = delete;
  DeferredReleaseArrays& operator=(const DeferredReleaseArrays&) = delete;

  // Takes over the caller's reference; null is ignored.
  void addRenderer(std::shared_ptr<void> renderer);
  void addBuffer(std::shared_ptr<void> buffer);

  void purgeRenderers();
  // Counts every waiting buffer down; those that reach 0 are released.
  void purgeBuffers();
  // Both purges, in that order: what the render thread does after a frame.
  // An array another thread is adding to just then is skipped (it is purged
  // the next time), so the caller never waits.
  void purgeAfterFrame();
  // The main-thread fallback: purges when the render thread is not running.
  // Answers whether it purged.
  bool purgeIfNoFrameIsDrawn();

  // Registers the purges with the render thread and starts the main-thread
  // fallback timer (shared() does this once).
  void attach();

  std::size_t pendingRenderers() const;
  std::size_t pendingBuffers() const;

 private:
  struct Buffer {
    std::shared_ptr<void> object;
    int count = kBufferPurges;
  };

  void releaseRenderers(std::unique_lock<std::mutex> lock);
  void releaseBuffers(std::unique_lock<std::mutex> lock);

  mutable std::mutex rendererMutex_;
  std::vector<std::shared_ptr<void>> renderers_;
  mutable std::mutex bufferMutex_;
  std::vector<Buffer> buffers_;
  int frameEndHook_ = 0;
  std::unique_ptr<QObject> idleTimerOwner_;
};
