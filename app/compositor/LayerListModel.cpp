#include "app/compositor/LayerListModel.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerCompModeChoice.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QMimeData>

#include <algorithm>

const QString LayerListModel::kDragType = QStringLiteral("application/x-zaph-QKLayerDragType");

LayerListModel::LayerListModel(Compositor* compositor, QObject* parent)
    : QAbstractItemModel(parent), compositor_(compositor) {}

void LayerListModel::reload() {
  beginResetModel();
  endResetModel();
}

// The rows of a parent: a group's members or, for the root, the top level
// (copied into `top`).
const std::vector<std::shared_ptr<Layer>>* LayerListModel::childrenOf(
    const Layer* parent, std::vector<std::shared_ptr<Layer>>& top) const {
  if (parent) return &parent->layerArray();
  top = compositor_->topLevelLayers();
  return &top;
}

Layer* LayerListModel::layerAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Layer*>(index.internalPointer()) : nullptr;
}

QModelIndex LayerListModel::indexOf(const Layer* layer, int column) const {
  if (!layer) return {};
  std::vector<std::shared_ptr<Layer>> top;
  const auto* siblings = childrenOf(layer->parentLayer(), top);
  for (std::size_t row = 0; row < siblings->size(); ++row)
    if ((*siblings)[row].get() == layer)
      return createIndex(int(row), column, const_cast<Layer*>(layer));
  return {};
}

QModelIndex LayerListModel::index(int row, int column, const QModelIndex& parent) const {
  if (column < 0 || column > 1 || row < 0 || (parent.isValid() && parent.column() != 0)) return {};
  std::vector<std::shared_ptr<Layer>> top;
  const auto* rows = childrenOf(layerAt(parent), top);
  if (row >= int(rows->size())) return {};
  return createIndex(row, column, (*rows)[row].get());
}

QModelIndex LayerListModel::parent(const QModelIndex& child) const {
  Layer* layer = layerAt(child);
  return layer ? indexOf(layer->parentLayer()) : QModelIndex();
}

int LayerListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  std::vector<std::shared_ptr<Layer>> top;
  return int(childrenOf(layerAt(parent), top)->size());
}

int LayerListModel::columnCount(const QModelIndex&) const { return 2; }

QVariant LayerListModel::data(const QModelIndex& index, int role) const {
  Layer* layer = layerAt(index);
  if (!layer) return {};
  if (index.column() == NameColumn && (role == Qt::DisplayRole || role == Qt::EditRole))
    return layer->layerName();
  if (index.column() == CompColumn) {
    const int comp =
        int(compositor_->compFilterHumanNameArray().indexOf(layer->compName().value_or(QString())));
    if (role == Qt::EditRole) return comp;
    if (role == Qt::DisplayRole) return layer->compName().value_or(QString());
  }
  return {};
}

QVariant LayerListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == NameColumn ? QStringLiteral("Layer") : QStringLiteral("Comp. Mode");
}

Qt::ItemFlags LayerListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
         Qt::ItemIsDropEnabled;
}

bool LayerListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  Layer* layer = layerAt(index);
  if (!layer || role != Qt::EditRole) return false;
  if (index.column() == NameColumn) {
    const QString name = value.toString();
    if (name.isEmpty()) return false;
    return layer->setLayerName(name);
  }
  bool ok = false;
  const int choice = value.toInt(&ok);
  if (!ok || !applyCompMode(*compositor_, *layer, choice)) return false;
  reload();
  return true;
}

bool LayerListModel::applyCompMode(Compositor& compositor, Layer& layer, int index) {
  const CompModeLists& lists = compositor.compModeLists();
  if (index < 0 || index >= lists.names.size()) return false;
  return LayerCompModeChoice::apply(compositor, layer, lists.names[index], lists.tags[index]);
}

// --- Drag and drop -----------------------------------------------------------------------------

QStringList LayerListModel::mimeTypes() const { return {kDragType}; }

QMimeData* LayerListModel::mimeData(const QModelIndexList& indexes) const {
  dragged_.clear();
  for (const QModelIndex& index : indexes) {
    Layer* layer = layerAt(index);
    if (index.column() == NameColumn && layer &&
        std::find(dragged_.begin(), dragged_.end(), layer) == dragged_.end())
      dragged_.push_back(layer);
  }
  auto* data = new QMimeData;
  data->setData(kDragType, QByteArray());
  return data;
}

Qt::DropActions LayerListModel::supportedDropActions() const { return Qt::MoveAction; }
Qt::DropActions LayerListModel::supportedDragActions() const { return Qt::MoveAction; }

bool LayerListModel::retarget(const QModelIndex& parent, int row, Layer** destination,
                              int* index) const {
  Layer* proposed = layerAt(parent);
  *destination = proposed;
  *index = row;
  if (!proposed) {
    if (row == -1) *index = 0;  // on the root itself
  } else if (row == -1 && proposed->groupFlag()) {
    *index = 0;  // first in the group
  } else if (row == -1) {
    // On a plain layer: before it, in its parent.
    *destination = proposed->parentLayer();
    *index = indexOf(proposed).row();
  }
  for (Layer* layer : dragged_)
    if (*destination && layer->containsThisLayer(*destination)) return false;
  return true;
}

bool LayerListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                     const QModelIndex& parent) const {
  if (!data || !data->hasFormat(kDragType)) return false;
  Layer* destination = nullptr;
  int index = 0;
  return retarget(parent, row, &destination, &index);
}

bool LayerListModel::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                  const QModelIndex& parent) {
  if (!data || !data->hasFormat(kDragType) || dragged_.empty()) return false;
  Layer* destination = nullptr;
  int index = 0;
  if (!retarget(parent, row, &destination, &index)) return false;
  const std::vector<Layer*> moved = dragged_;
  dragged_.clear();
  compositor_->moveTheseLayers(moved, index, destination);
  NotificationCenter::defaultCenter().post(QStringLiteral("QKLayersChangedNotification"));
  return true;
}
