#include "platform/image/Kernel.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/KernelPass.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <map>
#include <mutex>

namespace image {

namespace {

const QRegularExpression& uniformLine() {
  static const QRegularExpression re(
      QStringLiteral(R"(^\s*uniform\s+(sampler2D|float|int|vec2|vec3|vec4)\s+(\w+)\s*)"
                     R"((?:\[\s*(\d+)\s*\])?\s*;\s*(//.*)?$)"));
  return re;
}

const QRegularExpression& includeLine() {
  static const QRegularExpression re(QStringLiteral(R"re(^\s*#include\s+"([\w.\-]+)"\s*$)re"));
  return re;
}

// A function or constant defined at the start of a line.
const QRegularExpression& definitionLine() {
  static const QRegularExpression re(QStringLiteral(
      R"(^(?:const\s+\w+\s+(\w+)|(?:vec[234]|ivec[234]|bvec[234]|mat[234]|float|int|bool|void)\s+(\w+)\s*\())"));
  return re;
}

// The state a kernel changes to draw into its own target, put back after.
struct SavedTarget {
  explicit SavedTarget(gl::GLContext& c)
      : context(c),
        framebuffer(c.boundFramebuffer()),
        colour(c.drawingInto()),
        viewport(c.viewport()),
        blend(c.blend()),
        projection(c.projection()) {}
  ~SavedTarget() {
    context.bindFramebuffer(framebuffer, colour);
    if (!viewport.isEmpty()) context.setViewport(viewport);
    context.setBlend(blend);
    context.setProjection(projection);
  }
  gl::GLContext& context;
  GLuint framebuffer;
  const gl::Texture* colour;
  QRect viewport;
  gl::GLContext::Blend blend;
  QMatrix4x4 projection;
};

// What made a result not rendered yet: kept in its recipe for passes that
// join it.
struct KernelSource {
  std::shared_ptr<Kernel> kernel;
  std::shared_ptr<std::vector<KernelArgument>> arguments;
};

}  // namespace

QString Kernel::kernelDirectory() { return Paths::resourcesDir() + QStringLiteral("/kernels"); }

std::shared_ptr<Kernel> Kernel::named(const QString& name) {
  static std::mutex mutex;
  static std::map<QString, std::shared_ptr<Kernel>> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = loaded.find(name);
  if (it != loaded.end()) return it->second;
  const QString path = kernelDirectory() + QLatin1Char('/') + name + QStringLiteral(".frag");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Log::line(QStringLiteral("\t\terr: no kernel at %1").arg(path));
    return nullptr;  // not remembered: a later call tries again
  }
  std::shared_ptr<Kernel> kernel = fromSource(name, file.readAll(), kernelDirectory());
  if (kernel) loaded.emplace(name, kernel);
  return kernel;
}

std::shared_ptr<Kernel> Kernel::fromSource(const QString& name, const QByteArray& source,
                                           const QString& includeDir) {
  std::shared_ptr<Kernel> kernel(new Kernel);
  kernel->name_ = name;
  QByteArray text;  // the plain text since the last image parameter
  auto append = [&](const QByteArray& lines, auto& self, int depth) -> bool {
    for (const QByteArray& raw : lines.split('\n')) {
      const QString line = QString::fromUtf8(raw);
      if (line.trimmed().startsWith(QStringLiteral("#version"))) continue;
      if (line.trimmed() == QLatin1String("// pointwise")) kernel->pointwise_ = true;
      const QRegularExpressionMatch include = includeLine().match(line);
      if (include.hasMatch()) {
        QFile file(includeDir + QLatin1Char('/') + include.captured(1));
        if (depth > 4 || includeDir.isEmpty() || !file.open(QIODevice::ReadOnly)) {
          Log::line(QStringLiteral("\t\terr: kernel %1 cannot include %2")
                        .arg(name, include.captured(1)));
          return false;
        }
        if (!self(file.readAll(), self, depth + 1)) return false;
        continue;
      }
      const QRegularExpressionMatch definition = definitionLine().match(line);
      if (definition.hasMatch()) {
        const QString defined =
            definition.captured(1).isEmpty() ? definition.captured(2) : definition.captured(1);
        if (!kernel->definedNames_.contains(defined)) kernel->definedNames_ << defined;
      }
      const QRegularExpressionMatch uniform = uniformLine().match(line);
      if (uniform.hasMatch() && depth == 0) {
        Parameter parameter{uniform.captured(2), uniform.captured(1), 0};
        if (!uniform.captured(3).isEmpty()) {
          parameter.type += QStringLiteral("[]");
          parameter.arraySize = uniform.captured(3).toInt();
        }
        if (uniform.captured(4).trimmed() == QLatin1String("// derived") &&
            parameter.type != QLatin1String("sampler2D")) {
          parameter.affineImage = kernel->affineImageOf(parameter);
          kernel->derived_.push_back(parameter);
          // The engine declares an affine read's uniform with the image's.
          if (parameter.affineImage < 0) text += raw + '\n';
          continue;
        }
        kernel->parameters_.push_back(parameter);
        if (parameter.type == QLatin1String("sampler2D")) {
          kernel->segments_.push_back(Segment{text, -1});
          kernel->segments_.push_back(Segment{{}, int(kernel->parameters_.size()) - 1});
          text.clear();
          continue;
        }
      }
      text += raw + '\n';
    }
    return true;
  };
  if (!append(source, append, 0)) return nullptr;
  kernel->givesPremultiplied_ =
      kernel->definedNames_.contains(QStringLiteral("kernelPremultiplied"));
  if (kernel->givesPremultiplied_ &&
      !kernel->definedNames_.contains(QStringLiteral("kernelMain"))) {
    text += "vec4 kernelMain() { return unpremultiply(kernelPremultiplied()); }\n";
    kernel->definedNames_ << QStringLiteral("kernelMain");
  }
  kernel->segments_.push_back(Segment{text, -1});
  QByteArray all;
  for (const Segment& segment : kernel->segments_)
    all += segment.text + "\n#" + QByteArray::number(segment.imageParameter) + "\n";
  kernel->sourceKey_ = QStringLiteral("image.kernel.%1.%2").arg(name).arg(qHash(all));
  return kernel;
}

int Kernel::affineImageOf(const Parameter& derived) const {
  if (derived.type != QLatin1String("vec4") || !derived.name.endsWith(QLatin1String("_affine")))
    return -1;
  const QString image = derived.name.chopped(int(qstrlen("_affine")));
  for (std::size_t i = 0; i < parameters_.size(); ++i)
    if (parameters_[i].name == image && parameters_[i].type == QLatin1String("sampler2D"))
      return int(i);
  return -1;
}

bool Kernel::readsAffine(int index) const {
  for (const Parameter& p : derived_)
    if (p.affineImage == index) return true;
  return false;
}

void Kernel::fail(const QString& why) const {
  Log::limited(QStringLiteral("Kernel.") + name_ + why.left(24),
               QStringLiteral("\t\terr: kernel %1: %2").arg(name_, why));
}

namespace {

bool fitsParameter(const Kernel::Parameter& p, const KernelArgument& argument) {
  return std::visit(
      [&p](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, Image>) return p.type == QLatin1String("sampler2D");
        if constexpr (std::is_same_v<T, float>) return p.type == QLatin1String("float");
        if constexpr (std::is_same_v<T, int>)
          return p.type == QLatin1String("int") || p.type == QLatin1String("float");
        if constexpr (std::is_same_v<T, QVector2D>) return p.type == QLatin1String("vec2");
        if constexpr (std::is_same_v<T, QVector3D>) return p.type == QLatin1String("vec3");
        if constexpr (std::is_same_v<T, QVector4D>) return p.type == QLatin1String("vec4");
        if constexpr (std::is_same_v<T, std::vector<float>>)
          return p.type == QLatin1String("float[]") && int(value.size()) <= p.arraySize;
        return false;
      },
      argument);
}

}  // namespace

bool Kernel::fits(const std::vector<KernelArgument>& arguments) const {
  if (arguments.size() != parameters_.size()) {
    fail(
        QStringLiteral("takes %1 arguments, got %2").arg(parameters_.size()).arg(arguments.size()));
    return false;
  }
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    if (!fitsParameter(parameters_[i], arguments[i])) {
      fail(QStringLiteral("argument %1 does not fit %2 %3")
               .arg(i)
               .arg(parameters_[i].type, parameters_[i].name));
      return false;
    }
  }
  return derived_.empty() || !derivedValues(arguments).empty();
}

std::vector<KernelArgument> Kernel::derivedValues(
    const std::vector<KernelArgument>& arguments) const {
  const Derivation derivation = derivation_.load();
  if (!derivation) {
    fail(QStringLiteral("has derived uniforms but no derivation"));
    return {};
  }
  std::vector<KernelArgument> values = derivation(arguments);
  bool fit = values.size() == derived_.size();
  for (std::size_t i = 0; fit && i < derived_.size(); ++i)
    fit = fitsParameter(derived_[i], values[i]);
  if (!fit) {
    fail(QStringLiteral("its derivation does not fit its derived uniforms"));
    return {};
  }
  return values;
}

bool Kernel::renderInto(const QRect& viewport, const QPointF& imageOrigin,
                        const std::vector<KernelArgument>& arguments) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) {
    fail(QStringLiteral("no GL context on this thread"));
    return false;
  }
  if (!fits(arguments)) return false;
  KernelPass pass;
  return pass.plan(shared_from_this(), arguments, context->drawingInto()) &&
         pass.draw(*context, viewport, imageOrigin);
}

Image Kernel::apply(const QRectF& extent, const std::vector<KernelArgument>& arguments) {
  return apply(Output{extent, extent, EdgeMode::Transparent, gl::TextureFormat::RGBA8}, arguments);
}

Image Kernel::apply(const Output& output, const std::vector<KernelArgument>& arguments) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) {
    fail(QStringLiteral("no GL context on this thread"));
    return {};
  }
  if (!fits(arguments) || !KernelPass::compiles(*context, *this)) return {};
  const QRect pixels = Image::pixelBounds(output.region);
  if (pixels.isEmpty()) return {};
  const int largest = gl::TexturePool::shared().maxTextureSize();
  if (pixels.width() > largest || pixels.height() > largest) {
    fail(QStringLiteral("an image of %1 × %2 is too large")
             .arg(pixels.width())
             .arg(pixels.height()));
    return {};
  }
  auto self = shared_from_this();
  auto held = std::make_shared<std::vector<KernelArgument>>(arguments);
  auto recipe = std::make_shared<Image::Recipe>();
  recipe->make = [self, held, output, pixels] {
    gl::TextureHandle texture = self->renderToTexture(output, pixels, *held);
    held->clear();
    return texture;
  };
  recipe->drawInto = [self, held](const QRect& viewport, const QPointF& origin) {
    return self->renderInto(viewport, origin, *held);
  };
  recipe->source = std::make_shared<KernelSource>(KernelSource{self, held});
  for (const KernelArgument& a : arguments)
    if (const Image* image = std::get_if<Image>(&a)) recipe->inputs.push_back(*image);
  return Image::pending(std::move(recipe), QRectF(pixels), output.extent, output.edge);
}

gl::TextureHandle Kernel::renderToTexture(const Output& output, const QRect& pixels,
                                          const std::vector<KernelArgument>& arguments) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) return {};
  KernelPass pass;  // planned first: inputs of their own are made before we bind
  if (!pass.plan(shared_from_this(), arguments, nullptr)) return {};
  gl::TextureHandle texture =
      gl::TexturePool::shared().acquire(pixels.size(), gl::TextureTarget::Texture2D, output.format);
  if (!texture) return {};
  bool drawn = false;
  {
    SavedTarget saved(*context);
    gl::RenderTarget& target = context->cached<gl::RenderTarget>(
        QStringLiteral("image.kernelTarget"), [] { return std::make_shared<gl::RenderTarget>(); });
    target.setBlend(gl::GLContext::Blend{});
    target.setViewport(QRect());
    if (target.bind(texture))
      drawn = pass.draw(*context, QRect(QPoint(0, 0), pixels.size()), QPointF(pixels.topLeft()));
    target.detach();
  }
  return drawn ? texture : gl::TextureHandle();
}

const std::vector<KernelArgument>* Kernel::sourceArguments(const Image& image,
                                                           std::shared_ptr<Kernel>* kernel) {
  const Image::Recipe* recipe = image.recipe();
  if (!recipe || !recipe->source) return nullptr;
  const auto* source = static_cast<const KernelSource*>(recipe->source.get());
  if (kernel) *kernel = source->kernel;
  return source->arguments.get();
}

}  // namespace image
