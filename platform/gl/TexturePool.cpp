#include "platform/gl/TexturePool.h"

#include <algorithm>
#include <atomic>

namespace gl {

struct TexturePool::State {
  struct Idle {
    std::unique_ptr<Texture> texture;
    int idleTrims = 0;
  };
  mutable std::mutex mutex;
  std::vector<Idle> idle;  // most recently returned last
  std::atomic<int> maxTextureSize{16384};
  std::atomic<std::size_t> created{0};

  static void giveBack(const std::weak_ptr<State>& weak, Texture* texture) {
    std::unique_ptr<Texture> owned(texture);
    // A picture's planes go back too (outside the lock: they come here).
    owned->setYuvPicture(nullptr);
    if (std::shared_ptr<State> state = weak.lock()) {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->idle.push_back(Idle{std::move(owned), 0});
    }
    // Without the pool the texture is deleted here (GLObject defers the GL
    // deletion to the render thread when needed).
  }
};

TexturePool::TexturePool() : state_(std::make_shared<State>()) {}

TexturePool::~TexturePool() = default;

TexturePool& TexturePool::shared() {
  static TexturePool pool;
  return pool;
}

TextureHandle TexturePool::acquire(QSize size, TextureTarget target, TextureFormat format) {
  const int limit = state_->maxTextureSize.load();
  if (size.isEmpty() || size.width() > limit || size.height() > limit) return {};
  const Texture::Spec spec{size, target, format};
  std::unique_ptr<Texture> texture;
  // Never waits for a texture being given back: a busy pool hands out a new
  // texture instead.
  if (std::unique_lock<std::mutex> lock(state_->mutex, std::try_to_lock); lock.owns_lock()) {
    auto& idle = state_->idle;
    for (auto it = idle.rbegin(); it != idle.rend(); ++it) {
      if (it->texture->spec() == spec) {
        texture = std::move(it->texture);
        idle.erase(std::next(it).base());
        break;
      }
    }
  }
  if (!texture) {
    texture = std::make_unique<Texture>(spec);
    state_->created.fetch_add(1);
  }
  std::weak_ptr<State> weak = state_;
  std::shared_ptr<Texture> storage(texture.release(),
                                   [weak](Texture* t) { State::giveBack(weak, t); });
  return TextureHandle(std::move(storage));
}

void TexturePool::trim(int maxIdleTrims) {
  std::vector<State::Idle> expired;
  {
    // A busy pool is trimmed the next time.
    std::unique_lock<std::mutex> lock(state_->mutex, std::try_to_lock);
    if (!lock.owns_lock()) return;
    auto& idle = state_->idle;
    for (auto& entry : idle) ++entry.idleTrims;
    auto keep = std::stable_partition(idle.begin(), idle.end(), [maxIdleTrims](const auto& e) {
      return e.idleTrims <= maxIdleTrims;
    });
    std::move(keep, idle.end(), std::back_inserter(expired));
    idle.erase(keep, idle.end());
  }
  // Deleted outside the lock.
}

void TexturePool::releaseIdle() {
  std::vector<State::Idle> all;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    all.swap(state_->idle);
  }
}

void TexturePool::setMaxTextureSize(int size) {
  if (size > 0) state_->maxTextureSize.store(size);
}

int TexturePool::maxTextureSize() const { return state_->maxTextureSize.load(); }

std::size_t TexturePool::idleCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->idle.size();
}

std::size_t TexturePool::createdCount() const { return state_->created.load(); }

}  // namespace gl
