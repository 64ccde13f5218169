#include "framework/controls/MenuItemState.h"

#include <QAction>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr char kStateProperty[] = "qkMenuItemState";

QIcon dashIcon() {
  static const QIcon icon = [] {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(2, 5, 8, 2), Qt::black);
    return QIcon(pixmap);
  }();
  return icon;
}

}  // namespace

namespace MenuItemState {

void set(QAction* item, int state) {
  if (!item) return;
  const int normalised = state == 1 ? 1 : (state == 0 ? 0 : -1);
  item->setProperty(kStateProperty, normalised);
  item->setCheckable(true);
  item->setChecked(normalised == 1);
  item->setIcon(normalised == -1 ? dashIcon() : QIcon());
}

int get(const QAction* item) { return item ? item->property(kStateProperty).toInt() : 0; }

}  // namespace MenuItemState
