#include "framework/controls/SliderCanvas.h"

#include "framework/controls/QKSafeString.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/SliderGeometry.h"
#include "framework/controls/SliderManagerInterface.h"

#include <QPainter>

#include <cmath>

SliderCanvas::SliderCanvas(QPainter& painter, const QSizeF& widgetSize, bool vertical)
    : painter_(painter),
      base_(painter.worldTransform()),
      toWidget_(SliderPainter::toWidget(widgetSize, vertical)),
      vertical_(vertical) {
  painter_.save();
  painter_.setWorldTransform(toWidget_, true);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, false);
}

SliderCanvas::~SliderCanvas() { painter_.restore(); }

void SliderCanvas::fill(const QRectF& rect, const QColor& color) {
  if (color.isValid() && !rect.isEmpty()) painter_.fillRect(rect, color);
}

void SliderCanvas::drawText(const QKSafeString& text, const QPointF& point,
                            const QVariantMap* attributes) {
  const QPointF topLeft = toWidget_.map(QPointF(point.x(), point.y() + text.textSize().height()));
  painter_.save();
  painter_.setWorldTransform(base_);
  painter_.translate(topLeft);
  if (vertical_) painter_.rotate(-90.0);
  if (attributes)
    text.drawAtPoint(painter_, QPointF(0, 0), *attributes);
  else
    text.drawAtPoint(painter_, QPointF(0, 0));
  painter_.restore();
}

void SliderCanvas::drawOverlays(const QKSliderCell& cell, const QRectF& track, const QRectF& frame,
                                const SliderPainter::Colors& colors, const QColor& markStroke,
                                bool enabled) {
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, false);
  drawMarks(cell, track, frame, colors.marks, markStroke);
  const SliderLayout layout = cell.layout();
  fill(layout.leftEnv, colors.envelope);
  fill(layout.rightEnv, colors.envelope);
  if (cell.selected()) {
    fill(layout.leftEnvHandle, colors.envelopeHandle);
    fill(layout.rightEnvHandle, colors.envelopeHandle);
  }
  drawEdges(track, frame, colors);
  drawTexts(cell, track, frame);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  drawText(cell.sliderNameText(), QPointF(track.x() + 2.0, frame.y()));
  painter_.restore();
  if (cell.lockUIFlag()) drawPadlock(cell, track, frame);
  if (!enabled)
    painter_.fillRect(QRectF(track.x(), frame.y(), track.width(), frame.height()),
                      QColor::fromRgbF(0, 0, 0, 0.5f));
}

void SliderCanvas::drawMarks(const QKSliderCell& cell, const QRectF& track, const QRectF& frame,
                             const QColor& lineColor, const QColor& markStroke) {
  const QList<float> marks = cell.interestingPoints();
  if (marks.isEmpty()) return;
  SliderManagerInterface* manager = cell.sliderManager();
  const bool squares = manager && !manager->lockInterestingPoints();
  for (float mark : marks) {
    fill(QRectF(SliderGeometry::markLineX(track, mark), frame.y(), 1, frame.height()), lineColor);
    if (!squares) continue;
    const QRectF square(track.x() + (track.width() * static_cast<double>(mark) - 2.0),
                        frame.y() + frame.height() - 4.0, 4, 4);
    fill(square, markStroke);
    painter_.fillRect(square.adjusted(1, 1, -1, -1), Qt::white);
  }
}

void SliderCanvas::drawEdges(const QRectF& track, const QRectF& frame,
                             const SliderPainter::Colors& colors) {
  const double x = track.x();
  const double w = track.width();
  fill(QRectF(x, std::trunc(frame.height()) - 1.0, w, 1), colors.highlight);
  fill(QRectF(x + w - 1.0, frame.y(), 1, frame.height()), colors.highlight);
  fill(QRectF(x, frame.y(), 1, frame.height()), colors.shadow);
  fill(QRectF(x, frame.y(), w, 1), colors.shadow);
}

// Selected: the path of a bound slider at the bottom right, the envelope and
// the value in the upper row; otherwise only the value.
void SliderCanvas::drawTexts(const QKSliderCell& cell, const QRectF& track, const QRectF& frame) {
  const double right = track.x() + track.width();
  const double row = frame.y() + frame.height() - 7.0;
  const double valueWidth = cell.valueText().textSize().width();
  if (!cell.selected()) {
    drawText(cell.valueText(), QPointF(right - 4.0 - valueWidth, row));
    return;
  }
  if (cell.syncFlag())
    drawText(cell.syncText(), QPointF(right - cell.syncText().textSize().width(), frame.y() - 1.0));
  const double envWidth = cell.envText().textSize().width();
  drawText(cell.envText(), QPointF(right - envWidth, row));
  drawText(cell.valueText(), QPointF(right - 4.0 - envWidth - 15.0 - valueWidth, row));
}

void SliderCanvas::drawPadlock(const QKSliderCell& cell, const QRectF& track, const QRectF& frame) {
  SliderManagerInterface* manager = cell.sliderManager();
  const QImage padlock = manager ? manager->padlockImage() : QImage();
  if (padlock.isNull()) return;
  const double side = frame.height() - 2.0;
  const QRectF target = toWidget_.mapRect(
      QRectF(track.x() + track.width() / 2.0 - 10.0, frame.y() + 1.0, side, side));
  painter_.save();
  painter_.setWorldTransform(base_);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceAtop);
  painter_.drawImage(target, padlock, QRectF(0, 0, 20, 20));
  painter_.restore();
}
