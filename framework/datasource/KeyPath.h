#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <optional>

// A node's address in the data-source tree: the names from a root down to the
// node. Names may contain "/" (OSC addresses do), so a path travels as the
// list itself; `joined` is for display only.
using KeyPath = QStringList;

namespace KeyPathAdditions {

// A new path of copies of the strings, up to the first null string; empty
// when the first string is null.
std::optional<KeyPath> createArrayWithStrings(std::initializer_list<QString> strings);

// True when some element's last path component equals `name` (false for a
// null name).
bool containsPathEndingWith(const QStringList& paths, const QString& name);

// The last component of a slash-separated path ("/a/b/" gives "b", "/" gives
// "/").
QString lastPathComponent(const QString& path);

// The path a snapshot stored: a non-empty list of strings, else none.
std::optional<KeyPath> fromStored(const QVariant& value);

// The path older files named by a generator and one of its outputs
// ("syncGen", "syncSpec"): the old "Hardware" mouse outputs are now
// ["Mouse", "X"] ("h.mouse") and ["Mouse", "Y"].
KeyPath fromLegacy(const QString& generator, const QString& specifier);

// The names joined with "/", as menus show a path.
QString joined(const KeyPath& path);

// A copy with a buffer of its own (null stays null). Names stored in the tree
// or handed out of it share no buffer with another thread's strings.
QString ownCopy(const QString& text);
KeyPath ownCopy(const KeyPath& path);

}  // namespace KeyPathAdditions
