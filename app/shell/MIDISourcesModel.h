#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class MIDIManager;
class QKMIDINode;

// The MIDI pane's sources: the MIDI manager's input sources in its order,
// column 0 the name (read-only), column 1 a check box, on while the source
// is listened to. Ticking it enables or disables the source by name and
// stores the enable states ("midiSourcesEnabledDict"). Main thread only.
class MIDISourcesModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kNameColumn, kEnabledColumn };

  explicit MIDISourcesModel(MIDIManager& manager, QObject* parent = nullptr);

  // Takes the manager's list again (after its endpoints were rebuilt).
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  std::shared_ptr<QKMIDINode> nodeAt(int row) const;

  MIDIManager& manager_;
  std::vector<std::shared_ptr<QKMIDINode>> nodes_;
};
