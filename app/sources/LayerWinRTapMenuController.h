#pragma once

#include "framework/taps/QKRTapMenuController.h"

class LayerWindowController;

// The tap pop-up of a layer window: a chosen tap (or a reload of the tap
// list) goes to the displayed layer's tap source; showing another layer
// only selects its tap, sending nothing. Main thread only.
class LayerWinRTapMenuController : public QKRTapMenuController {
 public:
  explicit LayerWinRTapMenuController(LayerWindowController* window, QObject* parent = nullptr);

  // False for no name ("<none>") or no displayed layer; else the layer's
  // answer.
  static bool useTapNamed(LayerWindowController* window, const QString& name);
  void sendChosenTap();
  void show();
  void hide();
  // Selects the item of the tap `name`, else "<none>"; sends nothing.
  void passivelySelectTapNamed(const QString& name);

 private:
  LayerWindowController* window_;
};
