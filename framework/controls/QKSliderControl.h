#pragma once

#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/SliderControlView.h"

#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <atomic>

#include <mutex>
#include <optional>

class DataSourceController;
class QMenu;

// The view that puts a slider on screen. The slider itself (value,
// envelope, marks, binding, locking, layout and tracking) lives in its cell;
// the control owns the cell, draws it, hands it the mouse and keys, opens
// the slider contextual menu on a right click, and keeps the rectangle it
// covers on screen for the pointer of other devices (absVisibleRect).
//
// A control taller than wide draws a vertical slider: the slider's own
// coordinates are rotated so that it grows upwards as a horizontal one
// grows to the right.
//
// Forwarding: the slider messages below reach the cell. Once
// `prepareToBeDeleted` has run, or without a cell, they do nothing and the
// queries answer fixed defaults (0 for numbers, 0.5 for rangedValue, 1 for
// rangedMaxEnv, -1 for uniqueID, -2 for dataSourceType, false for flags,
// empty for objects and rectangles), except the lock and binding members
// marked "cell only", which depend on the cell alone.
//
// Threads: a widget of the main thread. Messages sent from other threads
// (a worker setting a value) reach the cell on that thread under the
// cell's own rules; the cell hands redraws to the main thread.
// absVisibleRect may be read from any thread.
class QKSliderControl : public QWidget, public SliderControlView {
  Q_OBJECT
 public:
  explicit QKSliderControl(QWidget* parent = nullptr);
  // Placed at `frame` in the parent's coordinates.
  static QKSliderControl* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);
  ~QKSliderControl() override;

  QKSliderCell* cell() const { return cell_.get(); }
  const QKSliderCell::Ptr& cellPtr() const { return cell_; }

  // Retirement: the cell is retired too; afterwards the control forwards
  // nothing and ignores frame changes and right clicks.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }
  QString description() const;

  void setDelegate(const std::shared_ptr<QKSliderCellDelegate>& delegate);
  std::shared_ptr<QKSliderCellDelegate> delegate() const;
  void setDataSourceController(DataSourceController* dsc) { dataSourceController_ = dsc; }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setQKNeedsDisplay(bool flag) { qkNeedsDisplay_ = flag; }
  bool qkNeedsDisplay() const { return qkNeedsDisplay_; }

  // The frame in the parent's coordinates; the cell lays itself out again.
  void setFrame(const QRectF& frame);
  // Selects this slider alone and opens the slider contextual menu there.
  void rightMouseDown(const QPoint& globalPos);

  // --- SliderControlView ---
  QRectF bounds() const override;
  QRectF frame() const override;
  QRectF frameInWindow() const override;
  // The visible part in bottom-left screen coordinates (the design's, as
  // the pointer uses them); the zero rectangle when hidden. Any thread.
  QRectF absVisibleRect() const override;
  void setNeedsDisplay() override { update(); }
  // Shows the cell's toggle buttons as QKButtons over the toggle column.
  void toggleButtonsChanged() override;
  QKButton* syncToggleButton() const { return syncToggleButton_; }
  QKButton* behavToggleButton() const { return behavToggleButton_; }

  // --- Conveniences (with output) ---
  void setValue(float value) { setValue(value, true); }
  void setMaxEnv(float maxEnv) { setMaxEnv(maxEnv, true); }
  void setMinEnv(float minEnv) { setMinEnv(minEnv, true); }
  void setValueWithRangedValue(float v) { setValueWithRangedValue(v, true); }
  void jumpSliderBy(float step) { jumpSliderBy(step, true); }
  void jumpSliderByRangedValue(float step) { jumpSliderByRangedValue(step, true); }
  // Nothing for none.
  void setMaxEnvNumber(std::optional<float> maxEnv);
  // None sets the lower envelope from 0.
  void setMinEnvNumber(std::optional<float> minEnv);

  // --- Commands ---
  void setTarget(const std::weak_ptr<void>& target);
  void setAction(QKSliderCell::Action action);
  void loadSnapshot(const QVariantMap& snapshot);
  void selectJustMe();
  void selectMeToo();
  void deselectJustMe();
  void setSelected(bool flag);
  void setLockedFlag(bool flag);
  void startAllDetect();
  void startMIDIDetect();
  void startOSCDetect();
  void stopAllDetect();
  void stopMIDIDetect();
  void stopOSCDetect();
  void setSyncToggleDict(const QVariantMap& snapshot);
  void setSyncToggleState(bool shown);
  void setBehavToggleDict(const QVariantMap& snapshot);
  void setBehavToggleState(bool shown);
  void justSetValue(float value);
  void justSetMinenv(float minEnv);
  void justSetMaxenv(float maxEnv);
  void setDataSourceWithVal(DataSource* source);
  void evaluateBehaviors();
  void addInterestingPoint(float point);
  void addInterestingPointWithRangedValue(float point);
  void removeInterestingPoint(float point);
  void setValueForInterestingPointAtIndex(std::optional<float> point, int index);
  void removeAllInterestingPoints();
  void bang();
  void setValue(float value, bool andOutput);
  void setValueAndOutputIfDifferent(float value);
  void setMaxEnv(float maxEnv, bool andOutput);
  void setMinEnv(float minEnv, bool andOutput);
  void setMaxRange(float maxRange);
  void setMinRange(float minRange);
  void setValueWithRangedValue(float rangedValue, bool andOutput);
  void setFillValue(float fillValue);
  void setFillValueWithRangedValue(float rangedValue);
  void jumpSliderBy(float step, bool andOutput);
  void jumpSliderByRangedValue(float step, bool andOutput);
  void setSliderName(const QString& name);
  void setSliderManager(SliderManagerInterface* manager);
  void setUniqueID(long uniqueID);
  void setSoftTakeoverMode(int mode);
  void setSoftTakeoverTolerance(float tolerance);
  void setSoftTakeoverSpeed(float speed);
  void setKey(const QString& key);

  // --- Queries ---
  QVariantMap createSnapshot() const;
  std::shared_ptr<QKButtonCell> syncToggle() const;
  QVariantMap syncToggleDict() const;
  std::shared_ptr<QKButtonCell> behavToggle() const;
  QVariantMap behavToggleDict() const;
  std::optional<float> findRelevantInterestingPointForValue(float value) const;
  std::optional<float> findInterestingPointClosestToValue(float value) const;
  std::optional<float> findInterestingPointAtIndex(int index) const;
  QString sliderName() const;
  SliderManagerInterface* sliderManager() const;
  QList<float> interestingPoints() const;
  std::shared_ptr<BehaviorChainInterface> behaviorChain() const;
  QString behaviorName() const;
  KeyPath syncArray() const;
  QString key() const;
  float firstInterestingPointsValue() const;
  float lastInterestingPointsValue() const;
  float rangedMinEnv() const;
  float rangedMaxEnv() const;
  float rangedValue() const;
  float fillValue() const;
  float lastInputValue() const;
  float value() const;
  float maxEnv() const;
  float minEnv() const;
  float maxRange() const;
  float minRange() const;
  float clickValue() const;
  float clickMaxEnv() const;
  float clickMinEnv() const;
  int clickedIPIndex() const;
  int clickModifiers() const;
  int changeMask() const;
  int jumpMask() const;
  QPointF localClickLoc() const;
  long uniqueID() const;
  int dataSourceType() const;
  bool selected() const;
  bool syncFlag() const;
  bool behaviorFlag() const;
  bool vertFlag() const;
  bool validDataSourceValAvailable() const;
  QRectF controlFrame() const;
  QRectF absControlFrame() const;
  QRectF leftEnvHandle() const;
  QRectF rightEnvHandle() const;
  QRectF leftEnv() const;
  QRectF rightEnv() const;
  QRectF sliderHead() const;
  QRectF sliderBG() const;

  // --- Cell only (not stopped by deletion) ---
  void lockThisSliderToMe(const QKSliderControl* other);
  void lockThisSliderToMe(const QKSliderCell::Ptr& other);
  void setLockedSliderSrc(const QKSliderControl* master);
  void setLockedSliderSrc(const QKSliderCell::Ptr& master);
  void unlockMe();
  void setLockUIFlag(bool flag);
  void setSyncFlag(bool flag);
  bool lockUIFlag() const;  // true without a cell
  // True without a cell; false for none (nothing is sent).
  bool useThisSource(const std::optional<KeyPath>& path);
  void dataSourceNameChanged(DataSource* source);

 protected:
  // A control with the cell of a subclass (or none).
  QKSliderControl(QKSliderCell::Ptr cell, QWidget* parent);

  bool live() const { return !deleted_ && cell_; }
  template <typename R, typename Ask>
  R ask(R fallback, Ask&& question) const {
    return live() ? question(*cell_) : fallback;
  }
  template <typename Tell>
  void tell(Tell&& command) const {
    if (live()) command(*cell_);
  }

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool vertical() const { return height() > width(); }
  // The slider's coordinates of a point in the widget.
  QPointF sliderPoint(const QPointF& widgetPoint) const;
  void press(QMouseEvent* event, int clickCount);
  // Ends a tracked press whose release will not come, at the last point.
  void endTrackingWithoutRelease();
  void frameChanged();
  void watchWindow();
  void updateAbsVisibleRect();
  void placeToggleButtons();
  // Shows `cell` (or nothing) in `button` at the slider's rectangle `frame`.
  void placeToggle(QPointer<QKButton>& button, const std::shared_ptr<QKButtonCell>& cell,
                   const QRectF& frame);

  QKSliderCell::Ptr cell_;
  // Read by workers that set values through the control.
  std::atomic<bool> deleted_{false};
  bool tracking_ = false;
  QPointF lastTrackedPoint_;
  bool qkNeedsDisplay_ = false;
  DataSourceController* dataSourceController_ = nullptr;
  QPointer<QWidget> watchedWindow_;
  // The "S" and "B" toggle buttons, over the toggle column.
  QPointer<QKButton> syncToggleButton_;
  QPointer<QKButton> behavToggleButton_;

  mutable std::mutex absVisibleRectLock_;
  QRectF absVisibleRect_;  // under absVisibleRectLock_
};
