#include "tests/framework/render/FakeRenderer.h"

std::optional<composition::PortType> FakeRenderer::inputType(const QString& key) const {
  if (!keys_.contains(key)) return std::nullopt;
  return composition::PortType::Number;
}

bool FakeRenderer::setValue(const QString& key, const composition::PortValue& value) {
  if (!keys_.contains(key)) return false;
  values[key] = value;
  return true;
}

bool FakeRenderer::renderAtTime(double seconds, Compositing compositing) {
  times.push_back(seconds);
  compositings.push_back(compositing);
  return true;
}

bool FakeRendererFactory::load(QKQCGLContext::File&) { return !refuseLoad; }

std::shared_ptr<composition::QCRenderer> FakeRendererFactory::make(
    const QKQCGLContext::File& file) {
  ++makeCalls;
  if (failMake) return nullptr;
  auto renderer = std::make_shared<FakeRenderer>(file.composition->inputKeys());
  std::lock_guard<std::mutex> lock(mutex_);
  made_.push_back(renderer);
  return renderer;
}

std::vector<std::weak_ptr<FakeRenderer>> FakeRendererFactory::made() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return made_;
}

std::shared_ptr<FakeRenderer> FakeRendererFactory::last() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return made_.empty() ? nullptr : made_.back().lock();
}

void FakeRendererFactory::forget() {
  std::lock_guard<std::mutex> lock(mutex_);
  made_.clear();
}
