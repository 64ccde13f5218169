#pragma once

#include <QPointF>

#include <climits>

class QKSliderCell;

// What a mouse press and drag on a slider does. The view hands its presses,
// drags and releases here, with points in the slider's own coordinates (x
// along the slider, y across it upwards) and the press's modifier flags
// (ModifierKeys: Shift 1 << 17, Control 1 << 18, Option 1 << 19, Command
// 1 << 20). A press decides what the drag changes — the value, the lower or
// upper envelope, or one mark — and whether it jumps to the pointer or moves
// relative to the press; positions snap to marks within 4 points; while
// several sliders are selected a drag moves them all. Main thread only.
class SliderTracker {
 public:
  // Bits of the change and jump masks.
  enum Mask : int { Value = 1, LowerEnvelope = 2, UpperEnvelope = 4, Mark = 8 };
  static constexpr int kNoMark = INT_MAX;

  // What the view does after a press.
  enum class Press {
    Ignored,   // nothing to drag (selection only, or a locked slider)
    Tracking,  // send the drags and the release
    OpenMenu,  // a Control click: open the contextual menu
  };

  explicit SliderTracker(QKSliderCell& cell) : cell_(cell) {}
  SliderTracker(const SliderTracker&) = delete;
  SliderTracker& operator=(const SliderTracker&) = delete;

  Press trackMouse(const QPointF& point, int modifierFlags, int clickCount);
  // Decides the masks; answers whether the drag is tracked. A press that
  // jumps applies at once.
  bool startTrackingAt(const QPointF& point, int modifierFlags);
  void continueTracking(const QPointF& point);
  void stopTracking(const QPointF& point);

  float clickValue() const { return clickValue_; }
  float clickMaxEnv() const { return clickMaxEnv_; }
  float clickMinEnv() const { return clickMinEnv_; }
  QPointF localClickLoc() const { return localClickLoc_; }
  int clickedIPIndex() const { return clickedIPIndex_; }
  int clickModifiers() const { return clickModifiers_; }
  int changeMask() const { return changeMask_; }
  int jumpMask() const { return jumpMask_; }

 private:
  // Masks chosen by modifiers and hit tests.
  void chooseMasks(const QPointF& point, int modifierFlags);
  bool hitMarkHandle(const QPointF& point);
  void hitTestHandlesAndHead(const QPointF& point);
  // The track's offset and width along the bounds.
  double trackOffset() const;
  double trackWidth() const;
  float snapped(float v, bool& didSnap) const;
  void dragValue(double x);
  void dragEnvelope(double x, bool upper);
  void dragMark(double x);

  QKSliderCell& cell_;
  float clickValue_ = 0.0f;
  float clickMaxEnv_ = 1.0f;
  float clickMinEnv_ = 0.0f;
  QPointF localClickLoc_;
  int clickedIPIndex_ = kNoMark;
  int clickModifiers_ = 0;
  int changeMask_ = 0;
  int jumpMask_ = 0;
};
