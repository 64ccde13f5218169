#include "platform/composition/QCRenderer.h"

#include "platform/composition/CompositionDocument.h"
#include "platform/composition/GraphRenderer.h"
#include "platform/foundation/Log.h"

namespace composition {

std::shared_ptr<QCRenderer> QCRenderer::create(
    std::shared_ptr<const CompositionDocument> document) {
  if (!document) return nullptr;
  QString error;
  std::shared_ptr<GraphRenderer> renderer = GraphRenderer::make(document, &error);
  if (!renderer)
    Log::limited(
        QStringLiteral("composition.create ") + document->path(),
        QStringLiteral("\t\terr: composition %1 cannot play: %2").arg(document->path(), error));
  return renderer;
}

}  // namespace composition
