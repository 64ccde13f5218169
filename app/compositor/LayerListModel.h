#pragma once

#include <QAbstractItemModel>

#include <vector>

class Compositor;
class Layer;

// The layer tree as rows: the compositor's top-level layers at the root, a
// group's members below it; two columns, the layer's name and its comp
// mode (the index of its comp name among the comp-mode titles, or -1).
// Rows are the layers themselves (internal pointers), so the model is
// reset whenever the tree changes (`reload`). Main thread only.
//
// Drags carry no data: the dragged layers stay in `draggedItems` of the
// model they started from, under the type "QKLayerDragType".
class LayerListModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  enum Column { NameColumn = 0, CompColumn = 1 };
  static const QString kDragType;  // "application/x-zaph-QKLayerDragType"

  explicit LayerListModel(Compositor* compositor, QObject* parent = nullptr);

  Layer* layerAt(const QModelIndex& index) const;
  QModelIndex indexOf(const Layer* layer, int column = 0) const;
  void reload();

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Name column: an empty name is ignored. Comp column: the index of the
  // chosen comp mode.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDropActions() const override;
  Qt::DropActions supportedDragActions() const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

  // Where a drop proposed at (parent, row) goes: the destination parent
  // (null: the top level) and the index there. A drop on the root lands
  // at 0, on a plain layer before it, on a group first in it. False when
  // the target is one of the dragged layers or lies inside one.
  bool retarget(const QModelIndex& parent, int row, Layer** destination, int* index) const;
  const std::vector<Layer*>& draggedItems() const { return dragged_; }
  void setDraggedItems(std::vector<Layer*> layers) { dragged_ = std::move(layers); }
  void draggingEnded() { dragged_.clear(); }

  // The comp-mode table of the layer list and the layer panel: item
  // `index` of the comp-mode lists applied to `layer` (a GL blend sets the
  // parent's contents mode and the layer's group mode to 1, a filter or
  // composition sets them to 0). False when the index has no mode.
  static bool applyCompMode(Compositor& compositor, Layer& layer, int index);

 private:
  const std::vector<std::shared_ptr<Layer>>* childrenOf(
      const Layer* parent, std::vector<std::shared_ptr<Layer>>& top) const;
  Compositor* compositor_;
  mutable std::vector<Layer*> dragged_;
};
