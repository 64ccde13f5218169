#pragma once

#include <QAbstractListModel>

class Sliders;

// The list of slider names in a Sliders plug-in's options sheet: one row
// per slider in bank order; a name edited in place renames the slider.
// Main thread only.
class SliderListController : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit SliderListController(Sliders* sliders);

  void update();
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  Sliders* sliders_;
};
