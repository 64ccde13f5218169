#pragma once

#include <QString>

#include <memory>
#include <optional>

class QKFile;

// What the movie layers menu tells the object it points at another movie
// layer: the window that places the menu supplies it. Called on the main
// thread only.
class MovieLayersMenuTarget {
 public:
  virtual ~MovieLayersMenuTarget() = default;
  // The layer to follow; none when no movie layer is chosen.
  virtual void setLayerWithName(const std::optional<QString>& name) = 0;
  // Whether the target wants `updateInterfaceForFile`.
  virtual bool answersUpdateInterfaceForFile() const { return false; }
  // The file just triggered into the followed layer; null when the layer's
  // file was ejected.
  virtual void updateInterfaceForFile(const std::shared_ptr<QKFile>& /*file*/) {}
};
