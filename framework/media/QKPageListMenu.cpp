#include "framework/media/QKPageListMenu.h"

#include "framework/toolkit/QKNSPopUpButton.h"

#include <QMenu>

#include <algorithm>

void QKPageListMenu::addItem(const QString& title, int tag, int indentation, bool enabled) {
  items_.push_back({title, tag, std::clamp(indentation, 0, kMaxIndentation), enabled, false});
}

void QKPageListMenu::addSeparator() { items_.push_back({{}, kInertTag, 0, false, true}); }

QFont QKPageListMenu::font() {
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(9);
  return font;
}

QMenu* QKPageListMenu::toMenu(QWidget* parent) const {
  auto* menu = new QMenu(parent);
  menu->setFont(font());
  for (const Item& item : items_) {
    if (item.separator) {
      QKNSPopUpButton::setTag(menu->addSeparator(), item.tag);
      continue;
    }
    QAction* action = menu->addAction(QString(item.indentation * 4, QLatin1Char(' ')) + item.title);
    action->setFont(font());
    action->setEnabled(item.enabled);
    QKNSPopUpButton::setTag(action, item.tag);
  }
  return menu;
}
