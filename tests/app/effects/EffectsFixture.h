#pragma once

#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXHost.h"
#include "app/effects/LayerFXMixer.h"
#include "app/effects/LayerFXObject.h"
#include "app/effects/LayerFXRenderContext.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/fx/FXChainManager.h"
#include "platform/gl/TexturePool.h"

#include <QSize>

#include <vector>

namespace gl {
// The tests compare buffers by identity.
inline bool operator==(const TextureHandle& a, const TextureHandle& b) {
  return a.storage() == b.storage();
}
inline void PrintTo(const TextureHandle& handle, std::ostream* out) {
  *out << "texture " << static_cast<const void*>(handle.storage());
}
}  // namespace gl

// A layer: its size, its own buffer B and the compositor's lists.
class FakeHost : public LayerFXHost {
 public:
  FakeHost() : bufferB(gl::TexturePool::shared().acquire(QSize(4, 4))) {}
  QSizeF layerSize() const override { return size; }
  gl::TextureHandle pBufferBRef() const override { return bufferB; }
  QString currentSourcePath() const override { return path; }
  void lockCompositorForRender() override { ++locks; }
  void unlockCompositorRender() override { ++unlocks; }
  void fxChainModified() override { ++modified; }
  QStringList compFilterNames() const override { return names; }
  QStringList compFilterKinds() const override { return kinds; }
  bool willFullscreenHideAModal() const override { return fullscreenHides; }

  QSizeF size{640, 480};
  gl::TextureHandle bufferB;
  QString path;
  QStringList names;
  QStringList kinds;
  bool fullscreenHides = false;
  int locks = 0;
  int unlocks = 0;
  int modified = 0;
};

// A render context that draws "into" its target: its output is the target.
class FakeContext : public LayerFXRenderContext {
 public:
  void setSize(QSizeF s) override { size = s; }
  void setPBufferRef(const gl::TextureHandle& buffer) override {
    if (buffer) targets.push_back(buffer);
    target = buffer;
  }
  void renderEffect(const gl::TextureHandle& in) override {
    inputs.push_back(in);
    output = target;
  }
  gl::TextureHandle textureRef() const override { return output; }
  std::optional<QVariantMap> createSnapshot() const override { return values; }
  void loadSnapshot(const QVariantMap& snapshot) override { values = snapshot; }

  QSizeF size;
  gl::TextureHandle target;
  gl::TextureHandle output;
  std::vector<gl::TextureHandle> targets;
  std::vector<gl::TextureHandle> inputs;
  QVariantMap values{{QStringLiteral("amount"), 0.5}};
};

// A mixer that records what it mixes; its output is its target unless it
// is told to give nothing.
class FakeMixer : public LayerFXMixer {
 public:
  void setWetDryValue(float w) override { wetDry = w; }
  void setFrontTextureRef(const gl::TextureHandle& t) override {
    if (t) front = t;
  }
  void setBackTextureRef(const gl::TextureHandle& t) override {
    if (t) back = t;
  }
  void setPBufferRef(const gl::TextureHandle& buffer) override {
    if (buffer) targets.push_back(buffer);
    target = buffer;
  }
  void render() override {}
  void draw() override {
    ++draws;
    output = givesNothing ? gl::TextureHandle() : target;
  }
  gl::TextureHandle textureRef() const override { return output; }
  void setSize(QSizeF) override {}
  void useGLCompMode(int factor) override {
    contents = 1;
    dFactorValue = factor;
  }
  void useCICompMode(const QString& name) override {
    contents = 0;
    comp = 0;
    ciName = name;
  }
  void useQCCompMode(const QString& name) override {
    contents = 0;
    comp = 1;
    qcName = name;
  }
  int contentsRenderingMode() const override { return contents; }
  int compRenderingMode() const override { return comp; }
  int dFactor() const override { return dFactorValue; }
  QString CIFilterName() const override { return ciName; }
  QString QCFilterName() const override { return qcName; }
  QVariantMap createSnapshot() const override {
    return {{"contentsRenderingMode", contents}, {"dFactor", dFactorValue}};
  }
  void loadSnapshot(const QVariantMap& s) override {
    contents = s.value("contentsRenderingMode").toInt();
    dFactorValue = s.value("dFactor").toInt();
  }
  void prepareToBeDeleted() override {}

  float wetDry = -1;
  gl::TextureHandle front, back, target, output;
  std::vector<gl::TextureHandle> targets;
  int draws = 0;
  bool givesNothing = false;
  int contents = 1;
  int comp = 0;
  int dFactorValue = 771;
  QString ciName, qcName;
};

// An element with fake contexts.
class FakeEffect : public LayerFXObject {
 public:
  explicit FakeEffect(const QString& name) : LayerFXObject(name, name, QSizeF(640, 480)) {}

  FakeContext* context() const { return static_cast<FakeContext*>(renderContext()); }
  FakeMixer* fakeMixer() const { return static_cast<FakeMixer*>(mixer()); }

 protected:
  void makeContexts() override {
    setContexts(std::make_shared<FakeContext>(), std::make_shared<FakeMixer>());
  }
};

// A chain of a layer, with a manager of folder "vidFX".
struct ChainFixture {
  ChainFixture() {
    manager.setFXFolder(QStringLiteral("vidFX"));
    chain.setHost(&host);
  }
  std::shared_ptr<FakeEffect> add(const QString& name, float wetDry = 1.0f) {
    auto effect = FXObject::make<FakeEffect>(name);
    effect->wetDrySlider()->setValue(wetDry);
    chain.insertEffectObject(effect, 99);
    return effect;
  }
  FakeHost host;
  FXChainManager manager;
  LayerFXChain chain{&manager};
};
