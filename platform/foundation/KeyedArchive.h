#pragma once

#include <QVariant>

// Keyed archives of values that property lists cannot hold (colours and
// fonts inside colour themes, dragged data): `archive` turns a value tree
// into property-list values, `unarchive` turns it back. Dictionaries and
// arrays are walked; a colour becomes {"$class": "NSColor", "rgba": [r, g,
// b, a]} and a font {"$class": "NSFont", "family", "pixelSize" or
// "pointSize", "bold", "italic"}. Other values pass unchanged.
//
// Unarchiving never fails as a whole: an entry that does not decode (a
// colour without four components, a font without a family) is left out of
// its dictionary or array, so the reader's defaults stand for it.
class KeyedArchive {
 public:
  static QVariant archive(const QVariant& value);
  static QVariant unarchive(const QVariant& archived);
};
