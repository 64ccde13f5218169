#include "app/shell/OSCOutPortsModel.h"

#include "app/shell/OSCPortNumber.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/NotificationCenter.h"

OSCOutPortsModel::OSCOutPortsModel(QKOSCManager& manager, QObject* parent)
    : QAbstractTableModel(parent), manager_(manager) {
  ports_ = manager_.outPortArray().lockCopy();
}

void OSCOutPortsModel::reload() {
  beginResetModel();
  ports_ = manager_.outPortArray().lockCopy();
  endResetModel();
}

std::shared_ptr<OSCOutPort> OSCOutPortsModel::portAt(int row) const {
  if (row < 0 || row >= static_cast<int>(ports_.size())) return nullptr;
  return ports_[static_cast<std::size_t>(row)];
}

int OSCOutPortsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ports_.size());
}

int OSCOutPortsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant OSCOutPortsModel::data(const QModelIndex& index, int role) const {
  const auto port = portAt(index.row());
  if (!port || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  switch (index.column()) {
    case kAddressColumn:
      return port->addressString();
    case kPortColumn:
      return port->port();
    case kLabelColumn:
      return port->portLabel();
    default:
      return {};
  }
}

QVariant OSCOutPortsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kAddressColumn:
      return QStringLiteral("Address");
    case kPortColumn:
      return QStringLiteral("Port");
    case kLabelColumn:
      return QStringLiteral("Name");
    default:
      return {};
  }
}

Qt::ItemFlags OSCOutPortsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool OSCOutPortsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const auto port = portAt(index.row());
  if (role != Qt::EditRole || !port) return false;
  switch (index.column()) {
    case kAddressColumn: {
      const QString address = value.toString().trimmed();
      if (address.isEmpty()) {
        Q_EMIT problem(QStringLiteral("An output port needs an address."));
        return false;
      }
      port->setAddressString(address);
      break;
    }
    case kPortColumn: {
      QString reason;
      const std::optional<int> number = OSCPortNumber::parse(value, &reason);
      if (!number) {
        Q_EMIT problem(reason);
        return false;
      }
      port->setPort(*number);
      break;
    }
    case kLabelColumn:
      port->setPortLabel(value.toString());
      break;
    default:
      return false;
  }
  manager_.savePortsToDefaults();
  Q_EMIT dataChanged(index, index);
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::OSCOutPortsChanged));
  return true;
}
