#include "tests/framework/params/PubContextFixtures.h"

#include "framework/render/QKQCComposition.h"

namespace {

RecordingRenderer::Ports portsOf(const QVariantMap& described) {
  RecordingRenderer::Ports ports;
  for (auto it = described.cbegin(); it != described.cend(); ++it)
    if (auto type = composition::portTypeFromClass(
            it.value().toMap().value(QStringLiteral("portClass")).toString()))
      ports.emplace_back(it.key(), *type);
  return ports;
}

}  // namespace

std::shared_ptr<composition::QCRenderer> RecordingFactory::make(const QKQCGLContext::File& file) {
  if (!file.composition) return nullptr;
  auto renderer =
      std::make_shared<RecordingRenderer>(portsOf(file.composition->publishedInputsDict()),
                                          portsOf(file.composition->publishedOutputsDict()));
  ++made;
  std::lock_guard lock(mutex_);
  latest_ = renderer;
  return renderer;
}

std::shared_ptr<RecordingRenderer> RecordingFactory::latest() const {
  std::lock_guard lock(mutex_);
  return latest_;
}

void RecordingClock::setBPM(double bpm) {
  std::lock_guard lock(mutex_);
  tempos_.push_back(bpm);
}

std::vector<double> RecordingClock::tempos() const {
  std::lock_guard lock(mutex_);
  return tempos_;
}
