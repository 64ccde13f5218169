#pragma once

#include <QString>
#include <QVariantMap>

// One queued load of the file loader: a path, a file snapshot (restored, or
// copied with a fresh ID), or a relink of a missing file to a new path.
struct QKFileLoaderQueueItem {
  QString fullPath;         // the path to load, or a relink's new path
  long parentUniqueID = 0;  // the destination page or folder
  int index = -1;           // the destination cell, blanks counted; negative: none
  bool isRelinking = false;
  bool isGridIndex = false;
  bool isCopy = false;
  QVariantMap fileSnapshot;

  static QKFileLoaderQueueItem createWithPath(const QString& path, long parentId, int index,
                                              bool isGridIndex) {
    return {path, parentId, index, false, isGridIndex, false, {}};
  }
  static QKFileLoaderQueueItem createWithSnapshot(const QVariantMap& snapshot, long parentId,
                                                  int index, bool isGridIndex,
                                                  bool isCopy = false) {
    return {{}, parentId, index, false, isGridIndex, isCopy, snapshot};
  }
  static QKFileLoaderQueueItem createWithRelinkingSnapshot(const QVariantMap& snapshot,
                                                           const QString& path) {
    return {path, 0, 0, true, false, false, snapshot};
  }
  bool isSnapshotItem() const { return !isRelinking && fullPath.isNull(); }
};
