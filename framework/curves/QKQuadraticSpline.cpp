#include "framework/curves/QKQuadraticSpline.h"

#include "platform/foundation/VariantNumbers.h"

#include <cmath>

const QString QKQuadraticSpline::kCp0X = QStringLiteral("cp0.x");
const QString QKQuadraticSpline::kCp0Y = QStringLiteral("cp0.y");
const QString QKQuadraticSpline::kCp1X = QStringLiteral("cp1.x");
const QString QKQuadraticSpline::kCp1Y = QStringLiteral("cp1.y");
const QString QKQuadraticSpline::kCp2X = QStringLiteral("cp2.x");
const QString QKQuadraticSpline::kCp2Y = QStringLiteral("cp2.y");
const QString QKQuadraticSpline::kUseControlPoint = QStringLiteral("useControlPoint");

namespace {

void readNumber(const QVariantMap& snapshot, const QString& key, float& into) {
  const auto found = snapshot.constFind(key);
  if (found != snapshot.constEnd() && VariantNumbers::isNumber(*found))
    into = static_cast<float>(found->toDouble());
}

}  // namespace

QKQuadraticSpline::QKQuadraticSpline() : cp_{Point{0, 0}, Point{0, 0}, Point{1, 1}} {}

QKQuadraticSpline::QKQuadraticSpline(Point start, Point control, Point end)
    : cp_{start, control, end} {}

QKQuadraticSpline::QKQuadraticSpline(const QVariantMap& snapshot) : QKQuadraticSpline() {
  loadSnapshot(snapshot);
}

QVariantMap QKQuadraticSpline::createSnapshot() const {
  return {{kCp0X, double(cp_[0].x)},           {kCp0Y, double(cp_[0].y)}, {kCp1X, double(cp_[1].x)},
          {kCp1Y, double(cp_[1].y)},           {kCp2X, double(cp_[2].x)}, {kCp2Y, double(cp_[2].y)},
          {kUseControlPoint, useControlPoint_}};
}

void QKQuadraticSpline::loadSnapshot(const QVariantMap& snapshot) {
  readNumber(snapshot, kCp0X, cp_[0].x);
  readNumber(snapshot, kCp0Y, cp_[0].y);
  readNumber(snapshot, kCp1X, cp_[1].x);
  readNumber(snapshot, kCp1Y, cp_[1].y);
  readNumber(snapshot, kCp2X, cp_[2].x);
  readNumber(snapshot, kCp2Y, cp_[2].y);
  const auto use = snapshot.constFind(kUseControlPoint);
  if (use != snapshot.constEnd() && VariantNumbers::isNumber(*use, true))
    useControlPoint_ = use->toDouble() != 0.0;
}

void QKQuadraticSpline::setControlPoint(int index, Point point) {
  if (index >= 0 && index < 3) cp_[index] = point;
}

QKQuadraticSpline::Point QKQuadraticSpline::getControlPointAtIndex(int index) const {
  return index >= 0 && index < 3 ? cp_[index] : Point{};
}

void QKQuadraticSpline::setTrackingPoint(int index, int tag) {
  if (index >= 0 && index < 3) trackingTags_[index] = tag;
}

int QKQuadraticSpline::getTrackingPointAtIndex(int index) const {
  return index >= 0 && index < 3 ? trackingTags_[index] : -1;
}

QKQuadraticSpline::Point QKQuadraticSpline::absoluteControlPoint() const {
  return {cp_[0].x + std::fabs(cp_[2].x - cp_[0].x) * cp_[1].x, cp_[1].y};
}
