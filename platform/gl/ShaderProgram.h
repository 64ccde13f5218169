#pragma once

#include "platform/gl/GLContext.h"
#include "platform/gl/GLObject.h"

#include <QByteArray>
#include <QHash>
#include <QString>

namespace gl {

// A linked vertex + fragment program of the current context's share group,
// with its uniform locations looked up once.
class ShaderProgram {
 public:
  ShaderProgram() = default;
  // Compiles and links on the current context; on failure the program is
  // empty and `error` holds the compiler's log.
  bool build(GLContext& context, const QByteArray& vertexSource, const QByteArray& fragmentSource,
             QString* error);
  bool isValid() const { return static_cast<bool>(program_); }
  GLuint name() const { return program_.name(); }

  // -1 for a uniform the program does not have (or that the compiler
  // dropped as unused).
  GLint uniform(const char* name);

  // A vertex shader for fragment passes over the whole target: four
  // vertices as a triangle strip, no attributes.
  static const char* fullTargetVertexSource();

 private:
  GLuint compile(GLFunctions& f, GLenum type, const QByteArray& source, QString* error);

  GLObject program_;
  QHash<QByteArray, GLint> uniforms_;
};

}  // namespace gl
