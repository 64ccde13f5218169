#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// Where a media file's paths lead from and how a restored file finds its
// media again. Relative paths are stored percent-escaped and resolve against
// a folder: the project file's folder, the folder that holds the
// application, or the home folder.
namespace MediaPaths {

// Snapshot keys of the paths.
inline const QString kFullPathKey = QStringLiteral("fullPath");
inline const QString kOriginalPathKey = QStringLiteral("originalPath");
inline const QString kRelPathToProjectKey = QStringLiteral("relPathToProject");
inline const QString kRelPathToApplicationKey = QStringLiteral("relPathToApplication");
inline const QString kRelPathToUserFolderKey = QStringLiteral("relPathToUserFolder");
inline const QString kRelPathKey = QStringLiteral("relPath");

// The application as a bundle: the folder that holds the executable.
// Relative paths to it resolve against the folder that holds that one.
QString applicationBundlePath();
QString homeFolder();

QString escaped(const QString& path);
QString unescaped(const QString& escapedPath);

// `fullPath` relative to `base` taken as a file (the path leads from the
// folder that holds it), percent-escaped; empty when there is none (equal
// paths, or no full path).
QString relativeToFileEscaped(const QString& base, const QString& fullPath);
// `fullPath` relative to the home folder itself, percent-escaped; a path
// inside home starts with the first folder below it.
QString relativeToHomeEscaped(const QString& fullPath);
// A stored relative path resolved against a folder; an absolute one stands
// as it is. Empty for an empty string.
QString resolved(const QString& escapedRelative, const QString& folder);

// The paths a restored file tries, in order: relative to the project, to the
// application, to the home folder, the legacy "relPath" inside the "media"
// folder, then the stored full path. Keys that are missing give no entry.
QStringList candidates(const QVariantMap& snapshot, const QString& projectSavePath);
// The first candidate that exists on disk, else the stored full path (empty
// when there is none).
QString findMedia(const QVariantMap& snapshot, const QString& projectSavePath);

}  // namespace MediaPaths
