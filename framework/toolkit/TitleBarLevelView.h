#pragma once

#include "framework/toolkit/SimpleLevelView.h"

// The level meter of a palette's title bar: the "titleBarLevelView" colours,
// and a vertical bar hangs from the top edge.
class TitleBarLevelView : public SimpleLevelView {
  Q_OBJECT
 public:
  using SimpleLevelView::SimpleLevelView;

 protected:
  QString colorStyle() const override { return kTitleBarStyle; }
  bool growsFromTop() const override { return true; }
};
