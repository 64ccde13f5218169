#include "platform/composition/CompositionDocument.h"

#include "platform/composition/CompositionGraph.h"
#include "platform/composition/CompositionReader.h"
#include "platform/foundation/PropertyList.h"

#include <QFileInfo>

namespace composition {

CompositionDocument::CompositionDocument() : graph_(std::make_unique<CompositionGraph>()) {}
CompositionDocument::~CompositionDocument() = default;

std::shared_ptr<const CompositionDocument> CompositionDocument::load(const QString& path,
                                                                     QString* error) {
  const PropertyList::Result read = PropertyList::read(path);
  if (!read.error.isEmpty()) {
    if (error) *error = read.error;
    return nullptr;
  }
  QString why;
  std::shared_ptr<CompositionDocument> document =
      CompositionReader(QFileInfo(path).absolutePath()).read(read.value, &why);
  if (!document) {
    if (error) *error = path + QStringLiteral(": ") + why;
    return nullptr;
  }
  document->path_ = path;
  return document;
}

std::shared_ptr<const CompositionDocument> CompositionDocument::fromPropertyList(
    const QVariant& root, const QString& folder, QString* error) {
  return CompositionReader(folder).read(root, error);
}

QStringList CompositionDocument::inputKeys() const {
  QStringList keys;
  for (const auto& port : inputs_) keys << port.key;
  return keys;
}

QStringList CompositionDocument::outputKeys() const {
  QStringList keys;
  for (const auto& port : outputs_) keys << port.key;
  return keys;
}

const CompositionDocument::PublishedPort* CompositionDocument::input(const QString& key) const {
  for (const auto& port : inputs_)
    if (port.key == key) return &port;
  return nullptr;
}

const CompositionDocument::PublishedPort* CompositionDocument::output(const QString& key) const {
  for (const auto& port : outputs_)
    if (port.key == key) return &port;
  return nullptr;
}

}  // namespace composition
