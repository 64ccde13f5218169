#pragma once

#include <QString>

// Names the user types (curves, presets, chains) turned into file names and
// back. Escaping writes "%" as "%25", "/" as "%2F", NUL as "%00" and a
// leading "." as "%2E", so no name reaches outside its folder (no "/", no
// "." or ".."), no name makes a hidden file, and two names never share one
// file. Everything else is kept as typed.
namespace FileNames {

// The file name (without extension) for `name`; empty for an empty name.
QString escaped(const QString& name);
// The name a file name stands for: every "%" followed by two hex digits is
// decoded; other text, a stray "%" included, is kept.
QString unescaped(const QString& fileName);

}  // namespace FileNames
