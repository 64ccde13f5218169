#include "app/compositor/LayerTabMimeData.h"

#include "app/compositor/LayerWindowTabView.h"

const QString LayerTabMimeData::kType = QStringLiteral("application/x-zaph-layer-tab");

LayerTabMimeData::LayerTabMimeData(std::weak_ptr<Layer> layer, LayerWindowTabView* source)
    : layer_(std::move(layer)), source_(source) {
  setData(kType, QByteArray());
}
