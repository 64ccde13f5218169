#pragma once

#include <QSizeF>
#include <QString>

// What the taps ask of a layer: its name (a layer's source tap is named
// after it), its picture size, its nesting depth in groups (0 at top level;
// it indents the tap menus and orders the tap pass) and its place in the
// compositor's layer order (it orders the tap menus).
//
// The tap manager asks these under its lock, on the thread that changes the
// tap list and on the render thread during the tap pass: answers must be
// cheap and safe from any thread.
class LayerInterface {
 public:
  virtual ~LayerInterface() = default;

  virtual QString layerName() const = 0;
  virtual QSizeF layerSize() const = 0;
  virtual int depth() const = 0;
  virtual int orderedLayerIndex() const = 0;
};
