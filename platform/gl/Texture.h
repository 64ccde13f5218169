#pragma once

#include "platform/gl/GLObject.h"

#include <QSize>

#include <functional>
#include <memory>
#include <vector>

namespace gl {

enum class TextureTarget { Texture2D, Rectangle };
enum class TextureFormat { RGBA8, RGBA16F, R8 };  // R8: one plane of a YUV picture

struct YuvPicture;

// The storage of one colour texture: its size, target and format, and its
// GL name, which is made on first use on the render thread (so a texture
// can be asked for from any thread before any context exists) and made
// again if the context that held it went away.
class Texture {
 public:
  struct Spec {
    QSize size;
    TextureTarget target = TextureTarget::Texture2D;
    TextureFormat format = TextureFormat::RGBA8;
    bool operator==(const Spec& other) const {
      return size == other.size && target == other.target && format == other.format;
    }
  };

  explicit Texture(const Spec& spec) : spec_(spec) {}

  const Spec& spec() const { return spec_; }
  QSize size() const { return spec_.size; }
  GLenum glTarget() const;
  GLenum internalFormat() const;

  // The GL name, made now when needed; needs a context of the render
  // thread's share group current on the calling thread (0 without one).
  // A texture standing for a YUV picture is converted here the first time
  // (the GL state the caller set is kept).
  GLuint name();
  bool hasName() const { return object_.alive(); }
  // Deletes the GL storage (safely, see GLObject); the next name() makes a
  // new one.
  void releaseName() { object_.reset(); }

  // The YUV picture this texture stands for (render thread): drawing code
  // may sample its planes instead of the texture, which is then never
  // filled. Cleared when the texture goes back to its pool.
  void setYuvPicture(std::shared_ptr<const YuvPicture> picture);
  const std::shared_ptr<const YuvPicture>& yuvPicture() const { return yuv_; }
  // Whether the RGBA contents were made from the picture.
  bool yuvConverted() const { return yuvConverted_; }

  // Work to do before the texture is next written (render thread): images
  // not rendered yet that read it render first, so that they show what
  // they would have shown when they were made. Run once; expired entries
  // are skipped.
  using WriteObserver = std::weak_ptr<std::function<void()>>;
  void addWriteObserver(WriteObserver observer);
  void aboutToWrite();

 private:
  GLuint makeName();

  Spec spec_;
  GLObject object_;
  std::vector<WriteObserver> writeObservers_;
  std::shared_ptr<const YuvPicture> yuv_;
  bool yuvConverted_ = false;
};

}  // namespace gl
