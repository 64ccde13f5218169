#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>

// A folder of chain files of one kind: one XML property list per named chain
// ("layer chains" with ".slc", "behavior chains" with ".sbc"), looked up in
// the user's data folder, then among the shipped resources, and written to
// the user's copy only.
//
// The rules every kind follows: a file is named by the chain's name escaped
// (FileNames), so no name writes outside the folder and two names never
// share a file; only names ending exactly in the extension are read, in
// sorted order; files are written atomically; a file is never removed
// outright: it moves to "deleted/" when its chain is deleted and to
// "replaced/" when a project brings a different chain of its name, and
// neither folder is read.
//
// Main thread only.
class ChainFileFolder {
 public:
  // Writes `value` to `path` atomically; answers the error, empty on success.
  using Writer = std::function<QString(const QVariant& value, const QString& path)>;

  static const QString kDeletedFolder;   // "deleted"
  static const QString kReplacedFolder;  // "replaced"

  ChainFileFolder(const QString& folderName, const QString& extension);

  QString folderName() const { return folderName_; }
  QString extension() const { return extension_; }
  // The file name for a chain name: the name escaped, then the extension.
  QString fileNameFor(const QString& chainName) const;
  // The chain's path in the user's folder (made when missing); empty, with
  // the reason in `error`, for an empty name or a folder that cannot be made.
  QString userFilePath(const QString& chainName, QString* error) const;
  // The folders to read, the user's first; only the existing ones.
  QStringList searchFolders() const;
  // The paths of a folder's chain files, sorted by file name.
  QStringList chainFilesIn(const QString& folder) const;

  // Writes through the writer (tests replace it to make writes fail).
  QString write(const QVariant& value, const QString& path) const;
  void setWriter(Writer writer);

  enum class Outcome { Unchanged, Written, Failed };
  // Writes the chain's file unless it already holds `value`. With
  // `keepDiffering`, a file holding something else first moves to
  // "replaced/" (a move that fails writes nothing). A failure is logged as
  // `errorPrefix`, the path and the reason.
  Outcome writeIfChanged(const QString& chainName, const QVariant& value, bool keepDiffering,
                         const QString& errorPrefix) const;
  // Moves the file into `subfolder` of its folder, under a name not yet used
  // there; false (logged) when it cannot.
  bool moveAside(const QString& path, const QString& subfolder) const;
  // Moves the chain's file in the user's folder, if any, to "deleted/".
  bool moveToDeleted(const QString& chainName) const;

 private:
  QString folderName_;
  QString extension_;
  Writer writer_;
};
