#pragma once

#include <QStringList>

class QMenu;
class QWidget;

// The one list of installed font families (what QFont and the composition
// text nodes take), sorted case-insensitively, from which font pop-ups make
// their menus. The list is data under a reader/writer try-lock, built on
// first use and rebuilt whenever Qt's font database changes (an application
// font added or removed). Qt does not rescan the system's fonts while it
// runs: a font installed meanwhile appears at the next start.
//
// The list may be read and rebuilt on any thread; menus are made from a copy
// on the main thread only.
class QKFontUtils {
 public:
  // Rebuilds the list from the font database.
  static void populateFontMenu();
  // A copy of the list (built first if it never was); later rebuilds do not
  // change a copy.
  static QStringList fontMenuCopy();
  // A menu of the families: one item per family, titled by it, no action.
  // Main thread only.
  static QMenu* makeFontMenu(QWidget* parent = nullptr);
};
