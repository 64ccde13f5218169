#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// The contents of a panel's pop-ups, worked out from an input's description
// (the pop-up elements fill their menus from these).
class QCPanelMenus {
 public:
  struct Menu {
    // Item titles in order; a separator is kSeparator.
    QStringList items;
    // The item selected at first (an index into items); -1 for none.
    int selected = -1;
  };
  static const QString kSeparator;

  // An index input: each string of "indexLabels" is an item, "-" a
  // separator (other entries are skipped); without labels "0" … "inputMax".
  // The item at "defaultVal" is selected, else item 0.
  static Menu indexMenu(const QVariantMap& description);
  // A font input: `fonts` (the shared font list) with the item titled
  // "defaultVal" selected; without a description (or no such font) the one
  // titled `systemFont`, else item 0.
  static Menu fontMenu(const QStringList& fonts, const QVariantMap& description,
                       const QString& systemFont);
};
