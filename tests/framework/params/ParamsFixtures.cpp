#include "tests/framework/params/ParamsFixtures.h"

#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <gtest/gtest.h>

bool RecordingRenderer::setValue(const QString& key, const composition::PortValue& value) {
  std::lock_guard lock(mutex_);
  QVariant recorded = value.toVariant();
  if (value.isImage()) recorded = QStringLiteral("image");
  sets_.emplace_back(key, recorded);
  return true;
}

QVariant RecordingRenderer::valueForOutputKey(const QString& key) const {
  std::lock_guard lock(mutex_);
  auto found = outputValues_.find(key);
  return found == outputValues_.end() ? QVariant() : found->second;
}

gl::TextureHandle RecordingRenderer::imageForOutputKey(const QString& key) const {
  std::lock_guard lock(mutex_);
  auto found = outputImages_.find(key);
  return found == outputImages_.end() ? gl::TextureHandle() : found->second;
}

std::vector<std::pair<QString, QVariant>> RecordingRenderer::sets() const {
  std::lock_guard lock(mutex_);
  return sets_;
}

QVariantList RecordingRenderer::setsOf(const QString& key) const {
  QVariantList values;
  for (const auto& [setKey, value] : sets())
    if (setKey == key) values << value;
  return values;
}

void RecordingRenderer::clearSets() {
  std::lock_guard lock(mutex_);
  sets_.clear();
}

void RecordingRenderer::setOutput(const QString& key, const QVariant& value) {
  std::lock_guard lock(mutex_);
  outputValues_[key] = value;
}

void RecordingRenderer::setOutputImage(const QString& key, const gl::TextureHandle& image) {
  std::lock_guard lock(mutex_);
  outputImages_[key] = image;
}

QStringList RecordingRenderer::keysOf(const Ports& ports) {
  QStringList keys;
  for (const auto& port : ports) keys << port.first;
  return keys;
}

std::optional<composition::PortType> RecordingRenderer::typeOf(const Ports& ports,
                                                               const QString& key) {
  for (const auto& port : ports)
    if (port.first == key) return port.second;
  return std::nullopt;
}

namespace ParamsFixtures {

namespace {

QVariantMap splitterPort(const QString& key) {
  return {{QStringLiteral("key"), key},
          {QStringLiteral("node"), key + QStringLiteral("_split")},
          {QStringLiteral("port"), QStringLiteral("input")}};
}

QVariantMap splitterNode(const QString& key, const QString& portClass, QVariantMap state) {
  state.insert(QStringLiteral("portClass"), portClass);
  return {{QStringLiteral("key"), key + QStringLiteral("_split")},
          {QStringLiteral("class"), QStringLiteral("QCSplitter")},
          {QStringLiteral("state"), state}};
}

}  // namespace

QString writeComposition(const QString& dir, const QString& name, const std::vector<Input>& inputs,
                         const std::vector<Output>& outputs) {
  QVariantList inputPorts, outputPorts, nodes;
  QVariantMap defaults;
  for (const Input& input : inputs) {
    inputPorts << splitterPort(input.key);
    nodes << splitterNode(input.key, input.portClass, input.state);
    if (input.defaultVal.isValid()) defaults.insert(input.key, input.defaultVal);
  }
  for (const Output& output : outputs) {
    outputPorts << splitterPort(output.key);
    nodes << splitterNode(output.key, output.portClass, {});
  }
  const QVariantMap state{{QStringLiteral("publishedInputPorts"), inputPorts},
                          {QStringLiteral("publishedOutputPorts"), outputPorts},
                          {QStringLiteral("nodes"), nodes}};
  QVariantMap file{{QStringLiteral("rootPatch"), QVariantMap{{QStringLiteral("state"), state}}}};
  if (!defaults.isEmpty()) file.insert(QStringLiteral("inputParameters"), defaults);
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + name;
  EXPECT_EQ(PropertyList::write(file, path), QString());
  return path;
}

}  // namespace ParamsFixtures
