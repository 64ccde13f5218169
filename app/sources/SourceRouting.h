#pragma once

#include <QSizeF>

#include <memory>

class Layer;
class QKFile;

// Calls a source makes on its layer from whatever thread it is on: each
// runs on the main thread for the layer as long as it exists by then.
class SourceRouting {
 public:
  // The layer triggers the file (the source of its kind takes it), without
  // waiting or waiting.
  static void triggerFileLater(Layer& layer, const std::shared_ptr<QKFile>& file);
  static void triggerFileAndWait(Layer& layer, const std::shared_ptr<QKFile>& file);
  // The layer refreshes its source display.
  static void displayGeneralSourceLater(Layer& layer);
  // The layer takes the size.
  static void setLayerSizeLater(Layer& layer, QSizeF size);
};
