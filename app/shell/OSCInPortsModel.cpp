#include "app/shell/OSCInPortsModel.h"

#include "app/shell/OSCPortNumber.h"
#include "framework/datasource/QKOSCManager.h"

OSCInPortsModel::OSCInPortsModel(QKOSCManager& manager, QObject* parent)
    : QAbstractTableModel(parent), manager_(manager) {
  ports_ = manager_.inPortArray().lockCopy();
}

void OSCInPortsModel::reload() {
  beginResetModel();
  ports_ = manager_.inPortArray().lockCopy();
  endResetModel();
}

std::shared_ptr<OSCInPort> OSCInPortsModel::portAt(int row) const {
  if (row < 0 || row >= static_cast<int>(ports_.size())) return nullptr;
  return ports_[static_cast<std::size_t>(row)];
}

int OSCInPortsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ports_.size());
}

int OSCInPortsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant OSCInPortsModel::data(const QModelIndex& index, int role) const {
  const auto port = portAt(index.row());
  if (!port) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole) return port->port();
  if (role == Qt::ToolTipRole && !port->isOpen()) return port->lastError();
  return {};
}

QVariant OSCInPortsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0)
    return QStringLiteral("Port");
  return {};
}

Qt::ItemFlags OSCInPortsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool OSCInPortsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const auto port = portAt(index.row());
  if (role != Qt::EditRole || !port) return false;
  QString reason;
  const std::optional<int> number = OSCPortNumber::parse(value, &reason);
  if (!number) {
    Q_EMIT problem(reason);
    return false;
  }
  if (*number == port->port()) return false;
  if (const auto other = manager_.findInputWithPort(*number); other && other != port) {
    Q_EMIT problem(QStringLiteral("Another input port already listens on %1.").arg(*number));
    return false;
  }
  // A number that cannot be opened (taken by another program) is kept, with
  // the port closed, as the OSC layer does for stored ports.
  if (!port->setPort(*number))
    Q_EMIT problem(
        QStringLiteral("Port %1 could not be opened: %2").arg(*number).arg(port->lastError()));
  manager_.savePortsToDefaults();
  Q_EMIT dataChanged(index, index);
  return true;
}
