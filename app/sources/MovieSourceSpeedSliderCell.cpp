#include "app/sources/MovieSourceSpeedSliderCell.h"

#include "framework/controls/SliderCanvas.h"
#include "framework/controls/SliderGeometry.h"
#include "framework/controls/SliderPainter.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

std::shared_ptr<MovieSourceSpeedSliderCell> MovieSourceSpeedSliderCell::create() {
  return createCell<MovieSourceSpeedSliderCell>();
}

QKSliderCell::Ptr MovieSourceSpeedSliderCell::createEmptyOfSameKind() const { return create(); }

// As the ordinary slider, except that at the fill value the bar is kept as
// a line at the value, where the two-way arrow stands.
void MovieSourceSpeedSliderCell::layOutValueRects(SliderLayout& layout, float value,
                                                  float fillValue) const {
  QKSliderCell::layOutValueRects(layout, value, fillValue);
  if (value == fillValue) {
    const QRectF& track = layout.track;
    layout.sliderBG = QRectF(track.x() + track.width() * static_cast<double>(fillValue), track.y(),
                             0.0, track.height());
  }
}

double MovieSourceSpeedSliderCell::arrowLength(double barHeight) {
  return std::max(barHeight * 0.25, 7.0);
}

QPolygonF MovieSourceSpeedSliderCell::arrow(const QRectF& bar, float value, float fillValue) {
  const double bx = bar.x();
  const double by = bar.y();
  const double bw = bar.width();
  const double bh = bar.height();
  const double s = arrowLength(bh);
  const double m = (by + bh) * 0.5;
  if (value < fillValue) return QPolygonF({{bx, by + bh}, {bx - s, m}, {bx, by}});
  if (value > fillValue) return QPolygonF({{bx + bw, by + bh}, {bx + bw + s, m}, {bx + bw, by}});
  return QPolygonF({{bx, by + bh}, {bx - s, m}, {bx, by}, {bx + bw + s, m}});
}

namespace {

// The slanted edges: from each end of the vertical edge to each tip.
void strokeSlantedEdges(QPainter& p, const QPolygonF& arrow) {
  if (arrow.size() == 3) {
    p.drawLine(arrow[0], arrow[1]);
    p.drawLine(arrow[1], arrow[2]);
    return;
  }
  for (const QPointF& tip : {arrow[1], arrow[3]}) {
    p.drawLine(arrow[0], tip);
    p.drawLine(arrow[2], tip);
  }
}

}  // namespace

void MovieSourceSpeedSliderCell::drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                                               const QSizeF& widgetSize) const {
  const SliderLayout layout = this->layout();
  const SliderPainter::Colors colors = SliderPainter::colorsFromLeaf(getRelevantColorDict());
  const QRectF& frame = layout.controlFrame;
  const QRectF& track = layout.track;
  SliderCanvas canvas(painter, widgetSize, vertical);
  QPainter& p = canvas.painter();
  canvas.fill(QRectF(track.x(), frame.y(), track.width(), frame.height()), colors.frame);
  canvas.fill(layout.sliderBG, colors.fill);

  const QPolygonF shape = arrow(layout.sliderBG, value(), fillValue());
  const QColor arrowColor =
      hardwareLearnMode() && syncFlag() ? SliderPainter::learnHeadColor() : colors.fill;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  if (arrowColor.isValid()) {
    p.setPen(Qt::NoPen);
    p.setBrush(arrowColor);
    p.drawPolygon(shape);
  }
  if (syncFlag() && colors.head.isValid()) {
    p.setPen(QPen(colors.head, 2.0));
    strokeSlantedEdges(p, shape);
  }
  p.restore();
  canvas.drawOverlays(*this, track, frame, colors, arrowColor, enabled);
}
