#include "platform/gl/YuvConverter.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLObject.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/Texture.h"
#include "platform/gl/YuvPicture.h"

#include <array>

namespace gl {

namespace {

constexpr int kUnits = 3;  // the units the picture's draw binds its planes on

// The raw GL state the conversion changes. Put back with raw calls, so the
// context's state cache stays true whatever it knew.
class SavedState {
 public:
  explicit SavedState(GLContext& context) : context_(context), f_(context.functions()) {
    f_.glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
    f_.glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
    f_.glGetIntegerv(GL_VIEWPORT, viewport_.data());
    blend_ = f_.glIsEnabled(GL_BLEND);
    scissor_ = f_.glIsEnabled(GL_SCISSOR_TEST);
    f_.glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
    f_.glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
    f_.glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
    for (int unit = 0; unit < kUnits; ++unit) {
      f_.glActiveTexture(GL_TEXTURE0 + unit);
      f_.glGetIntegerv(GL_TEXTURE_BINDING_2D, &textures_[unit]);
      f_.glGetIntegerv(GL_SAMPLER_BINDING, &samplers_[unit]);
      if (samplers_[unit]) f_.glBindSampler(GLuint(unit), 0);  // the planes' own filtering
    }
    projection_ = context.projection();
  }
  ~SavedState() {
    for (int unit = 0; unit < kUnits; ++unit) {
      f_.glActiveTexture(GL_TEXTURE0 + unit);
      f_.glBindTexture(GL_TEXTURE_2D, GLuint(textures_[unit]));
      f_.glBindSampler(GLuint(unit), GLuint(samplers_[unit]));
    }
    f_.glActiveTexture(GLenum(activeTexture_));
    f_.glBindVertexArray(GLuint(vertexArray_));
    f_.glUseProgram(GLuint(program_));
    if (scissor_) f_.glEnable(GL_SCISSOR_TEST);
    if (blend_) f_.glEnable(GL_BLEND);
    f_.glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
    f_.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer_));
    f_.glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer_));
    context_.setProjection(projection_);
  }
  SavedState(const SavedState&) = delete;
  SavedState& operator=(const SavedState&) = delete;

 private:
  GLContext& context_;
  GLFunctions& f_;
  GLint drawFramebuffer_ = 0;
  GLint readFramebuffer_ = 0;
  std::array<GLint, 4> viewport_{};
  GLboolean blend_ = GL_FALSE;
  GLboolean scissor_ = GL_FALSE;
  GLint program_ = 0;
  GLint vertexArray_ = 0;
  GLint activeTexture_ = GL_TEXTURE0;
  std::array<GLint, kUnits> textures_{};
  std::array<GLint, kUnits> samplers_{};
  QMatrix4x4 projection_;
};

// The context's framebuffer for conversions.
GLuint converterFramebuffer(GLContext& context) {
  auto& framebuffer = context.cached<GLObject>(QStringLiteral("YuvConverter.framebuffer"), [&] {
    GLuint name = 0;
    context.functions().glGenFramebuffers(1, &name);
    return std::make_shared<GLObject>(GLObject::Kind::Framebuffer, name, context.lifetime());
  });
  return framebuffer.name();
}

bool failed() {
  Log::limited(QStringLiteral("YuvConverter"),
               QStringLiteral("\t\terr: a YUV picture could not be converted"));
  return false;
}

}  // namespace

bool YuvConverter::convert(Texture& into, const YuvPicture& picture) {
  GLContext* context = GLContext::current();
  if (!context || !picture.complete() || into.size() != picture.shownSize()) return failed();
  QuadShader* quad = QuadShader::forCurrentContext();
  const GLuint colour = into.name();
  const GLuint framebuffer = converterFramebuffer(*context);
  if (!quad || !colour || !framebuffer) return failed();
  GLFunctions& f = context->functions();
  const SavedState saved(*context);
  f.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  f.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
  const bool complete = f.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (complete) {
    const QSize size = into.size();
    f.glViewport(0, 0, size.width(), size.height());
    f.glDisable(GL_BLEND);
    f.glDisable(GL_SCISSOR_TEST);
    // Rows top first, like an upload: the texture's first row is y = 0.
    context->setProjection(RenderTarget::bottomUpOrtho(QSizeF(size)));
    const float w = float(size.width()), h = float(size.height());
    quad->drawYuv(picture, QRectF(0, 0, w, h), QuadShader::TexCoords{0, 0, w, h},
                  QVector4D(1, 1, 1, 1), false, true);
  }
  f.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  return complete ? true : failed();
}

}  // namespace gl
