#include "framework/splitview/SplitDrag.h"

#include "framework/splitview/SplitPaneMath.h"

namespace {

constexpr float kUnlimited = SplitPaneMath::kUnlimited;

}  // namespace

SplitDrag::SplitDrag(std::vector<SplitPane>& panes, Context context)
    : panes_(panes), context_(std::move(context)) {}

float SplitDrag::dimension(int pane) const {
  return SplitPaneMath::dimension(panes_[pane], context_.whole);
}

float SplitDrag::change(int pane, float delta, bool mayCollapse, bool move) {
  return SplitPaneMath::changeDimension(panes_[pane], delta, mayCollapse, move, context_.whole);
}

bool SplitDrag::canShrink(int pane) const {
  const SplitPane& p = panes_[pane];
  return p.visibleDimension() > (p.canCollapse ? 0.0f : p.minDimension);
}

bool SplitDrag::resizes(int divider, bool grow) const {
  return !context_.inScrollView && context_.shouldResizeWindow &&
         context_.shouldResizeWindow(divider, grow);
}

float SplitDrag::room(bool grow) const {
  return context_.windowRoom ? context_.windowRoom(grow) : 0;
}

void SplitDrag::resizeWindow(float change) {
  if (context_.resizeWindow) context_.resizeWindow(change);
}

bool SplitDrag::layoutPending() const {
  for (const SplitPane& p : panes_)
    if (p.frameChanged) return true;
  return false;
}

void SplitDrag::track(int divider, float delta) {
  const int count = static_cast<int>(panes_.size());
  if (divider < 0 || divider + 1 >= count) return;
  const int leading = divider;
  const int trailing = divider + 1;
  if (delta < 0.0f) {
    int shrinking = leading;
    for (int i = leading; i >= 0; --i)
      if (canShrink(i)) {
        shrinking = i;
        break;
      }
    const int r = context_.inScrollView ? -1 : trailing;
    if (r < 0 || !panes_[r].isCollapsed())
      shortenLeading(shrinking, divider, r, delta, true);
    else
      expandTrailing(r, shrinking, delta);
  } else if (delta > 0.0f) {
    int shrinking = -1;
    if (!context_.inScrollView) {
      shrinking = trailing;
      for (int i = trailing; i < count; ++i)
        if (canShrink(i)) {
          shrinking = i;
          break;
        }
    }
    if (!panes_[leading].isCollapsed())
      shortenTrailing(shrinking, divider, leading, delta, true);
    else
      expandLeading(leading, divider, shrinking, delta);
  }
}

void SplitDrag::doubleClick(int divider, std::optional<bool> collapseLeading) {
  const int l = divider;
  const int r = divider + 1;
  if (r >= static_cast<int>(panes_.size())) return;
  const bool lCollapsed = panes_[l].isCollapsed();
  const bool rCollapsed = panes_[r].isCollapsed();
  if (lCollapsed && !rCollapsed) {
    expandLeading(l, divider, r, dimension(l));
  } else if (!lCollapsed && !rCollapsed) {
    bool a = panes_[l].canCollapse;
    bool b = panes_[r].canCollapse;
    if (a && b) {
      if (collapseLeading) {
        a = *collapseLeading;
        b = !*collapseLeading;
      } else {
        a = dimension(r) > dimension(l);
      }
    }
    if (a) shortenLeading(l, divider, r, -dimension(l), false);
    if (!layoutPending() && b) shortenTrailing(r, divider, l, dimension(r), false);
  } else if (rCollapsed && !lCollapsed) {
    expandTrailing(r, l, -dimension(r));
  }
}

void SplitDrag::shortenLeading(int shrinking, int divider, int trailing, float delta, bool always) {
  const bool resize = resizes(divider, false);
  const float limit = resize          ? room(false)
                      : trailing >= 0 ? panes_[trailing].maxDimension - dimension(trailing)
                                      : kUnlimited;
  if (-delta > limit) {
    if (!always) return;
    delta = -limit;
  }
  const bool mayCollapse = limit >= dimension(shrinking);
  if (!always && !mayCollapse) return;
  const float made = change(shrinking, delta, mayCollapse, false);
  if (resize)
    resizeWindow(made);
  else if (trailing >= 0)
    change(trailing, -made, false, true);
}

void SplitDrag::shortenTrailing(int shrinking, int divider, int leading, float delta, bool always) {
  const bool resize = resizes(divider, true);
  const float limit = resize ? room(true) : panes_[leading].maxDimension - dimension(leading);
  if (delta > limit) {
    if (!always) return;
    delta = limit;
  }
  const bool mayCollapse = resize || limit >= (shrinking >= 0 ? dimension(shrinking) : kUnlimited);
  if (!always && !mayCollapse) return;
  if (resize) {
    resizeWindow(change(leading, delta, false, false));
    return;
  }
  if (shrinking >= 0) delta = -change(shrinking, -delta, mayCollapse, true);
  change(leading, delta, false, false);
}

void SplitDrag::expandLeading(int leading, int divider, int trailing, float delta) {
  const bool resize = resizes(divider, true);
  const float limit = resize ? room(true) : trailing >= 0 ? dimension(trailing) : kUnlimited;
  const SplitPane& l = panes_[leading];
  if (l.minDimension > limit) return;
  if (!resize && trailing >= 0 && l.minDimension + panes_[trailing].minDimension > limit) {
    if (!(panes_[trailing].canCollapse && delta > SplitPaneMath::kOpenShare * limit)) return;
    if (limit >= l.maxDimension) {
      const float former = -SplitPaneMath::collapse(panes_[trailing], context_.whole);
      change(leading, former, false, false);
    }
    return;
  }
  const float made = change(leading, delta, false, false);
  if (resize)
    resizeWindow(made);
  else if (trailing >= 0)
    change(trailing, -made, false, true);
}

void SplitDrag::expandTrailing(int trailing, int leading, float delta) {
  const float m = trailing >= 0 ? panes_[trailing].minDimension : 0.0f;
  const float p = dimension(leading);
  if (m > p) return;
  if (m + panes_[leading].minDimension <= p) {
    if (trailing >= 0) delta = -change(trailing, -delta, false, true);
    change(leading, delta, false, false);
    return;
  }
  const float rMax = trailing >= 0 ? panes_[trailing].maxDimension : 0.0f;
  if (panes_[leading].canCollapse && -delta > SplitPaneMath::kOpenShare * p && p >= rMax) {
    const float former = -SplitPaneMath::collapse(panes_[leading], context_.whole);
    if (trailing >= 0) change(trailing, former, false, true);
  }
}
