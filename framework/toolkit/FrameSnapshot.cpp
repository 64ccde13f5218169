#include "framework/toolkit/FrameSnapshot.h"

#include "framework/toolkit/PaletteGeometry.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

#include <cmath>

const QString FrameSnapshot::kOriginX = QStringLiteral("originX");
const QString FrameSnapshot::kOriginY = QStringLiteral("originY");
const QString FrameSnapshot::kWidth = QStringLiteral("width");
const QString FrameSnapshot::kHeight = QStringLiteral("height");
const QString FrameSnapshot::kCollapsed = QStringLiteral("collapsed");
const QString FrameSnapshot::kVisible = QStringLiteral("visible");

namespace {

void logKept(const QString& key, const QString& problem) {
  Log::line(QStringLiteral("\t\terr: palette frame snapshot: \"%1\" %2; the current value is kept")
                .arg(key, problem));
}

// A whole coordinate or size; `current` when the value cannot be one.
qint64 readInteger(const QVariantMap& snapshot, const QString& key, qint64 current, bool isSize) {
  const auto found = snapshot.constFind(key);
  if (found == snapshot.constEnd()) {
    logKept(key, QStringLiteral("is missing"));
    return current;
  }
  if (!VariantNumbers::isNumber(found.value())) {
    logKept(key, QStringLiteral("is not a number"));
    return current;
  }
  const double value = std::trunc(found.value().toDouble());
  if (!std::isfinite(value) || std::fabs(value) > PaletteGeometry::kLargestCoordinate) {
    logKept(key, QStringLiteral("is out of range"));
    return current;
  }
  if (isSize && value <= 0) {
    logKept(key, QStringLiteral("is not a size"));
    return current;
  }
  return static_cast<qint64>(value);
}

// A flag: a boolean or a number; nothing when absent or of another type.
std::optional<bool> readFlag(const QVariantMap& snapshot, const QString& key, bool logMissing) {
  const auto found = snapshot.constFind(key);
  if (found == snapshot.constEnd()) {
    if (logMissing) logKept(key, QStringLiteral("is missing"));
    return std::nullopt;
  }
  if (!VariantNumbers::isNumber(found.value(), true)) {
    logKept(key, QStringLiteral("is not a boolean"));
    return std::nullopt;
  }
  return found.value().toDouble() != 0;
}

}  // namespace

QVariantMap FrameSnapshot::make(qint64 originX, qint64 originY, qint64 width, qint64 height,
                                bool collapsed) {
  return {{kOriginX, originX},
          {kOriginY, originY},
          {kWidth, width},
          {kHeight, height},
          {kCollapsed, collapsed}};
}

QVariantMap FrameSnapshot::create(const QRectF& actualLocation, const QSizeF& expandedSize,
                                  bool collapsed, double mainHeight, std::optional<bool> visible) {
  const QRectF expanded =
      collapsed ? PaletteGeometry::expandedFrame(actualLocation, expandedSize) : actualLocation;
  const QRectF counted = PaletteGeometry::convertBLScreenToTLScreen(expanded, mainHeight);
  QVariantMap snapshot = make(static_cast<qint64>(counted.x()), static_cast<qint64>(counted.y()),
                              static_cast<qint64>(expandedSize.width()),
                              static_cast<qint64>(expandedSize.height()), collapsed);
  if (visible) snapshot.insert(kVisible, *visible);
  return snapshot;
}

FrameSnapshot::State FrameSnapshot::read(const QVariantMap& snapshot, const State& current,
                                         double mainHeight) {
  const QRectF counted = PaletteGeometry::convertBLScreenToTLScreen(current.expanded, mainHeight);
  const qint64 x = readInteger(snapshot, kOriginX, static_cast<qint64>(counted.x()), false);
  const qint64 y = readInteger(snapshot, kOriginY, static_cast<qint64>(counted.y()), false);
  const qint64 width =
      readInteger(snapshot, kWidth, static_cast<qint64>(current.expanded.width()), true);
  const qint64 height =
      readInteger(snapshot, kHeight, static_cast<qint64>(current.expanded.height()), true);
  State state;
  state.expanded = PaletteGeometry::convertTLScreenToBLScreen(
      QRectF(static_cast<double>(x), static_cast<double>(y), static_cast<double>(width),
             static_cast<double>(height)),
      mainHeight);
  state.collapsed = readFlag(snapshot, kCollapsed, true).value_or(current.collapsed);
  state.visible = readFlag(snapshot, kVisible, false);
  return state;
}
