#pragma once

#include "platform/system/FileSearch.h"

#include <QAbstractTableModel>
#include <QFont>

// The rows of the results sheet: each found file's path (extension removed,
// the home folder as "~", its middle left out when the column is narrow) and
// its modification date (empty when unknown). Tool tips hold the whole path
// and the date's description. Values set by the table are ignored.
class SearchResultsModel : public QAbstractTableModel {
 public:
  enum Column { PathColumn = 0, DateColumn = 1 };

  using QAbstractTableModel::QAbstractTableModel;

  void setHits(const QList<FileSearch::Hit>& hits);
  const QList<FileSearch::Hit>& hits() const { return hits_; }
  void setPathColumnWidth(float width);
  void setFont(const QFont& font) { font_ = font; }

  // The path as the column shows it at `width`.
  QString shownPath(const QString& path, float width) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QList<FileSearch::Hit> hits_;
  float pathColumnWidth_ = 400;
  QFont font_;
};
