#pragma once

#include <QPointF>

#include <vector>

class Layer;

// A palette that the layer windows' tabs may point at a layer: the
// layer-controls plug-ins. Followers register themselves while they live
// (main thread only); a tab picks the nearest one that follows the tabs.
class LayerTabFollower {
 public:
  LayerTabFollower();
  virtual ~LayerTabFollower();
  LayerTabFollower(const LayerTabFollower&) = delete;
  LayerTabFollower& operator=(const LayerTabFollower&) = delete;

  // Whether its follow-tabs switch is on.
  virtual bool followsLayerTabs() const = 0;
  // Its window's centre, bottom-left screen coordinates.
  virtual QPointF followerCentre() const = 0;
  virtual void selectThisLayer(Layer* layer) = 0;

  static const std::vector<LayerTabFollower*>& all();
  // The follower nearest to `centre` among those following the tabs (the
  // first registered on a tie); null when none does.
  static LayerTabFollower* closest(const std::vector<LayerTabFollower*>& candidates,
                                   QPointF centre);
  // For a layer that is no group: the closest follower shows it. False
  // when no follower was chosen.
  static bool selectThisLayerInClosestControls(Layer* layer, QPointF layerWindowCentre);
};
