#pragma once

#include "framework/datasource/KeyPath.h"

#include <functional>

class QAction;
class QMenu;

// Check marks and handlers of a data-source menu made by
// DataSourceMenuAdapter, whose items carry their whole key path: items are
// found by comparing paths, never by reading a path back from a tool tip
// (OSC addresses hold "/"). Depth first, in item order. Main thread only.
namespace DataSourceMenuMarks {

// Every enabled item that carries a key path (not the headings), in
// submenus too.
void forEachSourceItem(QMenu* menu, const std::function<void(QAction*)>& visit);
void uncheckAll(QMenu* menu);
// Checks the first item for `path`; null when there is none.
QAction* checkFirstFor(QMenu* menu, const KeyPath& path);
QAction* firstFor(QMenu* menu, const KeyPath& path);
// Calls `chosen` with the item whenever one is triggered.
void onChosen(QMenu* menu, const std::function<void(QAction*)>& chosen);

}  // namespace DataSourceMenuMarks
