#pragma once

#include "framework/controls/QKButtonCellDelegate.h"
#include "framework/datasource/DataSourceControllerClient.h"

#include <QPointer>
#include <QString>
#include <QTabWidget>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class QKButton;
class QKButtonCell;
class QKNSTabViewDelegate;

// A tab view whose tabs are switched by buttons: one toggle QKButton per tab
// lies over the tab's header (the tab bar itself draws nothing and takes no
// clicks), so each tab can be bound to a data source, learnt from MIDI, OSC
// or a key, or locked like any other button. Whenever the user or a source
// switches the tab, the tab view sends its own action. Exactly the button of
// the selected tab is on; turning it off turns it back on.
//
// The buttons are made by `createButtonsForTabs`, which the owner calls once
// its tabs are added (as a form's setup does); tabs added later have no
// button. A tab is known in snapshots by its identifier: its page's object
// name, or its label when the page has none.
//
// Main thread only. The tab buttons queue their action on the main thread
// (also when a source triggers them on another), and the tab view queues its
// own action again.
class QKNSTabView : public QTabWidget,
                    public DataSourceControllerClient,
                    public QKButtonCellDelegate {
  Q_OBJECT
 public:
  using Action = std::function<void(QKNSTabView& sender)>;

  // Points a header rectangle is grown by on the left and right, and above
  // and below, to make its button's frame.
  static constexpr int kButtonMarginX = 6;
  static constexpr int kButtonMarginY = 2;

  explicit QKNSTabView(QWidget* parent = nullptr);
  ~QKNSTabView() override;

  // Stops the action and prepares every tab button for deletion.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // Replaces the tab buttons with one new button per tab.
  void createButtonsForTabs();
  const std::vector<QPointer<QKButton>>& buttonArray() const { return buttonArray_; }
  // The selected tab's button on, every other off, all without output.
  void pushSelectedTabStateToButtons();
  // Moves each button over its tab's header again.
  void updateButtonPositions();
  // A header rectangle grown by the margins, in the tab view's coordinates.
  QRect buttonFrameForTab(int index) const;

  // The tab buttons' action. A sender that is not one of the current
  // buttons (its strip was rebuilt since) does nothing.
  void buttonUsed(QKButtonCell& sender);
  // Sends the action, unless deleted, when a target and an action are set.
  void bang();
  // Selects the tab (an index out of range does nothing) and shows the
  // selection on the buttons.
  void selectTabViewItem(int index);
  // −1 when no tab is selected.
  int selectedTabViewIndex() const;
  QString tabIdentifier(int index) const;
  int indexOfTabWithIdentifier(const QString& identifier) const;

  // The action runs only while `target` is alive.
  void setTarget(QObject* target) { target_ = target; }
  void setAction(Action action) { action_ = std::move(action); }
  QString key() const { return key_; }
  void setKey(const QString& key) { key_ = key; }
  void setDelegate(QKNSTabViewDelegate* delegate) { delegate_ = delegate; }

  // Each tab's identifier → its button's snapshot, and "key" when there is
  // a key; empty without buttons.
  QVariantMap createSnapshot() const;
  // Loads the entries of tabs that exist, silently; then the last loaded
  // button that is on is banged, which selects its tab and sends the action
  // once.
  void loadSnapshot(const QVariantMap& snapshot);

  // The buttons' change notices (any thread): the delegate is told on the
  // main thread.
  void QKButtonSyncFlagChanged(QKButtonCell& cell) override;
  void QKButtonUIStateChanged(QKButtonCell& cell) override;
  void QKButtonThreshValChanged(QKButtonCell& cell) override;
  void paramSnapUpdated();

  DataSourceController* dataSourceController() const { return controller_; }
  void setDataSourceController(DataSourceController* controller) override {
    controller_ = controller;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  bool findController();
  void deselectEverything();
  void forwardKey(QKeyEvent* event);
  QKButton* makeButton(int index);
  void removeButtons();

  bool deleted_ = false;
  DataSourceController* controller_ = nullptr;
  std::vector<QPointer<QKButton>> buttonArray_;
  QString key_;
  QPointer<QObject> target_;
  Action action_;
  QKNSTabViewDelegate* delegate_ = nullptr;
  // The tab buttons' target: their queued actions run only while it lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
