#pragma once

#include "app/compositor/CaptureRenderer.h"
#include "app/compositor/CompModeContext.h"
#include "app/compositor/CompositorLayer.h"
#include "app/compositor/FrameDrawer.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/GLTest.h"

#include <QColor>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

// Everything the fakes do, in order, as short words ("render:A",
// "alpha:A(A)", "comp:A(B,A)", "gl:A", …), shared by the fakes of a test.
class CallLog {
 public:
  void add(const QString& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_ << call;
  }
  QStringList calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  QStringList callsStartingWith(const QString& prefix) const {
    return calls().filter(QRegularExpression("^" + prefix));
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }

  // Images are told apart by their texture: each gets a label.
  image::Image labelled(const QString& label) {
    gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(4, 4));
    labels_.insert(texture.storage(), label);
    return image::Image::withTexture(texture, QSizeF(4, 4), true);
  }
  gl::TextureHandle labelledTexture(const QString& label) { return labelled(label).texture(); }
  QString labelOf(const image::Image& image) const {
    if (image.isNull()) return QStringLiteral("null");
    return labels_.value(image.texture().storage(), QStringLiteral("?"));
  }

 private:
  mutable std::mutex mutex_;
  QStringList calls_;
  QMap<const void*, QString> labels_;
};

// A filter that logs its inputs' labels and answers a new labelled image
// (or none when told to fail).
class RecordingFilter : public image::Filter {
 public:
  RecordingFilter(CallLog& log, QString tag, QStringList keys)
      : Filter(tag, keys), log_(log), tag_(std::move(tag)), keys_(std::move(keys)) {}
  image::Image outputImage() override {
    QStringList inputs;
    for (const QString& key : keys_) {
      const QVariant value = input(key);
      inputs << (value.canConvert<image::Image>() ? log_.labelOf(value.value<image::Image>())
                                                  : QString::number(value.toDouble()));
    }
    const QString call = tag_ + "(" + inputs.join(",") + ")";
    log_.add(call);
    return fail ? image::Image() : log_.labelled(call);
  }
  bool fail = false;

 private:
  CallLog& log_;
  QString tag_;
  QStringList keys_;
};

class FakeCompContext : public CompModeContext {
 public:
  FakeCompContext(CallLog& log, QString name, bool canMakeRenderer = true)
      : log_(log), name_(std::move(name)), canMake_(canMakeRenderer) {}
  bool hasRenderer() const override { return has_; }
  // The first call only makes the renderer.
  void render() override {
    if (!has_) {
      has_ = canMake_;
      return;
    }
    log_.add("qc:render(" + inputs_.join(",") + ")");
    inputs_.clear();
    output_ = log_.labelledTexture("qc:" + name_);
  }
  QStringList inputKeys() const override { return {"background", "foreground", "opacity"}; }
  void setImageInput(const QString& key, const image::Image& image) override {
    inputs_ << key + "=" + log_.labelOf(image);
  }
  void setNumberInput(const QString& key, double value) override {
    inputs_ << key + "=" + QString::number(value);
  }
  void setPBufferRef(const gl::TextureHandle& buffer) override {
    if (buffer) buffers_ << buffer.storage();
  }
  void draw() override {}
  gl::TextureHandle textureRef() const override { return output_; }
  QList<const void*> buffers_;

 private:
  CallLog& log_;
  QString name_;
  bool canMake_;
  bool has_ = false;
  QStringList inputs_;
  gl::TextureHandle output_;
};

class FakeLayer : public CompositorLayer {
 public:
  FakeLayer(CallLog& log, QString name, int depth = 0)
      : log_(log),
        name_(std::move(name)),
        depth_(depth),
        alpha_(log, "alpha:" + name_, {"inputImage", "alphaNumber"}),
        comp_(log, "comp:" + name_, {"inputBackgroundImage", "inputImage"}) {
    image = log.labelled(name_);
  }

  // LayerInterface
  QString layerName() const override { return name_; }
  QSizeF layerSize() const override { return QSizeF(8, 8); }
  int depth() const override { return depth_; }
  int orderedLayerIndex() const override { return 0; }

  void lockForRender() override {
    mutex_.lock();
    ++locks;
  }
  bool tryLockForRender() override {
    if (busy.load() || !mutex_.try_lock()) return false;
    ++locks;
    return true;
  }
  void unlockRender() override {
    --locks;
    mutex_.unlock();
  }
  void render(const gl::DisplayLink::Frame&) override {
    log_.add("render:" + name_);
    if (throwInRender) throw std::runtime_error("layer " + name_.toStdString() + " broke");
  }
  void drawToBuffer() override { log_.add("buffer:" + name_); }
  image::Image drawAndGetCIContentForCanvas() override { return image; }
  int compRenderingMode() const override { return compMode; }
  float renderAlphaVal() const override { return opacity; }
  image::Filter* alphaFilter() override { return &alpha_; }
  image::Filter* ciCompFilter() override { return &comp_; }
  CompModeContext* qcCompContext() override { return compContext.get(); }
  void idleCallback() override { log_.add("idle:" + name_); }
  // Fills the target with `colour` through the GL blend.
  void drawGLContent() override {
    log_.add("gl:" + name_);
    if (!colour.isValid()) return;
    gl::GLContext* context = gl::GLContext::current();
    gl::GLContext::Blend blend{true, blendSource, blendDestination};
    context->setBlend(blend);
    const gl::TextureHandle white = whiteTexture();
    const QRectF all(QPointF(0, 0), QSizeF(context->viewport().size()));
    gl::QuadShader::forCurrentContext()->draw(
        white, all, gl::QuadShader::TexCoords{0, 0, 1, 1},
        QVector4D(colour.redF(), colour.greenF(), colour.blueF(), colour.alphaF() * opacity));
  }

  RecordingFilter& comp() { return comp_; }
  static gl::TextureHandle whiteTexture() { return GLTest::solidTexture(QSize(1, 1), Qt::white); }

  image::Image image;
  int compMode = 0;
  float opacity = 1.0f;
  std::unique_ptr<FakeCompContext> compContext;
  QColor colour;
  GLenum blendSource = GL_SRC_ALPHA, blendDestination = GL_ONE_MINUS_SRC_ALPHA;
  std::atomic<bool> busy{false};
  std::atomic<bool> throwInRender{false};
  std::atomic<int> locks{0};

 private:
  CallLog& log_;
  QString name_;
  int depth_;
  RecordingFilter alpha_;
  RecordingFilter comp_;
  std::mutex mutex_;
};

class FakeCapture : public CaptureRenderer {
 public:
  explicit FakeCapture(CallLog& log) : log_(log) {}
  void lock() override { ++locks; }
  bool tryLock() override {
    ++locks;
    return true;
  }
  void unlock() override { --locks; }
  void render(const gl::DisplayLink::Frame&) override { log_.add("capture"); }
  std::atomic<int> locks{0};

 private:
  CallLog& log_;
};

class FakePreview : public FrameDrawer {
 public:
  FakePreview(CallLog& log, QString name) : log_(log), name_(std::move(name)) {}
  void draw() override { log_.add("draw:" + name_); }

 private:
  CallLog& log_;
  QString name_;
};

// A layer of one colour over the whole canvas at opacity 1, composited by
// the real "CISourceOverCompositing" (the catalogue has no "QKFilterAlpha"
// yet: the image goes unfaded).
class PixelLayer : public FakeLayer {
 public:
  PixelLayer(CallLog& log, QString name, QColor fill)
      : FakeLayer(log, std::move(name)),
        fill_(fill),
        compFilter_(image::FilterRegistry::shared().filterWithName("CISourceOverCompositing")) {}
  image::Image drawAndGetCIContentForCanvas() override {
    if (!texture_) texture_ = GLTest::solidTexture(QSize(8, 8), fill_);
    return image::Image::fromTexture(texture_);
  }
  image::Filter* alphaFilter() override { return nullptr; }
  image::Filter* ciCompFilter() override { return compFilter_.get(); }

 private:
  QColor fill_;
  gl::TextureHandle texture_;
  std::shared_ptr<image::Filter> compFilter_;
};

// The colour without its alpha (the output is opaque).
inline QColor opaque(QColor colour) {
  colour.setAlpha(255);
  return colour;
}
