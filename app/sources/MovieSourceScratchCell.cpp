#include "app/sources/MovieSourceScratchCell.h"

#include "framework/controls/SliderCanvas.h"
#include "framework/controls/SliderColorDict.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/controls/SliderPainter.h"
#include "platform/display/PointerControl.h"

#include <QPainter>
#include <QPen>

#include <cmath>

std::shared_ptr<MovieSourceScratchCell> MovieSourceScratchCell::create() {
  return createCell<MovieSourceScratchCell>();
}

MovieSourceScratchCell::~MovieSourceScratchCell() {
  if (trackingOnDrag_) endScratch();
}

QKSliderCell::Ptr MovieSourceScratchCell::createEmptyOfSameKind() const { return create(); }

void MovieSourceScratchCell::setScratchTarget(std::weak_ptr<MovieScratchTarget> target) {
  target_ = std::move(target);
}

void MovieSourceScratchCell::setPointerControl(std::shared_ptr<PointerControl> pointer) {
  pointer_ = std::move(pointer);
}

PointerControl& MovieSourceScratchCell::pointer() {
  if (!pointer_) pointer_ = PointerControl::system();
  return *pointer_;
}

// Colours ------------------------------------------------------------------------------

QVariantMap MovieSourceScratchCell::getScratchRelevantColorDict() const {
  SliderManagerInterface* manager = sliderManager();
  QVariantMap all = manager ? manager->sliderColorDict() : QVariantMap();
  if (all.isEmpty()) all = hardCodedColorDict();
  const bool shownSelected = trackingOnDrag_ || selected() || syncFlag();
  return SliderColorDict::leaf(all, shownSelected, syncFlag(), hardwareLearnMode());
}

void MovieSourceScratchCell::drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                                           const QSizeF& widgetSize) const {
  if (syncFlag()) {
    QKSliderCell::drawWithFrame(painter, vertical, enabled, widgetSize);
    return;
  }
  const SliderLayout layout = this->layout();
  const QVariantMap leaf = getScratchRelevantColorDict();
  const SliderPainter::Colors colors = SliderPainter::colorsFromLeaf(leaf);
  const QRectF& frame = layout.controlFrame;
  const QRectF& track = layout.track;
  SliderCanvas canvas(painter, widgetSize, vertical);
  QPainter& p = canvas.painter();
  if (layout.clipToTrack) p.setClipRect(track, Qt::IntersectClip);
  canvas.fill(QRectF(track.x(), frame.y(), track.width(), frame.height()), colors.frame);
  if (colors.fill.isValid()) {
    p.setPen(QPen(colors.fill, 0.0));
    const int n = static_cast<int>(std::ceil(track.width() / 6.0) + 2.0);
    for (int i = 0; i <= n; ++i) p.drawLine(QPointF(0, 6.0 * i), QPointF(6.0 * i, 0));
  }
  const QVariantMap nameAttributes = leaf.value(QStringLiteral("QKSliderTextAttribs")).toMap();
  p.setRenderHint(QPainter::TextAntialiasing, true);
  canvas.drawText(sliderNameText(), QPointF(track.x() + 2.0, frame.y()), &nameAttributes);
  if (!enabled)
    p.fillRect(QRectF(track.x(), frame.y(), track.width(), frame.height()),
               QColor::fromRgbF(0, 0, 0, 0.5f));
}

// The scratch ------------------------------------------------------------------------------

bool MovieSourceScratchCell::startTrackingAt(const QPointF& point, int modifierFlags) {
  startScratch();
  baseTracking_ = QKSliderCell::startTrackingAt(point, modifierFlags);
  // The scratch wants its drags and its end even where the slider itself
  // has nothing to drag (a locked interface, a Shift click).
  return true;
}

void MovieSourceScratchCell::continueTracking(const QPointF& point) {
  if (trackingOnDrag_) scratchTo(pointer().position());
  if (baseTracking_) QKSliderCell::continueTracking(point);
}

void MovieSourceScratchCell::stopTracking(const QPointF& point) {
  if (trackingOnDrag_) endScratch();
  pointer().show();
  if (baseTracking_) QKSliderCell::stopTracking(point);
  baseTracking_ = false;
}

void MovieSourceScratchCell::startScratch() {
  PointerControl& pointer = this->pointer();
  mouseDownLoc_ = pointer.position();
  if (!selected()) selectJustMe();
  trackingOnDrag_ = true;
  clickedLoc_ = mouseDownLoc_;
  initialVal_ = -1.0f;
  if (auto target = target_.lock()) {
    initialPausedVal_ = target->pauseToggleValue();
    target->setPauseToggleValue(0);
    initialVal_ = target->lastMovieTime();
  }
  pointerStuck_ = !pointer.canMove();
  if (!pointerStuck_) pointer.hide();
  resettingCursor_ = false;
  setNeedsDisplay(true);
}

// `location`: the pointer in the main display's pixels.
void MovieSourceScratchCell::scratchTo(QPoint location) {
  const double dx = location.x() - clickedLoc_.x();
  if (resettingCursor_) {
    resettingCursor_ = false;
    return;
  }
  auto target = target_.lock();
  const double width = pointer().mainDisplayPixels().width();
  const bool nearEdge = location.x() >= width - kEdgeMargin || location.x() <= kEdgeMargin;
  if (nearEdge && !pointerStuck_) {
    const QPoint centre(static_cast<int>(width * 0.5), location.y());
    if (pointer().moveTo(centre)) {
      resettingCursor_ = true;
      clickedLoc_.setX(centre.x());
      if (target) initialVal_ = target->lastMovieTime();
      return;
    }
    // The move did not take: carry on where the pointer is, visibly.
    pointerStuck_ = true;
    pointer().show();
  }
  if (target && initialVal_ >= 0.0f)
    target->setTimeMainThread(static_cast<float>(initialVal_ + dx / kPointsPerSecond));
}

void MovieSourceScratchCell::endScratch() {
  trackingOnDrag_ = false;
  if (auto target = target_.lock()) {
    target->setSpeedMainThread(target->speedSliderValue());
    target->setPauseToggleValue(initialPausedVal_);
  }
  if (!pointerStuck_) pointer().moveTo(mouseDownLoc_);
  pointer().show();
  setNeedsDisplay(true);
}
