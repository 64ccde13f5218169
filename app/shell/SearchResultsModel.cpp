#include "app/shell/SearchResultsModel.h"

#include "app/shell/MiddleTruncation.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>

namespace {

QString withoutExtension(const QString& path) {
  const QFileInfo info(path);
  const QString suffix = info.suffix();
  if (suffix.isEmpty() || info.fileName() == QLatin1Char('.') + suffix) return path;
  return path.left(path.size() - suffix.size() - 1);
}

QString withHomeAbbreviated(const QString& path) {
  const QString home = QDir::homePath();
  if (path == home) return QStringLiteral("~");
  if (path.startsWith(home + QLatin1Char('/'))) return QStringLiteral("~") + path.mid(home.size());
  return path;
}

}  // namespace

void SearchResultsModel::setHits(const QList<FileSearch::Hit>& hits) {
  beginResetModel();
  hits_ = hits;
  endResetModel();
}

void SearchResultsModel::setPathColumnWidth(float width) {
  pathColumnWidth_ = width;
  if (!hits_.isEmpty())
    Q_EMIT dataChanged(index(0, PathColumn), index(rowCount() - 1, PathColumn), {Qt::DisplayRole});
}

// The width per character is 2.3 times the average: narrow columns keep
// fewer characters than fit.
QString SearchResultsModel::shownPath(const QString& path, float width) const {
  const QString text = withHomeAbbreviated(withoutExtension(path));
  if (text.isEmpty()) return text;
  const float textWidth = float(QFontMetricsF(font_).horizontalAdvance(text));
  const float unit = 2.3f * textWidth / float(text.size());
  return MiddleTruncation::toWidth(text, width, textWidth, unit);
}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(hits_.size());
}

int SearchResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= hits_.size()) return {};
  const FileSearch::Hit& hit = hits_[index.row()];
  if (role == Qt::DisplayRole) {
    if (index.column() == PathColumn) return shownPath(hit.path, pathColumnWidth_);
    if (index.column() == DateColumn)
      return hit.modified.isValid() ? QVariant(hit.modified) : QVariant(QString());
  }
  if (role == Qt::ToolTipRole) {
    if (index.column() == PathColumn) return hit.path;
    if (index.column() == DateColumn)
      return hit.modified.isValid() ? hit.modified.toString(Qt::ISODate) : QString();
  }
  return {};
}

QVariant SearchResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == PathColumn ? QStringLiteral("Path") : QStringLiteral("Modified");
}
