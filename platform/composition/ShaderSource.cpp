#include "platform/composition/ShaderSource.h"

#include "platform/composition/CompositionFormat.h"

#include <QList>
#include <QRegularExpression>

namespace composition {

namespace {

const QRegularExpression& uniformLine() {
  static const QRegularExpression re(
      QStringLiteral(R"(^\s*uniform\s+(\w+)\s+(\w+)\s*(\[[^\]]*\])?\s*;)"));
  return re;
}

const QRegularExpression& versionLine() {
  static const QRegularExpression re(QStringLiteral(R"(^\s*#\s*version\b)"));
  return re;
}

std::optional<PortType> typeOfUniform(const QString& glslType) {
  if (glslType == u"float") return PortType::Number;
  if (glslType == u"bool") return PortType::Boolean;
  if (glslType == u"int") return PortType::Index;
  if (glslType == u"vec2") return PortType::Structure;
  if (glslType == u"vec4") return PortType::Color;
  if (glslType == u"sampler2D") return PortType::Image;
  return std::nullopt;
}

QByteArray imageHelpers(const QString& name) {
  const QByteArray n = name.toUtf8();
  const QByteArray rows = ShaderSource::rowsUniform(name);
  return "uniform vec3 " + rows + ";\nvec4 " + n + "_sample(vec2 p) {\n  return " + rows +
         ".z > 0.5 ? texture(" + n + ", vec2(p.x, " + rows + ".x + " + rows +
         ".y * p.y)) : vec4(0.0);\n}\n";
}

}  // namespace

bool ShaderSource::parse(const QByteArray& source, QString* error) {
  uniforms_.clear();
  usesTime_ = false;
  text_.clear();
  const QList<QByteArray> lines = source.split('\n');
  for (const QByteArray& raw : lines) {
    const QString line = QString::fromUtf8(raw);
    if (versionLine().match(line).hasMatch()) continue;  // the runtime writes its own
    text_ += raw + '\n';
    const QRegularExpressionMatch match = uniformLine().match(line);
    if (!match.hasMatch()) continue;
    const QString glslType = match.captured(1), name = match.captured(2);
    if (name == QLatin1String(kTimeUniform)) {
      if (glslType != u"float" || match.hasCaptured(3)) {
        if (error) *error = QStringLiteral("the time uniform must be a float");
        return false;
      }
      usesTime_ = true;
      continue;
    }
    const std::optional<PortType> type = typeOfUniform(glslType);
    if (!type || match.hasCaptured(3)) {
      if (error)
        *error = QStringLiteral("uniform %1 has a type the runtime cannot set (%2)")
                     .arg(name, glslType + match.captured(3));
      return false;
    }
    uniforms_.push_back({name, glslType, *type});
    if (*type == PortType::Image) text_ += imageHelpers(name);
  }
  return true;
}

QByteArray ShaderSource::programText() const {
  return "#version 330 core\nin vec2 texCoord;\nout vec4 zaphFragColor;\nvec4 shaderMain();\n#line "
         "1\n" +
         text_ + "void main() { zaphFragColor = shaderMain(); }\n";
}

const char* ShaderSource::vertexSource() {
  return R"(#version 330 core
out vec2 texCoord;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
  texCoord = corner;
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
}

QByteArray ShaderSource::rowsUniform(const QString& name) { return name.toUtf8() + "_rows"; }

}  // namespace composition
