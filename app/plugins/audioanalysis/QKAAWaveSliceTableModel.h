#pragma once

#include <QAbstractTableModel>

class QKAAOpenGLWaveView;

// The band table: one row per band, the columns name, frequency, bandwidth
// and smoothing, read from and edited through the wave view.
class QKAAWaveSliceTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit QKAAWaveSliceTableModel(QKAAOpenGLWaveView& view) : view_(view) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  // The band list changed.
  void reload();

 private:
  QKAAOpenGLWaveView& view_;
};
