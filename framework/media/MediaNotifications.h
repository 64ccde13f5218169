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
inline const QString kFileLoaderStartedLoad = QStringLiteral("QKFileLoaderStartedLoad");
// userInfo {"loadingCountString": "Item n of m", "loadingString": what is loading}.
inline const QString kFileLoaderLoadingFile = QStringLiteral("QKFileLoaderLoadingFile");
inline const QString kLoadingCountStringKey = QStringLiteral("loadingCountString");
inline const QString kLoadingStringKey = QStringLiteral("loadingString");
inline const QString kFileLoaderFinishedLoad = QStringLiteral("QKFileLoaderFinishedLoad");
// Object: a QKFileLoaderClient* that wants the loader (`setFileLoader`).
inline const QString kFindFileLoader = QStringLiteral("QKFindFileLoaderNotification");
// Object: the page or folder; userInfo {"oldName", "newName"}.
inline const QString kFolderRenamed = QStringLiteral("QKFolderRenamedNotification");
inline const QString kOldNameKey = QStringLiteral("oldName");
inline const QString kNewNameKey = QStringLiteral("newName");
// Object: the folder that received a sub-folder.
inline const QString kFolderAdded = QStringLiteral("QKFolderAddedNotification");
// Object: the page controller.
inline const QString kPageListChanged = QStringLiteral("QKMBPageListChangedNotification");
// Object: none.
inline const QString kFinishedDeletingFiles =
    QStringLiteral("QKPCFinishedDeletingFilesNotification");
// Object: the loader; userInfo: a reason dictionary, or none after a load.
inline const QString kFolderListMenuUpdated = QStringLiteral("QKFolderListMenuUpdatedNotification");
// Posted by the capture recorder when a recording is written; userInfo
// "path", "tapName", "autoAddTagVal", "autoAddBinName", "autoAddState".
inline const QString kExportDone = QStringLiteral("QKSGExportDoneNotification");
inline const QString kExportPathKey = QStringLiteral("path");
inline const QString kExportTapNameKey = QStringLiteral("tapName");

}  // namespace MediaNotifications
