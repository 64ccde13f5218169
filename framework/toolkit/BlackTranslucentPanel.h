#pragma once

#include "framework/datasource/DataSourceControllerClient.h"

#include <QColor>
#include <QWidget>

// A borderless, translucent black window for option panels, whatever flags
// it is given. It takes the keyboard focus and hands every key, pressed and
// released, to the data-source controller (found when first needed; a key
// with no controller is dropped). Main thread only.
class BlackTranslucentPanel : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  explicit BlackTranslucentPanel(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

  // Shown over the top of `window`, centred below its title bar, as a
  // plug-in's options sheet; nothing without a window.
  void showAsSheetOn(const QWidget* window);
  // Hides a shown sheet.
  void closeSheet();

  QColor backgroundColor() const { return bgColor_; }
  DataSourceController* dataSourceController() const { return controller_; }
  void setDataSourceController(DataSourceController* controller) override {
    controller_ = controller;
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  static constexpr int kSheetTop = 19;  // below a palette's title bar
  void forwardKey(QKeyEvent* event);

  const QColor bgColor_{0, 0, 0, 230};  // black at 0.9
  DataSourceController* controller_ = nullptr;
};
