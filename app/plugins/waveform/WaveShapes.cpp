#include "app/plugins/waveform/WaveShapes.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace WaveShapes {

namespace {

float raw(int type, double f, double u, float last, float rate) {
  switch (type) {
    case Square:
      return f < 0.5 ? 0.0f : 1.0f;
    case Saw:
      return float(f);
    case Triangle:
      return float(f <= 0.5 ? 2.0 * f : 2.0 * (1.0 - f));
    case Sine:
      return (std::sin(float(2.0 * std::numbers::pi * f)) + 1.0f) * 0.5f;
    case Cosine:
      return (std::cos(float(2.0 * std::numbers::pi * f)) + 1.0f) * 0.5f;
    case Random:
      return float(u);
    case Drunk:
      return last + float(1.0 - 2.0 * u) * rate;
    default:
      return 0.0f;
  }
}

// The shape over one cycle, drawn into a square of side `side` (y down).
QPainterPath shapePath(int type, double side) {
  QPainterPath path;
  const int steps = 24;
  for (int i = 0; i <= steps; ++i) {
    const double f = std::min(double(i) / steps, 0.999);
    // Random and drunk draw a fixed jagged line.
    static const double jag[] = {0.2, 0.9, 0.4, 0.7, 0.1, 0.6, 0.3};
    double y = 0;
    if (type == Random)
      y = jag[(i / 4) % 7];
    else if (type == Drunk)
      y = 0.5 + 0.35 * std::sin(i * 0.7) * std::cos(i * 0.31);
    else
      y = raw(type, f, 0, 0, 0);
    const QPointF point(f * side, (1.0 - y) * side);
    if (i == 0)
      path.moveTo(point);
    else
      path.lineTo(point);
  }
  return path;
}

}  // namespace

float value(int type, double f, double u, float last, float rate) {
  const float v = raw(type, f, u, last, rate);
  if (v > 1.0f) return 1.0f;
  if (v < 0.0f) return 0.0f;
  return v;
}

QImage buttonStrip(int type) {
  const int tile = 14;
  QImage strip(3 * tile, tile, QImage::Format_ARGB32_Premultiplied);
  strip.fill(Qt::transparent);
  QPainter painter(&strip);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QColor colours[] = {QColor(170, 170, 170), QColor(255, 255, 255), QColor(255, 210, 90)};
  for (int i = 0; i < 3; ++i) {
    painter.save();
    painter.translate(i * tile + 2, 2);
    painter.setPen(QPen(colours[i], 1.2));
    painter.drawPath(shapePath(type, tile - 4));
    painter.restore();
  }
  return strip;
}

}  // namespace WaveShapes
