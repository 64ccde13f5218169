#pragma once

#include "framework/datasource/AltUIItem.h"
#include "platform/foundation/NotificationObservers.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class DataSourceController;
class RepaintRequest;
class StepSequencerEngine;

// The step sequencer's grid: one column per step in use, shaded by beats
// and ruled by measures, each enabled step's value drawn as a bar, as a
// cell of one of the value rows (by the rule the output snaps by) or as a
// filled line reaching each step's value at its column's left edge (where
// the interpolated output reaches it), and the play-head around the
// column under the play position. A click or drag sets values, a
// Shift-drag switches steps on or off, a double click sends the play
// position to a step. What it draws is kept in three pixmaps (background,
// values, foreground lines) rebuilt only when marked. Clicking it selects
// it as the data-source controller's alternative item.
//
// Main thread, but for `markValues` and `requestRedraw`, which the tick
// calls. Nothing is drawn or asked to redraw while the palette is
// collapsed.
class StepSequencerDisplay : public QWidget, public AltUIItem {
  Q_OBJECT
 public:
  explicit StepSequencerDisplay(QWidget* parent = nullptr);
  ~StepSequencerDisplay() override;

  // The sequencer's steps and settings; `jumpTo` sends the play position to
  // a step (a double click).
  void setSequencer(StepSequencerEngine* sequencer, std::function<void(long)> jumpTo);
  void setDataSourceController(DataSourceController* controller);
  void prepareToBeDeleted();

  void select() override { selected_.store(true); }
  void deselect() override { selected_.store(false); }
  bool selected() const { return selected_.load(); }

  float vertOrigin() const { return vertOrigin_; }
  void setVertOrigin(float origin);
  bool constrainClick() const { return constrainClick_; }
  void setConstrainClick(bool constrain) { constrainClick_ = constrain; }
  void setColumnsPerBeat(int columns);
  void setColumnsPerMeasure(int columns);
  int columnsPerBeat() const { return columnsPerBeat_; }
  int columnsPerMeasure() const { return columnsPerMeasure_; }
  // Both caches (background and values) are drawn again at the next paint.
  void refreshDisplayLists();
  // Any thread.
  void refreshWaveDisplayList() { valuesDirty_.store(true, std::memory_order_relaxed); }
  // Any thread; dropped while collapsed.
  void requestRedraw();
  void setCollapsed(bool collapsed) { collapsed_.store(collapsed); }
  bool collapsed() const { return collapsed_.load(); }

  // What the tests look at.
  int paintCount() const { return paintCount_; }
  int rebuildCount() const { return rebuildCount_; }
  // The column under x (view pixels), limited to the steps in use; -1
  // without steps.
  long columnAt(double x) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void press(QMouseEvent* event, int clickCount);
  void dragTo(const QPointF& point);
  void buildBackground(long count);
  void buildValues(long count);
  QColor backgroundColor() const;

  StepSequencerEngine* sequencer_ = nullptr;
  std::function<void(long)> jumpTo_;
  DataSourceController* dataSourceController_ = nullptr;
  float vertOrigin_ = 0.5f;
  bool constrainClick_ = false;
  long constrainedClickIndex_ = 0;
  int columnsPerBeat_ = 2;
  int columnsPerMeasure_ = 8;
  bool changingEnabled_ = false;
  bool changingEnabledTo_ = true;
  bool deleted_ = false;
  std::atomic<bool> selected_{false};
  std::atomic<bool> collapsed_{false};
  std::atomic<bool> backgroundDirty_{true};
  std::atomic<bool> valuesDirty_{true};
  long builtCount_ = -1;  // the step count the caches were drawn for
  QPixmap background_, values_, foreground_;
  int paintCount_ = 0;
  int rebuildCount_ = 0;
  std::unique_ptr<RepaintRequest> repaint_;
  NotificationObservers observers_;
};
