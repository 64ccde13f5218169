#include "platform/movie/MovieTextureUploader.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/movie/VideoFrame.h"

namespace {
// Row r of the target gets row r of the picture as shown, whose first row
// is the top: the result lies top row first, like an upload. The planes are
// read turned back by the rotation (quarter turns clockwise).
const char* kFragment = R"(#version 330 core
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform vec2 lumaSize;
uniform int rotation;
uniform bool fullRange;
uniform bool bt709;
out vec4 colour;
void main() {
  vec2 shown = gl_FragCoord.xy;
  vec2 stored = shown;
  if (rotation == 1) stored = vec2(shown.y, lumaSize.y - shown.x);
  else if (rotation == 2) stored = lumaSize - shown;
  else if (rotation == 3) stored = vec2(lumaSize.x - shown.y, shown.x);
  float y = texelFetch(planeY, ivec2(stored), 0).r;
  vec2 at = stored / lumaSize;
  float u = texture(planeU, at).r;
  float v = texture(planeV, at).r;
  if (fullRange) {
    u -= 0.5;
    v -= 0.5;
  } else {
    y = (y - 16.0 / 255.0) * (255.0 / 219.0);
    u = (u - 128.0 / 255.0) * (255.0 / 224.0);
    v = (v - 128.0 / 255.0) * (255.0 / 224.0);
  }
  vec3 rgb = bt709 ? vec3(y + 1.5748 * v, y - 0.187324 * u - 0.468124 * v, y + 1.8556 * u)
                   : vec3(y + 1.402 * v, y - 0.344136 * u - 0.714136 * v, y + 1.772 * u);
  colour = vec4(clamp(rgb, 0.0, 1.0), 1.0);
}
)";

gl::ShaderProgram* yuvProgram(gl::GLContext& context) {
  auto& program = context.cached<gl::ShaderProgram>(QStringLiteral("movie-yuv"), [&context] {
    auto made = std::make_shared<gl::ShaderProgram>();
    QString error;
    if (!made->build(context, gl::ShaderProgram::fullTargetVertexSource(), kFragment, &error))
      Log::line(QStringLiteral("\t\terr: movie colour shader: %1").arg(error));
    return made;
  });
  return program.isValid() ? &program : nullptr;
}
}  // namespace

gl::TextureHandle MovieTextureUploader::upload(const VideoFrame& frame, gl::TexturePool& pool) {
  if (frame.format() == VideoFrame::Format::Rgba)
    return rgba_.upload(frame.plane(0), QSize(frame.width(), frame.height()), frame.stride(0),
                        gl::PixelUploader::Layout::RGBA8, pool);
  return convertYuv(frame, pool);
}

bool MovieTextureUploader::uploadPlanes(const VideoFrame& frame) {
  gl::GLContext* context = gl::GLContext::current();
  gl::GLFunctions& f = context->functions();
  f.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 3; ++i) {
    const QSize size(frame.planeWidth(i), frame.planeHeight(i));
    if (!planes_[i].alive()) {
      GLuint name = 0;
      f.glGenTextures(1, &name);
      planes_[i] = gl::GLObject(gl::GLObject::Kind::Texture, name, context->shareGroupLifetime());
      planeSizes_[i] = QSize();
    }
    f.glActiveTexture(GL_TEXTURE0 + i);
    f.glBindTexture(GL_TEXTURE_2D, planes_[i].name());
    f.glPixelStorei(GL_UNPACK_ROW_LENGTH, frame.stride(i));
    if (planeSizes_[i] != size) {
      f.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      f.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      f.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      f.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
      f.glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, size.width(), size.height(), 0, GL_RED,
                     GL_UNSIGNED_BYTE, frame.plane(i));
      planeSizes_[i] = size;
    } else {
      f.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_RED,
                        GL_UNSIGNED_BYTE, frame.plane(i));
    }
  }
  f.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  return f.glGetError() == GL_NO_ERROR;
}

gl::TextureHandle MovieTextureUploader::convertYuv(const VideoFrame& frame, gl::TexturePool& pool) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) return {};
  gl::ShaderProgram* program = yuvProgram(*context);
  const QSize size(frame.width(), frame.height());
  gl::TextureHandle texture = pool.acquire(size);
  if (!program || !texture || !uploadPlanes(frame)) {
    Log::limited(QStringLiteral("movie-upload"), QStringLiteral("\t\terr: movie frame upload failed"));
    return {};
  }
  gl::GLFunctions& f = context->functions();
  if (!target_.bind(texture)) return {};
  // Binding the target may have touched a texture unit: bind the planes now.
  for (int i = 0; i < 3; ++i) {
    f.glActiveTexture(GL_TEXTURE0 + i);
    f.glBindTexture(GL_TEXTURE_2D, planes_[i].name());
  }
  f.glUseProgram(program->name());
  f.glUniform1i(program->uniform("planeY"), 0);
  f.glUniform1i(program->uniform("planeU"), 1);
  f.glUniform1i(program->uniform("planeV"), 2);
  f.glUniform2f(program->uniform("lumaSize"), float(frame.planeWidth(0)),
                float(frame.planeHeight(0)));
  f.glUniform1i(program->uniform("rotation"), frame.rotation());
  f.glUniform1i(program->uniform("fullRange"), frame.fullRange() ? 1 : 0);
  f.glUniform1i(program->uniform("bt709"), frame.bt709() ? 1 : 0);
  f.glBindVertexArray(context->emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBindVertexArray(0);
  f.glActiveTexture(GL_TEXTURE0);
  texture.setFlipped(true);
  return texture;
}
