#pragma once

#include "framework/fx/FXObjectPanel.h"

// The panel of a slider behaviour: an element panel whose layout holds the
// behaviour's parameter sliders under its title strip.
class BehaviorObjectPanel : public FXObjectPanel {
  Q_OBJECT
 public:
  using FXObjectPanel::FXObjectPanel;
};
