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

#include <atomic>
#include <memory>
#include <variant>
#include <vector>

namespace gl {
class GLContext;
}

namespace image {

using KernelArgument =
    std::variant<Image, float, int, QVector2D, QVector3D, QVector4D, std::vector<float>>;

// A GLSL fragment kernel of the filter engine. Its text declares its
// parameters as uniforms, in the order of the arguments it is applied to:
//
//   // pointwise
//   uniform sampler2D inputImage;   // an Image
//   uniform float amount;           // float (also int, vec2 … vec4, float[N])
//   vec4 kernelMain() {
//     vec4 c = inputImage_sample(destCoord());
//     return vec4(c.rgb * amount, c.a);
//   }
//
// `destCoord()` is the image-plane position (y up) of the pixel being made;
// each image parameter X gets `X_sample(p)` (straight RGBA of the pixel at
// p; transparent beyond the image's extent), `X_premultiplied(p)` (the same
// premultiplied), `X_samplePremultiplied(p)` (bilinear between pixels,
// premultiplied: for resampling) and `X_extent` (left, bottom, right, top).
// `premultiply()` and `unpremultiply()` help kernels whose maths needs
// premultiplied colour; kernels take and give straight alpha. A kernel whose
// maths ends premultiplied defines `vec4 kernelPremultiplied()` instead of
// kernelMain: a kernel joining its result then reads it without dividing
// and multiplying again. A line `#include "name"` pulls in another file of
// the kernel folder.
//
// A kernel marked `// pointwise` reads its images only at destCoord(): an
// input it reads that is not rendered yet (another kernel's result) is then
// computed in the same pass instead of in a texture of its own, so a chain
// of such kernels costs one pass, and its reads of an image covering the
// area drawn skip the extent test (they take the pixel at destCoord()
// whatever p they are given). Functions and constants of a kernel file
// begin at the start of a line (their names are made unique when passes are
// joined).
//
// A uniform line ending in `// derived` is no parameter: it holds a value
// worked out on the CPU from the arguments once per pass by the kernel's
// derivation (setDerivation), for maths on parameters alone that would
// otherwise be redone for every pixel (llvmpipe does not lift it out).
// Arguments are still given, named and ordered by the parameters only. A
// derived `uniform vec4 X_affine;` after image parameter X gives the
// kernel `X_affinePremultiplied()`: X_samplePremultiplied at
// destCoord() * X_affine.xy + X_affine.zw, worked out by the engine with one
// multiply-add per pixel where it can.
//
// Kernels are parsed when made (any thread) and compiled on first use on
// the render thread, once per context.
class Kernel : public std::enable_shared_from_this<Kernel> {
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
    // Of a derived `<image>_affine`: the index of that image parameter.
    int affineImage = -1;
  };
  // A piece of the kernel's text: plain text, or the declaration of the
  // image parameter with that index.
  struct Segment {
    QByteArray text;
    int imageParameter = -1;
  };
  // The values of the derived uniforms, in their order, from the arguments
  // (which fit the parameters).
  using Derivation = std::vector<KernelArgument> (*)(const std::vector<KernelArgument>& arguments);

  // The kernel of the resource kernels/<name>.frag, read once per process;
  // null (logged) when missing or unreadable.
  static std::shared_ptr<Kernel> named(const QString& name);
  // A kernel of the given text (`includeDir` resolves #include lines).
  static std::shared_ptr<Kernel> fromSource(const QString& name, const QByteArray& source,
                                            const QString& includeDir = QString());
  // The folder of the kernel resources.
  static QString kernelDirectory();

  const QString& name() const { return name_; }
  const std::vector<Parameter>& parameters() const { return parameters_; }
  const std::vector<Parameter>& derivedUniforms() const { return derived_; }
  // Whether image parameter `index` is read through `<image>_affine`.
  bool readsAffine(int index) const;
  // Set before the kernel is first applied (any thread may read it).
  void setDerivation(Derivation derivation) { derivation_.store(derivation); }
  // The derived uniforms' values; empty (logged) when there is no derivation
  // or its values do not fit the derived uniforms.
  std::vector<KernelArgument> derivedValues(const std::vector<KernelArgument>& arguments) const;
  bool pointwise() const { return pointwise_; }
  // Whether it defines kernelPremultiplied().
  bool givesPremultiplied() const { return givesPremultiplied_; }
  const std::vector<Segment>& segments() const { return segments_; }
  // Names of the kernel's own functions and constants.
  const QStringList& definedNames() const { return definedNames_; }
  const QString& sourceKey() const { return sourceKey_; }

  // The image of the kernel over `output.region`, rendered into a new
  // texture of the pool when first read (or straight into a target it is
  // drawn into); the null image (logged, rate-limited) when the kernel does
  // not compile, the arguments do not fit the parameters, there is no GL
  // context or the region is empty or too large. Rendering leaves the
  // caller's drawing target bound as it was.
  Image apply(const Output& output, const std::vector<KernelArgument>& arguments);
  // The same with the region covering the extent (which must be finite).
  Image apply(const QRectF& extent, const std::vector<KernelArgument>& arguments);
  // Renders into the bound target: the target pixels `viewport` (rows
  // upward) receive the image-plane area starting at `imageOrigin`.
  bool renderInto(const QRect& viewport, const QPointF& imageOrigin,
                  const std::vector<KernelArgument>& arguments);

  // Whether the arguments fit the parameters and the derived uniforms can be
  // worked out (logged when not).
  bool fits(const std::vector<KernelArgument>& arguments) const;
  // Logs a failure of this kernel (rate-limited).
  void fail(const QString& why) const;

  // The kernel and arguments that will make a result not rendered yet;
  // null for any other image.
  static const std::vector<KernelArgument>* sourceArguments(const Image& image,
                                                            std::shared_ptr<Kernel>* kernel);

 private:
  Kernel() = default;
  // The image parameter a derived uniform is the affine read of, or -1.
  int affineImageOf(const Parameter& derived) const;
  gl::TextureHandle renderToTexture(const Output& output, const QRect& pixels,
                                    const std::vector<KernelArgument>& arguments);

  QString name_;
  QString sourceKey_;
  std::vector<Parameter> parameters_;
  std::vector<Parameter> derived_;
  std::atomic<Derivation> derivation_{nullptr};
  std::vector<Segment> segments_;
  QStringList definedNames_;
  bool pointwise_ = false;
  bool givesPremultiplied_ = false;
};

}  // namespace image
