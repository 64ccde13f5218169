#include "framework/controls/SliderPainter.h"

#include "framework/controls/QKSafeString.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/SliderGeometry.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QPainter>

#include <cmath>

namespace {

void fill(QPainter& painter, const QRectF& rect, const QColor& color) {
  if (color.isValid() && !rect.isEmpty()) painter.fillRect(rect, color);
}

// A text whose bottom-left corner lies at `point` in the slider's
// coordinates, drawn upright along the slider.
struct TextPen {
  QPainter& painter;
  const QTransform& base;
  const QTransform& toWidget;
  bool vertical;

  void draw(const QKSafeString& text, const QPointF& point) const {
    const QPointF topLeft = toWidget.map(QPointF(point.x(), point.y() + text.textSize().height()));
    painter.save();
    painter.setWorldTransform(base);
    painter.translate(topLeft);
    if (vertical) painter.rotate(-90.0);
    text.drawAtPoint(painter, QPointF(0, 0));
    painter.restore();
  }
};

void drawMarks(QPainter& painter, const QKSliderCell& cell, const QRectF& track,
               const QRectF& frame, const QColor& lineColor, const QColor& headColor) {
  const QList<float> marks = cell.interestingPoints();
  if (marks.isEmpty()) return;
  SliderManagerInterface* manager = cell.sliderManager();
  const bool handles = manager && !manager->lockInterestingPoints();
  for (float mark : marks) {
    fill(painter, QRectF(SliderGeometry::markLineX(track, mark), frame.y(), 1, frame.height()),
         lineColor);
    if (!handles) continue;
    const QRectF square(track.x() + (track.width() * static_cast<double>(mark) - 2.0),
                        frame.y() + frame.height() - 4.0, 4, 4);
    fill(painter, square, headColor);
    painter.fillRect(square.adjusted(1, 1, -1, -1), Qt::white);
  }
}

void drawEdges(QPainter& painter, const QRectF& track, const QRectF& frame,
               const SliderPainter::Colors& colors) {
  const double x = track.x();
  const double w = track.width();
  fill(painter, QRectF(x, std::trunc(frame.height()) - 1.0, w, 1), colors.highlight);
  fill(painter, QRectF(x + w - 1.0, frame.y(), 1, frame.height()), colors.highlight);
  fill(painter, QRectF(x, frame.y(), 1, frame.height()), colors.shadow);
  fill(painter, QRectF(x, frame.y(), w, 1), colors.shadow);
}

// Selected: the path of a bound slider at the bottom right, the envelope and
// the value in the upper row; otherwise only the value.
void drawTexts(const TextPen& pen, const QKSliderCell& cell, const QRectF& track,
               const QRectF& frame) {
  const double right = track.x() + track.width();
  const double row = frame.y() + frame.height() - 7.0;
  const double valueWidth = cell.valueText().textSize().width();
  if (!cell.selected()) {
    pen.draw(cell.valueText(), QPointF(right - 4.0 - valueWidth, row));
    return;
  }
  if (cell.syncFlag())
    pen.draw(cell.syncText(), QPointF(right - cell.syncText().textSize().width(), frame.y() - 1.0));
  const double envWidth = cell.envText().textSize().width();
  pen.draw(cell.envText(), QPointF(right - envWidth, row));
  pen.draw(cell.valueText(), QPointF(right - 4.0 - envWidth - 15.0 - valueWidth, row));
}

void drawPadlock(QPainter& painter, const QKSliderCell& cell, const QTransform& base,
                 const QTransform& toWidget, const QRectF& track, const QRectF& frame) {
  SliderManagerInterface* manager = cell.sliderManager();
  const QImage padlock = manager ? manager->padlockImage() : QImage();
  if (padlock.isNull()) return;
  const double side = frame.height() - 2.0;
  const QRectF target =
      toWidget.mapRect(QRectF(track.x() + track.width() / 2.0 - 10.0, frame.y() + 1.0, side, side));
  painter.save();
  painter.setWorldTransform(base);
  painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
  painter.drawImage(target, padlock, QRectF(0, 0, 20, 20));
  painter.restore();
}

}  // namespace

SliderPainter::Colors SliderPainter::colorsFromLeaf(const QVariantMap& leaf) {
  auto color = [&leaf](const char* key) {
    return ThemeDict::color(leaf, QString::fromLatin1(key));
  };
  return {color("QKSliderFrameColor"),
          color("QKSliderColorBG"),
          color("QKSliderColor"),
          color("QKSliderEnvColor"),
          color("QKSliderEnvHandleColor"),
          color("IPs"),
          color("highlight"),
          color("shadow")};
}

const QColor& SliderPainter::learnHeadColor() {
  static const QColor green = QColor::fromRgbF(0.0f, 0.824f, 0.0f, 1.0f);
  return green;
}

QTransform SliderPainter::toWidget(const QSizeF& size, bool vertical) {
  if (vertical) return QTransform(0, -1, -1, 0, size.width(), size.height());
  return QTransform(1, 0, 0, -1, 0, size.height());
}

void SliderPainter::paint(QPainter& painter, const QKSliderCell& cell, bool vertical, bool enabled,
                          const QSizeF& widgetSize) {
  if (!MainThread::isMainThread()) {
    Log::line(QStringLiteral("\t\terr: a slider was asked to paint off the main thread"));
    return;
  }
  const SliderLayout layout = cell.layout();
  const Colors colors = colorsFromLeaf(cell.getRelevantColorDict());
  const QRectF& frame = layout.controlFrame;
  const QRectF& track = layout.track;
  const QRectF bar(track.x(), frame.y(), track.width(), frame.height());
  const QTransform base = painter.worldTransform();
  const QTransform toWidget = SliderPainter::toWidget(widgetSize, vertical);

  painter.save();
  painter.setWorldTransform(toWidget, true);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  if (layout.clipToTrack) painter.setClipRect(track, Qt::IntersectClip);
  fill(painter, bar, colors.frame);
  fill(painter, layout.sliderBG, colors.fill);
  const QColor head = cell.hardwareLearnMode() && cell.syncFlag() ? learnHeadColor() : colors.head;
  fill(painter, layout.sliderHead, head);
  drawMarks(painter, cell, track, frame, colors.marks, head);
  fill(painter, layout.leftEnv, colors.envelope);
  fill(painter, layout.rightEnv, colors.envelope);
  if (cell.selected()) {
    fill(painter, layout.leftEnvHandle, colors.envelopeHandle);
    fill(painter, layout.rightEnvHandle, colors.envelopeHandle);
  }
  drawEdges(painter, track, frame, colors);
  const TextPen pen{painter, base, toWidget, vertical};
  drawTexts(pen, cell, track, frame);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  pen.draw(cell.sliderNameText(), QPointF(track.x() + 2.0, frame.y()));
  painter.restore();
  if (cell.lockUIFlag()) drawPadlock(painter, cell, base, toWidget, track, frame);
  if (!enabled) painter.fillRect(bar, QColor::fromRgbF(0, 0, 0, 0.5f));
  painter.restore();
}
