#include "framework/toolkit/QKNSOutlineView.h"

#include "framework/toolkit/QKTextImageCell.h"

#include <cmath>

QKNSOutlineView::QKNSOutlineView(QWidget* parent)
    : ThemedItemView<QTreeView>(parent), cell_(new QKTextImageCell(this)) {
  setItemDelegate(cell_);
  setUniformRowHeights(true);
  tableRedrawNotification();
}

bool QKNSOutlineView::keepsKey(const QKeyEvent& event) const {
  switch (event.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      return true;
    default:
      return false;
  }
}

// The rows come from the cell's size hint.
void QKNSOutlineView::applyRowHeight(double textHeight) {
  rowHeight_ = std::max(1, static_cast<int>(std::ceil(textHeight - 2.0)));
  cell_->setRowHeight(rowHeight_);
  doItemsLayout();
}
