#include "framework/behaviors/BehaviorChainListController.h"

#include "framework/behaviors/BehaviorChainDragData.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorChainTableView.h"
#include "framework/behaviors/BehaviorChainWindow.h"
#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/controls/BehaviorChainManagerInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QItemSelectionModel>

BehaviorChainListController::BehaviorChainListController(BehaviorChainWindow* window,
                                                         QObject* parent)
    : QAbstractTableModel(parent), window_(window) {
  rows_ = window_->chains();
  observers_.observe(QString::fromLatin1(BehaviorChainManagerInterface::kChainsChangedNotification),
                     nullptr, [this](const Notification&) {
                       if (MainThread::isMainThread()) reloadData();
                     });
}

BehaviorChainListController::~BehaviorChainListController() { observers_.clear(); }

BehaviorChainManager* BehaviorChainListController::manager() const {
  return window_->behaviorChainManager();
}

QString BehaviorChainListController::dragType() const {
  return FXChainManager::mimeTypeFor(manager()->chainPboardType());
}

// --- The list ----------------------------------------------------------------------

BehaviorChainListController::ChainPtr BehaviorChainListController::createNewChain() {
  auto chain = std::make_shared<BehaviorFXChain>(manager());
  chain->setChainName(manager()->newChainName());
  window_->addChainToMyList(chain);
  manager()->updateChainBasedLists();
  return chain;
}

int BehaviorChainListController::selectedRow() const {
  const BehaviorChainTableView* table = window_->chainArrayTableView();
  if (!table || !table->selectionModel()) return -1;
  const QModelIndexList rows = table->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void BehaviorChainListController::deleteSelectedChain() {
  const ChainPtr chain = window_->chainAtRow(selectedRow());
  if (!chain) return;
  manager()->deleteChain(chain);
  tableViewSelectionDidChange();
}

void BehaviorChainListController::tableViewSelectionDidChange() {
  const int row = selectedRow();
  if (row >= 0) window_->displayFX(window_->chainAtRow(row));
}

void BehaviorChainListController::reloadData() {
  beginResetModel();
  rows_ = window_->chains();
  endResetModel();
  BehaviorChainTableView* table = window_->chainArrayTableView();
  const ChainPtr shown = window_->visibleChain();
  if (!table || !shown) return;
  for (std::size_t row = 0; row < rows_.size(); ++row)
    if (rows_[row] == shown) {
      const QSignalBlocker quiet(table->selectionModel());
      table->selectRow(static_cast<int>(row));
      table->viewport()->update();
    }
}

// --- Drags ----------------------------------------------------------------------

QMimeData* BehaviorChainListController::writeRow(int row) {
  const ChainPtr chain = window_->chainAtRow(row);
  if (!chain) return nullptr;
  draggingRow_ = row;
  return new BehaviorChainDragData(dragType(), chain);
}

Qt::DropAction BehaviorChainListController::validateDrop(const QMimeData* data,
                                                         Qt::DropActions sourceActions) const {
  if (!data || !data->hasFormat(dragType())) {
    Log::line("\t\terror: no relevant data in the draggingPasteboard");
    return Qt::IgnoreAction;
  }
  if (!(sourceActions & Qt::CopyAction)) {
    Log::line("\t\terror: unknown type of move");
    return Qt::IgnoreAction;
  }
  return Qt::MoveAction;
}

bool BehaviorChainListController::acceptDrop(const QMimeData* data, QObject* source, int row,
                                             Qt::DropActions sourceActions) {
  if (!(sourceActions & Qt::CopyAction)) return false;
  const auto* dragged = qobject_cast<const BehaviorChainDragData*>(data);
  const auto* sourceTable = qobject_cast<const BehaviorChainTableView*>(source);
  BehaviorChainListController* sourceList = sourceTable ? sourceTable->controller() : nullptr;
  if (!dragged || !sourceList || sourceList->manager() != manager()) return false;
  const ChainPtr chain = dragged->chain();
  BehaviorChainWindow* from = sourceList->behaviorChainWindow();
  const int oldRow = chain ? from->rowOfChain(chain.get()) : -1;
  if (oldRow < 0) return false;

  if (from != window_) {
    from->removeChainFromMyList(chain);
    window_->addChainToMyList(chain);
  } else {
    row = std::clamp(row, 0, static_cast<int>(rows_.size()));
    const int target = oldRow >= row ? row : row - 1;
    window_->moveChainInMyList(chain, static_cast<std::size_t>(target));
    tableViewSelectionDidChange();
  }
  manager()->updateChainBasedLists();
  return true;
}

// --- The table's model ----------------------------------------------------------------

int BehaviorChainListController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int BehaviorChainListController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant BehaviorChainListController::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return rows_[static_cast<std::size_t>(index.row())]->chainName();
}

bool BehaviorChainListController::setData(const QModelIndex& index, const QVariant& value,
                                          int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= static_cast<int>(rows_.size()))
    return false;
  const ChainPtr chain = rows_[static_cast<std::size_t>(index.row())];
  return manager()->renameChain(chain, value.toString());
}

Qt::ItemFlags BehaviorChainListController::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
         Qt::ItemIsDropEnabled;
}

Qt::DropActions BehaviorChainListController::supportedDropActions() const {
  return Qt::CopyAction | Qt::MoveAction;
}
