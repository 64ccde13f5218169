#pragma once

#include "framework/render/QKQCGLContext.h"
#include "platform/composition/QCRenderer.h"

#include <atomic>
#include <map>
#include <mutex>
#include <memory>
#include <vector>

// A renderer that records what it is given and draws nothing, and the
// factory that makes it, so the composition context and the mixer can be
// driven without the runtime.
class FakeRenderer : public composition::QCRenderer {
 public:
  explicit FakeRenderer(QStringList keys) : keys_(std::move(keys)) {}

  QStringList inputKeys() const override { return keys_; }
  QStringList outputKeys() const override { return {}; }
  std::optional<composition::PortType> inputType(const QString& key) const override;
  std::optional<composition::PortType> outputType(const QString&) const override {
    return std::nullopt;
  }
  bool setValue(const QString& key, const composition::PortValue& value) override;
  bool renderAtTime(double seconds, Compositing compositing) override;
  QVariant valueForOutputKey(const QString&) const override { return {}; }
  gl::TextureHandle imageForOutputKey(const QString&) const override { return {}; }

  // Render thread only.
  std::vector<double> times;
  std::vector<Compositing> compositings;
  std::map<QString, composition::PortValue> values;

 private:
  QStringList keys_;
};

class FakeRendererFactory : public QKQCGLContext::RendererFactory {
 public:
  bool load(QKQCGLContext::File& file) override;
  std::shared_ptr<composition::QCRenderer> make(const QKQCGLContext::File& file) override;

  // The renderers made, in order (render thread; read after the calls).
  std::vector<std::weak_ptr<FakeRenderer>> made() const;
  std::shared_ptr<FakeRenderer> last() const;
  void forget();

  std::atomic<bool> refuseLoad{false};
  std::atomic<bool> failMake{false};
  std::atomic<int> makeCalls{0};

 private:
  // Weak: the context's hand-over decides when a renderer goes.
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<FakeRenderer>> made_;
};

// A clock the test moves (seconds).
struct ManualClock {
  std::atomic<double> now{100.0};
  QKQCGLContext::Clock function() {
    return [this] { return now.load(); };
  }
};
