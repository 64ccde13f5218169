#pragma once

#include <QSet>
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
// neither folder is read for chains.
//
// Shipped files cannot be moved, so deleting a chain that was shipped leaves
// a marker in the user's "deleted/" (the escaped name with ".hidden"); a
// shipped file of a marked name is not loaded again. The user's own file of
// that name still loads: it wins over a shipped one as always.
//
// Main thread only.
class ChainFileFolder {
 public:
  // Writes `value` to `path` atomically; answers the error, empty on success.
  using Writer = std::function<QString(const QVariant& value, const QString& path)>;

  static const QString kDeletedFolder;    // "deleted"
  static const QString kReplacedFolder;   // "replaced"
  static const QString kHiddenExtension;  // ".hidden"

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
  // Whether a chain read from `folder` (one of searchFolders) loads: the
  // user's own always does, a shipped one unless its name was deleted. Notes
  // the shipped names, so that deleting one marks it.
  bool admits(const QString& folder, const QString& chainName);

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
  // Moves the chain's file in the user's folder, if any, to "deleted/", and
  // hides a shipped chain of the name.
  bool moveToDeleted(const QString& chainName) const;
  // Marks a shipped chain's name so that its shipped file stays unread (a
  // name nothing shipped holds needs no marker); false (logged) when the
  // marker cannot be written.
  bool hideShipped(const QString& chainName) const;
  bool isHidden(const QString& chainName) const;

 private:
  QString userFolder() const;
  QString hiddenMarkerPath(const QString& chainName) const;

  QString folderName_;
  QString extension_;
  Writer writer_;
  QSet<QString> shippedNames_;
};
