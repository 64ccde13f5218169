#pragma once

#include "framework/toolkit/ActiveDeleteOutlineView.h"

#include <functional>

// The outline of the layer list: the delete keys delete the selected
// layers, a double click on a row opens that layer's panel, and the end of
// a drag empties the dragged layers of the model. It takes the interface
// theme as the program's other lists do.
class LayerListOutlineView : public ActiveDeleteOutlineView {
  Q_OBJECT
 public:
  explicit LayerListOutlineView(QWidget* parent = nullptr);

  void setDeleteKeyPressed(std::function<void()> action) { deleteKeyPressed_ = std::move(action); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;

 private:
  std::function<void()> deleteKeyPressed_;
};
