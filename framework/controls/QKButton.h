#pragma once

#include "framework/controls/QKButtonCell.h"
#include "framework/datasource/DataSourceControllerClient.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class ButtonViewLink;
class ModifierKeys;
class QPainter;

// A button on screen: a widget that shows one QKButtonCell and passes
// nearly every message to it. A left click presses the button (a momentary
// button bangs, a toggle flips) and selects it for the inspector unless
// `preventClickSelect`; Shift-click only toggles the selection; a right click
// (or Meta-click) selects it and pops up the button contextual menu. Keys,
// pressed and released, go to the data-source controller. A momentary
// button triggered from elsewhere (a data source) shows its pressed look for
// 0.1 s.
//
// The cell reaches the widget through a ButtonViewLink, which it holds: its
// redraw requests and triggers come on the thread that changed the cell and
// are handed to the main thread there. Everything else is main thread only.
//
// A button lives until `prepareToBeDeleted` (also run by the destructor when
// it was not), which prepares the cell too; afterwards setters do nothing
// and some getters answer fixed values (noted below).
class QKButton : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  // Seconds a momentary button triggered from elsewhere looks pressed.
  static constexpr int kFlashMilliseconds = 100;

  // A button with a new cell of its own.
  explicit QKButton(QWidget* parent = nullptr);
  // A button showing `cell` (the "S" toggles, and subclasses with cells of
  // their own kind).
  explicit QKButton(std::shared_ptr<QKButtonCell> cell, QWidget* parent = nullptr);
  static QKButton* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);
  ~QKButton() override;

  // The widget showing `cell`, when it is a QKButton's. Main thread.
  static QKButton* viewOf(const QKButtonCell& cell);

  // Among `buttons` (pointers to QKButtons): the index of the one showing
  // `cell`; -1 when none does (an action queued before its button was
  // removed).
  template <typename Buttons>
  static int indexOfCell(const Buttons& buttons, const QKButtonCell& cell) {
    for (size_t index = 0; index < buttons.size(); ++index) {
      const QKButton* button = buttons[index];
      if (button && button->cell().get() == &cell) return static_cast<int>(index);
    }
    return -1;
  }
  // The button at `lit` on and every other off, without output.
  template <typename Buttons>
  static void lightOnly(const Buttons& buttons, int lit) {
    for (size_t index = 0; index < buttons.size(); ++index)
      if (QKButton* button = buttons[index])
        button->setIntValue(static_cast<int>(index) == lit ? 1 : 0, false);
  }

  const std::shared_ptr<QKButtonCell>& cell() const { return cell_; }
  bool deleted() const;
  // Makes the widget its cell's view again and has the cell register with
  // the button manager when it has none yet.
  void awakeFromNib();
  void prepareToBeDeleted();
  // Prepares for deletion, hides, and goes once the event loop is back (it
  // may be inside one of its own handlers).
  void retire();
  QString description() const;

  QSize sizeHint() const override { return {48, 18}; }

  // Moves and resizes; a shown "S" toggle becomes half as wide as the new
  // height, at the left end.
  void setFrame(const QRectF& frame);

  // --- Value -----------------------------------------------------------------
  void setIntValue(int value, bool andOutput = true);
  void setBoolValue(bool value, bool andOutput = true);
  void setFloatValue(float value, bool andOutput = true);
  void setState(int value, bool andOutput = true);
  int intValue() const;
  float floatValue() const;

  // --- Appearance (the setters redraw) -------------------------------------------
  void setButtonType(int type);
  void setTitle(const QString& title);
  void setTitle2(const QString& title);
  int buttonType() const;
  QString title() const;
  QString title2() const;
  bool useThisImageTile(const QImage& image, const QSizeF& tileSize);

  // --- Action ------------------------------------------------------------------
  void setTarget(std::weak_ptr<const void> target);
  void setAction(QKButtonCell::Action action);
  void setTriggerOnMain(bool onMain);
  bool triggerOnMain() const;
  void setTriggerOnMainNumber(const QVariant& number);
  QVariant triggerOnMainNumber() const;
  void setDelegate(QKButtonCellDelegate* delegate);
  QKButtonCellDelegate* delegate() const;
  void bang();
  // A trigger from elsewhere (any thread): the cell toggles, and a momentary
  // button flashes on the main thread.
  void toggle();

  // --- Selection -----------------------------------------------------------------
  void select();
  void deselect();
  void setPreventClickSelect(bool prevent);
  bool preventClickSelect() const;
  int modifiersOnClick() const;

  // --- Manager (hardwareLearnModeUpdated also once deleted) -------------------------
  void setButtonManager(QKButtonManager* manager);
  QKButtonManager* buttonManager() const;
  void hardwareLearnModeUpdated(bool mode);

  // --- Locking (getters: empty or false once deleted) --------------------------------
  void lockThisButtonToMe(QKButton* other);
  void unlockMe();
  void setLockedButtonSrc(QKButton* master);
  void setLockedFlag(bool flag);
  std::vector<std::shared_ptr<QKButtonCell>> lockedButtonArray() const;
  bool hasLockedButtons() const;
  std::shared_ptr<QKButtonCell> lockedButtonSrc() const;
  bool lockedFlag() const;
  // On true the caller releases the fan-out lock through the cell.
  bool okayToTriggerLockedButtons();

  // --- Binding (useThisSource: false once deleted) -------------------------------------
  void setSyncFlag(bool flag);
  bool syncFlag() const;
  bool useThisSource(const KeyPath& path);
  KeyPath syncArray() const;
  void setThreshVal(float threshold);
  float threshVal() const;
  void setTriggerOnRise(bool rise);
  bool triggerOnRise() const;
  void setTriggerOnFall(bool fall);
  bool triggerOnFall() const;
  void setTriggerMode(int mode);
  int triggerMode() const;

  // --- "S" toggle (getters: empty once deleted; preventSyncToggle: true) -------------------
  void setSyncToggleState(bool shown);
  std::shared_ptr<QKButtonCell> syncToggle() const;
  void setSyncToggleDict(const QVariantMap& snapshot);
  QVariantMap syncToggleDict() const;
  void setPreventSyncToggle(bool prevent);
  bool preventSyncToggle() const;
  // The widget showing the "S" toggle; null when none is shown.
  QKButton* syncToggleView() const;

  // --- Learn ---------------------------------------------------------------------------
  void startMIDIDetect();
  void startOSCDetect();
  void startKeyDetect();
  void startButtonDetect();
  void stopMIDIDetect();
  void stopOSCDetect();
  void stopKeyDetect();
  void stopButtonDetect();

  // --- Identity and snapshot (key: empty once deleted) ------------------------------------
  void setKey(const QString& key);
  QString key() const;
  virtual QVariantMap createSnapshot() const;
  virtual void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true);
  // Forwarded also once deleted (the cell only logs).
  void setDataSourceWithVal();

  // --- Data-source controller -----------------------------------------------------------
  DataSourceController* dataSourceController() const { return controller_; }
  void setDataSourceController(DataSourceController* controller) override {
    controller_ = controller;
  }

  // The right click: selects the button and pops up the button contextual
  // menu at `globalPos` (never waits for it).
  void rightMouseDown(const QPoint& globalPos);

  // The pressed-look flash and its end (main thread); called by the link.
  void mainThreadToggleMethod();
  void toggleRedrawMethod();
  bool flashing() const { return flashTimer_.isActive(); }
  int remainingFlashMilliseconds() const { return flashTimer_.remainingTime(); }
  // Whether a flash was asked for and has not reached the main thread yet.
  bool flashPending() const;
  // Whether a redraw was asked for and has not reached the main thread yet.
  bool repaintPending() const;

  // The "S" toggle the cell shows or removes (main thread; called by the
  // link).
  void addSubButton(const std::shared_ptr<QKButtonCell>& cell, const QRectF& frame);
  void removeSubButton(const std::shared_ptr<QKButtonCell>& cell);

 protected:
  // Draws the cell into `frame`; subclasses add to it.
  virtual void drawCell(QPainter& painter, const QRectF& frame);

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Whether a controller is known, asking for it first when it is not.
  bool findController();
  void startTracking(const ModifierKeys& keys);
  void forwardKey(QKeyEvent* event);
  void layoutSyncToggle();
  template <typename Setter>
  void ifAlive(Setter&& setter) {
    if (!deleted()) setter(*cell_);
  }

  const std::shared_ptr<QKButtonCell> cell_;
  const std::shared_ptr<ButtonViewLink> link_;
  DataSourceController* controller_ = nullptr;
  QPointer<QKButton> syncToggleView_;
  QTimer flashTimer_;
  bool tracking_ = false;
};
