#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/KeyPath.h"
#include "framework/toolkit/RepaintRequest.h"

#include <QColor>
#include <QWidget>

#include <atomic>
#include <functional>

class QMenu;

// The swatch of a colour element: its bounds filled with the colour. A
// left or right click opens the menu of colour sources of the data-source
// controller; the chosen holder's key path goes to `onColorHolderChosen`.
// The colour may be set from any thread; the swatch repaints on the main
// thread.
class QKColorUI : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  explicit QKColorUI(QWidget* parent = nullptr);

  // Any thread.
  void setColorWithRed(float red, float green, float blue);
  void setFillColor(const QColor& colour);
  QColor color() const;

  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setOnColorHolderChosen(std::function<void(const KeyPath&)> chosen) {
    onChosen_ = std::move(chosen);
  }
  // A menu item's key path reaches `onColorHolderChosen`.
  void colorHolderChosen(const QAction* item);
  // The menu a click opens; null without a controller.
  QMenu* prepRawMenu();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::atomic<float> red_{0};
  std::atomic<float> green_{0};
  std::atomic<float> blue_{0};
  DataSourceController* dataSourceController_ = nullptr;
  std::function<void(const KeyPath&)> onChosen_;
  RepaintRequest repaint_;
};
