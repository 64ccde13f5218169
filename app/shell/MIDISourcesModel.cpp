#include "app/shell/MIDISourcesModel.h"

#include "framework/datasource/MIDIManager.h"

MIDISourcesModel::MIDISourcesModel(MIDIManager& manager, QObject* parent)
    : QAbstractTableModel(parent), manager_(manager) {
  nodes_ = manager_.sourceArray().lockCopy();
}

void MIDISourcesModel::reload() {
  beginResetModel();
  nodes_ = manager_.sourceArray().lockCopy();
  endResetModel();
}

std::shared_ptr<QKMIDINode> MIDISourcesModel::nodeAt(int row) const {
  if (row < 0 || row >= static_cast<int>(nodes_.size())) return nullptr;
  return nodes_[static_cast<std::size_t>(row)];
}

int MIDISourcesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(nodes_.size());
}

int MIDISourcesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant MIDISourcesModel::data(const QModelIndex& index, int role) const {
  const auto node = nodeAt(index.row());
  if (!node) return {};
  if (index.column() == kNameColumn && role == Qt::DisplayRole) return node->name();
  if (index.column() == kEnabledColumn && role == Qt::CheckStateRole)
    return node->enabled() ? Qt::Checked : Qt::Unchecked;
  return {};
}

QVariant MIDISourcesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == kNameColumn) return QStringLiteral("MIDI Source");
  if (section == kEnabledColumn) return QStringLiteral("On");
  return {};
}

Qt::ItemFlags MIDISourcesModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (index.column() == kEnabledColumn) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool MIDISourcesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (index.column() != kEnabledColumn || role != Qt::CheckStateRole) return false;
  if (const auto node = nodeAt(index.row())) {
    // By name: the manager keeps the state for the source (also while it is
    // unplugged) and opens or closes its port.
    manager_.setSourceEnabled(node->name(), value.toInt() == Qt::Checked);
    manager_.saveSourceEnableStatesToDefaults();
  }
  // Every row again: a source may share its state with another of its name.
  Q_EMIT dataChanged(this->index(0, kEnabledColumn), this->index(rowCount() - 1, kEnabledColumn));
  return true;
}
