#include "framework/controls/SliderTracker.h"

#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/toolkit/ModifierKeys.h"

#include <algorithm>
#include <vector>

namespace {

// The lower and left edges belong to a rectangle, the upper and right ones
// do not, so two rectangles that touch never both hold a point.
bool inside(const QRectF& rect, const QPointF& point) {
  return !rect.isEmpty() && point.x() >= rect.left() && point.x() < rect.right() &&
         point.y() >= rect.top() && point.y() < rect.bottom();
}

using SliderPtr = std::shared_ptr<QKSliderCell>;

std::vector<SliderPtr> selection(const QKSliderCell& cell) {
  SliderManagerInterface* manager = cell.sliderManager();
  return manager ? manager->selectedSliders() : std::vector<SliderPtr>{};
}

}  // namespace

SliderTracker::Press SliderTracker::trackMouse(const QPointF& point, int modifierFlags,
                                               int clickCount) {
  cell_.setSoftTakeoverFlag(false);
  cell_.setSoftTakeoverMIDICheck(false);
  if (clickCount == 2) cell_.selectJustMe();
  if (modifierFlags & ModifierKeys::kControlFlag) {
    if (!cell_.selected()) cell_.selectJustMe();
    return Press::OpenMenu;
  }
  return cell_.startTrackingAt(point, modifierFlags) ? Press::Tracking : Press::Ignored;
}

bool SliderTracker::startTrackingAt(const QPointF& point, int modifierFlags) {
  cell_.setSoftTakeoverFlag(false);
  cell_.setSoftTakeoverMIDICheck(false);
  if (modifierFlags & ModifierKeys::kShiftFlag) {
    if (cell_.selected())
      cell_.deselectJustMe();
    else
      cell_.selectMeToo();
    return false;
  }
  if (!cell_.selected()) cell_.selectJustMe();
  clickValue_ = cell_.value();
  clickMaxEnv_ = cell_.maxEnv();
  clickMinEnv_ = cell_.minEnv();
  clickedIPIndex_ = kNoMark;
  cell_.populateBuildingRects();
  changeMask_ = 0;
  jumpMask_ = 0;
  if (!cell_.lockUIFlag()) chooseMasks(point, modifierFlags);
  localClickLoc_ = point;
  clickModifiers_ = modifierFlags;
  if (jumpMask_ != 0) continueTracking(point);
  return changeMask_ != 0;
}

void SliderTracker::chooseMasks(const QPointF& point, int modifierFlags) {
  const bool option = modifierFlags & ModifierKeys::kOptionFlag;
  const bool command = modifierFlags & ModifierKeys::kCommandFlag;
  if (option && command) {
    changeMask_ = LowerEnvelope | UpperEnvelope;
  } else if (command) {
    changeMask_ = jumpMask_ = UpperEnvelope;
  } else if (option) {
    changeMask_ = jumpMask_ = LowerEnvelope;
  } else if (!hitMarkHandle(point)) {
    hitTestHandlesAndHead(point);
  }
}

bool SliderTracker::hitMarkHandle(const QPointF& point) {
  SliderManagerInterface* manager = cell_.sliderManager();
  if (!manager || manager->lockInterestingPoints()) return false;
  const SliderLayout layout = cell_.layout();
  if (layout.markHandles.empty() || point.y() < layout.controlFrame.height() - 4.0) return false;
  for (size_t i = 0; i < layout.markHandles.size(); ++i) {
    if (!inside(layout.markHandles[i], point)) continue;
    clickedIPIndex_ = static_cast<int>(i);
    changeMask_ = Mark;
    return true;
  }
  return false;
}

// Overlapping envelope handles go to the side of their union the point lies
// on; a handle beats the head under it; the bare track makes the value jump.
void SliderTracker::hitTestHandlesAndHead(const QPointF& point) {
  const SliderLayout layout = cell_.layout();
  const bool left = inside(layout.leftEnvHandle, point);
  const bool right = inside(layout.rightEnvHandle, point);
  const bool head = inside(layout.sliderHead, point);
  if (left && right) {
    const QRectF both = layout.leftEnvHandle.united(layout.rightEnvHandle);
    changeMask_ = point.x() >= both.center().x() ? UpperEnvelope : LowerEnvelope;
  } else if (left || right) {
    changeMask_ = left ? LowerEnvelope : UpperEnvelope;
  } else if (head) {
    changeMask_ = Value;
  } else {
    changeMask_ = jumpMask_ = Value;
  }
}

double SliderTracker::trackOffset() const {
  const SliderLayout layout = cell_.layout();
  return layout.track.x() - layout.controlFrame.x();
}

double SliderTracker::trackWidth() const { return cell_.layout().track.width(); }

float SliderTracker::snapped(float v, bool& didSnap) const {
  const std::optional<float> mark = cell_.findRelevantInterestingPointForValue(v);
  didSnap = mark.has_value();
  return mark ? *mark : v;
}

void SliderTracker::continueTracking(const QPointF& point) {
  cell_.setMouseDown(true);
  if (changeMask_ & Value) dragValue(point.x());
  if (changeMask_ & UpperEnvelope) dragEnvelope(point.x(), true);
  if (changeMask_ & LowerEnvelope) dragEnvelope(point.x(), false);
  if (changeMask_ & Mark) dragMark(point.x());
}

// Selected unbound sliders move together; a bound one keeps following its
// source unless it is the one dragged.
void SliderTracker::dragValue(double x) {
  const double tw = trackWidth();
  if (!(tw > 0.0)) return;
  const bool jump = jumpMask_ & Value;
  const double raw = jump ? (x - trackOffset()) / tw : clickValue_ + (x - localClickLoc_.x()) / tw;
  bool didSnap = false;
  const float v = snapped(static_cast<float>(raw), didSnap);
  const bool tellSnap = jump && didSnap;
  if (tellSnap) cell_.tellDelegate(&QKSliderCellDelegate::QKSliderSnappedToInterestingPoint);
  const std::vector<SliderPtr> selected = selection(cell_);
  if (cell_.selected() && !cell_.syncFlag() && selected.size() > 1) {
    for (const SliderPtr& slider : selected)
      if (!slider->syncFlag()) slider->setValue(v);
    return;
  }
  cell_.setValue(v);
  if (tellSnap) cell_.tellDelegate(&QKSliderCellDelegate::QKSliderSnappedToInterestingPoint);
}

void SliderTracker::dragEnvelope(double x, bool upper) {
  const double tw = trackWidth();
  if (!(tw > 0.0)) return;
  const int bit = upper ? UpperEnvelope : LowerEnvelope;
  const double o = trackOffset();
  const SliderLayout layout = cell_.layout();
  const double reach = layout.controlFrame.x() + layout.controlFrame.width() - o;
  const float click = upper ? clickMaxEnv_ : clickMinEnv_;
  const double raw = (jumpMask_ & bit) ? (x - o) / reach : click + (x - localClickLoc_.x()) / tw;
  bool didSnap = false;
  const float v = snapped(static_cast<float>(raw), didSnap);
  auto set = [upper, v](QKSliderCell& slider) {
    if (upper)
      slider.setMaxEnv(v);
    else
      slider.setMinEnv(v);
  };
  const std::vector<SliderPtr> selected = selection(cell_);
  if (cell_.selected() && selected.size() > 1) {
    for (const SliderPtr& slider : selected) set(*slider);
    return;
  }
  set(cell_);
}

void SliderTracker::dragMark(double x) {
  const SliderLayout layout = cell_.layout();
  const double raw = layout.clipToTrack
                         ? (x - trackOffset()) / trackWidth()
                         : x / (layout.controlFrame.x() + layout.controlFrame.width());
  if (!(raw == raw)) return;
  const float v = std::clamp(static_cast<float>(raw), 0.0f, 1.0f);
  cell_.setValueForInterestingPointAtIndex(v, clickedIPIndex_);
  cell_.setValue(v);
}

void SliderTracker::stopTracking(const QPointF& /*point*/) {
  if (changeMask_ & Mark) cell_.sortInterestingPoints();
  cell_.setMouseDown(false);
  if (cell_.syncFlag()) {
    cell_.setSoftTakeoverFlag(true);
    cell_.setSoftTakeoverMIDICheck(false);
  }
}
