#pragma once

#include <QImage>

// The delete image of the plug-in lists: the resource "FXPanelDelete.svg",
// or, where Qt reads no SVG, the same figure drawn here.
class PluginDeleteImage {
 public:
  static constexpr int kSide = 32;
  static QImage image();
};
