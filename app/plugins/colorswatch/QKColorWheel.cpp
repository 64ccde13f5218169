#include "app/plugins/colorswatch/QKColorWheel.h"

#include "app/plugins/colorswatch/TiffEncoder.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/Log.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// False for a value that is not a number; else the value clamped to 0..1.
bool unit(float& value) {
  if (std::isnan(value)) return false;
  value = std::clamp(value, 0.0f, 1.0f);
  return true;
}

}  // namespace

QKColorWheel::QKColorWheel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QKColorWheel::~QKColorWheel() = default;

// Rendered once per size for the whole run: the disc at full value, dimmed
// when drawn.
const QImage& QKColorWheel::backgroundImage() const {
  static std::map<int, QImage> images;
  const int size = backgroundImageSize();
  auto it = images.find(size);
  if (it == images.end()) it = images.emplace(size, ColorWheelMath::discImage(size, 1.0f)).first;
  return it->second;
}

QRectF QKColorWheel::toWidget(const QRectF& model) const {
  return {model.x(), double(height()) - model.y() - model.height(), model.width(), model.height()};
}

QPointF QKColorWheel::toModel(const QPointF& widgetPoint) const {
  return {widgetPoint.x(), double(height()) - widgetPoint.y()};
}

// --- Setters --------------------------------------------------------------------------------

void QKColorWheel::deriveFromHSV() {
  rgb_ = ColorWheelMath::rgbFromHSV(hsv_);
  const QPointF xy = ColorWheelMath::xyFromHSV(hsv_.h, hsv_.s);
  x_ = float(xy.x());
  y_ = float(xy.y());
  publish();
}

void QKColorWheel::deriveFromRGB() {
  hsv_ = ColorWheelMath::hsvFromRGB(rgb_);
  const QPointF xy = ColorWheelMath::xyFromHSV(hsv_.h, hsv_.s);
  x_ = float(xy.x());
  y_ = float(xy.y());
  publish();
}

void QKColorWheel::publish() { components_->store(rgb_.r, rgb_.g, rgb_.b); }

void QKColorWheel::setColorHSV(float hue, float saturation, float value) {
  if (!unit(hue) || !unit(saturation) || !unit(value)) return;
  const bool valueChanged = value != hsv_.v;
  hsv_ = {hue, saturation, value};
  deriveFromHSV();
  if (valueChanged)
    markWhole();
  else
    markAppropriateAreasForDisplay();
}

void QKColorWheel::setValue(float value) { setColorHSV(hsv_.h, hsv_.s, value); }

void QKColorWheel::setHue(float hue) {
  if (!unit(hue)) return;
  hsv_.h = hue;
  deriveFromHSV();
  markAppropriateAreasForDisplay();
}

void QKColorWheel::setSaturation(float saturation) {
  if (!unit(saturation)) return;
  hsv_.s = saturation;
  deriveFromHSV();
  markAppropriateAreasForDisplay();
}

void QKColorWheel::setR(float r) { setRGBComponent(rgb_.r, r); }
void QKColorWheel::setG(float g) { setRGBComponent(rgb_.g, g); }
void QKColorWheel::setB(float b) { setRGBComponent(rgb_.b, b); }

void QKColorWheel::setRGBComponent(float& component, float value) {
  if (!unit(value)) return;
  component = value;
  deriveFromRGB();
  markAppropriateAreasForDisplay();
}

void QKColorWheel::setX(float x) { setXYComponent(x_, x); }
void QKColorWheel::setY(float y) { setXYComponent(y_, y); }

void QKColorWheel::setXYComponent(float& component, float value) {
  if (!unit(value)) return;
  component = value;
  if (const auto hs = ColorWheelMath::pick(QPointF(x_, y_), QSizeF(1, 1))) {
    hsv_.h = hs->h;
    hsv_.s = hs->s;
  }
  rgb_ = ColorWheelMath::rgbFromHSV(hsv_);
  publish();
  markAppropriateAreasForDisplay();
}

// --- Picking --------------------------------------------------------------------------------

void QKColorWheel::setColorFromClickPoint(const QPointF& modelPoint) {
  const auto hs = ColorWheelMath::pick(modelPoint, QSizeF(size()));
  if (!hs) return;
  hsv_.h = hs->h;
  hsv_.s = hs->s;
  deriveFromHSV();
  if (picked_)
    picked_(*this);
  else
    markAppropriateAreasForDisplay();
}

void QKColorWheel::mousePressEvent(QMouseEvent* event) {
  setColorFromClickPoint(toModel(event->position()));
}

void QKColorWheel::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) setColorFromClickPoint(toModel(event->position()));
}

// --- Drawing --------------------------------------------------------------------------------

QRectF QKColorWheel::rectForReticle() const {
  return ColorWheelMath::reticleRect(hsv_.h, hsv_.s, QSizeF(size()));
}

// The new place, where the reticle stands on screen now and where it stood
// before that, so no earlier reticle is left behind.
void QKColorWheel::markAppropriateAreasForDisplay() {
  const QRectF area = rectForReticle()
                          .united(thisReticleRect_.isNull() ? rectForReticle() : thisReticleRect_)
                          .united(lastReticleRect_.isNull() ? rectForReticle() : lastReticleRect_)
                          .adjusted(-1, -1, 1, 1);
  lastMarked_ = QRegion(toWidget(area).toAlignedRect());
  update(lastMarked_);
}

void QKColorWheel::markWhole() {
  lastMarked_ = QRegion(rect());
  update();
}

void QKColorWheel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRectF dirty = event->rect();
  painter.fillRect(dirty, Qt::black);
  const QImage& image = backgroundImage();
  if (!image.isNull() && width() > 0 && height() > 0) {
    painter.save();
    QPainterPath disc;
    disc.addEllipse(QRectF(rect()).adjusted(2, 2, -2, -2));
    painter.setClipPath(disc);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.setOpacity(hsv_.v);
    const double sx = double(image.width()) / width();
    const double sy = double(image.height()) / height();
    const QRectF from(dirty.x() * sx, dirty.y() * sy, dirty.width() * sx, dirty.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(dirty, image, from);
    painter.restore();
  }
  lastReticleRect_ = thisReticleRect_;
  thisReticleRect_ = rectForReticle();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(hsv_.v > 0.5f ? Qt::black : Qt::white, 2));
  painter.setBrush(QColor::fromRgbF(rgb_.r, rgb_.g, rgb_.b, 1.0f));
  painter.drawEllipse(toWidget(thisReticleRect_));
}

bool QKColorWheel::dumpColorWheelImageToDisk(const QString& path) const {
  const QImage image = ColorWheelMath::discImage(128, hsv_.v);
  if (image.isNull()) {
    Log::line(QStringLiteral("\t\terr: bitRep was nil"));
    return false;
  }
  const QByteArray data = TiffEncoder::rgba(image);
  if (data.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: dataPtr was nil"));
    return false;
  }
  const QString error = AtomicFile::write(path, data);
  if (!error.isEmpty()) {
    Log::line(QStringLiteral("\t\terror writing image to disk: %1").arg(error));
    return false;
  }
  return true;
}
