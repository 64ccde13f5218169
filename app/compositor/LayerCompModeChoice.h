#pragma once

#include <QString>

class Compositor;
class Layer;

// Puts a layer on one comp mode of the compositor's lists: a GL blend mode
// ("source:destination" factors) composites the parent's contents by
// blending, a compositing filter or comp-mode composition by the filter
// engine. Used by every control that offers the comp-mode menu.
class LayerCompModeChoice {
 public:
  // `name` is the mode's identifier and `kind` its tag in the lists. Answers
  // false, with a log line for a malformed blend mode, and leaves the layer
  // as it was when the mode cannot be used.
  static bool apply(Compositor& compositor, Layer& layer, const QString& name, const QString& kind);

  static bool knownBlendFactor(long factor);
};
