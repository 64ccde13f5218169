#pragma once

#include "framework/media/QKImageFile.h"

#include <atomic>
#include <memory>

namespace composition {
class QCRenderer;
}

// The still image a composition context feeds to its composition's
// "imageFileInput": the bitmap held, and the one replaced last, which the
// renderer may still read until the next draw. A bitmap reaches the
// renderer once per change (or per new renderer), and a replaced one is
// released through the deferred-release arrays, never directly.
//
// The owner's lock orders the loading thread's calls (take, fileChanged)
// against the render thread's (beforeRender … afterDraw).
class SourceImageFeed {
 public:
  static const QString kInputKey;  // "imageFileInput"

  SourceImageFeed() = default;
  ~SourceImageFeed();
  SourceImageFeed(const SourceImageFeed&) = delete;
  SourceImageFeed& operator=(const SourceImageFeed&) = delete;

  // False (logged) for the bitmap already held; null lets it go.
  bool take(const QKImageFile::Bitmap& bitmap);
  // A composition was loaded (`unloaded`: none is now).
  void fileChanged(bool unloaded);
  // Render thread: before and after the context's own render, and after
  // its draw.
  void beforeRender(composition::QCRenderer* renderer);
  void afterRender(composition::QCRenderer* renderer);
  void afterDraw();

  const QKImageFile::Bitmap& held() const { return held_; }
  const QKImageFile::Bitmap& pending() const { return toPurge_; }
  bool needsUpdate() const { return needsUpdate_.load(); }
  // Render thread: how often a bitmap was handed to a renderer.
  int feeds() const { return feeds_; }

 private:
  void purgePending();

  QKImageFile::Bitmap held_;
  QKImageFile::Bitmap toPurge_;
  std::atomic<bool> needsUpdate_{false};
  // Render thread: the renderer fed last (compared, never used).
  const composition::QCRenderer* fed_ = nullptr;
  int feeds_ = 0;
};
