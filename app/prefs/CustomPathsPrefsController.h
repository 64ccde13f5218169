#pragma once

#include <QStringList>
#include <QWidget>

class PrefsController;
class QLineEdit;

// The "User Paths" pane: the user's composition folder, searched besides
// the shipped folders for effects, text and image sources, comp modes and
// plug-ins, and the folder recordings go to. Paths are stored as typed
// ("~" allowed). Waking writes the absent paths and makes the folders (with
// their parents; a failure is logged); a changed composition folder rescans
// at once, its subfolders are made at the next start. Main thread.
class CustomPathsPrefsController : public QWidget {
  Q_OBJECT
 public:
  static const QString kUserFolderKey;            // "QCUserDirectoryPath"
  static const QString kRecordingsFolderKey;      // "UserVideoCaptureDirectoryPath"
  static const QString kDefaultUserFolder;        // "~/.local/share/ZAPH/"
  static const QString kDefaultRecordingsFolder;  // "~/Videos/Recordings/"
  // The user folder's subfolders, made in this order.
  static const QStringList& subfolderNames();

  explicit CustomPathsPrefsController(PrefsController* prefsController, QWidget* parent = nullptr);

  void awakeFromNib();
  void textFieldUsed(QObject* sender);
  // Rescans everything found in folders.
  void searchAllPaths();

  // "~" or a leading "~/" becomes the home folder.
  static QString expandTilde(const QString& path);
  // Makes the folder with its parents when nothing is there; false (logged)
  // when it cannot be made or something else is in the way.
  static bool createFolder(const QString& path);

  QLineEdit* qcUserDirectoryPathField() const { return qcUserDirectoryPathField_; }
  QLineEdit* liveRecordingPathField() const { return liveRecordingPathField_; }

 private:
  PrefsController* prefsController_;
  QLineEdit* qcUserDirectoryPathField_ = nullptr;
  QLineEdit* liveRecordingPathField_ = nullptr;
};
