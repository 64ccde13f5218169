#pragma once

#include "platform/gl/TextureHandle.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace gl {

// The render textures of the process, kept by size, target and format. A
// texture handed out comes back when its last handle is gone and is handed
// out again for the same size; textures left idle for a while are deleted
// by trim(), which the render thread calls after every frame.
//
// acquire() and the return of textures are safe from any thread and make no
// GL call (storage is made on first use on the render thread); trim() and
// releaseIdle() run on the render thread. acquire() and trim() never wait
// for a texture being given back: acquire() then makes a new texture and
// trim() skips its turn.
class TexturePool {
 public:
  // Textures idle for more trims than this are deleted.
  static constexpr int kDefaultIdleTrims = 90;

  TexturePool();
  ~TexturePool();
  TexturePool(const TexturePool&) = delete;
  TexturePool& operator=(const TexturePool&) = delete;

  // The render thread's pool.
  static TexturePool& shared();

  // A texture of the size (contents undefined), or a null handle for an
  // empty size or one beyond the largest texture the GL takes.
  TextureHandle acquire(QSize size, TextureTarget target = TextureTarget::Texture2D,
                        TextureFormat format = TextureFormat::RGBA8);

  void trim(int maxIdleTrims = kDefaultIdleTrims);
  // Deletes every idle texture now.
  void releaseIdle();

  // The largest side a texture may have (learned from the GL when the
  // render thread starts; 16384 until then).
  void setMaxTextureSize(int size);
  int maxTextureSize() const;

  std::size_t idleCount() const;
  std::size_t createdCount() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace gl
