#pragma once

#include "platform/composition/PortType.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace composition {

// The fragment source of a shader node: the uniforms it declares (its
// input ports) and the full program text the runtime compiles from it.
//
// A node's source declares its inputs as uniforms, one per line —
// `uniform float|bool|int|vec2|vec4|sampler2D name;` — and defines
// `vec4 shaderMain()`, the straight RGBA colour of the pixel at `texCoord`
// (0…1 over the image, y up). `uniform float time;` is not an input: it
// receives the composition's time in seconds. Each image input X gets
// `vec4 X_sample(vec2 p)`: the image at p (0…1, upright however it was
// handed in), transparent black while the input is unset.
class ShaderSource {
 public:
  struct Uniform {
    QString name;
    QString glslType;  // "float", "bool", "int", "vec2", "vec4", "sampler2D"
    PortType type = PortType::Number;
  };

  // Parses the uniform lines; false with `error` set for a uniform of a
  // type the runtime cannot set, or a "time" that is not a float.
  bool parse(const QByteArray& source, QString* error);

  const std::vector<Uniform>& uniforms() const { return uniforms_; }
  bool usesTime() const { return usesTime_; }

  // The program text: a version line, the varying, the source with each
  // image uniform followed by its helpers, and main().
  QByteArray programText() const;
  // The vertex stage every shader node is drawn with: four vertices as a
  // triangle strip covering the viewport, `texCoord` 0…1.
  static const char* vertexSource();
  // The helper uniform of image input `name`: (row offset, row step,
  // present) that X_sample uses.
  static QByteArray rowsUniform(const QString& name);

 private:
  QByteArray text_;
  std::vector<Uniform> uniforms_;
  bool usesTime_ = false;
};

}  // namespace composition
