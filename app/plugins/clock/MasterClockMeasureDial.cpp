#include "app/plugins/clock/MasterClockMeasureDial.h"

#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace {

constexpr int kColonSpace = 7;
const QColor kDisc = QColor::fromRgbF(0.39f, 0.39f, 1.0f);
const QColor kSector = QColor::fromRgbF(0.195f, 0.195f, 0.5f);

// A rim point at `degrees` clockwise from twelve o'clock (y grows downward).
QPointF rimPoint(const QPointF& centre, double radius, double degrees) {
  const double a = degrees * M_PI / 180.0;
  return {centre.x() + radius * std::sin(a), centre.y() - radius * std::cos(a)};
}

}  // namespace

MasterClockMeasureDial::MasterClockMeasureDial(QWidget* parent) : QWidget(parent), repaint_(this) {}

void MasterClockMeasureDial::setCurrentPosition(double position, long measure, long beat,
                                                long subdivision) {
  const double last = currentPosition_.exchange(position);
  lastPosition_.store(last);
  if (position < last) newMeasure_.store(true);
  measureCount_.store(measure);
  beatCount_.store(beat);
  subdivisionCount_.store(subdivision);
  if (!collapsed_.load()) repaint_.request();
}

void MasterClockMeasureDial::setCollapsed(bool collapsed) {
  collapsed_.store(collapsed);
  if (!collapsed) update();
}

int MasterClockMeasureDial::sectorStart(double position) {
  const int degrees = int(position * 360.0);
  return degrees - degrees % 12;
}

QList<int> MasterClockMeasureDial::sectorAngles(int start) {
  QList<int> angles{start};
  for (int a = start + 18; a <= 341; a += 18) angles << a;
  angles << 360;
  return angles;
}

QString MasterClockMeasureDial::counterText(long measure, long beat, long subdivision) {
  return QStringLiteral("%1:%2:%3").arg(measure).arg(beat).arg(subdivision);
}

QColor MasterClockMeasureDial::background() const {
  if (!contentView_) return Qt::red;
  QColor c = contentView_->backgroundColor();
  if (!c.isValid()) return Qt::red;
  c.setAlphaF(1.0f);
  return c;
}

void MasterClockMeasureDial::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), background());
  const double h = height();
  drawDial(painter, QRectF(width() - h, 0, h, h));
  drawText(painter);
}

void MasterClockMeasureDial::drawDial(QPainter& painter, const QRectF& rect) {
  if (rect.width() < 1 || rect.height() < 1) return;
  const QPointF centre = rect.center();
  const QRectF inner = rect.adjusted(1, 1, -1, -1);
  const double radius = std::min(inner.width(), inner.height()) / 2.0;

  QPolygonF disc;
  for (int a = 0; a <= 360; a += 30) disc << rimPoint(centre, radius, a);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kDisc);
  painter.drawPolygon(disc);

  if (newMeasure_.exchange(false)) redrawCount_ = 0;
  const bool red = redrawCount_ <= 2;
  if (red) ++redrawCount_;
  QPolygonF sector{centre};
  for (int a : sectorAngles(sectorStart(currentPosition_.load())))
    sector << rimPoint(centre, radius, a);
  painter.setBrush(red ? QColor(Qt::red) : kSector);
  painter.drawPolygon(sector);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(Qt::black);
  painter.drawPolygon(sector);
}

// Digits packed tight, kColonSpace pixels on each side of each colon.
void MasterClockMeasureDial::drawText(QPainter& painter) {
  const QVariantMap labels = ThemeDict::labelColors();
  const QFont font = ThemeDict::font(labels, InterfaceColorScheme::kFontAttribute, this->font());
  painter.setFont(font);
  painter.setPen(
      ThemeDict::color(labels, InterfaceColorScheme::kForegroundColorAttribute, Qt::white));
  const QFontMetrics metrics(font);
  int x = 0;
  for (QChar c : counterText(measureCount_.load(), beatCount_.load(), subdivisionCount_.load())) {
    if (c == QLatin1Char(':')) x += kColonSpace;
    painter.drawText(x, metrics.ascent(), QString(c));
    x += metrics.horizontalAdvance(c);
    if (c == QLatin1Char(':')) x += kColonSpace;
  }
}
