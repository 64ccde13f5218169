#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// Where recordings go and what they are called: "<folder>/<tap>_<stamp>.mov",
// or "<tap>_<stamp>.<n>.mov" from 2 up when that name is taken; the stamp
// is "MM.dd-HH.mm.ss" in local time (VidIn 1_03.14-21.05.09.mov).
class CaptureFileNames {
 public:
  static constexpr const char* kFolderDefault = "UserVideoCaptureDirectoryPath";

  // The user's folder with a leading "~" expanded; `mediaFolder` when it is
  // not set.
  static QString folder(const QString& userFolder, const QString& mediaFolder);
  static QString timeStamp(const QDateTime& when);
  // The first name in `folder` that `exists` answers false for.
  static QString fileName(const QString& folder, const QString& tapName, const QDateTime& when,
                          const std::function<bool(const QString&)>& exists);
};
