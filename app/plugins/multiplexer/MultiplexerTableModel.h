#pragma once

#include <QAbstractTableModel>

class QKMultiplexerPlugin;

// The inputs of a multiplexer: the value source (edited through the source
// menu), the shortcut (its header identifier is "shortcut") and whether the
// row is the current input (a check box that makes it current when
// clicked, checked or not). Main thread only.
class MultiplexerTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit MultiplexerTableModel(QKMultiplexerPlugin* plugin, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void reload();

 private:
  QKMultiplexerPlugin* plugin_;
};
