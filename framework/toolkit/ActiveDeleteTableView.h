#pragma once

#include "framework/toolkit/ActiveDeleteList.h"
#include "framework/toolkit/QKNSTableView.h"

// A themed table whose Delete key goes to its delete delegate.
class ActiveDeleteTableView : public ActiveDeleteList<QKNSTableView> {
  Q_OBJECT
 public:
  explicit ActiveDeleteTableView(QWidget* parent = nullptr) : ActiveDeleteList(parent) {}
};
