#include "framework/toolkit/QKFallThruPopUpButtonCell.h"

#include "framework/toolkit/PopUpPicture.h"
#include "framework/toolkit/ThemeDict.h"

#include <QAction>
#include <QMenu>
#include <QPainter>

QKFallThruPopUpButtonCell::QKFallThruPopUpButtonCell(QObject* parent)
    : QStyledItemDelegate(parent) {}

void QKFallThruPopUpButtonCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
  const QRectF frame = QRectF(option.rect).adjusted(1.0, 1.0, 1.0, 0.0);
  lastRenderedRect_ = frame;
  const double h = frame.height();
  const QPointF titleAt(frame.x() + 4, frame.y() + (h - 10) / 2 - 1);
  PopUpPicture::draw(*painter, PopUpPicture::buildPaths(frame), ThemeDict::popUpColors(),
                     index.data(Qt::DisplayRole).toString(), titleAt, {}, {});
}

int QKFallThruPopUpButtonCell::indexOfItemWithToolTip(const QMenu* menu, const QString& toolTip) {
  if (!menu) return -1;
  const QList<QAction*> items = menu->actions();
  for (int i = 0; i < items.size(); ++i)
    if (items.at(i)->toolTip() == toolTip) return i;
  return -1;
}
