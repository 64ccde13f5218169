#pragma once

#include "framework/toolkit/ThemedList.h"

#include <QKeyEvent>
#include <QMouseEvent>

// The behaviour the themed table and outline add to their Qt view (see
// ThemedList): keys the list keeps (keepsKey) go to the view, every other
// key, pressed or released, to the data-source controller; a click or the
// focus clears the slider and button selection. No key the list sees goes
// on to its parent (a palette would hand a kept key's release to the
// controller without its press). Main thread only.
template <class View>
class ThemedItemView : public View {
 public:
  explicit ThemedItemView(QWidget* parent)
      : View(parent), list_(this, [this](double textHeight) { applyRowHeight(textHeight); }) {}

  // Applies the theme again (also on "QKRedrawTablesNotification").
  void tableRedrawNotification() { list_.applyTheme(); }
  // The modifiers held at the last click (Qt::KeyboardModifiers).
  int modifiersOnClick() const { return list_.modifiersOnClick(); }
  DataSourceController* dataSourceController() const { return list_.dataSourceController(); }
  void setDataSourceController(DataSourceController* controller) {
    list_.setDataSourceController(controller);
  }

 protected:
  virtual bool keepsKey(const QKeyEvent& event) const = 0;
  virtual void applyRowHeight(double textHeight) = 0;

  void keyPressEvent(QKeyEvent* event) override {
    if (keepsKey(*event))
      View::keyPressEvent(event);
    else
      list_.forwardKey(event);
    event->accept();
  }
  // A release takes the road of its press.
  void keyReleaseEvent(QKeyEvent* event) override {
    if (!keepsKey(*event)) list_.forwardKey(event);
    event->accept();
  }
  void mousePressEvent(QMouseEvent* event) override {
    list_.mouseDown(event);
    View::mousePressEvent(event);
  }
  void focusInEvent(QFocusEvent* event) override {
    list_.deselectEverything();
    View::focusInEvent(event);
  }

  ThemedList list_;
};
