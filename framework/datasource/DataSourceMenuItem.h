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
  QString title;  // the displayed title, indentation included
  // The item's plain title, never shown: the displayed title stands for it.
  // Every item of a flat list carries kFlatListPlainTitle, so consumers of
  // flat lists take the node from the key path, never from a title. Empty
  // in menus.
  QString plainTitle;
  KeyPath keyPath;  // the node's path
  QString toolTip;  // empty for the headings of flat lists
  bool enabled = false;
  std::shared_ptr<DataSourceMenu> submenu;

  // Four spaces in front of the title per flattened level.
  static constexpr const char* kIndent = "    ";
  static constexpr const char* kFlatListPlainTitle = "ASDF";
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
