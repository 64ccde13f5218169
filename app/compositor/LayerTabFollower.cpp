#include "app/compositor/LayerTabFollower.h"

#include "app/compositor/Layer.h"

#include <algorithm>
#include <limits>

namespace {

std::vector<LayerTabFollower*>& followers() {
  static std::vector<LayerTabFollower*> list;
  return list;
}

}  // namespace

LayerTabFollower::LayerTabFollower() { followers().push_back(this); }

LayerTabFollower::~LayerTabFollower() {
  auto& list = followers();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<LayerTabFollower*>& LayerTabFollower::all() { return followers(); }

LayerTabFollower* LayerTabFollower::closest(const std::vector<LayerTabFollower*>& candidates,
                                            QPointF centre) {
  LayerTabFollower* best = nullptr;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (LayerTabFollower* candidate : candidates) {
    if (!candidate || !candidate->followsLayerTabs()) continue;
    const QPointF d = candidate->followerCentre() - centre;
    const double distance = d.x() * d.x() + d.y() * d.y();
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  return best;
}

bool LayerTabFollower::selectThisLayerInClosestControls(Layer* layer, QPointF layerWindowCentre) {
  if (!layer || layer->groupFlag()) return false;
  LayerTabFollower* follower = closest(all(), layerWindowCentre);
  if (!follower) return false;
  follower->selectThisLayer(layer);
  return true;
}
