#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

// The colour wheel's arithmetic as pure functions: one colour in HSV, RGB and
// as a point of the unit disc (centre (0.5, 0.5), radius 0.5), the pick of a
// point within oblong bounds (y up), the reticle's place and the disc picture.
// Hue 0 lies along +x and grows counter-clockwise; every component is 0..1.
class ColorWheelMath {
 public:
  struct HSV {
    float h = 0, s = 0, v = 0;
  };
  struct RGB {
    float r = 0, g = 0, b = 0;
  };
  struct HueSaturation {
    float h = 0, s = 0;
  };

  static RGB rgbFromHSV(const HSV& hsv);
  // The maximum is tested in the order r, g, b (ties go to the earlier).
  static HSV hsvFromRGB(const RGB& rgb);
  static QPointF xyFromHSV(float hue, float saturation);
  // Hue and saturation of a point within bounds of `size` (y up, origin at
  // the bottom left). Points outside the disc give full saturation at their
  // angle; the centre gives hue 0. Nothing for bounds without area or a
  // point that is not a number.
  static std::optional<HueSaturation> pick(const QPointF& point, const QSizeF& size);
  // The 14 × 14 rectangle centred on the colour's place (y up).
  static QRectF reticleRect(float hue, float saturation, const QSizeF& size);
  // The disc picture: a size × size image whose pixel at column x and row
  // (size − 1 − y) from the top shows the pick of (x, y) at `value`, opaque.
  static QImage discImage(int size, float value);
};
