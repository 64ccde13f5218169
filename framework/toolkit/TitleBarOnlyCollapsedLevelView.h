#pragma once

#include "framework/toolkit/TitleBarOnlyExpandedLevelView.h"

// A title-bar meter shown only while its palette is collapsed.
class TitleBarOnlyCollapsedLevelView : public TitleBarOnlyExpandedLevelView {
  Q_OBJECT
 public:
  using TitleBarOnlyExpandedLevelView::TitleBarOnlyExpandedLevelView;

 protected:
  bool wantsActive(bool collapsed) const override { return collapsed; }
};
