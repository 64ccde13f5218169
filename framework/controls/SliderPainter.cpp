#include "framework/controls/SliderPainter.h"

#include "framework/controls/SliderCanvas.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QPainter>

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
  SliderCanvas canvas(painter, widgetSize, vertical);
  if (layout.clipToTrack) canvas.painter().setClipRect(track, Qt::IntersectClip);
  canvas.fill(QRectF(track.x(), frame.y(), track.width(), frame.height()), colors.frame);
  canvas.fill(layout.sliderBG, colors.fill);
  const QColor head = cell.hardwareLearnMode() && cell.syncFlag() ? learnHeadColor() : colors.head;
  canvas.fill(layout.sliderHead, head);
  canvas.drawOverlays(cell, track, frame, colors, head, enabled);
}
