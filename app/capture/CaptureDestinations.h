#pragma once

#include "framework/media/QKPageListMenu.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <vector>

// The "Add recorded files here:" choice of an input: a page's ID (0 or
// more), a media bin followed by its title (-1), or "<none>" (-2), shown in
// a copy of the file loader's page-and-bin menu.
class CaptureDestinations {
 public:
  static const QString kNoneName;  // "<none>"

  struct Destination {
    int tag = QKPageListMenu::kNoneTag;
    QString binName = kNoneName;
    bool operator==(const Destination&) const = default;
  };

  // The item the pop-up shows: the bin's title for -1, the page's tag for 0
  // or more, "<none>" (item 0) for any other tag; -1 when it is not there.
  static int popUpIndex(const std::vector<QKPageListMenu::Item>& menu, const Destination& chosen);
  // The destination an item stands for; nullopt for headings and separators.
  static std::optional<Destination> destinationOfItem(const QKPageListMenu::Item& item);

  // What a menu update does to a destination: a renamed bin or page is
  // followed; a deleted one (or a deleted media bin no longer among
  // `binTitles`) becomes "<none>". Nullopt: unchanged.
  static std::optional<Destination> afterMenuUpdate(const Destination& current,
                                                    const QVariantMap& reason,
                                                    const QStringList& binTitles);
  // The media bins the menu lists.
  static QStringList binTitles(const std::vector<QKPageListMenu::Item>& menu);
};
