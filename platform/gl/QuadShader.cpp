#include "platform/gl/QuadShader.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/YuvPicture.h"

#include <array>

namespace gl {

namespace {
const char* kVertex = R"(#version 330 core
uniform mat4 u_projection;
uniform vec4 u_dest;      // left, top, right, bottom
uniform vec4 u_tex;       // s0, t0, s1, t1 (texels)
uniform vec2 u_texSize;
uniform bool u_flip;
uniform bool u_normalize; // 2D textures take normalised coordinates
out vec2 v_tex;
void main() {
  // Triangle strip: (left, top), (right, top), (left, bottom), (right, bottom).
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  vec2 position = mix(u_dest.xy, u_dest.zw, corner);
  vec2 tex = mix(u_tex.xy, u_tex.zw, corner);
  if (u_flip) tex.y = u_texSize.y - tex.y;
  v_tex = u_normalize ? tex / u_texSize : tex;
  gl_Position = u_projection * vec4(position, 0.0, 1.0);
}
)";

// A YUV picture's quad: the coordinates of the picture as shown, normalised,
// carried into the planes (turned); the map is affine, so it is done here
// rather than per pixel.
const char* kYuvVertex = R"(#version 330 core
uniform mat4 u_projection;
uniform vec4 u_dest;
uniform vec4 u_tex;
uniform vec2 u_texSize;
uniform bool u_flip;
uniform mat3 u_shownToStored;
out vec2 v_tex;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  vec2 position = mix(u_dest.xy, u_dest.zw, corner);
  vec2 tex = mix(u_tex.xy, u_tex.zw, corner);
  if (u_flip) tex.y = u_texSize.y - tex.y;
  v_tex = (u_shownToStored * vec3(tex / u_texSize, 1.0)).xy;
  gl_Position = u_projection * vec4(position, 0.0, 1.0);
}
)";

// The levels and the matrix are one affine map, worked out on the CPU.
// LUMA reads the Y plane at v_tex.
const char* kYuvFragment = R"(#version 330 core
uniform sampler2D u_planeY;
uniform sampler2D u_planeU;
uniform sampler2D u_planeV;
uniform ivec2 u_lumaLast;
uniform vec2 u_lumaSize;
uniform mat3 u_yuvToRgb;
uniform vec3 u_rgbOffset;
uniform vec4 u_colour;
in vec2 v_tex;
out vec4 fragColour;
void main() {
  vec3 yuv = vec3(LUMA, texture(u_planeU, v_tex).r, texture(u_planeV, v_tex).r);
  fragColour = vec4(clamp(u_yuvToRgb * yuv + u_rgbOffset, 0.0, 1.0), 1.0) * u_colour;
}
)";

QByteArray yuvFragment(bool fetch) {
  return QByteArray(kYuvFragment)
      .replace("LUMA", fetch ? "texelFetch(u_planeY, clamp(ivec2(v_tex * u_lumaSize), ivec2(0), "
                               "u_lumaLast), 0).r"
                             : "texture(u_planeY, v_tex).r");
}

// The fragment shader for one sampler type ("sampler2D", "sampler2DRect").
QByteArray fragment(const QByteArray& sampler) {
  return "#version 330 core\nuniform " + sampler +
         " u_texture;\nuniform vec4 u_colour;\nin vec2 v_tex;\nout vec4 fragColour;\n"
         "void main() { fragColour = texture(u_texture, v_tex) * u_colour; }\n";
}

// Reads the texel a pixel covers, with coordinates in texels: for textures
// lying pixel on pixel, where filtering would give the same.
const char* kFetchFragment =
    "#version 330 core\nuniform sampler2D u_texture;\nuniform vec4 u_colour;\nin vec2 v_tex;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = texelFetch(u_texture, ivec2(v_tex), 0) * u_colour; }\n";
}  // namespace

struct QuadShaderFactory {
  static std::shared_ptr<QuadShader> make(GLContext& context) {
    return std::shared_ptr<QuadShader>(new QuadShader(context));
  }
};

QuadShader::QuadShader(GLContext& context) : context_(context) {
  if (!program2D_.build(context, kVertex, fragment("sampler2D"), &error_) ||
      !programRect_.build(context, kVertex, fragment("sampler2DRect"), &error_) ||
      !programFetch_.build(context, kVertex, kFetchFragment, &error_) ||
      !programYuv_.build(context, kYuvVertex, yuvFragment(false), &error_) ||
      !programYuvFetch_.build(context, kYuvVertex, yuvFragment(true), &error_))
    Log::line(QStringLiteral("\t\terr: textured quad shader: %1").arg(error_));
}

QuadShader* QuadShader::forCurrentContext() {
  GLContext* context = GLContext::current();
  if (!context) return nullptr;
  QuadShader& shader = context->cached<QuadShader>(
      QStringLiteral("QuadShader"), [context] { return QuadShaderFactory::make(*context); });
  return shader.isValid() ? &shader : nullptr;
}

void QuadShader::setQuad(ShaderProgram& program, QSize textureSize, const QRectF& dest,
                         const TexCoords& tex, const QVector4D& colour, bool flip) {
  GLFunctions& f = context_.functions();
  f.glUseProgram(program.name());
  f.glUniformMatrix4fv(program.uniform("u_projection"), 1, GL_FALSE,
                       context_.projection().constData());
  f.glUniform4f(program.uniform("u_dest"), float(dest.left()), float(dest.top()),
                float(dest.right()), float(dest.bottom()));
  f.glUniform4f(program.uniform("u_tex"), tex.s0, tex.t0, tex.s1, tex.t1);
  f.glUniform2f(program.uniform("u_texSize"), float(textureSize.width()),
                float(textureSize.height()));
  f.glUniform1i(program.uniform("u_flip"), flip ? 1 : 0);
  f.glUniform4f(program.uniform("u_colour"), colour.x(), colour.y(), colour.z(), colour.w());
}

void QuadShader::drawStrip() {
  GLFunctions& f = context_.functions();
  f.glBindVertexArray(context_.emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBindVertexArray(0);
}

void QuadShader::draw(GLuint texture, GLenum target, QSize textureSize, const QRectF& dest,
                      const TexCoords& tex, const QVector4D& colour, bool flip, bool nearest) {
  if (!texture || textureSize.isEmpty()) return;
  const bool rectangle = target == GL_TEXTURE_RECTANGLE;
  const bool fetch = nearest && !rectangle;
  ShaderProgram& program = rectangle ? programRect_ : fetch ? programFetch_ : program2D_;
  GLFunctions& f = context_.functions();
  setQuad(program, textureSize, dest, tex, colour, flip);
  f.glUniform1i(program.uniform("u_normalize"), rectangle || fetch ? 0 : 1);
  f.glUniform1i(program.uniform("u_texture"), 0);
  f.glActiveTexture(GL_TEXTURE0);
  f.glBindTexture(target, texture);
  drawStrip();
  f.glBindTexture(target, 0);
  f.glUseProgram(0);
}

void QuadShader::drawYuv(const YuvPicture& picture, const QRectF& dest, const TexCoords& tex,
                         const QVector4D& colour, bool flip, bool nearest) {
  if (!picture.complete()) return;
  ShaderProgram& program = nearest ? programYuvFetch_ : programYuv_;
  GLFunctions& f = context_.functions();
  setQuad(program, picture.shownSize(), dest, tex, colour, flip);
  std::array<float, 9> matrix{};
  std::array<float, 3> offset{};
  picture.shownToStored(matrix);
  f.glUniformMatrix3fv(program.uniform("u_shownToStored"), 1, GL_FALSE, matrix.data());
  picture.colourTransform(matrix, offset);
  f.glUniformMatrix3fv(program.uniform("u_yuvToRgb"), 1, GL_FALSE, matrix.data());
  f.glUniform3f(program.uniform("u_rgbOffset"), offset[0], offset[1], offset[2]);
  f.glUniform2f(program.uniform("u_lumaSize"), float(picture.lumaSize.width()),
                float(picture.lumaSize.height()));
  f.glUniform2i(program.uniform("u_lumaLast"), picture.lumaSize.width() - 1,
                picture.lumaSize.height() - 1);
  static const char* const kSamplers[] = {"u_planeY", "u_planeU", "u_planeV"};
  for (int i = 2; i >= 0; --i) {
    f.glUniform1i(program.uniform(kSamplers[i]), i);
    f.glActiveTexture(GL_TEXTURE0 + i);
    f.glBindTexture(GL_TEXTURE_2D, picture.planes[size_t(i)].name());
  }
  drawStrip();
  for (int i = 2; i >= 0; --i) {
    f.glActiveTexture(GL_TEXTURE0 + i);
    f.glBindTexture(GL_TEXTURE_2D, 0);
  }
  f.glUseProgram(0);
}

void QuadShader::draw(const TextureHandle& texture, const QRectF& dest, const TexCoords& tex,
                      const QVector4D& colour, bool flip, bool nearest) {
  if (const Texture* storage = texture.storage(); storage && storage->yuvPicture()) {
    drawYuv(*storage->yuvPicture(), dest, tex, colour, flip, nearest);
    return;
  }
  draw(texture.name(), texture.target(), texture.size(), dest, tex, colour, flip, nearest);
}

void QuadShader::drawUpright(const TextureHandle& texture, const QRectF& dest,
                             const QVector4D& colour) {
  const QSize size = texture.size();
  const TexCoords whole{0, 0, float(size.width()), float(size.height())};
  // A picture whose first row is its bottom needs its rows turned over.
  draw(texture, dest, whole, colour, !texture.isFlipped());
}

}  // namespace gl
