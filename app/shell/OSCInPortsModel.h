#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class OSCInPort;
class QKOSCManager;

// The OSC pane's input ports: one row a port, showing its number (and, as
// the tool tip of a port that could not open, why). A typed number outside
// 1–65535, or one another input port has, is refused (`problem`, with the
// reason) and the port keeps its number; an accepted number moves the port
// and the ports are stored. Main thread only.
class OSCInPortsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit OSCInPortsModel(QKOSCManager& manager, QObject* parent = nullptr);

  // Takes the manager's list again.
  void reload();
  std::shared_ptr<OSCInPort> portAt(int row) const;

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
  std::vector<std::shared_ptr<OSCInPort>> ports_;
};
