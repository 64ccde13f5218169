#pragma once

#include <QString>

// Names of the notifications media files post and observe, and the keys of
// their userInfo.
namespace MediaNotifications {

// Object: the file or folder about to be deleted (still alive).
inline const QString kFileFolderDeleted = QStringLiteral("QKMBFileFolderDeletedNotification");
// Object: the file; userInfo {"snap": the snapshot it could not find}.
inline const QString kMissingFile = QStringLiteral("QKMBMissingFileNotification");
inline const QString kMissingFileSnapKey = QStringLiteral("snap");
// Object: the file.
inline const QString kPosterImageChanged = QStringLiteral("QKFilePosterImageChangedNotification");
inline const QString kWarpMarkersChanged = QStringLiteral("QKFileWarpMarkersChanged");
inline const QString kReloadAll = QStringLiteral("QKMBReloadAllNotification");
inline const QString kFileLoaderFinishedLoad = QStringLiteral("QKFileLoaderFinishedLoad");
// Posted by the capture recorder when a recording is written; userInfo
// "path", "tapName", "autoAddTagVal", "autoAddBinName", "autoAddState".
inline const QString kExportDone = QStringLiteral("QKSGExportDoneNotification");
inline const QString kExportPathKey = QStringLiteral("path");
inline const QString kExportTapNameKey = QStringLiteral("tapName");

}  // namespace MediaNotifications
