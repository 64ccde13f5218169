#pragma once

#include "app/sources/MovieScratchTarget.h"
#include "framework/controls/QKSliderCell.h"

#include <QPoint>

#include <memory>

class PointerControl;

// The movie panel's scratch strip: a hatched strip the performer drags
// sideways to move the clip under the hand, 100 points to a second, with
// the pointer hidden. At the press the clip is paused; near the left or
// right edge of the main display the pointer is put back in the middle and
// the drag goes on from there (the one move that this produces is
// skipped); at the end the speed and the pause state come back, and the
// pointer reappears where it went down. The end runs once, on the release
// or when the view loses the mouse without one.
//
// While bound to a data source the strip is an ordinary slider whose value
// the movie source reads through its action. Main thread.
class MovieSourceScratchCell : public QKSliderCell {
 public:
  static constexpr double kPointsPerSecond = 100.0;
  static constexpr double kEdgeMargin = 45.0;

  static std::shared_ptr<MovieSourceScratchCell> create();
  ~MovieSourceScratchCell() override;

  void setScratchTarget(std::weak_ptr<MovieScratchTarget> target);
  // The pointer the strip reads, moves and hides; the system's when none
  // is given.
  void setPointerControl(std::shared_ptr<PointerControl> pointer);

  bool trackingOnDrag() const { return trackingOnDrag_; }
  // The leaf of the manager's appearance dictionary for the strip's state
  // (a scratch in progress shows as selected); the built-in dictionary's
  // without a manager or a dictionary of its own.
  QVariantMap getScratchRelevantColorDict() const;

  void drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                     const QSizeF& widgetSize) const override;
  bool startTrackingAt(const QPointF& point, int modifierFlags) override;
  void continueTracking(const QPointF& point) override;
  void stopTracking(const QPointF& point) override;

 protected:
  MovieSourceScratchCell() = default;
  friend class QKSliderCell;

  QKSliderCell::Ptr createEmptyOfSameKind() const override;

 private:
  PointerControl& pointer();
  void startScratch();
  void scratchTo(QPoint location);
  void endScratch();

  std::weak_ptr<MovieScratchTarget> target_;
  std::shared_ptr<PointerControl> pointer_;
  QPoint mouseDownLoc_;
  QPoint clickedLoc_;
  float initialVal_ = -1.0f;
  int initialPausedVal_ = 0;
  bool trackingOnDrag_ = false;
  bool resettingCursor_ = false;
  // The pointer cannot be moved here: no re-centring and no hiding.
  bool pointerStuck_ = false;
  bool baseTracking_ = false;
};
