#pragma once

class LayoutRegistry;

// The panels of the behaviours, built in code under their layout names
// ("Threshold", "QKOffsetBehavior", "NumberDelayBehavior" …): a title strip
// above the parameter sliders, each a QKSliderControl named after its
// outlet ("threshSlider"); Trianglize's graph sits in a tab view.
class BehaviorPanels {
 public:
  static void registerLayouts(LayoutRegistry& registry);
};
