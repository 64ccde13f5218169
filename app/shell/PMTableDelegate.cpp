#include "app/shell/PMTableDelegate.h"

#include "app/shell/PresetRecords.h"

#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <algorithm>
#include <numeric>

namespace {

QString columnText(const QVariant& record, int column) {
  switch (column) {
    case PMTableDelegate::NameColumn:
      return PresetRecords::nameOf(record);
    case PMTableDelegate::TypeColumn:
      return PresetRecords::kindOf(record);
    default:
      return QString::number(PresetRecords::indexOf(record));
  }
}

// A small "play" triangle.
QIcon triggerImage() {
  static const QIcon icon = [] {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 170, 90));
    painter.drawPolygon(QPolygonF({QPointF(2, 1), QPointF(11, 6), QPointF(2, 11)}));
    return QIcon(pixmap);
  }();
  return icon;
}

}  // namespace

PMTableDelegate::PMTableDelegate(QVariantList* records, QObject* parent)
    : QAbstractTableModel(parent), records_(records) {
  arranged_ = arrange();
}

QVector<int> PMTableDelegate::arrange() const {
  if (sortedByIndex()) return PresetRecords::arrangedOrder(*records_);
  QVector<int> order(records_->size());
  std::iota(order.begin(), order.end(), 0);
  const QVariantList& records = *records_;
  const int column = sortColumn_;
  const bool ascending = ascending_;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    if (column == IndexColumn) {
      const qint64 left = PresetRecords::indexOf(records[a]);
      const qint64 right = PresetRecords::indexOf(records[b]);
      return ascending ? left < right : right < left;
    }
    const int compared =
        QString::localeAwareCompare(columnText(records[a], column), columnText(records[b], column));
    return ascending ? compared < 0 : compared > 0;
  });
  return order;
}

void PMTableDelegate::rearrange() {
  beginResetModel();
  arranged_ = arrange();
  endResetModel();
}

// --- Reordering ---------------------------------------------------------------------------------

bool PMTableDelegate::startDrag(int row) {
  if (!sortedByIndex() || row < 0 || row >= arranged_.size()) return false;
  draggedRow_ = row;
  return true;
}

bool PMTableDelegate::validateDrop(int dropRow, bool above) const {
  return above && draggedRow_ >= 0 && dropRow != draggedRow_;
}

bool PMTableDelegate::acceptDrop(int dropRow) {
  const bool moved = didDepositRow(draggedRow_, dropRow);
  updatePresetIndices();
  rearrange();
  return moved;
}

// The record keeps its place when dropped just below itself (the row it
// leaves closes up first).
bool PMTableDelegate::didDepositRow(int from, int to) {
  if (from == -1 || to == -1) return true;
  if (from < 0 || from >= arranged_.size() || to > arranged_.size()) return false;
  const int destination = to >= draggedRow_ ? to - 1 : to;
  const int moving = arranged_[from];
  arranged_.remove(from);
  arranged_.insert(std::clamp(destination, 0, int(arranged_.size())), moving);
  return true;
}

void PMTableDelegate::updatePresetIndices() { PresetRecords::renumber(*records_, arranged_); }

void PMTableDelegate::deleteRows(QList<int> rows) {
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  QVector<int> positions;
  for (int row : rows)
    if (row >= 0 && row < arranged_.size()) positions << arranged_[row];
  std::sort(positions.begin(), positions.end(), std::greater<int>());
  for (int position : positions) records_->removeAt(position);
  arranged_ = arrange();
  updatePresetIndices();
  rearrange();
}

void PMTableDelegate::doubleActionTaken() {
  if (doubleAction_) doubleAction_();
}

// --- The model ----------------------------------------------------------------------------------

int PMTableDelegate::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : arranged_.size();
}

int PMTableDelegate::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant PMTableDelegate::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= arranged_.size()) return {};
  if (role == Qt::DecorationRole && index.column() == NameColumn) return triggerImage();
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return columnText(records_->value(arranged_[index.row()]), index.column());
}

QVariant PMTableDelegate::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const titles[] = {"Name", "Type", "#"};
  return section >= 0 && section < 3 ? QString::fromLatin1(titles[section]) : QVariant();
}

Qt::ItemFlags PMTableDelegate::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
  if (index.column() == NameColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

bool PMTableDelegate::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != NameColumn ||
      index.row() >= arranged_.size())
    return false;
  const int position = arranged_[index.row()];
  QVariantMap record = records_->value(position).toMap();
  record.insert(PresetRecords::kNameKey, value.toString());
  (*records_)[position] = record;
  Q_EMIT dataChanged(index, index);
  Q_EMIT nameEdited();
  return true;
}

void PMTableDelegate::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column > IndexColumn) return;
  sortColumn_ = column;
  ascending_ = order == Qt::AscendingOrder;
  rearrange();
}

QStringList PMTableDelegate::mimeTypes() const { return {QString::fromLatin1(kDragType)}; }

// No data travels: the drop reads the dragged row.
QMimeData* PMTableDelegate::mimeData(const QModelIndexList& indexes) const {
  if (indexes.isEmpty() || !const_cast<PMTableDelegate*>(this)->startDrag(indexes.first().row()))
    return nullptr;
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kDragType), QByteArray());
  return data;
}

// Above a row only: a drop onto a row (or its parent) is refused.
bool PMTableDelegate::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                      const QModelIndex& parent) const {
  if (!data || !data->hasFormat(QString::fromLatin1(kDragType))) return false;
  if (parent.isValid()) return false;
  return validateDrop(row < 0 ? int(arranged_.size()) : row, true);
}

bool PMTableDelegate::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                   int column, const QModelIndex& parent) {
  if (!canDropMimeData(data, action, row, column, parent)) return false;
  acceptDrop(row < 0 ? int(arranged_.size()) : row);
  draggedRow_ = -1;
  return true;
}
