#include "platform/gl/QuadShader.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"

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
      !programFetch_.build(context, kVertex, kFetchFragment, &error_))
    Log::line(QStringLiteral("\t\terr: textured quad shader: %1").arg(error_));
}

QuadShader* QuadShader::forCurrentContext() {
  GLContext* context = GLContext::current();
  if (!context) return nullptr;
  QuadShader& shader = context->cached<QuadShader>(
      QStringLiteral("QuadShader"), [context] { return QuadShaderFactory::make(*context); });
  return shader.isValid() ? &shader : nullptr;
}

void QuadShader::draw(GLuint texture, GLenum target, QSize textureSize, const QRectF& dest,
                      const TexCoords& tex, const QVector4D& colour, bool flip, bool nearest) {
  if (!texture || textureSize.isEmpty()) return;
  const bool rectangle = target == GL_TEXTURE_RECTANGLE;
  const bool fetch = nearest && !rectangle;
  ShaderProgram& program = rectangle ? programRect_ : fetch ? programFetch_ : program2D_;
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
  f.glUniform1i(program.uniform("u_normalize"), rectangle || fetch ? 0 : 1);
  f.glUniform4f(program.uniform("u_colour"), colour.x(), colour.y(), colour.z(), colour.w());
  f.glUniform1i(program.uniform("u_texture"), 0);
  f.glActiveTexture(GL_TEXTURE0);
  f.glBindTexture(target, texture);
  f.glBindVertexArray(context_.emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBindVertexArray(0);
  f.glBindTexture(target, 0);
  f.glUseProgram(0);
}

void QuadShader::draw(const TextureHandle& texture, const QRectF& dest, const TexCoords& tex,
                      const QVector4D& colour, bool flip, bool nearest) {
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
