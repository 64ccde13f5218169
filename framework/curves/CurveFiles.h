#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// Named curves on disk: "<name>.bzc" property lists in the "waves" folder,
// the name escaped into the file name (FileNames). Curves are listed from
// the user's folder and then the shipped one, a user curve hiding a shipped
// curve of the same name; they are saved into the user's folder, made when
// first needed.
class CurveFiles {
 public:
  static const QString kFolderName;  // "waves"
  static const QString kExtension;   // ".bzc"

  // The curve names, sorted (case-insensitively, then by case), each once.
  // Only files ending exactly in ".bzc" count; a file named only ".bzc" is
  // left out.
  static QStringList names();
  // The file a curve of that name is read from: the user's, else the
  // shipped one; empty when there is neither (or the name is empty).
  static QString pathForLoading(const QString& name);
  // The file a curve of that name is written to; empty with `error` set for
  // an empty name or when the user's folder cannot be made.
  static QString pathForSaving(const QString& name, QString* error);

  struct ReadResult {
    QVariantMap snapshot;
    QString error;  // "<path>: <reason>" when the file gave no dictionary
    bool ok() const { return error.isEmpty(); }
  };
  // The dictionary at the root of a curve file (XML or binary list).
  static ReadResult read(const QString& path);
};
