#pragma once

#include "framework/datasource/KeyPath.h"

#include <QString>

#include <memory>
#include <vector>

struct DataSourceMenu;

// One item of a data-source menu, as data: menus are built from the tree on
// any thread and turned into widgets on the main thread
// (DataSourceMenuAdapter). The item carries its node's whole key path; the
// "/"-joined tool tip is for display only, since names may contain "/".
struct DataSourceMenuItem {
  QString title;    // the displayed title, indentation included
  KeyPath keyPath;  // the node's path
  QString toolTip;  // empty for the headings of flat lists
  bool enabled = false;
  std::shared_ptr<DataSourceMenu> submenu;

  // Four spaces in front of the title per flattened level.
  static constexpr const char* kIndent = "    ";
};

using DataSourceMenuItems = std::vector<DataSourceMenuItem>;

// A menu of data sources: its title and its items.
struct DataSourceMenu {
  QString title;
  DataSourceMenuItems items;
};

// Which nodes become selectable menu items.
namespace DataSourceMenuMask {
enum : int {
  Leaves = 11,        // every value node (types 1 to 5), no holder
  ColorHolders = 9,   // colour holders offered whole
  PointHolders = 10,  // point holders offered whole
};
}  // namespace DataSourceMenuMask
