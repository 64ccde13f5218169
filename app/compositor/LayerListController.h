#pragma once

#include "app/compositor/LayerListInterface.h"

#include <functional>
#include <memory>

class Compositor;
class Layer;
class LayerListModel;
class LayerListOutlineView;
class QWidget;

// The layer list of the compositor window: the outline of the layer tree
// with the name and comp-mode columns, in-place renaming and comp-mode
// choice, the delete key and drag-and-drop reordering and regrouping.
// Main thread only.
class LayerListController : public LayerListInterface {
 public:
  using OpenLayer = std::function<void(Layer*)>;

  // The outline is made as a child of `parent`; a double click on a row
  // calls `openLayer` with its layer.
  LayerListController(Compositor* compositor, QWidget* parent, OpenLayer openLayer);
  ~LayerListController() override;
  LayerListController(const LayerListController&) = delete;
  LayerListController& operator=(const LayerListController&) = delete;

  LayerListOutlineView* outlineView() const { return view_; }
  LayerListModel* model() const { return model_.get(); }

  std::vector<Layer*> selectedLayers() const override;
  void deselectAll() override;
  void update() override;
  void deleteKeyPressed();
  void selectLayers(const std::vector<Layer*>& layers);

 private:
  Compositor* compositor_;
  std::unique_ptr<LayerListModel> model_;
  LayerListOutlineView* view_;
};
