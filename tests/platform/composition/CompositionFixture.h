#pragma once

#include "platform/composition/CompositionDocument.h"
#include "platform/composition/QCRenderer.h"
#include "tests/support/GLTest.h"

#include <QImage>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

// Builds small compositions as property lists and plays them on the render
// thread.
class CompositionFixture : public GLTest {
 protected:
  static QVariantMap node(const QString& key, const QString& className,
                          const QVariantMap& state = {});
  static QVariantMap shader(const QString& key, const QString& source);
  static QVariantMap splitter(const QString& key, const QString& portClass,
                              const QVariant& value = {});
  static QVariantMap port(const QString& key, const QString& node, const QString& port);
  static QVariantMap connection(const QString& sourceNode, const QString& sourcePort,
                                const QString& destinationNode, const QString& destinationPort);
  // A state of these nodes, connections and published ports.
  static QVariantMap state(const QVariantList& nodes, const QVariantList& connections = {},
                           const QVariantList& inputs = {}, const QVariantList& outputs = {});
  // A whole file: the root state drawing `rendered`'s "outputImage".
  static QVariantMap file(QVariantMap rootState, const QString& rendered = {},
                          const QVariantMap& inputParameters = {});

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
