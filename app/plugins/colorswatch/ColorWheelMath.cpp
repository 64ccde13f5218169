#include "app/plugins/colorswatch/ColorWheelMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

float clampUnit(float value) { return std::clamp(value, 0.0f, 1.0f); }

}  // namespace

ColorWheelMath::RGB ColorWheelMath::rgbFromHSV(const HSV& hsv) {
  const float v = hsv.v;
  const float s = hsv.s;
  if (s == 0.0f) return {v, v, v};
  float h6 = hsv.h * 6.0f;
  if (h6 >= 6.0f) h6 = 0.0f;
  const int i = static_cast<int>(h6);
  const float f = h6 - float(i);
  const float p = v * (1.0f - s);
  const float q = v * (1.0f - s * f);
  const float t = v * (1.0f - s * (1.0f - f));
  switch (i) {
    case 0:
      return {v, t, p};
    case 1:
      return {q, v, p};
    case 2:
      return {p, v, t};
    case 3:
      return {p, q, v};
    case 4:
      return {t, p, v};
    default:
      return {v, p, q};
  }
}

ColorWheelMath::HSV ColorWheelMath::hsvFromRGB(const RGB& rgb) {
  const float max = std::max({rgb.r, rgb.g, rgb.b});
  const float min = std::min({rgb.r, rgb.g, rgb.b});
  const float d = max - min;
  HSV hsv{0.0f, 0.0f, max};
  if (d == 0.0f) return hsv;
  hsv.s = d / max;
  const float dR = ((max - rgb.r) / 6.0f + d / 2.0f) / d;
  const float dG = ((max - rgb.g) / 6.0f + d / 2.0f) / d;
  const float dB = ((max - rgb.b) / 6.0f + d / 2.0f) / d;
  if (rgb.r == max)
    hsv.h = dB - dG;
  else if (rgb.g == max)
    hsv.h = 1.0f / 3.0f + dR - dB;
  else
    hsv.h = 2.0f / 3.0f + dG - dR;
  if (hsv.h < 0.0f) hsv.h += 1.0f;
  if (hsv.h > 1.0f) hsv.h -= 1.0f;
  return hsv;
}

QPointF ColorWheelMath::xyFromHSV(float hue, float saturation) {
  const double angle = kTwoPi * double(hue);
  return {0.5 + 0.5 * double(saturation) * std::cos(angle),
          0.5 + 0.5 * double(saturation) * std::sin(angle)};
}

std::optional<ColorWheelMath::HueSaturation> ColorWheelMath::pick(const QPointF& point,
                                                                  const QSizeF& size) {
  if (!(size.width() > 0.0) || !(size.height() > 0.0) || !std::isfinite(size.width()) ||
      !std::isfinite(size.height()) || !std::isfinite(point.x()) || !std::isfinite(point.y()))
    return std::nullopt;
  const double nx = 2.0 * point.x() / size.width() - 1.0;
  const double ny = 2.0 * point.y() / size.height() - 1.0;
  HueSaturation picked;
  picked.s = float(std::min(1.0, std::sqrt(nx * nx + ny * ny)));
  double hue = std::atan(ny / nx) / kTwoPi;
  if (nx < 0.0) hue += 0.5;
  if (hue < 0.0) hue += 1.0;
  if (std::isnan(hue)) hue = 0.0;
  picked.h = clampUnit(float(hue));
  if (picked.h >= 1.0f) picked.h = 0.0f;
  return picked;
}

QRectF ColorWheelMath::reticleRect(float hue, float saturation, const QSizeF& size) {
  const double w = size.width() / 2.0;
  const double h = size.height() / 2.0;
  const double angle = kTwoPi * double(hue);
  const QPointF centre(w + w * double(saturation) * std::cos(angle),
                       h + h * double(saturation) * std::sin(angle));
  return {centre - QPointF(7, 7), QSizeF(14, 14)};
}

QImage ColorWheelMath::discImage(int size, float value) {
  if (size <= 0) return {};
  QImage image(size, size, QImage::Format_RGBA8888);
  const QSizeF bounds(size, size);
  for (int y = 0; y < size; ++y) {
    auto* row = reinterpret_cast<uchar*>(image.scanLine(size - 1 - y));
    for (int x = 0; x < size; ++x) {
      const HueSaturation hs = pick(QPointF(x, y), bounds).value_or(HueSaturation{});
      const RGB rgb = rgbFromHSV({hs.h, hs.s, value});
      row[4 * x + 0] = uchar(rgb.r * 255.0f);
      row[4 * x + 1] = uchar(rgb.g * 255.0f);
      row[4 * x + 2] = uchar(rgb.b * 255.0f);
      row[4 * x + 3] = 255;
    }
  }
  return image;
}
