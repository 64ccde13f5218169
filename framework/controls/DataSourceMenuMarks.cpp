#include "framework/controls/DataSourceMenuMarks.h"

#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QAction>
#include <QMenu>

namespace DataSourceMenuMarks {

void forEachSourceItem(QMenu* menu, const std::function<void(QAction*)>& visit) {
  if (!menu) return;
  for (QAction* item : menu->actions()) {
    if (item->menu())
      forEachSourceItem(item->menu(), visit);
    else if (item->isEnabled() && !DataSourceMenuAdapter::keyPathForAction(item).isEmpty())
      visit(item);
  }
}

void uncheckAll(QMenu* menu) {
  forEachSourceItem(menu, [](QAction* item) {
    item->setCheckable(true);
    item->setChecked(false);
  });
}

QAction* firstFor(QMenu* menu, const KeyPath& path) {
  QAction* found = nullptr;
  if (path.isEmpty()) return nullptr;
  forEachSourceItem(menu, [&](QAction* item) {
    if (!found && DataSourceMenuAdapter::keyPathForAction(item) == path) found = item;
  });
  return found;
}

QAction* checkFirstFor(QMenu* menu, const KeyPath& path) {
  QAction* item = firstFor(menu, path);
  if (item) {
    item->setCheckable(true);
    item->setChecked(true);
  }
  return item;
}

void onChosen(QMenu* menu, const std::function<void(QAction*)>& chosen) {
  forEachSourceItem(menu, [menu, &chosen](QAction* item) {
    QObject::connect(item, &QAction::triggered, menu, [item, chosen] { chosen(item); });
  });
}

}  // namespace DataSourceMenuMarks
