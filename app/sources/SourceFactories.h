#pragma once

#include "app/compositor/Compositor.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

class Layer;

// The layer source kinds the program has, by class key. Each kind adds its
// one entry to `entries`; the application installs them into the
// compositor before the first layer is made. A kind without an entry gets
// the base source, which shows nothing.
class SourceFactories {
 public:
  using Entry = std::pair<QString, Compositor::SourceFactory>;

  // A factory making the source kind `Source` (constructed with the class
  // key and the layer).
  template <typename Source>
  static Compositor::SourceFactory make() {
    return [](const QString& classKey, Layer& layer) {
      return std::make_shared<Source>(classKey, &layer);
    };
  }

  static std::vector<Entry> entries();
  static void install(Compositor& compositor);
};
