#pragma once

#include <QRectF>
#include <QStyledItemDelegate>

class QMenu;

// The pop-up picture as a list cell: the row's display text is the selected
// title (none: frame, box and arrow only). The shapes are made for every
// draw. Main thread only.
class QKFallThruPopUpButtonCell : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit QKFallThruPopUpButtonCell(QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // The frame last drawn (moved by one pixel, one pixel lower).
  QRectF lastRenderedRect() const { return lastRenderedRect_; }

  // The index of the first top-level item of `menu` whose tool tip is
  // `toolTip`, −1 when none is.
  static int indexOfItemWithToolTip(const QMenu* menu, const QString& toolTip);

 private:
  mutable QRectF lastRenderedRect_;
};
