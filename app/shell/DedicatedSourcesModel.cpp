#include "app/shell/DedicatedSourcesModel.h"

DedicatedSourcesModel::DedicatedSourcesModel(DedicatedSourcesEditor& editor, QString rawTitle,
                                             QObject* parent)
    : QAbstractTableModel(parent), editor_(editor), rawTitle_(std::move(rawTitle)) {}

void DedicatedSourcesModel::reload() {
  beginResetModel();
  editor_.prepTableData();
  endResetModel();
}

int DedicatedSourcesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(editor_.rows().size());
}

int DedicatedSourcesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant DedicatedSourcesModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const DedicatedSourcesEditor::Row* row = editor_.rowAt(index.row());
  if (!row) return {};
  if (index.column() == kRawColumn) return row->rawName;
  if (index.column() == kPublishedColumn) return row->publishedName;
  return {};
}

QVariant DedicatedSourcesModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == kRawColumn) return rawTitle_;
  if (section == kPublishedColumn) return QStringLiteral("Published Name");
  return {};
}

Qt::ItemFlags DedicatedSourcesModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool DedicatedSourcesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !editor_.rowAt(index.row())) return false;
  const QString text = value.toString();
  // A rename can move the row: the rows are sorted by published name.
  Q_EMIT layoutAboutToBeChanged();
  const DedicatedSourcesEditor::Result result =
      index.column() == kRawColumn         ? editor_.setRawName(index.row(), text)
      : index.column() == kPublishedColumn ? editor_.setPublishedName(index.row(), text)
                                           : DedicatedSourcesEditor::Result::unchanged();
  Q_EMIT layoutChanged();
  if (result.kind == DedicatedSourcesEditor::Result::Refused) Q_EMIT problem(result.reason);
  return result.kind == DedicatedSourcesEditor::Result::Changed;
}
