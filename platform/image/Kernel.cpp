#include "platform/image/Kernel.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TexturePool.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <map>
#include <mutex>

namespace image {

namespace {

const char* kVertex = R"(#version 330 core
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* kPreamble = R"(#version 330 core
uniform vec2 z_destOrigin;
uniform vec2 z_viewportOrigin;
out vec4 z_fragColour;
vec2 destCoord() { return z_destOrigin + (gl_FragCoord.xy - z_viewportOrigin); }
vec4 premultiply(vec4 c) { return vec4(c.rgb * c.a, c.a); }
vec4 unpremultiply(vec4 c) { return c.a > 0.0 ? vec4(c.rgb / c.a, c.a) : vec4(0.0); }
// region and extent: left, bottom, right, top; mode: (clamps, rows bottom up).
vec4 z_sample(sampler2D s, vec4 region, vec4 extent, vec2 mode, vec2 p) {
  if (p.x < extent.x || p.y < extent.y || p.x > extent.z || p.y > extent.w) return vec4(0.0);
  if (mode.x < 0.5 && (p.x < region.x || p.y < region.y || p.x > region.z || p.y > region.w))
    return vec4(0.0);
  vec2 t = (p - region.xy) / (region.zw - region.xy);
  if (mode.y < 0.5) t.y = 1.0 - t.y;
  return texture(s, t);
}
// Bilinear between the four nearest pixels, premultiplied before mixing so
// that transparent pixels lend no colour (no dark fringes when resampling).
vec4 z_samplePremultiplied(sampler2D s, vec4 region, vec4 extent, vec2 mode, vec2 p) {
  vec2 scale = (region.zw - region.xy) / vec2(textureSize(s, 0));
  vec2 texel = (p - region.xy) / scale - 0.5;
  vec2 base = floor(texel);
  vec2 f = texel - base;
  vec2 o = region.xy + (base + 0.5) * scale;
  vec4 a = premultiply(z_sample(s, region, extent, mode, o));
  vec4 b = premultiply(z_sample(s, region, extent, mode, o + vec2(scale.x, 0.0)));
  vec4 c = premultiply(z_sample(s, region, extent, mode, o + vec2(0.0, scale.y)));
  vec4 d = premultiply(z_sample(s, region, extent, mode, o + scale));
  return mix(mix(a, b, f.x), mix(c, d, f.x), f.y);
}
)";

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

QByteArray samplerBlock(const QString& name) {
  const QByteArray n = name.toUtf8();
  return "uniform sampler2D " + n + ";\nuniform vec4 " + n + "_region;\nuniform vec4 " + n +
         "_extent;\nuniform vec2 " + n + "_mode;\nvec4 " + n +
         "_sample(vec2 p) { return z_sample(" + n + ", " + n + "_region, " + n + "_extent, " + n +
         "_mode, p); }\nvec4 " + n +
         "_samplePremultiplied(vec2 p) { return z_samplePremultiplied(" + n + ", " + n +
         "_region, " + n + "_extent, " + n + "_mode, p); }\n";
}

QVector4D edges(const QRectF& r) {
  return QVector4D(float(r.left()), float(r.top()), float(r.right()), float(r.bottom()));
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
  QByteArray body;
  auto append = [&](const QByteArray& text, auto& self, int depth) -> bool {
    for (const QByteArray& raw : text.split('\n')) {
      const QString line = QString::fromUtf8(raw);
      if (line.trimmed().startsWith(QStringLiteral("#version"))) continue;
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
      const QRegularExpressionMatch uniform = uniformLine().match(line);
      if (uniform.hasMatch() && depth == 0) {
        Parameter parameter{uniform.captured(2), uniform.captured(1), 0};
        if (!uniform.captured(3).isEmpty()) {
          parameter.type += QStringLiteral("[]");
          parameter.arraySize = uniform.captured(3).toInt();
        }
        kernel->parameters_.push_back(parameter);
        if (parameter.type == QLatin1String("sampler2D")) {
          body += samplerBlock(parameter.name);
          continue;
        }
      }
      body += raw + '\n';
    }
    return true;
  };
  if (!append(source, append, 0)) return nullptr;
  kernel->fragmentSource_ =
      QByteArray(kPreamble) + body + "void main() { z_fragColour = kernelMain(); }\n";
  kernel->cacheKey_ =
      QStringLiteral("image.kernel.%1.%2").arg(name).arg(qHash(kernel->fragmentSource_));
  return kernel;
}

void Kernel::fail(const QString& why) const {
  Log::limited(QStringLiteral("Kernel.") + name_ + why.left(24),
               QStringLiteral("\t\terr: kernel %1: %2").arg(name_, why));
}

gl::ShaderProgram* Kernel::program(gl::GLContext& context) {
  gl::ShaderProgram& program = context.cached<gl::ShaderProgram>(cacheKey_, [this, &context] {
    auto made = std::make_shared<gl::ShaderProgram>();
    QString error;
    if (!made->build(context, kVertex, fragmentSource_, &error))
      Log::line(QStringLiteral("\t\terr: kernel %1 does not compile: %2").arg(name_, error));
    return made;
  });
  return program.isValid() ? &program : nullptr;
}

bool Kernel::bindArguments(gl::GLContext& context, gl::ShaderProgram& program,
                           const std::vector<KernelArgument>& arguments) {
  if (arguments.size() != parameters_.size()) {
    fail(
        QStringLiteral("takes %1 arguments, got %2").arg(parameters_.size()).arg(arguments.size()));
    return false;
  }
  gl::GLFunctions& f = context.functions();
  int unit = 0;
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    const Parameter& p = parameters_[i];
    const QByteArray n = p.name.toUtf8();
    const KernelArgument& a = arguments[i];
    const GLint location = program.uniform(n.constData());
    if (p.type == QLatin1String("sampler2D")) {
      const Image* image = std::get_if<Image>(&a);
      if (!image) {
        fail(QStringLiteral("%1 takes an image").arg(p.name));
        return false;
      }
      if (image->texture().isRectangle()) {
        fail(QStringLiteral("%1 got a rectangle texture").arg(p.name));
        return false;
      }
      if (image->texture().storage() && image->texture().storage() == context.drawingInto()) {
        fail(QStringLiteral("%1 would read the texture being drawn").arg(p.name));
        return false;
      }
      f.glActiveTexture(GL_TEXTURE0 + unit);
      f.glBindTexture(GL_TEXTURE_2D, image->isNull() ? 0 : image->texture().name());
      f.glUniform1i(location, unit);
      ++unit;
      const QVector4D region = image->isNull() ? QVector4D(0, 0, 1, 1) : edges(image->region());
      const QVector4D extent = image->isNull() ? QVector4D(1, 1, -1, -1) : edges(image->extent());
      f.glUniform4f(program.uniform(n + "_region"), region.x(), region.y(), region.z(), region.w());
      f.glUniform4f(program.uniform(n + "_extent"), extent.x(), extent.y(), extent.z(), extent.w());
      f.glUniform2f(program.uniform(n + "_mode"),
                    image->edgeMode() == EdgeMode::Clamp ? 1.0f : 0.0f,
                    image->rowsBottomUp() ? 1.0f : 0.0f);
      continue;
    }
    bool fits = true;
    std::visit(
        [&](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, float>) {
            fits = p.type == QLatin1String("float");
            if (fits) f.glUniform1f(location, value);
          } else if constexpr (std::is_same_v<T, int>) {
            fits = p.type == QLatin1String("int") || p.type == QLatin1String("float");
            if (fits && p.type == QLatin1String("int")) f.glUniform1i(location, value);
            if (fits && p.type == QLatin1String("float")) f.glUniform1f(location, float(value));
          } else if constexpr (std::is_same_v<T, QVector2D>) {
            fits = p.type == QLatin1String("vec2");
            if (fits) f.glUniform2f(location, value.x(), value.y());
          } else if constexpr (std::is_same_v<T, QVector3D>) {
            fits = p.type == QLatin1String("vec3");
            if (fits) f.glUniform3f(location, value.x(), value.y(), value.z());
          } else if constexpr (std::is_same_v<T, QVector4D>) {
            fits = p.type == QLatin1String("vec4");
            if (fits) f.glUniform4f(location, value.x(), value.y(), value.z(), value.w());
          } else if constexpr (std::is_same_v<T, std::vector<float>>) {
            fits = p.type == QLatin1String("float[]") && int(value.size()) <= p.arraySize;
            if (fits && !value.empty())
              f.glUniform1fv(location, GLsizei(value.size()), value.data());
          } else {
            fits = false;
          }
        },
        a);
    if (!fits) {
      fail(QStringLiteral("argument %1 does not fit %2 %3").arg(i).arg(p.type, p.name));
      return false;
    }
  }
  f.glActiveTexture(GL_TEXTURE0);
  return true;
}

bool Kernel::renderInto(const QRect& viewport, const QPointF& imageOrigin,
                        const std::vector<KernelArgument>& arguments) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) {
    fail(QStringLiteral("no GL context on this thread"));
    return false;
  }
  gl::ShaderProgram* shader = program(*context);
  if (!shader) return false;
  gl::GLFunctions& f = context->functions();
  f.glUseProgram(shader->name());
  if (!bindArguments(*context, *shader, arguments)) {
    f.glUseProgram(0);
    return false;
  }
  context->setViewport(viewport);
  f.glUniform2f(shader->uniform("z_destOrigin"), float(imageOrigin.x()), float(imageOrigin.y()));
  f.glUniform2f(shader->uniform("z_viewportOrigin"), float(viewport.x()), float(viewport.y()));
  f.glBindVertexArray(context->emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBindVertexArray(0);
  f.glUseProgram(0);
  return true;
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
  const QRect pixels = Image::pixelBounds(output.region);
  if (pixels.isEmpty()) return {};
  gl::TexturePool& pool = gl::TexturePool::shared();
  if (pixels.width() > pool.maxTextureSize() || pixels.height() > pool.maxTextureSize()) {
    fail(QStringLiteral("an image of %1 × %2 is too large")
             .arg(pixels.width())
             .arg(pixels.height()));
    return {};
  }
  gl::TextureHandle texture =
      pool.acquire(pixels.size(), gl::TextureTarget::Texture2D, output.format);
  if (!texture) return {};
  bool drawn = false;
  {
    SavedTarget saved(*context);
    gl::RenderTarget& target = context->cached<gl::RenderTarget>(
        QStringLiteral("image.kernelTarget"), [] { return std::make_shared<gl::RenderTarget>(); });
    target.setBlend(gl::GLContext::Blend{});
    target.setViewport(QRect());
    if (target.bind(texture))
      drawn = renderInto(QRect(QPoint(0, 0), pixels.size()), QPointF(pixels.topLeft()), arguments);
    target.detach();
  }
  if (!drawn) return {};
  return Image::rendered(texture, QRectF(pixels), output.extent, output.edge);
}

}  // namespace image
