#pragma once

#include "framework/taps/QKTapManager.h"
#include "framework/render/QKBufferHolder.h"
#include "platform/gl/TextureHandle.h"

#include <QString>

#include <memory>

class QKSTap;

// The meeting point of a source and the receivers of its name: holds the
// current frame (one counted reference). Shared by the manager's table, the
// source and the receivers; when the manager drops it, it is detached (no
// source), so a producer still holding it only keeps its own frame.
//
// Everything here is guarded by the manager's lock, which the compositor
// holds across its tap pass (the calls there re-enter it cheaply).
class QKRTapStub {
 public:
  static std::shared_ptr<QKRTapStub> create(std::shared_ptr<QKTapManager::Link> link,
                                            QKSTap* source);
  QKRTapStub(std::shared_ptr<QKTapManager::Link> link, QKSTap* source);
  QKRTapStub(const QKRTapStub&) = delete;
  QKRTapStub& operator=(const QKRTapStub&) = delete;

  // Keeps the frame (null allowed). Tap frames are 2D textures: a rectangle
  // texture is refused (logged) and stands as no frame. The first frame
  // after boundsChanged updates the receivers' sizes.
  void setTextureRef(gl::TextureHandle frame);
  // The buffer's texture becomes the frame, and every frame given this way
  // updates the receivers' sizes.
  void setTextureRefFromOpenGLBufferRef(const QKBufferHolderPtr& buffer);
  // Tells every receiver of the source's name.
  void updateTextureSize();
  void boundsChanged();
  // -1, 0 or 1 by the depth of the two sources' layers (0 without a layer).
  int layerDepthComparison(const QKRTapStub& other) const;

  gl::TextureHandle textureRef() const;
  // The source, null once detached; valid while the caller holds the lock.
  QKSTap* sTap() const;
  bool questionableColors() const;
  void setQuestionableColors(bool questionable);
  QString description() const;

 private:
  friend class QKRTap;
  friend class QKTapManager;
  using Lock = std::lock_guard<std::recursive_mutex>;
  int depth() const;  // under the lock
  void keep(gl::TextureHandle frame);

  const std::shared_ptr<QKTapManager::Link> link_;
  // Under link_->mutex:
  QKSTap* sTap_;
  gl::TextureHandle textureRef_;
  bool resetBounds_ = true;
  bool questionableColors_ = false;
  int sortDepth_ = 0;  // the depth while the manager sorts the stubs
};
