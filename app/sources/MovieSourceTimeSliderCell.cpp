#include "app/sources/MovieSourceTimeSliderCell.h"

#include "framework/controls/SliderCanvas.h"
#include "framework/controls/SliderGeometry.h"
#include "framework/controls/SliderPainter.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

std::shared_ptr<MovieSourceTimeSliderCell> MovieSourceTimeSliderCell::create() {
  return createCell<MovieSourceTimeSliderCell>();
}

QKSliderCell::Ptr MovieSourceTimeSliderCell::createEmptyOfSameKind() const { return create(); }

// A square head of the slider's thickness, a third of it left of the value.
void MovieSourceTimeSliderCell::layOutValueRects(SliderLayout& layout, float value,
                                                 float fillValue) const {
  const QRectF& track = layout.track;
  const double h = track.height();
  const double x =
      track.x() + std::trunc(static_cast<double>(value) * (track.width() - 1.0)) - h / 3.0;
  layout.sliderHead = QRectF(x, track.y(), h, h);
  if (value == fillValue) {
    layout.sliderBG = QRectF();
  } else if (fillValue < value) {
    layout.sliderBG = SliderGeometry::sliderBG(track, value, fillValue);
  } else {
    layout.sliderBG =
        QRectF(x + h * 0.5, track.y(), track.width() * static_cast<double>(fillValue - value), h);
  }
}

double MovieSourceTimeSliderCell::playHeadHalfWidth(double height) {
  return std::max(height / 5.0, 7.0);
}

QPolygonF MovieSourceTimeSliderCell::playHead(const QRectF& track, const QRectF& frame,
                                              float value) {
  const double h = frame.height();
  const double px = track.x() + track.width() * static_cast<double>(value);
  const double s = playHeadHalfWidth(h);
  return QPolygonF({QPointF(px - s, h), QPointF(px + s, h), QPointF(px, h - s)});
}

void MovieSourceTimeSliderCell::drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                                              const QSizeF& widgetSize) const {
  const SliderLayout layout = this->layout();
  const SliderPainter::Colors colors = SliderPainter::colorsFromLeaf(getRelevantColorDict());
  const QRectF& frame = layout.controlFrame;
  QRectF track = layout.track;
  if (layout.clipToTrack) track.adjust(1.0, 0.0, 0.0, 0.0);
  const QRectF body(track.x(), frame.y(), track.width(), frame.height());
  SliderCanvas canvas(painter, widgetSize, vertical);
  QPainter& p = canvas.painter();
  canvas.fill(body, colors.frame);
  canvas.fill(layout.sliderBG, colors.fill);

  const QPolygonF head = playHead(track, frame, value());
  const QColor headColor =
      hardwareLearnMode() && syncFlag() ? SliderPainter::learnHeadColor() : colors.head;
  const double px = head[2].x();
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  if (headColor.isValid()) {
    p.setPen(Qt::NoPen);
    p.setBrush(headColor);
    p.drawPolygon(head);
    p.setPen(QPen(headColor, 2.0));
    p.drawLine(QPointF(px, frame.height() - 1.0), QPointF(px, 1.0));
  }
  if (colors.frame.isValid()) {
    p.setPen(QPen(colors.frame, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(head);
  }
  p.restore();
  canvas.drawOverlays(*this, track, frame, colors, colors.frame, enabled);
}
