#pragma once

#include "app/plugins/colorswatch/ColorWheelComponents.h"
#include "app/plugins/colorswatch/ColorWheelMath.h"

#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

// A hue/saturation disc dimmed by the value (brightness), with a reticle on
// the current colour; a click or drag picks hue and saturation and keeps the
// value. One colour is kept in HSV, RGB and as a point of the disc. The
// model runs y up (the disc's +x is hue 0); events and painting are turned
// over at the widget's edge.
//
// Setters ignore values that are not numbers and clamp to 0..1; they never
// tell the delegate, only a pick does. A changed value repaints the whole
// view, any other change only the reticle's old and new places. The disc
// picture is rendered at first use. Main thread only, but for `components`,
// which the tick reads.
class QKColorWheel : public QWidget {
  Q_OBJECT
 public:
  explicit QKColorWheel(QWidget* parent = nullptr);
  ~QKColorWheel() override;

  // Told after every pick (the swatch).
  void setDelegate(std::function<void(QKColorWheel&)> picked) { picked_ = std::move(picked); }

  void setColorHSV(float hue, float saturation, float value);
  void setHue(float hue);
  void setSaturation(float saturation);
  void setValue(float value);
  void setR(float r);
  void setG(float g);
  void setB(float b);
  void setX(float x);
  void setY(float y);

  float r() const { return rgb_.r; }
  float g() const { return rgb_.g; }
  float b() const { return rgb_.b; }
  float h() const { return hsv_.h; }
  float s() const { return hsv_.s; }
  float v() const { return hsv_.v; }
  float x() const { return x_; }
  float y() const { return y_; }

  // What a colour holder reads on the tick thread.
  std::shared_ptr<ColorWheelComponents> components() const { return components_; }

  // A pick at a point of the view's model space (y up); ignored in bounds
  // without area.
  void setColorFromClickPoint(const QPointF& modelPoint);
  // The reticle's place now (y up).
  QRectF rectForReticle() const;
  void markAppropriateAreasForDisplay();
  // The area asked to repaint last (widget coordinates), for tests.
  QRegion lastMarkedRegion() const { return lastMarked_; }

  // Renders the disc picture at the current value and writes it as TIFF to
  // `path`, atomically; false (logged) when it cannot.
  bool dumpColorWheelImageToDisk(const QString& path) const;

 protected:
  // The side of the disc picture, in pixels.
  virtual int backgroundImageSize() const { return 128; }
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  const QImage& backgroundImage() const;
  QRectF toWidget(const QRectF& model) const;
  QPointF toModel(const QPointF& widgetPoint) const;
  void deriveFromHSV();
  void deriveFromRGB();
  void setRGBComponent(float& component, float value);
  void setXYComponent(float& component, float value);
  void publish();
  void markWhole();

  ColorWheelMath::HSV hsv_{0.125f, 0.75f, 0.0f};
  ColorWheelMath::RGB rgb_;
  float x_ = 0.0f;
  float y_ = 0.0f;
  QRectF thisReticleRect_;
  QRectF lastReticleRect_;
  QRegion lastMarked_;
  std::function<void(QKColorWheel&)> picked_;
  std::shared_ptr<ColorWheelComponents> components_ = std::make_shared<ColorWheelComponents>();
};
