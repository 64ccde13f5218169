#include "app/compositor/LayerWindowController.h"

#include "app/compositor/Layer.h"

#include <QStringList>

QVariantMap LayerWindowController::createSnapshot() const {
  QStringList names;
  for (const Layer* layer : const_cast<LayerWindowController*>(this)->layerArray())
    names << layer->layerName();
  QVariantMap snapshot{{QStringLiteral("layerArray"), names}};
  if (const Layer* shown = currentlyDisplayedLayer())
    snapshot.insert(QStringLiteral("currentlyDisplayedName"), shown->layerName());
  return snapshot;
}

void LayerWindowController::removeLayerFromWindow(Layer* layer, bool propagate) {
  (void)propagate;
  if (layer && layer->parentWindow() == this) layer->removeFromParentWindow();
}
