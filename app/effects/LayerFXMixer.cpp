#include "app/effects/LayerFXMixer.h"

#include "framework/render/WetDryContext.h"

namespace {

class WetDryMixer : public LayerFXMixer {
 public:
  explicit WetDryMixer(std::shared_ptr<WetDryContext> context) : context_(std::move(context)) {}
  void setWetDryValue(float wetDry) override { context_->setWetDryValue(wetDry); }
  void setFrontTextureRef(const gl::TextureHandle& t) override { context_->setFrontTextureRef(t); }
  void setBackTextureRef(const gl::TextureHandle& t) override { context_->setBackTextureRef(t); }
  void setPBufferRef(const gl::TextureHandle& buffer) override { context_->setPBufferRef(buffer); }
  void render() override { context_->render(); }
  void draw() override { context_->draw(); }
  gl::TextureHandle textureRef() const override { return context_->textureRef(); }
  void setSize(QSizeF size) override { context_->setSize(size); }
  void useGLCompMode(int dFactor) override { context_->useGLCompMode(GLenum(dFactor)); }
  void useCICompMode(const QString& name) override { context_->useCICompMode(name); }
  void useQCCompMode(const QString& name) override { context_->useQCCompMode(name); }
  int contentsRenderingMode() const override { return context_->contentsRenderingMode(); }
  int compRenderingMode() const override { return context_->compRenderingMode(); }
  int dFactor() const override { return int(context_->dFactor()); }
  QString CIFilterName() const override { return context_->CIFilterName(); }
  QString QCFilterName() const override { return context_->QCFilterName(); }
  QVariantMap createSnapshot() const override { return context_->createSnapshot(); }
  void loadSnapshot(const QVariantMap& snapshot) override { context_->loadSnapshot(snapshot); }
  void prepareToBeDeleted() override { context_->prepareToBeDeleted(); }

 private:
  std::shared_ptr<WetDryContext> context_;
};

}  // namespace

std::shared_ptr<LayerFXMixer> LayerFXMixer::wrapping(std::shared_ptr<WetDryContext> context) {
  if (!context) return nullptr;
  return std::make_shared<WetDryMixer>(std::move(context));
}
