#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>

#include <functional>

class QAbstractItemView;
class QKeyEvent;
class QMouseEvent;

// What the themed table and outline share: the theme from the table colour
// dictionary ("fill", "textColor", "font", "highlight"; re-applied on
// "QKRedrawTablesNotification"), the keys handed to the data-source
// controller, the slider and button selection cleared on a click or focus,
// and the modifiers of the last click.
//
// The controller is found through "QKDSControllerFinderNotification" when
// first needed; a key with no controller to take it is logged and dropped.
// Main thread only.
class ThemedList : public DataSourceControllerClient {
 public:
  static const QString kRedrawNotification;  // "QKRedrawTablesNotification"
  // The text measured for the row height.
  static const QString kRowHeightSample;  // "Tpqyg"

  // `applyRowHeight` takes the measured text height (as it stands; the
  // outline subtracts its 2).
  ThemedList(QAbstractItemView* view, std::function<void(double)> applyRowHeight);
  ~ThemedList() override;

  // Colours, font and row height from the theme; then a redraw.
  void applyTheme();
  // Hands a press or release to the controller; false when none was found.
  bool forwardKey(QKeyEvent* event);
  void deselectEverything();
  void mouseDown(const QMouseEvent* event);

  int modifiersOnClick() const { return modifiersOnClick_; }
  DataSourceController* dataSourceController() const { return controller_; }
  void setDataSourceController(DataSourceController* controller) override {
    controller_ = controller;
  }

 private:
  void findController();

  QAbstractItemView* view_;
  std::function<void(double)> applyRowHeight_;
  DataSourceController* controller_ = nullptr;
  int modifiersOnClick_ = 0;
  // Last: removed first when the list goes.
  NotificationObservers observers_;
};
