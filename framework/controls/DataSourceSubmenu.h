#pragma once

#include "framework/datasource/KeyPath.h"

#include <QPointer>

#include <functional>

class DataSourceController;
class QAction;
class QMenu;

// The "Data Sources" submenu of a contextual menu: rebuilt from the
// data-source controller on request, every item carrying its source's key
// path; choosing one calls back with the item. Marks compare paths. Main
// thread only.
class DataSourceSubmenu {
 public:
  explicit DataSourceSubmenu(QAction* labelItem) : labelItem_(labelItem) {}
  ~DataSourceSubmenu();
  DataSourceSubmenu(const DataSourceSubmenu&) = delete;
  DataSourceSubmenu& operator=(const DataSourceSubmenu&) = delete;

  void reload(const DataSourceController* controller, std::function<void(QAction*)> chosen);
  QMenu* menu() const { return menu_; }
  void uncheckAll();
  // Checks the first item for `path`; false when there is none.
  bool check(const KeyPath& path);

 private:
  QAction* labelItem_;
  QPointer<QMenu> menu_;
};
