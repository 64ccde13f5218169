#include "framework/render/WetDryContext.h"

#include "framework/filters/QKFilterAlpha.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKCIGLContext.h"
#include "framework/render/QKGL2LayerContext.h"
#include "framework/render/QKQCGLContext.h"
#include "framework/render/TheApplication.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/gl/QuadShader.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

#include <cmath>

const QString WetDryContext::kContentsRenderingMode = QStringLiteral("contentsRenderingMode");
const QString WetDryContext::kCompRenderingMode = QStringLiteral("compRenderingMode");
const QString WetDryContext::kCIFilterName = QStringLiteral("CIFilterName");
const QString WetDryContext::kQCFilterName = QStringLiteral("QCFilterName");
const QString WetDryContext::kDFactor = QStringLiteral("dFactor");
const QString WetDryContext::kDefaultCIFilterName = QStringLiteral("CISourceAtopCompositing");

namespace {

const QString kBackground = QStringLiteral("background");
const QString kForeground = QStringLiteral("foreground");
const QString kOpacity = QStringLiteral("opacity");

std::shared_ptr<image::Filter> filterNamed(const QString& name) {
  return image::FilterRegistry::shared().filterWithName(name);
}

// A string of a snapshot, or empty.
QString stringIn(const QVariantMap& snapshot, const QString& key) {
  const QVariant value = snapshot.value(key);
  return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

}  // namespace

std::shared_ptr<WetDryContext> WetDryContext::create(gl::GLContext* sharedContext,
                                                     gl::TexturePool* textureCache, QSizeF size) {
  if (!sharedContext || !textureCache) return nullptr;
  return std::shared_ptr<WetDryContext>(new WetDryContext(sharedContext, textureCache, size));
}

WetDryContext::WetDryContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache,
                             QSizeF size)
    : CIFilterName_(kDefaultCIFilterName),
      QCFilterName_(QCUtils::defaultQCCompModePath()),
      sharedContext_(sharedContext),
      textureCache_(textureCache),
      size_(size) {
  QKFilterAlpha::registerFilter();
  compContext_ = QKGL2LayerContext::create(sharedContext_, textureCache_, size_);
  frontAlphaFilter_ = filterNamed(QKFilterAlpha::kName);
  backAlphaFilter_ = filterNamed(QKFilterAlpha::kName);
  ciCompFilter_ = filterNamed(CIFilterName_);
}

WetDryContext::~WetDryContext() {
  if (!deleted_) prepareToBeDeleted();
  releaseCompContext();
}

void WetDryContext::prepareToBeDeleted() {
  deleted_ = true;
  if (compContext_) compContext_->prepareToBeDeleted();
}

QString WetDryContext::CIFilterName() const { return deleted_ ? QString() : CIFilterName_; }
QString WetDryContext::QCFilterName() const { return deleted_ ? QString() : QCFilterName_; }

void WetDryContext::setWetDryValue(float wetDry) {
  if (!std::isfinite(wetDry)) {
    Log::limited(QStringLiteral("WetDryContext.amount"),
                 QStringLiteral("\t\terr: wet/dry amount is not a number"));
    return;
  }
  wetDryValue_ = wetDry;
}

void WetDryContext::releaseCompContext() {
  // The frame under way may still draw with it or read its texture.
  if (compContext_) TheApplication::addItemToQCDeleteArray(std::move(compContext_));
  compContext_.reset();
}

void WetDryContext::createCompContext() {
  releaseCompContext();
  if (contentsRenderingMode_ != 0) {
    compContext_ = QKGL2LayerContext::create(sharedContext_, textureCache_, size_);
  } else if (compRenderingMode_ != 0) {
    const QString path = QCUtils::pathForQCCompModeNamed(QCFilterName_);
    if (!path.isEmpty())
      compContext_ = QKQCGLContext::create(path, sharedContext_, textureCache_, size_);
  } else {
    compContext_ = QKCIGLContext::create(sharedContext_, textureCache_, size_);
  }
}

void WetDryContext::setContentsRenderingMode(int mode) {
  if (mode == contentsRenderingMode_) return;
  contentsRenderingMode_ = mode;
  createCompContext();
}

void WetDryContext::setCompRenderingMode(int mode) {
  if (mode == compRenderingMode_) return;
  compRenderingMode_ = mode;
  createCompContext();
}

void WetDryContext::useGLCompMode(GLenum dFactor) {
  setContentsRenderingMode(1);
  dFactor_ = dFactor;
  if (auto* blend = dynamic_cast<QKGL2LayerContext*>(compContext_.get()))
    blend->setDFactor(dFactor);
}

void WetDryContext::useCICompMode(const QString& filterName) {
  if (filterName.isEmpty()) return;
  setContentsRenderingMode(0);
  setCompRenderingMode(0);
  CIFilterName_ = filterName;
  ciCompFilter_ = filterNamed(filterName);
}

void WetDryContext::useQCCompMode(const QString& compModeName) {
  if (compModeName.isEmpty()) return;
  const QString path = QCUtils::pathForQCCompModeNamed(compModeName);
  if (contentsRenderingMode_ == 0 && compRenderingMode_ == 1) {
    if (compModeName == QCFilterName_) return;
    QCFilterName_ = compModeName;
    if (auto* composition = dynamic_cast<QKQCGLContext*>(compContext_.get()))
      composition->useFile(path);
    else
      createCompContext();
    return;
  }
  QCFilterName_ = compModeName;
  setContentsRenderingMode(0);
  setCompRenderingMode(1);
}

void WetDryContext::setSize(QSizeF size) {
  size_ = size;
  if (compContext_) compContext_->setSize(size);
}

void WetDryContext::setPBufferRef(const gl::TextureHandle& buffer) {
  if (compContext_) compContext_->setPBufferRef(buffer);
}

void WetDryContext::render() {
  if (compContext_) compContext_->render();
}

gl::TextureHandle WetDryContext::textureRef() const {
  return compContext_ ? compContext_->textureRef() : gl::TextureHandle();
}

void WetDryContext::draw() {
  if (!compContext_) return;
  if (auto* blend = dynamic_cast<QKGL2LayerContext*>(compContext_.get()))
    drawBlend(*blend);
  else if (auto* composition = dynamic_cast<QKQCGLContext*>(compContext_.get()))
    drawComposition(*composition);
  else if (auto* filter = dynamic_cast<QKCIGLContext*>(compContext_.get()))
    drawFilter(*filter);
}

void WetDryContext::drawBlend(QKGL2LayerContext& context) {
  context.setBackTextureRef(back_);
  context.setFrontTextureRef(front_);
  context.setWetDryValue(wetDryValue_);
  context.draw();
}

void WetDryContext::drawComposition(QKQCGLContext& context) {
  if (const std::shared_ptr<composition::QCRenderer>& renderer = context.renderer()) {
    if (back_ && renderer->hasInputKey(kBackground)) renderer->setImage(kBackground, back_);
    if (front_ && renderer->hasInputKey(kForeground)) renderer->setImage(kForeground, front_);
    if (renderer->hasInputKey(kOpacity)) renderer->setNumber(kOpacity, wetDryValue_);
  }
  context.draw();
}

image::Image WetDryContext::faded(image::Filter* alphaFilter, const image::Image& image,
                                  float opacity) {
  if (!alphaFilter || image.isNull()) return image;
  alphaFilter->setValue(QVariant::fromValue(image), FilterKeys::kInputImage);
  alphaFilter->setValue(opacity, QKFilterAlpha::kAlphaNumber);
  const image::Image result = alphaFilter->outputImage();
  alphaFilter->setValue(QVariant(), FilterKeys::kInputImage);
  return result;
}

void WetDryContext::drawFilter(QKCIGLContext& context) {
  using FilterKeys::kInputBackgroundImage;
  using FilterKeys::kInputImage;
  if (!ciCompFilter_) return;
  const QKGL2LayerContext::Opacities opacities = QKGL2LayerContext::opacitiesFor(wetDryValue_);
  const image::Image wet = faded(frontAlphaFilter_.get(), filterInput(front_), opacities.wet);
  const image::Image dry = faded(backAlphaFilter_.get(), filterInput(back_), opacities.dry);
  image::Image result = wet ? wet : dry;
  if (wet && dry) {
    ciCompFilter_->setValue(QVariant::fromValue(dry), kInputBackgroundImage);
    ciCompFilter_->setValue(QVariant::fromValue(wet), kInputImage);
    result = ciCompFilter_->outputImage();
    ciCompFilter_->setValue(QVariant(), kInputBackgroundImage);
    ciCompFilter_->setValue(QVariant(), kInputImage);
  }
  if (result) context.drawImage(result);
}

image::Image WetDryContext::filterInput(const gl::TextureHandle& texture) {
  if (!texture) return {};
  if (!texture.isRectangle()) return image::Image::fromTexture(texture);
  // The filter engine reads 2D textures only: draw it into one of the pool.
  const QSize size = texture.size();
  gl::TextureHandle copy = textureCache_->acquire(size);
  gl::QuadShader* shader = gl::QuadShader::forCurrentContext();
  if (!copy || !shader) return {};
  if (!copyTarget_) copyTarget_ = std::make_unique<gl::RenderTarget>();
  copyTarget_->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(size)));
  if (!copyTarget_->bind(copy)) return {};
  shader->drawUpright(texture, QRectF(QPointF(0, 0), QSizeF(size)));
  copyTarget_->detach();
  return image::Image::fromTexture(copy.withFlipped(false));
}

QVariantMap WetDryContext::createSnapshot() const {
  QVariantMap snapshot{{kContentsRenderingMode, contentsRenderingMode_},
                       {kCompRenderingMode, compRenderingMode_},
                       {kDFactor, int(dFactor_)}};
  if (!CIFilterName_.isEmpty()) snapshot.insert(kCIFilterName, CIFilterName_);
  if (!QCFilterName_.isEmpty()) snapshot.insert(kQCFilterName, QCFilterName_);
  return snapshot;
}

void WetDryContext::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant contents = snapshot.value(kContentsRenderingMode);
  if (!VariantNumbers::isNumber(contents)) return;
  const QVariant dFactor = snapshot.value(kDFactor);
  const bool hasDFactor = VariantNumbers::isNumber(dFactor);
  const QString ciName = stringIn(snapshot, kCIFilterName);
  const QString qcName = stringIn(snapshot, kQCFilterName);
  if (contents.toInt() != 0) {
    if (hasDFactor) useGLCompMode(GLenum(dFactor.toInt()));
    if (!ciName.isEmpty()) CIFilterName_ = ciName;
    if (!qcName.isEmpty()) QCFilterName_ = qcName;
    return;
  }
  const QVariant comp = snapshot.value(kCompRenderingMode);
  if (!VariantNumbers::isNumber(comp)) return;
  if (comp.toInt() != 0) {
    useQCCompMode(qcName);
    if (!ciName.isEmpty()) CIFilterName_ = ciName;
  } else {
    useCICompMode(ciName);
    if (!qcName.isEmpty()) QCFilterName_ = qcName;
  }
  if (hasDFactor) dFactor_ = GLenum(dFactor.toInt());
}
