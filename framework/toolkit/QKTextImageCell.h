#pragma once

#include <QImage>
#include <QStyledItemDelegate>

#include <functional>

class QMouseEvent;

// The text cell of the themed lists, with an optional image in a square at
// the trailing end of the cell (side: the cell's height). The text draws in
// the view's font and text colour (the theme's, on a themed list); the image
// is the row's own (a QImage or QPixmap under Qt::DecorationRole) or else the
// cell's, drawn source-atop. A press in the image square runs the image
// action and neither selects nor edits; elsewhere the cell behaves as Qt's.
// Main thread only.
class QKTextImageCell : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using ImageAction = std::function<void(const QModelIndex& index, const QMouseEvent& event)>;

  explicit QKTextImageCell(QObject* parent = nullptr);

  // A null image clears it; the source rectangle is the whole image.
  void setImage(const QImage& image);
  QImage image() const { return image_; }
  QRectF imageSrcRect() const { return QRectF(QPointF(0, 0), image_.size()); }
  void setImageAction(ImageAction action) { imageAction_ = std::move(action); }
  // The row height asked of the view (0: Qt's own).
  void setRowHeight(int height) { rowHeight_ = height; }
  int rowHeight() const { return rowHeight_; }

  // The image square of a cell frame: side h at the trailing end.
  static QRect imageSquare(const QRect& cell);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 protected:
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 private:
  QImage imageFor(const QModelIndex& index) const;

  QImage image_;
  ImageAction imageAction_;
  int rowHeight_ = 0;
};
