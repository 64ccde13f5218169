#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Reads binary property lists ("bplist00") through libplist.
//
// libplist 2.2 has no signed-integer getter (8-byte integers are signed in
// the format, so the unsigned value is reinterpreted), and its date getter
// counts whole seconds from 2001-01-01 in an int32 with the microseconds
// always positive; dates outside 1933–2069 are taken from the library's XML
// text of the node instead. Keyed-archive UIDs become {"CF$UID": n}.
class PropertyListBinaryReader {
 public:
  // The root value, or an invalid QVariant with `error` set to the reason.
  static QVariant parse(const QByteArray& bytes, QString* error);
};
