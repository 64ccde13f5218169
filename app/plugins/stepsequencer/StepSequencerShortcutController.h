#pragma once

#include "framework/controls/QKButton.h"
#include "framework/datasource/KeyPath.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>

#include <memory>

class SequencerStep;
class StepSequencerEngine;

// The shortcut table of the step sequencer's options sheet (read-only: a
// step number and what the step's shortcut listens to, one row per step in
// use) and its learn mode, in which the steps learn their shortcuts one
// after the other from whatever MIDI, OSC, key or button input comes next.
// The same source twice in a row is given once: a held key or a fader moved
// through several values fills one step.
//
// Main thread; a step that learnt (on an input thread) is handed over
// through `stepLearnt`.
class StepSequencerShortcutController : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { IndexColumn, ShortcutColumn, ColumnCount };
  static const QString kDetecting;   // "Detecting..."
  static const QString kNoShortcut;  // "<No Shortcut>"

  explicit StepSequencerShortcutController(StepSequencerEngine* sequencer,
                                           QObject* parent = nullptr);
  ~StepSequencerShortcutController() override;

  // The learn-mode toggle: its action is `detectionButtonUsed`.
  void setDetectionButton(QKButton* button);
  QKButton* detectionButton() const { return detectionButton_; }
  void setTableView(QTableView* view);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void detectionButtonUsed(bool on);
  bool learning() const;
  // A row chosen in the table (-1: none); while learning, learning moves
  // to that row's step.
  void selectRow(int row);
  int selectedRow() const { return selectedRow_; }
  void tableSelectionChanged(int row);
  // Learning goes on with the step after `step`, or ends after the last.
  void bumpNextShortcut(const SequencerStep* step);
  // The index of the step whose learning it stopped, or -1.
  long findDetectingCellAndTurnItOff();
  // Every step, the hidden ones included, forgets its shortcut.
  void clearShortcutsButtonUsed();
  // Any thread: `step`'s cell synced to `path`.
  void stepLearnt(SequencerStep* step, const KeyPath& path);
  QString lastDetectedDataSourceString() const { return lastDetected_; }
  void reloadData();

 private:
  void learnt(SequencerStep* step, const QString& path);
  std::shared_ptr<SequencerStep> stepAt(long index) const;
  static bool isDetecting(const SequencerStep& step);

  StepSequencerEngine* sequencer_;
  QPointer<QKButton> detectionButton_;
  QPointer<QTableView> tableView_;
  int selectedRow_ = -1;
  bool selecting_ = false;
  QString lastDetected_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
