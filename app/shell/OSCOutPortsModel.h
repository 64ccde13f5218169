#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class OSCOutPort;
class QKOSCManager;

// The OSC pane's output ports: destination address, destination port and
// the port's label. A typed port outside 1–65535 is refused (`problem`, with
// the reason) and the port keeps its number. Every accepted edit stores the
// ports and announces them ("QKOSCOutPortsChangedNotification"), on which
// the pane and the OSC output plug-ins reload. Main thread only.
class OSCOutPortsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kAddressColumn, kPortColumn, kLabelColumn };

  explicit OSCOutPortsModel(QKOSCManager& manager, QObject* parent = nullptr);

  void reload();
  std::shared_ptr<OSCOutPort> portAt(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 Q_SIGNALS:
  void problem(const QString& reason);

 private:
  QKOSCManager& manager_;
  std::vector<std::shared_ptr<OSCOutPort>> ports_;
};
