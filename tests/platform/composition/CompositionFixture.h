#pragma once

#include "platform/composition/CompositionDocument.h"
#include "platform/composition/QCRenderer.h"
#include "tests/support/GLTest.h"

#include <QImage>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

// Small compositions written as property lists.
namespace plist {
QVariantMap node(const QString& key, const QString& className, const QVariantMap& state = {});
QVariantMap shader(const QString& key, const QString& source);
QVariantMap splitter(const QString& key, const QString& portClass, const QVariant& value = {});
QVariantMap value(const QString& key, const QString& className, const QVariant& value = {});
QVariantMap port(const QString& key, const QString& node, const QString& port);
QVariantMap connection(const QString& sourceNode, const QString& sourcePort,
                       const QString& destinationNode, const QString& destinationPort);
// A state of these nodes, connections and published ports.
QVariantMap state(const QVariantList& nodes, const QVariantList& connections = {},
                  const QVariantList& inputs = {}, const QVariantList& outputs = {});
// A whole file: the root state drawing `rendered`'s "outputImage".
QVariantMap file(QVariantMap rootState, const QString& rendered = {},
                 const QVariantMap& inputParameters = {});
}  // namespace plist

// Plays small compositions on the render thread.
class CompositionFixture : public GLTest {
 protected:
  static std::shared_ptr<const composition::CompositionDocument> document(const QVariant& list,
                                                                          QString* error = nullptr);

  // The renderer of a document (render thread); null when refused.
  std::shared_ptr<composition::QCRenderer> rendererOf(
      std::shared_ptr<const composition::CompositionDocument> document);
  // Renders at `time` into a transparent texture of `size` and reads it
  // back (top row first). `before` runs on the render thread first.
  QImage render(composition::QCRenderer& renderer, QSize size = QSize(4, 4), double time = 0,
                const std::function<void()>& before = {});
};
