#include "framework/curves/QKSingleSpline.h"

#include "framework/curves/CurveFiles.h"
#include "framework/curves/CurveSnapshot.h"
#include "framework/toolkit/ModifierKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

using Point = QKQuadraticSpline::Point;

constexpr float kMinimumAmplitude = 0.001f;
constexpr float kPointGap = 0.01f;

CurveMath::Segment evaluationForm(const QKQuadraticSpline& segment) {
  const Point q = segment.absoluteControlPoint();
  return {segment.start().x, segment.start().y,        q.x, q.y, segment.end().x,
          segment.end().y,   segment.useControlPoint()};
}

// Half-open, as a point in a rectangle is tested on screen.
bool inSquare(QPointF centre, double radius, QPointF point) {
  return point.x() >= centre.x() - radius && point.x() < centre.x() + radius &&
         point.y() >= centre.y() - radius && point.y() < centre.y() + radius;
}

bool finite(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// For log lines: the snapshot in brief.
QString describe(const QVariantMap& snapshot) {
  QStringList parts;
  for (auto it = snapshot.constBegin(); it != snapshot.constEnd(); ++it) {
    if (it->typeId() == QMetaType::QVariantList)
      parts << QStringLiteral("%1 = (%2 segments)").arg(it.key()).arg(it->toList().size());
    else
      parts << QStringLiteral("%1 = %2").arg(it.key(), it->toString());
  }
  return QStringLiteral("{%1}").arg(parts.join(QStringLiteral("; ")));
}

}  // namespace

QKSingleSpline::QKSingleSpline() {
  splineArray_.emplace_back(Point{0, 1}, Point{0.5f, 0}, Point{0.5f, 0.5f});
  splineArray_.emplace_back(Point{0.5f, 0.5f}, Point{1, 0}, Point{1, 0});
  std::lock_guard lock(splineLock_);
  publishLocked();
}

QKSingleSpline::~QKSingleSpline() = default;

void QKSingleSpline::prepareToBeDeleted() {
  deleted_.store(true);
  clearTrackingRects();
}

// --- Snapshots and files ----------------------------------------------------------------

QVariantMap QKSingleSpline::createSnapshot() const {
  std::lock_guard lock(splineLock_);
  QVariantMap snapshot{{CurveSnapshot::kHOffset, double(hOffset_)},
                       {CurveSnapshot::kVOffset, double(vOffset_)},
                       {CurveSnapshot::kAmplitude, double(amplitude_)}};
  if (!splineArray_.empty()) {
    QVariantList segments;
    for (const QKQuadraticSpline& segment : splineArray_) segments << segment.createSnapshot();
    snapshot.insert(CurveSnapshot::kSplineSnapsArray, segments);
  }
  return snapshot;
}

bool QKSingleSpline::loadSnapshot(const QVariantMap& snapshot, const QString& source) {
  QString reason;
  const std::optional<CurveSnapshot> parsed = CurveSnapshot::parse(snapshot, &reason);
  if (!parsed) {
    Log::line(QStringLiteral("\t\terr: curve not loaded from %1: %2").arg(source, reason));
    return false;
  }
  std::lock_guard lock(splineLock_);
  applyLocked(*parsed);
  return true;
}

void QKSingleSpline::applyLocked(const CurveSnapshot& snapshot) {
  for (QKQuadraticSpline& segment : splineArray_)
    for (int which = 0; which < 3; ++which) segment.setTrackingPoint(which, -1);
  if (snapshot.hOffset) hOffset_ = *snapshot.hOffset;
  if (snapshot.vOffset) vOffset_ = *snapshot.vOffset;
  if (snapshot.amplitude) amplitude_ = *snapshot.amplitude;
  if (snapshot.segments) splineArray_ = *snapshot.segments;
  buildCurvePathLocked();
  publishLocked();
}

QString QKSingleSpline::saveWaveformToDiskWithName(const QString& name) const {
  QString error;
  const QString path = CurveFiles::pathForSaving(name, &error);
  if (path.isEmpty()) return error;
  const QVariantMap snapshot = createSnapshot();
  error = PropertyList::write(snapshot, path);
  if (!error.isEmpty())
    Log::line(QStringLiteral("\t\terror writing waveform to disk! %1 at %2 (%3)")
                  .arg(describe(snapshot), path, error));
  return error;
}

bool QKSingleSpline::loadWaveformFromDisk(const QString& name) {
  const QString path = CurveFiles::pathForLoading(name);
  if (path.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: curve not loaded from %1/%2%3: no such curve file")
                  .arg(CurveFiles::kFolderName, name, CurveFiles::kExtension));
    return false;
  }
  const CurveFiles::ReadResult read = CurveFiles::read(path);
  if (!read.ok()) {
    Log::line(QStringLiteral("\t\terr: curve not loaded from %1").arg(read.error));
    return false;
  }
  return loadSnapshot(read.snapshot, path);
}

// --- Evaluation --------------------------------------------------------------------------

CurveMath::Sample QKSingleSpline::rawSampleLocked(float u, int* segmentIndex) const {
  for (size_t i = 0; i < splineArray_.size(); ++i) {
    const CurveMath::Segment segment = evaluationForm(splineArray_[i]);
    if (CurveMath::contains(segment, u)) {
      if (segmentIndex) *segmentIndex = static_cast<int>(i);
      return CurveMath::rawValue(segment, u);
    }
  }
  if (segmentIndex) *segmentIndex = -1;
  return {};
}

QPointF QKSingleSpline::lastEvalPoint() const {
  const std::uint64_t bits = lastEvalPoint_.load(std::memory_order_relaxed);
  return {std::bit_cast<float>(std::uint32_t(bits >> 32)),
          std::bit_cast<float>(std::uint32_t(bits & 0xffffffffu))};
}

bool QKSingleSpline::pointIsNearCurve(QPointF point) const {
  const QRectF area = bounds();
  if (!(area.width() > 0)) return false;
  const double e = evaluateAt(static_cast<float>(point.x() / area.width())) * area.height();
  return e - handleRadius_ <= point.y() && point.y() <= e + handleRadius_;
}

float QKSingleSpline::snapValueToGrid(float value) const {
  std::lock_guard lock(splineLock_);
  return snapLocked(value);
}

float QKSingleSpline::snapLocked(double value) const {
  const float v = static_cast<float>(value);
  const float snapped = (1.0f / snapDivisions_) * std::round(snapDivisions_ * v);
  if (snapped - snapSensitivity_ <= v && v <= snapped + snapSensitivity_) return snapped;
  return v;
}

// --- Point editing -------------------------------------------------------------------------

int QKSingleSpline::insertControlPointAtXLoc(float x) {
  std::lock_guard lock(splineLock_);
  const float u = CurveMath::wrappedPhase(double(x) - double(hOffset_));
  int index = -1;
  const CurveMath::Sample sample = rawSampleLocked(u, &index);
  if (index < 0) return -1;
  QKQuadraticSpline& split = splineArray_[index];
  // A point already standing there would leave a segment without width.
  if (std::fabs(double(u) - split.start().x) <= CurveSnapshot::kTolerance ||
      std::fabs(double(u) - split.end().x) <= CurveSnapshot::kTolerance)
    return -1;
  // The raw value, not the output: the curve keeps its shape whatever the
  // offsets and amplitude.
  const Point at{u, sample.y};
  const Point oldEnd = split.end();
  split.setControlPoint(2, at);
  splineArray_.insert(splineArray_.begin() + index + 1,
                      QKQuadraticSpline(at, Point{0.5f, 0.0f}, oldEnd));
  buildCurvePathLocked();
  publishLocked();
  return index + 1;
}

void QKSingleSpline::removeControlPointLocked(int index) {
  const int count = static_cast<int>(splineArray_.size());
  if (index < 1 || index >= count || count < 2) return;
  splineArray_[index - 1].setControlPoint(2, splineArray_[index].end());
  splineArray_.erase(splineArray_.begin() + index);
}

void QKSingleSpline::removeControlPointAtIndex(int index) {
  std::lock_guard lock(splineLock_);
  removeControlPointLocked(index);
  buildCurvePathLocked();
  publishLocked();
}

void QKSingleSpline::removeAllControlPoints() {
  std::lock_guard lock(splineLock_);
  while (splineArray_.size() >= 2) removeControlPointLocked(1);
  buildCurvePathLocked();
  publishLocked();
}

void QKSingleSpline::addControlPointAtXLoc(float x, float y) {
  const int index = insertControlPointAtXLoc(x);
  if (index >= 0) setMagnitudeForPoint(index, y);
}

void QKSingleSpline::setMagnitudeForPoint(int index, float y) {
  if (!std::isfinite(y)) return;
  std::lock_guard lock(splineLock_);
  const int count = static_cast<int>(splineArray_.size());
  if (index < 0 || index > count) return;
  if (index > 0) {
    Point end = splineArray_[index - 1].end();
    end.y = y;
    splineArray_[index - 1].setControlPoint(2, end);
  }
  if (index != count) {
    Point start = splineArray_[index].start();
    start.y = y;
    splineArray_[index].setControlPoint(0, start);
  }
  buildCurvePathLocked();
  publishLocked();
}

void QKSingleSpline::setHandleForPoint(int index, float hx, float hy) {
  if (!std::isfinite(hx) || !std::isfinite(hy)) return;
  std::lock_guard lock(splineLock_);
  if (index < 0 || index >= static_cast<int>(splineArray_.size())) return;
  splineArray_[index].setControlPoint(1, Point{hx, hy});
  splineArray_[index].setUseControlPoint(!(hx == 0.0f && hy == 0.0f));
  buildCurvePathLocked();
  publishLocked();
}

bool QKSingleSpline::setSplineArray(std::vector<QKQuadraticSpline> segments) {
  const QString reason = CurveSnapshot::checkSegments(segments);
  if (!reason.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: curve segments refused: %1").arg(reason));
    return false;
  }
  std::lock_guard lock(splineLock_);
  splineArray_ = std::move(segments);
  buildCurvePathLocked();
  publishLocked();
  return true;
}

std::vector<QKQuadraticSpline> QKSingleSpline::splineArray() const {
  std::lock_guard lock(splineLock_);
  return splineArray_;
}

int QKSingleSpline::segmentCount() const {
  std::lock_guard lock(splineLock_);
  return static_cast<int>(splineArray_.size());
}

void QKSingleSpline::publishLocked() {
  std::vector<CurveMath::Segment> segments;
  segments.reserve(splineArray_.size());
  for (const QKQuadraticSpline& segment : splineArray_) segments.push_back(evaluationForm(segment));
  published_.publish(segments, hOffset_, vOffset_, amplitude_);
}

// --- Drawing paths ---------------------------------------------------------------------

void QKSingleSpline::prepareCurvePath() {
  std::lock_guard lock(splineLock_);
  buildCurvePathLocked();
}

void QKSingleSpline::prepareGridPath() {
  std::lock_guard lock(splineLock_);
  buildGridPathLocked();
}

void QKSingleSpline::buildCurvePathLocked() {
  if (useGLMode_) return;
  const double w = bounds_.width();
  const double h = bounds_.height();
  const double r = handleRadius_;
  QPainterPath curve;
  curve.setFillRule(Qt::OddEvenFill);
  QPainterPath handles;
  QPainterPath controls;
  curve.moveTo(0, 0);
  for (int period = 0; period < 2; ++period) {
    for (const QKQuadraticSpline& segment : splineArray_) {
      const QPointF p0((period + segment.start().x) * w,
                       (vOffset_ + amplitude_ * segment.start().y) * h);
      const QPointF p3((period + segment.end().x) * w,
                       (vOffset_ + amplitude_ * segment.end().y) * h);
      const QPointF q(p0.x() + std::fabs(p3.x() - p0.x()) * segment.control().x,
                      (vOffset_ + amplitude_ * segment.control().y) * h);
      handles.addEllipse(p0, r, r);
      curve.lineTo(p0);
      if (segment.useControlPoint()) {
        controls.addEllipse(q, r, r);
        controls.moveTo(p0);
        controls.lineTo(q);
        controls.lineTo(p3);
        curve.cubicTo(q, q, p3);
      } else {
        curve.lineTo(p3);
      }
      handles.addEllipse(p3, r, r);
    }
  }
  curve.lineTo(2 * w, 0);
  controls.moveTo(0, 0);
  const double shift = ((hOffset_ - std::floor(hOffset_)) - 1.0) * w;
  for (QPainterPath* path : {&curve, &handles, &controls}) {
    path->translate(shift, 0);
    path->closeSubpath();
  }
  curvePath_ = curve;
  curveHandlesPath_ = handles;
  controlPointsPath_ = controls;
  hasCurvePath_ = true;
  ++curvePathBuilds_;
}

void QKSingleSpline::buildGridPathLocked() {
  gridPath_ = QPainterPath();
  hasGridPath_ = false;
  if (useGLMode_) return;
  const double w = bounds_.width();
  const double h = bounds_.height();
  const double divisions = snapDivisions_;
  if (divisions > 1) {
    const double last = std::ceil(divisions);
    for (int i = 0; i <= last; ++i) {
      gridPath_.moveTo(i * w / divisions, 0);
      gridPath_.lineTo(i * w / divisions, h);
    }
    for (int i = 0; i <= last; ++i) {
      gridPath_.moveTo(0, i * h / divisions);
      gridPath_.lineTo(w, i * h / divisions);
    }
  }
  hasGridPath_ = true;
  ++gridPathBuilds_;
}

QPainterPath QKSingleSpline::curvePath() const {
  std::lock_guard lock(splineLock_);
  return curvePath_;
}

QPainterPath QKSingleSpline::curveHandlesPath() const {
  std::lock_guard lock(splineLock_);
  return curveHandlesPath_;
}

QPainterPath QKSingleSpline::controlPointsPath() const {
  std::lock_guard lock(splineLock_);
  return controlPointsPath_;
}

QPainterPath QKSingleSpline::gridPath() const {
  std::lock_guard lock(splineLock_);
  return gridPath_;
}

bool QKSingleSpline::hasCurvePath() const {
  std::lock_guard lock(splineLock_);
  return hasCurvePath_;
}

bool QKSingleSpline::hasGridPath() const {
  std::lock_guard lock(splineLock_);
  return hasGridPath_;
}

int QKSingleSpline::curvePathBuilds() const {
  std::lock_guard lock(splineLock_);
  return curvePathBuilds_;
}

int QKSingleSpline::gridPathBuilds() const {
  std::lock_guard lock(splineLock_);
  return gridPathBuilds_;
}

// --- Tracking squares ---------------------------------------------------------------------

void QKSingleSpline::prepareTrackingRects() {
  if (deleted()) return;
  std::lock_guard lock(splineLock_);
  for (QKQuadraticSpline& segment : splineArray_) {
    segment.setTrackingPoint(0, ++nextTrackingTag_);
    segment.setTrackingPoint(1, segment.useControlPoint() ? ++nextTrackingTag_ : -1);
    segment.setTrackingPoint(2, ++nextTrackingTag_);
  }
}

void QKSingleSpline::clearTrackingRects() {
  std::lock_guard lock(splineLock_);
  for (QKQuadraticSpline& segment : splineArray_)
    for (int which = 0; which < 3; ++which) segment.setTrackingPoint(which, -1);
}

int QKSingleSpline::trackingTagAt(QPointF point) const {
  std::lock_guard lock(splineLock_);
  for (const QKQuadraticSpline& segment : splineArray_) {
    for (int which : {0, 1, 2}) {
      const int tag = segment.getTrackingPointAtIndex(which);
      if (tag <= 0) continue;
      if (which == 1 && !segment.useControlPoint()) continue;
      if (inSquareLocked(segment, which, point)) return tag;
    }
  }
  return -1;
}

QPointF QKSingleSpline::drawnPointLocked(const QKQuadraticSpline& segment, int which) const {
  const double w = bounds_.width();
  const double h = bounds_.height();
  const Point p =
      which == 1 ? segment.absoluteControlPoint() : segment.getControlPointAtIndex(which);
  return {CurveMath::wrappedPosition(hOffset_, p.x) * w, (vOffset_ + amplitude_ * p.y) * h};
}

bool QKSingleSpline::inSquareLocked(const QKQuadraticSpline& segment, int which,
                                    QPointF point) const {
  return inSquare(drawnPointLocked(segment, which), handleRadius_, point);
}

// --- Mouse editing -------------------------------------------------------------------------

bool QKSingleSpline::handleClick(QPointF point, int flags) {
  const ModifierKeys keys = ModifierKeys::fromFlags(flags);
  clickedSegment_ = -1;
  clickedPtIndex_ = -1;
  optionOnClick_ = keys.option();
  cmdOnClick_ = keys.command();
  bool result = false;
  {
    std::lock_guard lock(splineLock_);
    const double w = bounds_.width();
    const double h = bounds_.height();
    startTrackingPt_ = QPointF(w > 0 ? point.x() / w : 0, h > 0 ? point.y() / h : 0);
    hOffsetDragStart_ = hOffset_;
    vOffsetDragStart_ = vOffset_;
    amplitudeDragStart_ = amplitude_;
    bool changed = false;
    for (size_t i = 0; i < splineArray_.size(); ++i) {
      QKQuadraticSpline& segment = splineArray_[i];
      const int index = static_cast<int>(i);
      if (inSquareLocked(segment, 0, point)) {
        clickedSegment_ = index;
        clickedPtIndex_ = 0;
        if (optionOnClick_) {
          segment.setUseControlPoint(!segment.useControlPoint());
          clickedPtIndex_ = segment.useControlPoint() ? 1 : 0;
          changed = true;
        }
      } else if (inSquareLocked(segment, 2, point)) {
        clickedSegment_ = index;
        clickedPtIndex_ = 2;
      } else if (segment.useControlPoint() && inSquareLocked(segment, 1, point)) {
        if (optionOnClick_ || cmdOnClick_) {
          segment.setUseControlPoint(false);
          changed = true;
          result = true;
        } else {
          clickedSegment_ = index;
          clickedPtIndex_ = 1;
        }
      }
    }
    if (changed) {
      buildCurvePathLocked();
      publishLocked();
    }
  }
  dragMode_ = clickedSegment_ >= 0 ? 1 : 2;
  if (cmdOnClick_ && pointIsNearCurve(point)) {
    if (clickedSegment_ >= 0) {
      // The junction clicked: a start point is the junction before its
      // segment, an end point the one after; the curve's two ends stay.
      const int junction = clickedPtIndex_ == 0   ? clickedSegment_
                           : clickedPtIndex_ == 2 ? clickedSegment_ + 1
                                                  : -1;
      clickedSegment_ = -1;
      clickedPtIndex_ = -1;
      removeControlPointAtIndex(junction);
      return true;
    }
    const double w = bounds().width();
    const int inserted = insertControlPointAtXLoc(static_cast<float>(point.x() / w));
    if (inserted < 0) return result;
    // The new point follows the drag that may come (not the amplitude).
    clickedSegment_ = inserted;
    clickedPtIndex_ = 0;
    dragMode_ = 1;
    return true;
  }
  return clickedSegment_ >= 0 || result;
}

void QKSingleSpline::selectedPointMovedTo(QPointF point) {
  if (!finite(point)) return;
  std::lock_guard lock(splineLock_);
  if (splineArray_.empty()) return;
  auto snap = [this](double value) { return snapLocked(value); };
  if (dragMode_ == 1) {
    if (clickedSegment_ >= 0 && clickedSegment_ < static_cast<int>(splineArray_.size()))
      movePointLocked(QPointF(snap(point.x()), std::clamp(snap(point.y()), 0.0f, 1.0f)));
  } else if (dragMode_ == 2) {
    if (cmdOnClick_) {
      const float a = snap(amplitudeDragStart_ + point.y() - startTrackingPt_.y());
      amplitude_ = a > kMinimumAmplitude ? a : kMinimumAmplitude;
    } else {
      hOffset_ = snap(hOffsetDragStart_ + point.x() - startTrackingPt_.x());
      vOffset_ =
          std::clamp(snap(vOffsetDragStart_ + point.y() - startTrackingPt_.y()), -1.0f, 1.0f);
    }
  }
  buildCurvePathLocked();
  publishLocked();
}

// `point` is snapped, its y clamped to 0..1.
void QKSingleSpline::movePointLocked(QPointF point) {
  const float x = static_cast<float>(point.x());
  const float y = static_cast<float>(point.y());
  const int index = clickedSegment_;
  const int last = static_cast<int>(splineArray_.size()) - 1;
  QKQuadraticSpline& segment = splineArray_[index];
  // A curve squashed flat (a snapshot may store amplitude 0) keeps its raw
  // values rather than dividing by nothing.
  const bool flat = std::fabs(amplitude_) < kMinimumAmplitude;
  auto raw = [&](float old) { return flat ? old : (y - vOffset_) / amplitude_; };
  // A phase from an editor position, kept between two neighbours.
  auto phaseBetween = [&](float low, float high) {
    float nx = x - hOffset_ + std::floor(hOffset_);
    if (nx < 0) nx += 1;
    if (nx <= low) nx = low + kPointGap;
    if (nx >= high) nx = high - kPointGap;
    if (!(low < nx && nx < high)) nx = (low + high) / 2;  // neighbours under two gaps apart
    return nx;
  };
  switch (clickedPtIndex_) {
    case 1: {
      const float turn = hOffset_ - std::floor(hOffset_);
      float x0 = segment.start().x + turn;
      float x2 = segment.end().x + turn;
      if (x2 > 1 && x < (x0 + x2 - 1) / 2) {
        x0 -= 1;
        x2 -= 1;
      }
      const float relative = std::clamp((x - x0) / std::fabs(x2 - x0), 0.0f, 1.0f);
      segment.setControlPoint(1, Point{relative, raw(segment.control().y)});
      break;
    }
    case 2: {
      if (index == last) {
        segment.setControlPoint(2, Point{1, raw(segment.end().y)});
        break;
      }
      QKQuadraticSpline& next = splineArray_[index + 1];
      const Point moved{phaseBetween(segment.start().x, next.end().x), raw(segment.end().y)};
      segment.setControlPoint(2, moved);
      next.setControlPoint(0, moved);
      break;
    }
    case 0: {
      if (index == 0) {
        segment.setControlPoint(0, Point{0, raw(segment.start().y)});
        break;
      }
      QKQuadraticSpline& previous = splineArray_[index - 1];
      const Point moved{phaseBetween(previous.start().x, segment.end().x), raw(segment.start().y)};
      segment.setControlPoint(0, moved);
      previous.setControlPoint(2, moved);
      break;
    }
    default:
      break;
  }
}

bool QKSingleSpline::handleMouseEnteredForTrackingRectTag(int tag, QPointF point, int flags) {
  handleMousedOverTag_ = tag;
  const bool over = doCursorState(tag, point, flags);
  if (!over) handleMousedOverTag_ = -1;
  return over;
}

bool QKSingleSpline::handleFlagsChanged(QPointF point, int flags) {
  return doCursorState(handleMousedOverTag_, point, flags);
}

CurveCursor QKSingleSpline::cursorForPoint(int which, int flags) const {
  const ModifierKeys keys = ModifierKeys::fromFlags(flags);
  if (which == 1)
    return keys.command() || keys.option() ? CurveCursor::RemoveHandle : CurveCursor::Crosshair;
  if (keys.command()) return CurveCursor::RemoveHandle;
  if (keys.option()) return CurveCursor::ShowControlPoint;
  return CurveCursor::Crosshair;
}

// The point of the first segment whose square holds `point` (start, end,
// then the control point in use); -1 when none.
int QKSingleSpline::segmentIndexOfPointAt(QPointF point, int* which) const {
  std::lock_guard lock(splineLock_);
  for (const QKQuadraticSpline& segment : splineArray_) {
    for (int candidate : {0, 2, 1}) {
      if (candidate == 1 && !segment.useControlPoint()) continue;
      if (inSquareLocked(segment, candidate, point)) {
        *which = candidate;
        return static_cast<int>(&segment - splineArray_.data());
      }
    }
  }
  return -1;
}

bool QKSingleSpline::doCursorState(int tag, QPointF point, int flags) {
  const ModifierKeys keys = ModifierKeys::fromFlags(flags);
  if (tag != -1) {
    int which = -1;
    {
      std::lock_guard lock(splineLock_);
      for (const QKQuadraticSpline& segment : splineArray_) {
        if (segment.getTrackingPointAtIndex(0) == tag)
          which = 0;
        else if (segment.getTrackingPointAtIndex(2) == tag)
          which = 2;
        else if (segment.useControlPoint() && segment.getTrackingPointAtIndex(1) == tag)
          which = 1;
        if (which >= 0) break;
      }
    }
    if (which >= 0) {
      setCursor(cursorForPoint(which, flags));
      return true;
    }
  }
  if (keys.command() && pointIsNearCurve(point)) {
    setCursor(CurveCursor::ShowControlPoint);
    return true;
  }
  const QRectF area = bounds();
  const bool inside = point.x() >= area.left() && point.x() < area.right() &&
                      point.y() >= area.top() && point.y() < area.bottom();
  if (inside) {
    int which = -1;
    if (segmentIndexOfPointAt(point, &which) >= 0) {
      setCursor(cursorForPoint(which, flags));
      return true;
    }
  }
  if (dragMode_ == 1 || !inside)
    setCursor(CurveCursor::Arrow);
  else if (keys.command())
    setCursor(CurveCursor::ResizeUpDown);
  else if (dragMode_ == 2)
    setCursor(CurveCursor::ClosedHand);
  else
    setCursor(CurveCursor::OpenHand);
  return false;
}

// --- Accessors ---------------------------------------------------------------------------

QRectF QKSingleSpline::bounds() const {
  std::lock_guard lock(splineLock_);
  return bounds_;
}

void QKSingleSpline::setBounds(const QRectF& bounds) {
  std::lock_guard lock(splineLock_);
  if (bounds == bounds_) return;
  bounds_ = bounds;
  buildCurvePathLocked();
  buildGridPathLocked();
}

float QKSingleSpline::hOffset() const {
  std::lock_guard lock(splineLock_);
  return hOffset_;
}

void QKSingleSpline::setHOffset(float value) {
  if (!std::isfinite(value)) return;
  std::lock_guard lock(splineLock_);
  hOffset_ = value;
  publishLocked();
}

float QKSingleSpline::vOffset() const {
  std::lock_guard lock(splineLock_);
  return vOffset_;
}

void QKSingleSpline::setVOffset(float value) {
  if (!std::isfinite(value)) return;
  std::lock_guard lock(splineLock_);
  vOffset_ = std::clamp(value, -1.0f, 1.0f);
  publishLocked();
}

float QKSingleSpline::amplitude() const {
  std::lock_guard lock(splineLock_);
  return amplitude_;
}

void QKSingleSpline::setAmplitude(float value) {
  if (std::isnan(value)) return;
  std::lock_guard lock(splineLock_);
  amplitude_ = value > kMinimumAmplitude && std::isfinite(value) ? value : kMinimumAmplitude;
  publishLocked();
}

float QKSingleSpline::snapDivisions() const {
  std::lock_guard lock(splineLock_);
  return snapDivisions_;
}

void QKSingleSpline::setSnapDivisions(float value) {
  if (!std::isfinite(value) || value <= 0) return;
  std::lock_guard lock(splineLock_);
  snapDivisions_ = value;
}

bool QKSingleSpline::useGLMode() const {
  std::lock_guard lock(splineLock_);
  return useGLMode_;
}

void QKSingleSpline::setUseGLMode(bool use) {
  std::lock_guard lock(splineLock_);
  useGLMode_ = use;
}
