#include "app/plugins/multiplexer/QKNSHardwareLearnTableView.h"

#include "app/plugins/multiplexer/QKNSHardwareLearnTableViewDelegate.h"

#include <QMouseEvent>
#include <QPainter>

const QString QKNSHardwareLearnTableView::kShortcutIdentifier = QStringLiteral("shortcut");

QKNSHardwareLearnTableView::QKNSHardwareLearnTableView(QWidget* parent)
    : ActiveDeleteTableView(parent) {}

bool QKNSHardwareLearnTableView::isShortcutColumn(int column) const {
  return column >= 0 && model() &&
         model()->headerData(column, Qt::Horizontal, kIdentifierRole).toString() ==
             kShortcutIdentifier;
}

void QKNSHardwareLearnTableView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  lastClickedPoint_ = event->position();
  const int column = columnAt(at.x());
  const int row = rowAt(at.y());
  lastClickedColAndRow_ = QPoint(column, row);
  if (QKNSHardwareLearnTableViewDelegate* d = learnDelegate_) {
    const bool learnMode = d->hardwareLearnMode();
    const bool select = learnMode;
    const bool detect = (learnMode && d->selected()) || isShortcutColumn(column);
    if (select) d->select();
    if (detect) d->detectShortcutForItemAtIndex(row);
  }
  ActiveDeleteTableView::mousePressEvent(event);
}

void QKNSHardwareLearnTableView::paintEvent(QPaintEvent* event) {
  ActiveDeleteTableView::paintEvent(event);
  if (!learnDelegate_ || !learnDelegate_->hardwareLearnMode()) return;
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), QColor::fromRgbF(0, 0, 1, 0.33f));
}
