#pragma once

#include <QByteArray>
#include <QString>

// Whole-file writes that never leave a half-written file: the bytes go to a
// temporary file in the same folder, which is flushed to disk and then
// renamed over the target. On any failure the temporary file is removed and
// the previous file stays as it was. A symbolic link is written through (the
// link stays, its target is replaced); an existing file keeps its mode.
// The temporary file stays locked until it is in place, so a write also
// removes the temporary files that killed writes left in the folder (ours
// by name, and unlocked), and logs each.
class AtomicFile {
 public:
  // Answers the error ("<path>: <reason>"), or an empty string.
  static QString write(const QString& path, const QByteArray& bytes);
};
