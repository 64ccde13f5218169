#pragma once

#include "framework/datasource/DataSourceMenuItem.h"

#include <QFont>

class QAction;
class QMenu;
class QWidget;

// Turns a data-source menu (data) into a QMenu, on the main thread. Every
// action carries its node's key path as data (a QStringList); the tool tip
// shows the "/"-joined path. Titles are set in a small font.
class DataSourceMenuAdapter {
 public:
  // A new menu owned by `parent` (or by the caller when null).
  static QMenu* createMenu(const DataSourceMenu& menu, QWidget* parent = nullptr);
  // Adds the items (and their submenus) to an existing menu.
  static void addItems(QMenu* menu, const DataSourceMenuItems& items);
  // The key path an action was made for; empty for other actions.
  static KeyPath keyPathForAction(const QAction* action);
  // "Lucida Grande" at 9 points where it exists, else the smallest readable
  // system font at 9 points.
  static QFont itemFont();
};
