#include "app/compositor/LayerListController.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerListModel.h"
#include "app/compositor/LayerListOutlineView.h"

#include <QComboBox>
#include <QHeaderView>
#include <QStyledItemDelegate>

namespace {

// The comp column edits with a pop-up of the comp-mode titles; the model
// gets the chosen index.
class CompModeDelegate : public QStyledItemDelegate {
 public:
  CompModeDelegate(Compositor* compositor, QObject* parent)
      : QStyledItemDelegate(parent), compositor_(compositor) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex&) const override {
    auto* box = new QComboBox(parent);
    compositor_->compModeLists().fillPopUp(*box);
    return box;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* box = static_cast<QComboBox*>(editor);
    box->setCurrentIndex(box->findData(index.data(Qt::EditRole).toInt()));
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    const QVariant choice = static_cast<QComboBox*>(editor)->currentData();
    if (choice.isValid()) model->setData(index, choice.toInt());
  }

 private:
  Compositor* compositor_;
};

}  // namespace

LayerListController::LayerListController(Compositor* compositor, QWidget* parent,
                                         OpenLayer openLayer)
    : compositor_(compositor),
      model_(std::make_unique<LayerListModel>(compositor)),
      view_(new LayerListOutlineView(parent)) {
  view_->setModel(model_.get());
  view_->setItemDelegateForColumn(LayerListModel::CompColumn,
                                  new CompModeDelegate(compositor, view_));
  view_->header()->setStretchLastSection(true);
  view_->setColumnWidth(LayerListModel::NameColumn, 110);
  view_->setDeleteKeyPressed([this] { deleteKeyPressed(); });
  QObject::connect(view_, &QTreeView::doubleClicked, view_,
                   [this, open = std::move(openLayer)](const QModelIndex& index) {
                     if (open) open(model_->layerAt(index));
                   });
  compositor_->setLayerView(this);
}

LayerListController::~LayerListController() {
  if (compositor_->layerView() == this) compositor_->setLayerView(nullptr);
  view_->setModel(nullptr);
}

std::vector<Layer*> LayerListController::selectedLayers() const {
  QModelIndexList rows =
      view_->selectionModel() ? view_->selectionModel()->selectedRows() : QModelIndexList();
  std::vector<Layer*> layers;
  for (const QModelIndex& row : rows)
    if (Layer* layer = model_->layerAt(row)) layers.push_back(layer);
  std::sort(layers.begin(), layers.end(), [](const Layer* a, const Layer* b) {
    return a->orderedLayerIndex() < b->orderedLayerIndex();
  });
  return layers;
}

void LayerListController::selectLayers(const std::vector<Layer*>& layers) {
  view_->clearSelection();
  for (Layer* layer : layers)
    view_->selectionModel()->select(model_->indexOf(layer),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void LayerListController::deselectAll() { view_->clearSelection(); }

void LayerListController::update() {
  model_->reload();
  const QModelIndex first = model_->index(0, 0);
  if (first.isValid()) view_->expandRecursively(first);
}

void LayerListController::deleteKeyPressed() { compositor_->deleteSelectedLayers(); }
