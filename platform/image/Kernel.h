#pragma once

#include "platform/gl/Texture.h"
#include "platform/image/Image.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>

#include <memory>
#include <variant>
#include <vector>

namespace gl {
class GLContext;
class ShaderProgram;
}  // namespace gl

namespace image {

using KernelArgument =
    std::variant<Image, float, int, QVector2D, QVector3D, QVector4D, std::vector<float>>;

// A GLSL fragment kernel of the filter engine. Its text declares its
// parameters as uniforms, in the order of the arguments it is applied to:
//
//   uniform sampler2D inputImage;   // an Image
//   uniform float amount;           // float (also int, vec2 … vec4, float[N])
//   vec4 kernelMain() {
//     vec4 c = inputImage_sample(destCoord());
//     return vec4(c.rgb * amount, c.a);
//   }
//
// `destCoord()` is the image-plane position (y up) of the pixel being made;
// each image parameter X gets `X_sample(p)` (straight RGBA; transparent
// outside the image, unless it clamps), `X_samplePremultiplied(p)`
// (bilinear between pixels, premultiplied: for resampling) and `X_extent`
// (left, bottom, right, top). `premultiply()` and `unpremultiply()` help kernels whose maths needs
// premultiplied colour; kernels take and give straight alpha. A line
// `#include "name"` pulls in another file of the kernel folder.
//
// Kernels are parsed when made (any thread) and compiled on first use on
// the render thread, once per context.
class Kernel {
 public:
  struct Output {
    QRectF extent;  // the extent of the result
    QRectF region;  // what the result's texture covers (made whole pixels)
    EdgeMode edge = EdgeMode::Transparent;
    gl::TextureFormat format = gl::TextureFormat::RGBA8;
  };
  struct Parameter {
    QString name;
    QString type;  // "sampler2D", "float", "int", "vec2", "vec3", "vec4", "float[]"
    int arraySize = 0;
  };

  // The kernel of the resource kernels/<name>.frag, read once per process;
  // null (logged) when missing or without parameters' text.
  static std::shared_ptr<Kernel> named(const QString& name);
  // A kernel of the given text (`includeDir` resolves #include lines).
  static std::shared_ptr<Kernel> fromSource(const QString& name, const QByteArray& source,
                                            const QString& includeDir = QString());
  // The folder of the kernel resources.
  static QString kernelDirectory();

  const QString& name() const { return name_; }
  const std::vector<Parameter>& parameters() const { return parameters_; }

  // Renders into a new texture of the pool covering `output.region`; the
  // null image (logged, rate-limited) when the kernel does not compile, the
  // arguments do not fit the parameters, there is no GL context or the
  // region is empty or too large. The caller's drawing target is left
  // bound as it was.
  Image apply(const Output& output, const std::vector<KernelArgument>& arguments);
  // The same with the region covering the extent (which must be finite).
  Image apply(const QRectF& extent, const std::vector<KernelArgument>& arguments);
  // Renders into the bound target: the target pixels `viewport` (rows
  // upward) receive the image-plane area starting at `imageOrigin`.
  bool renderInto(const QRect& viewport, const QPointF& imageOrigin,
                  const std::vector<KernelArgument>& arguments);

 private:
  Kernel() = default;
  gl::ShaderProgram* program(gl::GLContext& context);
  bool bindArguments(gl::GLContext& context, gl::ShaderProgram& program,
                     const std::vector<KernelArgument>& arguments);
  void fail(const QString& why) const;

  QString name_;
  QByteArray fragmentSource_;
  QString cacheKey_;
  std::vector<Parameter> parameters_;
};

}  // namespace image
