#pragma once

#include "app/compositor/QKNSLCTableView.h"

class FilterListMenuHost;

// The effects browser's table: a right-click (or a control-click) selects
// the row under the pointer alone (below the last row: none) and opens the
// browser's contextual menu.
class FilterTableView : public QKNSLCTableView {
  Q_OBJECT
 public:
  explicit FilterTableView(QWidget* parent = nullptr) : QKNSLCTableView(parent) {}

  void setFilterListController(FilterListMenuHost* controller) {
    filterListController_ = controller;
  }
  FilterListMenuHost* filterListController() const { return filterListController_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void rightMouseDown(QMouseEvent* event);

  FilterListMenuHost* filterListController_ = nullptr;
};
