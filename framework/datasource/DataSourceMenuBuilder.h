#pragma once

#include "framework/datasource/DataSourceMenuItem.h"

class DataSourceDictionary;

// Builds menu items from one level of the tree (a holder's children or the
// controller's roots) under that level's read lock, names in ascending,
// case-sensitive order. Holder kinds are types 6, 8, 9 and 10; value kinds
// types 1 to 5; every other type (input roots, plain and deleted nodes) is
// left out with everything below it.
class DataSourceMenuBuilder {
 public:
  // The recursive menu step. The first `toLevel` levels are flattened under
  // disabled headings (each level indented four more spaces); from there on
  // a holder opens a submenu that flattens `carryOverToLevel` levels again.
  // With a holder mask (ColorHolders, PointHolders) matching holders are
  // offered whole. Holders with nothing selectable below them are left out.
  static DataSourceMenuItems extract(const DataSourceDictionary& level, int mask, int toLevel,
                                     int carryOverToLevel);
  // The flat list: every holder as a disabled heading (no tool tip) followed
  // by its own flat list indented, every value node as an enabled item.
  static DataSourceMenuItems flatList(const DataSourceDictionary& level);

  static bool isHolderKind(int32_t type);
  static bool isValueKind(int32_t type);
  static DataSourceMenuItem itemForPath(const QString& title, const KeyPath& path, bool enabled);
  // An item of a flat list: itemForPath with the flat lists' plain title.
  static DataSourceMenuItem flatItemForPath(const QString& title, const KeyPath& path,
                                            bool enabled);
  static void appendIndented(DataSourceMenuItems& items, DataSourceMenuItems children);
};
