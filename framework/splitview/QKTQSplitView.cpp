#include "framework/splitview/QKTQSplitView.h"

#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <QPainter>

namespace {

QFont dividerFont() {
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(9.0);
  return font;
}

}  // namespace

QKTQSplitView::QKTQSplitView(const QRectF& frame, QWidget* parent)
    : TQSplitView(frame, parent), font_(dividerFont()), textColor_(125, 125, 125) {}

QKTQSplitView::QKTQSplitView(const QRectF& frame, int subviews, QWidget* parent)
    : TQSplitView(frame, subviews, parent), font_(dividerFont()), textColor_(125, 125, 125) {}

void QKTQSplitView::setUseCustomDividerColor(bool flag) {
  useCustomDividerColor_ = flag;
  update();
}

QColor QKTQSplitView::paletteFrameColor() const {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget())
    if (auto* palette = qobject_cast<QKWindow*>(w))
      return palette->contentView() ? palette->contentView()->frameColor() : QColor();
  return QColor();
}

void QKTQSplitView::drawDivider(QPainter& painter, const QImage* image, const QRectF& rect,
                                TQSplitSubview* leading, TQSplitSubview* trailing) {
  if ((leading || trailing) && useCustomDividerColor_) {
    const QColor frameColor = paletteFrameColor();
    if (frameColor.isValid()) painter.fillRect(rect, frameColor);
  }
  // The image is placed and offered to the delegate as by every split view,
  // without the background fill.
  TQSplitView::drawDivider(painter, image, rect, nullptr, nullptr);
  if (drawDividerText_ && leading) {
    painter.save();
    painter.setFont(font_);
    painter.setPen(textColor_);
    painter.drawText(QRectF(rect.x() + 5, rect.y() - 2, rect.width() + 1000, rect.height() + 20),
                     Qt::AlignLeft | Qt::AlignTop, leading->identifier());
    painter.restore();
  }
}
