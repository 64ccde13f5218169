#pragma once

#include <QString>
#include <QStringList>

// Additions to file handling shared by every part of the program.
namespace FileManagerAdditions {

// The full paths of a directory's entries (hidden ones too), sorted by name
// so that every run lists alike; one trailing "/" of `path` is ignored. An
// empty, missing or unreadable directory, or an empty path, lists nothing.
QStringList fullPathDirectoryContentsAtPath(const QString& path);
// Whether the path exists (a dangling symbolic link does not) and its name
// does not begin with ".".
bool fileVisibleAtPath(const QString& path);

}  // namespace FileManagerAdditions
