#include "app/plugins/stepsequencer/StepSequencerShortcutController.h"

#include "app/plugins/stepsequencer/SequencerStep.h"
#include "app/plugins/stepsequencer/StepSequencerEngine.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "platform/foundation/MainThread.h"

#include <QItemSelectionModel>
#include <QTableView>

const QString StepSequencerShortcutController::kDetecting = QStringLiteral("Detecting...");
const QString StepSequencerShortcutController::kNoShortcut = QStringLiteral("<No Shortcut>");

StepSequencerShortcutController::StepSequencerShortcutController(StepSequencerEngine* sequencer,
                                                                 QObject* parent)
    : QAbstractTableModel(parent), sequencer_(sequencer) {}

StepSequencerShortcutController::~StepSequencerShortcutController() { alive_.reset(); }

void StepSequencerShortcutController::setDetectionButton(QKButton* button) {
  detectionButton_ = button;
  if (!button) return;
  button->setButtonType(1);
  button->setTarget(alive_);
  button->setAction([this](QKButtonCell& sender) { detectionButtonUsed(sender.intValue() == 1); });
}

void StepSequencerShortcutController::setTableView(QTableView* view) {
  tableView_ = view;
  if (!view) return;
  view->setModel(this);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!selecting_) tableSelectionChanged(current.isValid() ? current.row() : -1);
          });
}

// --- Table ------------------------------------------------------------------------------

std::shared_ptr<SequencerStep> StepSequencerShortcutController::stepAt(long index) const {
  if (!sequencer_ || index < 0) return nullptr;
  RWTryLock& lock = sequencer_->stepLock();
  lock.readLock();
  std::shared_ptr<SequencerStep> step;
  if (index < long(sequencer_->stepValues().size())) step = sequencer_->stepValues()[size_t(index)];
  lock.readUnlock();
  return step;
}

bool StepSequencerShortcutController::isDetecting(const SequencerStep& step) {
  const auto& cell = step.shortcutCell();
  return cell && (cell->detectingMIDI() || cell->detectingKey() || cell->detectingButton());
}

int StepSequencerShortcutController::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !sequencer_) return 0;
  return int(sequencer_->stepValuesCount());
}

int StepSequencerShortcutController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant StepSequencerShortcutController::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  if (index.column() == IndexColumn) return QString::number(index.row() + 1);
  if (index.column() != ShortcutColumn) return {};
  const std::shared_ptr<SequencerStep> step = stepAt(index.row());
  if (!step || !step->shortcutCell()) return {};
  if (isDetecting(*step)) return kDetecting;
  if (!step->shortcutCell()->syncFlag()) return kNoShortcut;
  return KeyPathAdditions::joined(step->shortcutCell()->syncArray());
}

QVariant StepSequencerShortcutController::headerData(int section, Qt::Orientation orientation,
                                                     int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section == IndexColumn) return QStringLiteral("Step");
  if (section == ShortcutColumn) return QStringLiteral("Shortcut");
  return {};
}

void StepSequencerShortcutController::reloadData() {
  beginResetModel();
  endResetModel();
  if (tableView_ && selectedRow_ >= 0 && selectedRow_ < rowCount()) {
    selecting_ = true;
    tableView_->selectRow(selectedRow_);
    selecting_ = false;
  }
}

// --- Learn mode ---------------------------------------------------------------------------

bool StepSequencerShortcutController::learning() const {
  return detectionButton_ && detectionButton_->intValue() == 1;
}

void StepSequencerShortcutController::selectRow(int row) {
  selectedRow_ = row;
  if (tableView_ && row >= 0 && row < rowCount()) {
    selecting_ = true;
    tableView_->selectRow(row);
    tableView_->scrollTo(index(row, 0));
    selecting_ = false;
  }
  tableSelectionChanged(row);
}

void StepSequencerShortcutController::detectionButtonUsed(bool on) {
  if (!on) {
    while (findDetectingCellAndTurnItOff() >= 0) {
    }
    lastDetected_.clear();
    reloadData();
    return;
  }
  if (selectedRow_ < 0) selectedRow_ = 0;
  const std::shared_ptr<SequencerStep> step =
      selectedRow_ < rowCount() ? stepAt(selectedRow_) : nullptr;
  if (!step || !step->shortcutCell()) {
    if (detectionButton_) detectionButton_->setIntValue(0, false);
    return;
  }
  if (tableView_) tableView_->scrollTo(index(selectedRow_, 0));
  step->shortcutCell()->startAllDetect();
  reloadData();
}

void StepSequencerShortcutController::tableSelectionChanged(int row) {
  selectedRow_ = row;
  if (!learning()) return;
  findDetectingCellAndTurnItOff();
  if (row >= 0 && row < rowCount())
    if (const std::shared_ptr<SequencerStep> step = stepAt(row); step && step->shortcutCell())
      step->shortcutCell()->startAllDetect();
  reloadData();
}

long StepSequencerShortcutController::findDetectingCellAndTurnItOff() {
  if (!sequencer_) return -1;
  for (long i = 0;; ++i) {
    const std::shared_ptr<SequencerStep> step = stepAt(i);
    if (!step) return -1;
    if (isDetecting(*step)) {
      step->shortcutCell()->stopAllDetect();
      return i;
    }
  }
}

void StepSequencerShortcutController::bumpNextShortcut(const SequencerStep* step) {
  if (!step || !sequencer_) return;
  const long index = sequencer_->indexOfStep(step);
  const std::shared_ptr<SequencerStep> next =
      index >= 0 && index + 1 < sequencer_->stepValuesCount() ? stepAt(index + 1) : nullptr;
  if (!next || !next->shortcutCell()) {
    // Its action ends learn mode.
    if (detectionButton_) detectionButton_->setIntValue(0, true);
    return;
  }
  next->shortcutCell()->startAllDetect();
  reloadData();
}

void StepSequencerShortcutController::clearShortcutsButtonUsed() {
  if (!sequencer_) return;
  for (long i = 0;; ++i) {
    const std::shared_ptr<SequencerStep> step = stepAt(i);
    if (!step) break;
    if (step->shortcutCell()) step->shortcutCell()->setSyncFlag(false);
  }
  reloadData();
}

void StepSequencerShortcutController::stepLearnt(SequencerStep* step, const KeyPath& path) {
  if (!step || path.isEmpty()) return;
  // The step may go before the main thread takes this: it is found again
  // by identity there.
  MainThread::run(
      [this, alive = std::weak_ptr<int>(alive_), step, text = KeyPathAdditions::joined(path)] {
        if (alive.lock()) learnt(step, text);
      });
}

void StepSequencerShortcutController::learnt(SequencerStep* step, const QString& path) {
  if (!sequencer_ || sequencer_->indexOfStep(step) < 0) return;
  const std::shared_ptr<QKButtonCell>& cell = step->shortcutCell();
  if (!cell || !cell->syncFlag()) return;
  if (path == lastDetected_) {
    cell->setSyncFlag(false);
    cell->startAllDetect();
    reloadData();
    return;
  }
  if (!learning()) {
    reloadData();
    return;
  }
  lastDetected_ = path;
  bumpNextShortcut(step);
}
