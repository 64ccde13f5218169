#include "framework/datasource/DataSourceMenuAdapter.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>

namespace {
constexpr double kItemPointSize = 9.0;
}

QFont DataSourceMenuAdapter::itemFont() {
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(kItemPointSize);
  if (QFontInfo(font).family() == font.family()) return font;
  QFont fallback = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont);
  fallback.setPointSizeF(kItemPointSize);
  return fallback;
}

QMenu* DataSourceMenuAdapter::createMenu(const DataSourceMenu& menu, QWidget* parent) {
  if (!MainThread::isMainThread()) {
    Log::line("\t\terr: data-source menu built off the main thread");
    return nullptr;
  }
  auto* qmenu = new QMenu(menu.title, parent);
  qmenu->setToolTipsVisible(true);
  addItems(qmenu, menu.items);
  return qmenu;
}

void DataSourceMenuAdapter::addItems(QMenu* menu, const DataSourceMenuItems& items) {
  const QFont font = itemFont();
  for (const DataSourceMenuItem& item : items) {
    QAction* action = nullptr;
    if (item.submenu) {
      QMenu* submenu = createMenu(*item.submenu, menu);
      if (!submenu) continue;
      submenu->setTitle(item.title);
      action = menu->addMenu(submenu);
    } else {
      action = menu->addAction(item.title);
      action->setData(QVariant(item.keyPath));
    }
    action->setFont(font);
    action->setToolTip(item.toolTip);
    action->setEnabled(item.enabled);
  }
}

KeyPath DataSourceMenuAdapter::keyPathForAction(const QAction* action) {
  if (!action) return {};
  return action->data().toStringList();
}
