#include "platform/image/KernelPass.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/ShaderProgram.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace image {

namespace {

const char* kPreamble = R"(#version 330 core
// The image-plane position minus the target pixel's, folded into one
// uniform: every operation on uniforms is redone per fragment on llvmpipe.
uniform vec2 z_pixelToImage;
out vec4 z_fragColour;
vec2 destCoord() { return gl_FragCoord.xy + z_pixelToImage; }
vec4 premultiply(vec4 c) { return vec4(c.rgb * c.a, c.a); }
vec4 unpremultiply(vec4 c) { return c.a > 0.0 ? vec4(c.rgb / c.a, c.a) : vec4(0.0); }
// extent: left, bottom, right, top.
bool z_inside(vec4 extent, vec2 p) {
  return all(greaterThanEqual(p, extent.xy)) && all(lessThanEqual(p, extent.zw));
}
// map: the coordinates of an image-plane point p in the image's texture are
// p * map.xy + map.zw (the order of the rows folded in): normalised for a
// filtered read, whole texels for a texture lying pixel on pixel (fetched,
// clamped to the edge). region: what the texture covers. Between its
// texture and its extent (an infinite image) an image shows its edge
// pixels; beyond its extent it is transparent.
vec4 z_filtered(sampler2D s, vec4 map, vec2 p) { return texture(s, p * map.xy + map.zw); }
vec4 z_fetched(sampler2D s, vec4 map, vec2 p) {
  ivec2 t = ivec2(floor(p * map.xy + map.zw));
  return texelFetch(s, clamp(t, ivec2(0), textureSize(s, 0) - 1), 0);
}
// The texel under the pixel being made, for a texture lying pixel on pixel
// and covering the area drawn: its centre is gl_FragCoord.xy + offset, or
// (x + offset.x, offset.y - y) with the rows top first. (The same with the
// sign taken from a uniform runs markedly slower on llvmpipe.)
vec4 z_fetchedHere(sampler2D s, vec2 offset) {
  return texelFetch(s, ivec2(gl_FragCoord.xy + offset), 0);
}
vec4 z_fetchedHereRowsDown(sampler2D s, vec2 offset) {
  return texelFetch(s, ivec2(gl_FragCoord.x + offset.x, offset.y - gl_FragCoord.y), 0);
}
// The pixel centres around p (o, o + step) and the weights between them.
void z_around(vec4 region, vec2 size, vec2 p, out vec2 o, out vec2 step, out vec2 f) {
  step = (region.zw - region.xy) / size;
  vec2 texel = (p - region.xy) / step - 0.5;
  vec2 base = floor(texel);
  f = texel - base;
  o = region.xy + (base + 0.5) * step;
}
// Bilinear between four pixels, premultiplied before mixing so that
// transparent pixels lend no colour (no dark fringes when resampling).
vec4 z_mixPremultiplied(vec4 a, vec4 b, vec4 c, vec4 d, vec2 f) {
  return mix(mix(premultiply(a), premultiply(b), f.x), mix(premultiply(c), premultiply(d), f.x),
             f.y);
}
)";

const char* kMain = "void main() { z_fragColour = kernelMain(); }\n";

// An image parameter read from a texture ($: its name). $_at reads
// anywhere (transparent beyond the extent); $_sample is the same, or, for a
// pointwise kernel (which reads at destCoord() only) when the image covers
// the area drawn, a read without the extent test.
const char* kSamplerBlock = R"(uniform sampler2D $;
uniform vec4 $_map;
uniform vec2 $_texel;
uniform vec4 $_region;
uniform vec4 $_extent;
vec4 $_at(vec2 p) {
  vec4 c = READ($, $_map, p);
  return z_inside($_extent, p) ? c : vec4(0.0);
}
vec4 $_sample(vec2 p) { return SAMPLE; }
vec4 $_premultiplied(vec2 p) { return premultiply($_sample(p)); }
BILINEAR)";

const char* kBilinearAround = R"(vec4 $_samplePremultiplied(vec2 p) {
  vec2 o, d, f;
  z_around($_region, vec2(textureSize($, 0)), p, o, d, f);
  return z_mixPremultiplied($_at(o), $_at(o + vec2(d.x, 0.0)), $_at(o + vec2(0.0, d.y)),
                            $_at(o + d), f);
}
)";

// Bilinear on a texture lying pixel on pixel, worked out among its texels:
// PLACE is p's place between the texel centres (whole numbers there), in the
// texture's own row order; texelBounds holds the first and last texels whose
// centres lie in the extent, texelLast the texture's last texel. They are
// made once per pass on the CPU, since llvmpipe redoes any arithmetic on
// uniforms for every pixel (the general read below works out the texel size
// and the extent test per tap). Where the extent holds exactly the
// texture's texels (OUTSIDE tests the texture's size), no clamp is needed.
const char* kBilinearTexels = R"(uniform vec2 $_texelOrigin;
uniform ivec4 $_texelBounds;
uniform ivec2 $_texelLast;
vec4 $_texelPremultiplied(ivec2 t) {
  if (OUTSIDE) return vec4(0.0);
  return premultiply(texelFetch($, CLAMPED, 0));
}
vec4 $_texelsPremultiplied(vec2 q) {
  vec2 base = floor(q);
  vec2 f = q - base;
  ivec2 t = ivec2(base);
  return mix(mix($_texelPremultiplied(t), $_texelPremultiplied(t + ivec2(1, 0)), f.x),
             mix($_texelPremultiplied(t + ivec2(0, 1)), $_texelPremultiplied(t + ivec2(1)), f.x),
             f.y);
}
vec4 $_samplePremultiplied(vec2 p) { return $_texelsPremultiplied(PLACE); }
)";

// A kernel reading an image at an affine map of the pixel position (a
// derived `<image>_affine`: image-plane point p reads p * affine.xy +
// affine.zw) gets $_affinePremultiplied(). For a fetched texture the map is
// composed on the CPU with the pass's placement and the texel place, so a
// pixel costs one multiply-add on one uniform; other reads go through
// destCoord().
const char* kAffineTexels = R"(uniform vec4 $_affine;
uniform vec4 $_fragAffine;
vec4 $_affinePremultiplied() {
  return $_texelsPremultiplied(gl_FragCoord.xy * $_fragAffine.xy + $_fragAffine.zw);
}
)";
const char* kAffineAnywhere = R"(uniform vec4 $_affine;
vec4 $_affinePremultiplied() {
  return $_samplePremultiplied(destCoord() * $_affine.xy + $_affine.zw);
}
)";

QByteArray bilinearTexels(bool rowsDown, bool exactTexels) {
  return QByteArray(kBilinearTexels)
      .replace("OUTSIDE",
               exactTexels
                   ? "any(lessThan(t, ivec2(0))) || any(greaterThanEqual(t, textureSize($, 0)))"
                   : "any(lessThan(t, $_texelBounds.xy)) || any(greaterThan(t, $_texelBounds.zw))")
      .replace("CLAMPED", exactTexels ? "t" : "clamp(t, ivec2(0), $_texelLast)")
      .replace("PLACE", rowsDown ? "vec2(p.x + $_texelOrigin.x, $_texelOrigin.y - p.y)"
                                 : "p + $_texelOrigin");
}

// A texture lying pixel on pixel is fetched; covering the area drawn, at the
// texel under the pixel being made, since working that out from p costs
// llvmpipe about as much as the read itself.
QByteArray samplerBlock(const QByteArray& name, bool fetch, bool whole, bool rowsDown,
                        bool exactTexels, bool affine, bool samePixel) {
  QByteArray sample = "$_at(p)";
  if (samePixel)
    sample = "texelFetch($, ivec2(gl_FragCoord.xy), 0)";
  else if (whole && fetch)
    sample = rowsDown ? "z_fetchedHereRowsDown($, $_texel)" : "z_fetchedHere($, $_texel)";
  else if (whole)
    sample = "z_filtered($, $_map, p)";
  QByteArray block = QByteArray(kSamplerBlock)
                         .replace("BILINEAR", fetch ? bilinearTexels(rowsDown, exactTexels)
                                                    : QByteArray(kBilinearAround))
                         .replace("READ", fetch ? "z_fetched" : "z_filtered")
                         .replace("SAMPLE", sample);
  if (affine) block += fetch ? kAffineTexels : kAffineAnywhere;
  return block.replace("$", name);
}

// An image parameter whose result is computed in the same pass: read at
// destCoord() only, transparent beyond the result's extent (no test when
// the extent covers the area drawn). A kernel that gives premultiplied
// colour is read as it gives it, so a chain of such kernels premultiplies
// each texture it reads once and unpremultiplies once, at the end.
const char* kJoinedPremultiplied = R"(uniform vec4 $_extent;
vec4 $_premultiplied(vec2 p) { return VALUE; }
vec4 $_sample(vec2 p) { return unpremultiply($_premultiplied(p)); }
vec4 $_samplePremultiplied(vec2 p) { return $_premultiplied(p); }
)";
const char* kJoinedStraight = R"(uniform vec4 $_extent;
vec4 $_sample(vec2 p) { return VALUE; }
vec4 $_premultiplied(vec2 p) { return premultiply($_sample(p)); }
vec4 $_samplePremultiplied(vec2 p) { return $_premultiplied(p); }
)";

QByteArray joinedBlock(const QByteArray& name, const QByteArray& prefix, bool premultiplied,
                       bool whole, bool affine) {
  const QByteArray main = prefix + (premultiplied ? "kernelPremultiplied()" : "kernelMain()");
  const QByteArray value = whole ? main : "z_inside($_extent, p) ? " + main + " : vec4(0.0)";
  QByteArray block = QByteArray(premultiplied ? kJoinedPremultiplied : kJoinedStraight);
  if (affine) block += kAffineAnywhere;
  return block.replace("VALUE", value).replace("$", name);
}

QByteArrayList samplerNames(const QByteArray& n) {
  return {n,
          n + "_map",
          n + "_texel",
          n + "_region",
          n + "_extent",
          n + "_at",
          n + "_sample",
          n + "_premultiplied",
          n + "_samplePremultiplied",
          n + "_texelOrigin",
          n + "_texelBounds",
          n + "_texelLast",
          n + "_texelPremultiplied",
          n + "_texelsPremultiplied",
          n + "_affine",
          n + "_fragAffine",
          n + "_affinePremultiplied"};
}

QVector4D edges(const QRectF& r) {
  return QVector4D(float(r.left()), float(r.top()), float(r.right()), float(r.bottom()));
}

// Sampler objects for images, nearest and linear: nearest is exact (and
// cheapest) for the usual image whose texture lies pixel on pixel. Both
// clamp to the edge: beyond its extent an image is made transparent by the
// kernel's test, so no transparent border bleeds in as a dark fringe.
struct ImageSamplers {
  GLuint sampler(bool linear) const { return objects[linear].name(); }
  gl::GLObject objects[2];
};

std::shared_ptr<ImageSamplers> makeSamplers(gl::GLContext& context) {
  auto samplers = std::make_shared<ImageSamplers>();
  gl::GLFunctions& f = context.functions();
  for (int linear = 0; linear < 2; ++linear) {
    GLuint name = 0;
    f.glGenSamplers(1, &name);
    const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
    f.glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, filter);
    f.glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, filter);
    f.glSamplerParameteri(name, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    f.glSamplerParameteri(name, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    samplers->objects[linear] =
        gl::GLObject(gl::GLObject::Kind::Sampler, name, context.shareGroupLifetime());
  }
  return samplers;
}

// Whether the image's texture lies pixel on pixel on whole coordinates.
bool pixelAligned(const Image& image) {
  const QRectF r = image.region();
  const QSize size = image.texture().size();
  return r.width() == size.width() && r.height() == size.height() && r.x() == std::floor(r.x()) &&
         r.y() == std::floor(r.y());
}

// t = p * map.xy + map.zw for the image's texture: normalised, or in whole
// texels (for a texture lying pixel on pixel).
QVector4D textureMap(const Image& image, bool texels) {
  const QRectF r = image.region();
  const double sx = texels ? 1.0 : 1.0 / r.width();
  const double sy = texels ? 1.0 : 1.0 / r.height();
  if (image.rowsBottomUp())
    return QVector4D(float(sx), float(sy), float(-r.x() * sx), float(-r.y() * sy));
  return QVector4D(float(sx), float(-sy), float(-r.x() * sx), float((r.height() + r.y()) * sy));
}

// For a texture lying pixel on pixel, the offset from the target's pixel
// centre c to the centre of the texel read there (see z_fetchedHere), where
// the image-plane position is c + pixelToImage: the texel is the one holding
// that position (the floor of its texel coordinates), a whole step from one
// pixel to the next for any placement.
QVector2D texelOffset(const Image& image, const QPointF& pixelToImage) {
  const QRectF r = image.region();
  const double kx = std::floor(0.5 + pixelToImage.x() - r.x());  // the texel of pixel 0
  if (image.rowsBottomUp())
    return QVector2D(float(kx), float(std::floor(0.5 + pixelToImage.y() - r.y())));
  // Rows top first: pixel row j reads texel row k - j, centred at
  // (k + 1) - (j + 0.5).
  const double ky = std::floor(r.height() + r.y() - 0.5 - pixelToImage.y());
  return QVector2D(float(kx), float(ky + 1));
}

// The place of the image-plane point p between the centres of a texture
// lying pixel on pixel (whole numbers at the centres) is p + origin, or
// (p.x + origin.x, origin.y - p.y) with the rows top first.
QVector2D texelOrigin(const Image& image) {
  const QRectF r = image.region();
  const double y = image.rowsBottomUp() ? -r.y() - 0.5 : r.y() + r.height() - 0.5;
  return QVector2D(float(-r.x() - 0.5), float(y));
}

// A texel index from an edge worked out in doubles: kept within int range for
// an image without bounds.
int texelIndex(double value) { return int(std::clamp(value, -1.0e9, 1.0e9)); }

// The first and last texels (x0, y0, x1, y1, in the texture's own row order)
// of a texture lying pixel on pixel whose centres lie in the image's extent.
std::array<int, 4> texelBounds(const Image& image) {
  const QRectF r = image.region();
  const QRectF e = image.extent();
  const int x0 = texelIndex(std::ceil(e.left() - r.x() - 0.5));
  const int x1 = texelIndex(std::floor(e.right() - r.x() - 0.5));
  if (image.rowsBottomUp())
    return {x0, texelIndex(std::ceil(e.top() - r.y() - 0.5)), x1,
            texelIndex(std::floor(e.bottom() - r.y() - 0.5))};
  const double topRow = r.y() + r.height() - 0.5;
  return {x0, texelIndex(std::ceil(topRow - e.bottom())), x1,
          texelIndex(std::floor(topRow - e.top()))};
}

// Whether the texels whose centres lie in the image's extent are exactly
// its texture's.
bool exactTexels(const Image& image) {
  const QSize size = image.texture().size();
  return texelBounds(image) == std::array<int, 4>{0, 0, size.width() - 1, size.height() - 1};
}

void setTexelUniforms(gl::GLFunctions& f, gl::ShaderProgram& program, const QByteArray& name,
                      const Image& image) {
  const QVector2D origin = texelOrigin(image);
  f.glUniform2f(program.uniform(name + "_texelOrigin"), origin.x(), origin.y());
  const std::array<int, 4> bounds = texelBounds(image);
  f.glUniform4i(program.uniform(name + "_texelBounds"), bounds[0], bounds[1], bounds[2], bounds[3]);
  const QSize size = image.texture().size();
  f.glUniform2i(program.uniform(name + "_texelLast"), size.width() - 1, size.height() - 1);
}

// For a texture lying pixel on pixel read at the image-plane point
// p * affine.xy + affine.zw, with p = gl_FragCoord.xy + pixelToImage: the
// map from gl_FragCoord.xy straight to the place between its texel centres
// (see texelOrigin), rows top first folded in. Worked out in doubles.
QVector4D fragmentAffine(const Image& image, const QVector4D& affine, const QPointF& pixelToImage) {
  const QRectF r = image.region();
  const double sx = affine.x(), sy = affine.y();
  const double ox = pixelToImage.x() * sx + affine.z() - r.x() - 0.5;
  const double oy = pixelToImage.y() * sy + affine.w();
  if (image.rowsBottomUp())
    return QVector4D(float(sx), float(sy), float(ox), float(oy - r.y() - 0.5));
  return QVector4D(float(sx), float(-sy), float(ox), float(r.y() + r.height() - 0.5 - oy));
}

void setVector(gl::GLFunctions& f, GLint location, const QVector4D& v) {
  f.glUniform4f(location, v.x(), v.y(), v.z(), v.w());
}

// A uniform of numbers of the parameter's type.
template <typename T>
void setNumbers(gl::GLFunctions& f, GLint location, const Kernel::Parameter& parameter,
                const T& value) {
  if constexpr (std::is_same_v<T, float>) {
    f.glUniform1f(location, value);
  } else if constexpr (std::is_same_v<T, int>) {
    if (parameter.type == QLatin1String("int"))
      f.glUniform1i(location, value);
    else
      f.glUniform1f(location, float(value));
  } else if constexpr (std::is_same_v<T, QVector2D>) {
    f.glUniform2f(location, value.x(), value.y());
  } else if constexpr (std::is_same_v<T, QVector3D>) {
    f.glUniform3f(location, value.x(), value.y(), value.z());
  } else if constexpr (std::is_same_v<T, QVector4D>) {
    setVector(f, location, value);
  } else if constexpr (std::is_same_v<T, std::vector<float>>) {
    if (!value.empty()) f.glUniform1fv(location, GLsizei(value.size()), value.data());
  }
}

}  // namespace

gl::ShaderProgram* KernelPass::program(gl::GLContext& context, const QString& key,
                                       const QString& name,
                                       const std::function<QByteArray()>& source) {
  gl::ShaderProgram& program = context.cached<gl::ShaderProgram>(key, [&] {
    auto made = std::make_shared<gl::ShaderProgram>();
    QString error;
    if (!made->build(context, gl::ShaderProgram::fullTargetVertexSource(), source(), &error))
      Log::line(QStringLiteral("\t\terr: kernel %1 does not compile: %2").arg(name, error));
    return made;
  });
  return program.isValid() ? &program : nullptr;
}

bool KernelPass::compiles(gl::GLContext& context, const Kernel& kernel) {
  return program(context, kernel.sourceKey(), kernel.name(), [&kernel] {
           QByteArray source = kPreamble;
           for (const Kernel::Segment& segment : kernel.segments())
             source += segment.imageParameter < 0
                           ? segment.text
                           : samplerBlock(kernel.parameters()[segment.imageParameter].name.toUtf8(),
                                          false, false, false, false,
                                          kernel.readsAffine(segment.imageParameter), false);
           return source + kMain;
         }) != nullptr;
}

bool KernelPass::plan(const std::shared_ptr<Kernel>& kernel,
                      const std::vector<KernelArgument>& arguments, const gl::Texture* target) {
  nodes_.clear();
  textures_ = 0;
  bool ok = true;
  addNode(kernel, arguments, target, textures_, ok);
  if (textures_ > kMaxTextures) {
    kernel->fail(QStringLiteral("reads more than %1 images").arg(kMaxTextures));
    ok = false;
  }
  return ok;
}

int KernelPass::addNode(const std::shared_ptr<Kernel>& kernel,
                        const std::vector<KernelArgument>& arguments, const gl::Texture* target,
                        int& textures, bool& ok) {
  const int index = int(nodes_.size());
  const std::size_t count = kernel->parameters().size();
  nodes_.push_back(
      Node{kernel, &arguments, index == 0 ? QByteArray() : "k" + QByteArray::number(index) + "_",
           std::vector<int>(count, -1), std::vector<QRectF>(count), std::vector<Read>(count)});
  for (std::size_t i = 0; i < count && i < arguments.size(); ++i) {
    const Image* image = std::get_if<Image>(&arguments[i]);
    if (!image) continue;
    std::shared_ptr<Kernel> inner;
    const std::vector<KernelArgument>* innerArguments = Kernel::sourceArguments(*image, &inner);
    if (kernel->pointwise() && innerArguments && !image->isInfinite() &&
        image->edgeMode() == EdgeMode::Transparent) {
      const std::size_t nodesBefore = nodes_.size();
      const int texturesBefore = textures;
      bool innerOk = true;
      const int joined = addNode(inner, *innerArguments, target, textures, innerOk);
      if (innerOk && textures <= kMaxTextures) {
        nodes_[index].joined[i] = joined;
        nodes_[index].joinedExtents[i] = image->extent();
        continue;
      }
      nodes_.resize(nodesBefore);
      textures = texturesBefore;
    }
    const gl::TextureHandle& texture = image->texture();  // made now when it must be
    if (texture.isRectangle()) {
      kernel->fail(QStringLiteral("an image has a rectangle texture"));
      ok = false;
    }
    if (texture.storage() && texture.storage() == target) {
      kernel->fail(QStringLiteral("an image would read the texture being drawn"));
      ok = false;
    }
    ++textures;
  }
  return index;
}

void KernelPass::emit(int index, QByteArray& out) const {
  const Node& node = nodes_[index];
  const Kernel& kernel = *node.kernel;
  for (int joined : node.joined)
    if (joined >= 0) emit(joined, out);
  QByteArrayList names;
  if (!node.prefix.isEmpty()) {
    for (const QString& name : kernel.definedNames()) names << name.toUtf8();
    for (const Kernel::Parameter& p : kernel.parameters()) {
      if (p.type == QLatin1String("sampler2D"))
        names << samplerNames(p.name.toUtf8());
      else
        names << p.name.toUtf8();
    }
    for (const Kernel::Parameter& p : kernel.derivedUniforms()) names << p.name.toUtf8();
    for (const QByteArray& name : names) out += "#define " + name + " " + node.prefix + name + "\n";
  }
  for (const Kernel::Segment& segment : kernel.segments()) {
    if (segment.imageParameter < 0) {
      out += segment.text;
      continue;
    }
    const QByteArray name = kernel.parameters()[segment.imageParameter].name.toUtf8();
    const int joined = node.joined[segment.imageParameter];
    const Read read = node.reads[segment.imageParameter];
    const bool affine = kernel.readsAffine(segment.imageParameter);
    out += joined < 0
               ? samplerBlock(name, read.fetch, read.whole, read.rowsDown, read.exactTexels, affine,
                              read.samePixel)
               : joinedBlock(name, nodes_[joined].prefix,
                             nodes_[joined].kernel->givesPremultiplied(), read.whole, affine);
  }
  for (const QByteArray& name : names) out += "#undef " + name + "\n";
}

QByteArray KernelPass::fragmentSource() const {
  QByteArray source = kPreamble;
  if (!nodes_.empty()) emit(0, source);
  return source + kMain;
}

KernelPass::Read KernelPass::readOf(const Node& node, std::size_t i, const QRectF& area,
                                    const QPointF& pixelToImage) {
  Read read;
  // Only a kernel that reads at destCoord() reads nowhere but the area (and
  // only such a kernel has joined inputs).
  const bool pointwise = node.kernel->pointwise();
  if (node.joined[i] >= 0) {
    read.whole = node.joinedExtents[i].contains(area);
    return read;
  }
  const Image* image = std::get_if<Image>(&(*node.arguments)[i]);
  if (!image || image->texture().isNull()) return read;
  read.fetch = pixelAligned(*image);
  read.whole = pointwise && image->extent().intersected(image->region()).contains(area);
  // The row order is in the source of every fetch (the bilinear read works
  // it out among the texels).
  read.rowsDown = read.fetch && !image->rowsBottomUp();
  read.exactTexels = read.fetch && exactTexels(*image);
  // A texture lying on the target itself is read with no offset at all,
  // which llvmpipe would otherwise add for every pixel.
  read.samePixel = read.fetch && read.whole && !read.rowsDown &&
                   texelOffset(*image, pixelToImage) == QVector2D(0, 0);
  return read;
}

void KernelPass::decideReads(const QRectF& area) {
  for (Node& node : nodes_)
    for (std::size_t i = 0; i < node.reads.size(); ++i)
      node.reads[i] = node.kernel->parameters()[i].type == QLatin1String("sampler2D")
                          ? readOf(node, i, area, pixelToImage_)
                          : Read{};
}

QString KernelPass::shapeKey(int index) const {
  const Node& node = nodes_[index];
  QString key = node.kernel->sourceKey();
  for (std::size_t i = 0; i < node.joined.size(); ++i) {
    const Read read = node.reads[i];
    if (node.joined[i] >= 0)
      key += QStringLiteral(",%1%2[%3]")
                 .arg(i)
                 .arg(read.whole ? 'w' : 't')
                 .arg(shapeKey(node.joined[i]));
    else if (read.fetch || read.whole)
      key += QStringLiteral(",%1%2%3%4")
                 .arg(i)
                 .arg(read.samePixel ? 'p'
                      : read.fetch   ? (read.rowsDown ? 'd' : 'f')
                                     : 'l')
                 .arg(read.whole ? 'w' : 't')
                 .arg(read.exactTexels ? QStringLiteral("x") : QString());
  }
  return key;
}

void KernelPass::bind(gl::GLContext& context, gl::ShaderProgram& program, int index,
                      int& unit) const {
  const Node& node = nodes_[index];
  gl::GLFunctions& f = context.functions();
  const auto& parameters = node.kernel->parameters();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const QByteArray name = node.prefix + parameters[i].name.toUtf8();
    const GLint location = program.uniform(name.constData());
    if (node.joined[i] >= 0) {
      setVector(f, program.uniform(name + "_extent"), edges(node.joinedExtents[i]));
      bind(context, program, node.joined[i], unit);
      continue;
    }
    std::visit(
        [&](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, Image>) {
            const gl::TextureHandle& texture = value.texture();
            const bool none = texture.isNull();
            f.glActiveTexture(GL_TEXTURE0 + unit);
            f.glBindTexture(GL_TEXTURE_2D, none ? 0 : texture.name());
            const ImageSamplers& samplers = context.cached<ImageSamplers>(
                QStringLiteral("image.samplers"), [&context] { return makeSamplers(context); });
            f.glBindSampler(GLuint(unit), samplers.sampler(!none && !pixelAligned(value)));
            f.glUniform1i(location, unit);
            ++unit;
            setVector(f, program.uniform(name + "_map"),
                      none ? QVector4D() : textureMap(value, node.reads[i].fetch));
            if (!none && node.reads[i].fetch) setTexelUniforms(f, program, name, value);
            if (!none && node.reads[i].fetch && node.reads[i].whole && !node.reads[i].samePixel) {
              const QVector2D offset = texelOffset(value, pixelToImage_);
              f.glUniform2f(program.uniform(name + "_texel"), offset.x(), offset.y());
            }
            setVector(f, program.uniform(name + "_region"),
                      none ? QVector4D(0, 0, 1, 1) : edges(value.region()));
            setVector(f, program.uniform(name + "_extent"),
                      none ? QVector4D(1, 1, -1, -1) : edges(value.extent()));
          } else {
            setNumbers(f, location, parameters[i], value);
          }
        },
        (*node.arguments)[i]);
  }
  const auto& derived = node.kernel->derivedUniforms();
  if (derived.empty()) return;
  const std::vector<KernelArgument> values = node.kernel->derivedValues(*node.arguments);
  for (std::size_t i = 0; i < derived.size() && i < values.size(); ++i) {
    const QByteArray name = node.prefix + derived[i].name.toUtf8();
    std::visit(
        [&](const auto& value) {
          if constexpr (!std::is_same_v<std::decay_t<decltype(value)>, Image>)
            setNumbers(f, program.uniform(name), derived[i], value);
        },
        values[i]);
    const int image = derived[i].affineImage;
    const auto* affine = std::get_if<QVector4D>(&values[i]);
    if (image >= 0 && affine && node.joined[image] < 0 && node.reads[image].fetch)
      setVector(f, program.uniform(node.prefix + parameters[image].name.toUtf8() + "_fragAffine"),
                fragmentAffine(std::get<Image>((*node.arguments)[image]), *affine, pixelToImage_));
  }
}

bool KernelPass::draw(gl::GLContext& context, const QRect& viewport, const QPointF& imageOrigin) {
  if (nodes_.empty()) return false;
  pixelToImage_ = imageOrigin - QPointF(viewport.topLeft());
  decideReads(QRectF(imageOrigin, QSizeF(viewport.size())));
  const Node& root = nodes_[0];
  const QString key = shapeKey(0);
  gl::ShaderProgram* shader =
      program(context, key, root.kernel->name(), [this] { return fragmentSource(); });
  if (!shader) return false;
  gl::GLFunctions& f = context.functions();
  f.glUseProgram(shader->name());
  int units = 0;
  bind(context, *shader, 0, units);
  f.glActiveTexture(GL_TEXTURE0);
  context.setViewport(viewport);
  f.glUniform2f(shader->uniform("z_pixelToImage"), float(pixelToImage_.x()),
                float(pixelToImage_.y()));
  f.glBindVertexArray(context.emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBindVertexArray(0);
  f.glUseProgram(0);
  for (int unit = 0; unit < units; ++unit) f.glBindSampler(GLuint(unit), 0);
  return true;
}

}  // namespace image
