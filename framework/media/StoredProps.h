#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <vector>

class QKFile;

// The stored per-file properties ("movieProps") of the kinds that are not
// movies: which keys a kind stores, of which value type, and where a new
// file's value comes from. A snapshot's properties are checked key by key:
// a value of the wrong type is left out (logged), so the property keeps its
// default, and nothing else of the snapshot is lost.
namespace StoredProps {

inline const QString kMoviePropsKey = QStringLiteral("movieProps");

enum class Type { Bool, Int, String, Dictionary };

struct Key {
  QString name;
  Type type;
};

// The value as the key's type; invalid when it is not of that type. Numbers
// and booleans stand for each other (a property list may hold either).
QVariant typed(const QVariant& value, Type type);

// The user default `defaultsKey` as the fallback's type, else the fallback.
QVariant userDefault(const QString& defaultsKey, const QVariant& fallback);

// A style name for a new file: the user default `defaultsKey`; else
// `preferred` when the style table has it; else the first menu title; else
// empty (no style name is set).
QString styleNameDefault(const QString& defaultsKey, const QString& preferred,
                         const QStringList& tableNames, const QStringList& menuTitles);

// Those of `keys` present in `props`.
QVariantMap subset(const QVariantMap& props, const std::vector<Key>& keys);

// Lays those of `keys` present in `stored` over the file's properties
// (made when missing). `stored` is the snapshot's "movieProps": anything but
// a dictionary, and each mistyped value, is left out with one log line.
void overlay(QKFile& file, const QVariant& stored, const std::vector<Key>& keys);

}  // namespace StoredProps
