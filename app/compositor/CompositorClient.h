#pragma once

class Compositor;

// An object that finds the compositor by posting
// Compositor::kFinderNotification with itself (as this interface) as the
// object; the compositor calls setCompositor before the post returns.
class CompositorClient {
 public:
  virtual ~CompositorClient() = default;
  virtual void setCompositor(Compositor* compositor) = 0;
};
