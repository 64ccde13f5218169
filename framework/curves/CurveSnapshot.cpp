#include "framework/curves/CurveSnapshot.h"

#include "platform/foundation/VariantNumbers.h"

#include <cmath>

const QString CurveSnapshot::kHOffset = QStringLiteral("hOffset");
const QString CurveSnapshot::kVOffset = QStringLiteral("vOffset");
const QString CurveSnapshot::kAmplitude = QStringLiteral("amplitude");
const QString CurveSnapshot::kSplineSnapsArray = QStringLiteral("splineSnapsArray");

namespace {

using Point = QKQuadraticSpline::Point;

bool isFiniteNumber(const QVariant& value) {
  return VariantNumbers::isNumber(value) && std::isfinite(value.toDouble()) &&
         std::isfinite(static_cast<float>(value.toDouble()));
}

// The number under `key` when present; false with `reason` set when it is
// there but no finite number.
bool readNumber(const QVariantMap& map, const QString& key, std::optional<float>& into,
                const QString& where, QString* reason) {
  const auto found = map.constFind(key);
  if (found == map.constEnd()) return true;
  if (!isFiniteNumber(*found)) {
    *reason = QStringLiteral("%1\"%2\" is not a finite number").arg(where, key);
    return false;
  }
  into = static_cast<float>(found->toDouble());
  return true;
}

bool checkSegmentValues(const QVariantMap& segment, int index, QString* reason) {
  const QString where = QStringLiteral("segment %1: ").arg(index + 1);
  for (const QString& key :
       {QKQuadraticSpline::kCp0X, QKQuadraticSpline::kCp0Y, QKQuadraticSpline::kCp1X,
        QKQuadraticSpline::kCp1Y, QKQuadraticSpline::kCp2X, QKQuadraticSpline::kCp2Y}) {
    std::optional<float> ignored;
    if (!readNumber(segment, key, ignored, where, reason)) return false;
  }
  const auto use = segment.constFind(QKQuadraticSpline::kUseControlPoint);
  if (use != segment.constEnd() && !VariantNumbers::isNumber(*use, true)) {
    *reason = where + QStringLiteral("\"useControlPoint\" is not a boolean");
    return false;
  }
  return true;
}

bool near(float a, float b) {
  return std::fabs(double(a) - double(b)) <= CurveSnapshot::kTolerance;
}

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

std::optional<CurveSnapshot> CurveSnapshot::parse(const QVariantMap& snapshot, QString* reason) {
  QString ignored;
  if (!reason) reason = &ignored;
  CurveSnapshot parsed;
  if (!readNumber(snapshot, kHOffset, parsed.hOffset, {}, reason) ||
      !readNumber(snapshot, kVOffset, parsed.vOffset, {}, reason) ||
      !readNumber(snapshot, kAmplitude, parsed.amplitude, {}, reason))
    return std::nullopt;
  const auto array = snapshot.constFind(kSplineSnapsArray);
  if (array == snapshot.constEnd()) return parsed;
  if (array->typeId() != QMetaType::QVariantList) {
    *reason = QStringLiteral("\"splineSnapsArray\" is not an array");
    return std::nullopt;
  }
  std::vector<QKQuadraticSpline> segments;
  const QVariantList list = array->toList();
  for (int i = 0; i < list.size(); ++i) {
    if (list.at(i).typeId() != QMetaType::QVariantMap) {
      *reason = QStringLiteral("segment %1 is not a dictionary").arg(i + 1);
      return std::nullopt;
    }
    const QVariantMap segment = list.at(i).toMap();
    if (!checkSegmentValues(segment, i, reason)) return std::nullopt;
    segments.emplace_back(segment);
  }
  const QString wrong = checkSegments(segments);
  if (!wrong.isEmpty()) {
    *reason = wrong;
    return std::nullopt;
  }
  parsed.segments = std::move(segments);
  return parsed;
}

QString CurveSnapshot::checkSegments(std::vector<QKQuadraticSpline>& segments) {
  if (segments.empty()) return QStringLiteral("the curve has no segment");
  for (size_t i = 0; i < segments.size(); ++i) {
    const QKQuadraticSpline& s = segments[i];
    if (!finite(s.start()) || !finite(s.control()) || !finite(s.end()))
      return QStringLiteral("segment %1 holds a number that is not finite").arg(i + 1);
  }
  if (!near(segments.front().start().x, 0.0f))
    return QStringLiteral("the first segment does not start at 0");
  if (!near(segments.back().end().x, 1.0f))
    return QStringLiteral("the last segment does not end at 1");
  for (size_t i = 1; i < segments.size(); ++i) {
    const Point before = segments[i - 1].end();
    const Point start = segments[i].start();
    if (!near(before.x, start.x) || !near(before.y, start.y))
      return QStringLiteral("segment %1 does not start where segment %2 ends").arg(i + 1).arg(i);
  }
  // Exact ends and junctions from here on.
  std::vector<QKQuadraticSpline> exact = segments;
  Point first = exact.front().start();
  first.x = 0.0f;
  exact.front().setControlPoint(0, first);
  Point last = exact.back().end();
  last.x = 1.0f;
  exact.back().setControlPoint(2, last);
  for (size_t i = 1; i < exact.size(); ++i) exact[i].setControlPoint(0, exact[i - 1].end());
  for (size_t i = 0; i < exact.size(); ++i)
    if (!(exact[i].start().x < exact[i].end().x))
      return QStringLiteral("segment %1 does not run forwards (its start is not left of its end)")
          .arg(i + 1);
  segments = std::move(exact);
  return {};
}
