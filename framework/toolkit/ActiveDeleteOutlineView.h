#pragma once

#include "framework/toolkit/ActiveDeleteList.h"
#include "framework/toolkit/QKNSOutlineView.h"

// A themed outline whose Delete key goes to its delete delegate.
class ActiveDeleteOutlineView : public ActiveDeleteList<QKNSOutlineView> {
  Q_OBJECT
 public:
  explicit ActiveDeleteOutlineView(QWidget* parent = nullptr) : ActiveDeleteList(parent) {}
};
