#pragma once

#include <QByteArray>
#include <QString>

// Whole-file writes that never leave a half-written file: the bytes go to a
// temporary file in the same folder, which is flushed to disk and then
// renamed over the target. On any failure the temporary file is removed and
// the previous file stays as it was. A symbolic link is written through (the
// link stays, its target is replaced); an existing file keeps its mode.
class AtomicFile {
 public:
  // Answers the error ("<path>: <reason>"), or an empty string.
  static QString write(const QString& path, const QByteArray& bytes);
};
