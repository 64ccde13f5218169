#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/KeyPath.h"
#include "framework/params/QKAspectPad.h"

#include <functional>

// The pad of a position element: a red square at the point. A left drag
// moves the point (and sends the action); a right click opens the menu of
// point sources of the data-source controller, whose choice goes to
// `onPointHolderChosen`, and moves nothing until the button is released.
class QKPositionUI : public QKAspectPad, public DataSourceControllerClient {
  Q_OBJECT
 public:
  QKPositionUI(QWidget* parent, float aspectRatio);

  // Any thread; clamped to 0..1.
  void setXVal(float x);
  void setYVal(float y);
  float xVal() const { return x_.load(); }
  float yVal() const { return y_.load(); }
  QPointF pointVal() const { return QPointF(xVal(), yVal()); }
  QString description() const;

  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setOnPointHolderChosen(std::function<void(const KeyPath&)> chosen) {
    onChosen_ = std::move(chosen);
  }
  // A menu item's key path reaches `onPointHolderChosen`.
  void pointHolderChosen(const QAction* item);
  // The menu that a right click opens; null without a controller.
  class QMenu* prepRawMenu();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void dragTo(const QPointF& at);

  std::atomic<float> x_{0.5f};
  std::atomic<float> y_{0.5f};
  DataSourceController* dataSourceController_ = nullptr;
  std::function<void(const KeyPath&)> onChosen_;
  bool rightMouseDown_ = false;
};
