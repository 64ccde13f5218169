#pragma once

#include <QVariantMap>

// The slider appearance dictionary: three levels of keys ("selected" or
// "unselected", then "sync" or "unsync", then "HLM" or "non-HLM" for
// hardware-learn mode) down to a leaf of ten entries: the colours
// "QKSliderFrameColor", "QKSliderColorBG", "QKSliderColor",
// "QKSliderEnvColor", "QKSliderEnvHandleColor", "IPs", "highlight" and
// "shadow", and the text attributes "QKSliderTextAttribs" (the name) and
// "QKSliderEnvTextAttribs" (the value, envelope and path texts).
class SliderColorDict {
 public:
  // The built-in dictionary: a new one on every call.
  static QVariantMap builtIn();
  // The leaf for one drawing state; empty when a level is missing.
  static QVariantMap leaf(const QVariantMap& all, bool selected, bool sync, bool learnMode);
};
