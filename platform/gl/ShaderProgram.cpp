#include "platform/gl/ShaderProgram.h"

#include "platform/gl/GLContext.h"

namespace gl {

GLuint ShaderProgram::compile(GLFunctions& f, GLenum type, const QByteArray& source,
                              QString* error) {
  const GLuint shader = f.glCreateShader(type);
  const char* text = source.constData();
  const GLint length = GLint(source.size());
  f.glShaderSource(shader, 1, &text, &length);
  f.glCompileShader(shader);
  GLint ok = GL_FALSE;
  f.glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  GLint logLength = 0;
  f.glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
  QByteArray log(qMax(logLength, 1), '\0');
  f.glGetShaderInfoLog(shader, log.size(), nullptr, log.data());
  if (error) *error = QString::fromUtf8(log).trimmed();
  f.glDeleteShader(shader);
  return 0;
}

bool ShaderProgram::build(GLContext& context, const QByteArray& vertexSource,
                          const QByteArray& fragmentSource, QString* error) {
  GLFunctions& f = context.functions();
  program_.reset();
  uniforms_.clear();
  const GLuint vertex = compile(f, GL_VERTEX_SHADER, vertexSource, error);
  if (!vertex) return false;
  const GLuint fragment = compile(f, GL_FRAGMENT_SHADER, fragmentSource, error);
  if (!fragment) {
    f.glDeleteShader(vertex);
    return false;
  }
  const GLuint program = f.glCreateProgram();
  f.glAttachShader(program, vertex);
  f.glAttachShader(program, fragment);
  f.glLinkProgram(program);
  f.glDetachShader(program, vertex);
  f.glDetachShader(program, fragment);
  f.glDeleteShader(vertex);
  f.glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  f.glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    GLint logLength = 0;
    f.glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    QByteArray log(qMax(logLength, 1), '\0');
    f.glGetProgramInfoLog(program, log.size(), nullptr, log.data());
    if (error) *error = QString::fromUtf8(log).trimmed();
    f.glDeleteProgram(program);
    return false;
  }
  program_ = GLObject(GLObject::Kind::Program, program, context.shareGroupLifetime());
  return true;
}

GLint ShaderProgram::uniform(const char* name) {
  const QByteArray key(name);
  auto it = uniforms_.constFind(key);
  if (it != uniforms_.constEnd()) return it.value();
  GLint location = -1;
  if (GLContext* context = GLContext::current())
    location = context->functions().glGetUniformLocation(program_.name(), name);
  uniforms_.insert(key, location);
  return location;
}

const char* ShaderProgram::fullTargetVertexSource() {
  return R"(#version 330 core
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
}

}  // namespace gl
