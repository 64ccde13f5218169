#include "framework/toolkit/QKTextImageCell.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

QKTextImageCell::QKTextImageCell(QObject* parent) : QStyledItemDelegate(parent) {}

void QKTextImageCell::setImage(const QImage& image) { image_ = image; }

QRect QKTextImageCell::imageSquare(const QRect& cell) {
  return QRect(cell.x() + cell.width() - cell.height(), cell.y(), cell.height(), cell.height());
}

QImage QKTextImageCell::imageFor(const QModelIndex& index) const {
  const QVariant decoration = index.data(Qt::DecorationRole);
  if (decoration.typeId() == QMetaType::QImage) return decoration.value<QImage>();
  if (decoration.typeId() == QMetaType::QPixmap) return decoration.value<QPixmap>().toImage();
  return image_;
}

void QKTextImageCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyleOptionViewItem text(option);
  initStyleOption(&text, index);
  text.features &= ~QStyleOptionViewItem::HasDecoration;
  text.icon = QIcon();
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  style->drawControl(QStyle::CE_ItemViewItem, &text, painter, widget);
  const QImage image = imageFor(index);
  if (!image.isNull()) {
    painter->setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter->drawImage(QRectF(imageSquare(option.rect)), image, QRectF(image.rect()));
  }
  painter->restore();
}

QSize QKTextImageCell::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  if (rowHeight_ > 0) size.setHeight(rowHeight_);
  return size;
}

// Press, release and double click in the image square are the image's: the
// action runs on the press, and the view neither selects nor edits.
bool QKTextImageCell::editorEvent(QEvent* event, QAbstractItemModel* model,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
  const QEvent::Type type = event->type();
  const bool click = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                     type == QEvent::MouseButtonDblClick;
  if (click && !imageFor(index).isNull()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (imageSquare(option.rect).contains(mouse->position().toPoint())) {
      if (type == QEvent::MouseButtonPress && imageAction_) imageAction_(index, *mouse);
      return true;
    }
  }
  return QStyledItemDelegate::editorEvent(event, model, option, index);
}
