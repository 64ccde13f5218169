#pragma once

#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TextureHandle.h"

#include <QRectF>
#include <QSize>
#include <QVector4D>

namespace gl {

class GLContext;
struct YuvPicture;

// The textured-quad shader that stands in for fixed-function drawing: one
// quad with a texture (2D or rectangle), the context's current ortho
// projection, a colour multiplier (the old MODULATE with glColor) and an
// optional vertical flip. Blending is whatever the target has set.
class QuadShader {
 public:
  // Texture coordinates in texels of the quad's corners: (s0, t0) at the
  // dest rectangle's (left, top) corner, (s1, t1) at (right, bottom); t
  // counts rows from the texture's first row.
  struct TexCoords {
    float s0 = 0, t0 = 0, s1 = 0, t1 = 0;
  };

  // The shader of the context current on this thread (built on first use).
  static QuadShader* forCurrentContext();

  // `flip` turns t into (texture height − t). `nearest` reads the texel
  // each pixel's centre lies in, unfiltered: the same, and much cheaper,
  // where texels lie pixel on pixel (rectangle textures are filtered).
  void draw(GLuint texture, GLenum target, QSize textureSize, const QRectF& dest,
            const TexCoords& tex, const QVector4D& colour = QVector4D(1, 1, 1, 1),
            bool flip = false, bool nearest = false);
  // A texture standing for a YUV picture is drawn from its planes (see
  // drawYuv), never converted.
  void draw(const TextureHandle& texture, const QRectF& dest, const TexCoords& tex,
            const QVector4D& colour = QVector4D(1, 1, 1, 1), bool flip = false,
            bool nearest = false);
  // The picture's planes sampled and converted in this one draw, with
  // `tex` in texels of the picture as shown (rows top first), as for the
  // RGBA texture standing for it. `nearest` fetches the luma texel each
  // pixel's centre lies in (chroma is always filtered).
  void drawYuv(const YuvPicture& picture, const QRectF& dest, const TexCoords& tex,
               const QVector4D& colour = QVector4D(1, 1, 1, 1), bool flip = false,
               bool nearest = false);
  // The whole texture over `dest`, upright under a projection whose y runs
  // downward (the top of `dest` shows the top of the picture).
  void drawUpright(const TextureHandle& texture, const QRectF& dest,
                   const QVector4D& colour = QVector4D(1, 1, 1, 1));

  bool isValid() const {
    return program2D_.isValid() && programRect_.isValid() && programFetch_.isValid() &&
           programYuv_.isValid() && programYuvFetch_.isValid();
  }
  QString error() const { return error_; }

 private:
  explicit QuadShader(GLContext& context);
  void setQuad(ShaderProgram& program, QSize textureSize, const QRectF& dest, const TexCoords& tex,
               const QVector4D& colour, bool flip);
  void drawStrip();
  friend struct QuadShaderFactory;

  GLContext& context_;
  ShaderProgram program2D_;
  ShaderProgram programRect_;
  ShaderProgram programFetch_;  // 2D textures read texel for texel
  ShaderProgram programYuv_;
  ShaderProgram programYuvFetch_;
  QString error_;
};

}  // namespace gl
