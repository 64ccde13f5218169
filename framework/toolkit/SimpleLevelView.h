#pragma once

#include "framework/toolkit/RepaintRequest.h"
#include "platform/foundation/NotificationObservers.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <atomic>

class QPainter;

// A level meter: one value, normally 0 to 1, shown as a single filled bar in
// the level-view colours of the theme ("simpleLevelView": "backgroundColor",
// "levelColor"). The bar fills the view inset by one pixel, scaled by the
// value along the longer side (a square counts as horizontal): from the left,
// or upwards from the bottom. Values outside 0..1 are drawn as they are; a
// value that is not finite draws the background only.
//
// setVal may be called from any thread (the caller is done before the view
// goes): the value is stored atomically and one repaint is asked of the main
// thread (RepaintRequest). Follows "QKRedrawLevelsNotification".
class SimpleLevelView : public QWidget {
  Q_OBJECT
 public:
  static const QString kRedrawNotification;  // "QKRedrawLevelsNotification"
  static const QString kSimpleStyle;         // "simpleLevelView"
  static const QString kTitleBarStyle;       // "titleBarLevelView"

  explicit SimpleLevelView(QWidget* parent = nullptr);
  ~SimpleLevelView() override;

  // Any thread. While a repaint is pending this is one store and one load.
  void setVal(float value) {
    val_.store(value, std::memory_order_relaxed);
    repaint_.request();
  }
  void setValue(float value) { setVal(value); }
  float val() const { return val_.load(std::memory_order_relaxed); }
  bool repaintPending() const { return repaint_.pending(); }

  // Main thread.
  void forceRedraw() { update(); }
  // Draws the meter as it stands into `painter`, over (0, 0, size).
  void drawLevel(QPainter& painter, const QSizeF& size) const;

 protected:
  // The colour dictionary's name under the level-view colours.
  virtual QString colorStyle() const { return kSimpleStyle; }
  // Whether a vertical bar hangs from the top edge.
  virtual bool growsFromTop() const { return false; }
  // Whether the bar is shown; otherwise the view shows inactiveColor() only.
  virtual bool showsLevel() const { return true; }
  virtual QColor inactiveColor() const { return {}; }

  void paintEvent(QPaintEvent* event) override;

 private:
  std::atomic<float> val_{0.0f};
  RepaintRequest repaint_;
  // Last: removed first when the view goes.
  NotificationObservers observers_;
};
