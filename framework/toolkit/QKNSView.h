#pragma once

#include "framework/datasource/DataSourceControllerClient.h"

#include <QWidget>

// A view that knows the data-source controller and clears the slider and
// button selection when it takes the focus. Main thread only.
class QKNSView : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  explicit QKNSView(QWidget* parent = nullptr);

  DataSourceController* dataSourceController() const { return controller_; }
  void setDataSourceController(DataSourceController* controller) override {
    controller_ = controller;
  }

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  void findController();

  DataSourceController* controller_ = nullptr;
};
