#pragma once

#include <QMimeData>
#include <QPointer>

#include <memory>

class Layer;
class LayerWindowTabView;

// What a layer-tab drag carries inside the process: the layer (weak, so a
// layer deleted while the drag runs refuses the drop) and the tab view it
// came from. A tab view that takes the drop marks it landed, accepted or
// not; only a drag that landed nowhere tears the layer off.
class LayerTabMimeData : public QMimeData {
  Q_OBJECT
 public:
  static const QString kType;  // "application/x-zaph-layer-tab"

  LayerTabMimeData(std::weak_ptr<Layer> layer, LayerWindowTabView* source);

  std::shared_ptr<Layer> layer() const { return layer_.lock(); }
  LayerWindowTabView* source() const { return source_; }
  bool landed() const { return landed_; }
  void setLanded() const { landed_ = true; }

 private:
  std::weak_ptr<Layer> layer_;
  QPointer<LayerWindowTabView> source_;
  mutable bool landed_ = false;
};
