#include "app/shell/PMMissingFilesLocateTableColumn.h"

#include "app/shell/PMMissingFilesOutlineModel.h"
#include "framework/media/QKFile.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

PMMissingFilesLocateTableColumn::PMMissingFilesLocateTableColumn(PMMissingFilesOutlineModel* model,
                                                                 QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

bool PMMissingFilesLocateTableColumn::showsButton(const QModelIndex& index) const {
  const PMMissingFilesOutlineModel::Item* item = model_->itemAt(index);
  return item && item->file && !item->file->validFile();
}

QRect PMMissingFilesLocateTableColumn::buttonRect(const QRect& cell) {
  const int width = std::min(cell.width() - 4, 64);
  return QRect(cell.left() + 2, cell.top() + 1, std::max(width, 0), std::max(cell.height() - 2, 0));
}

void PMMissingFilesLocateTableColumn::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
  if (!showsButton(index)) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionButton button;
  button.rect = buttonRect(option.rect);
  button.text = locateTitle();
  button.state = QStyle::State_Enabled | QStyle::State_Raised;
  QFont small = option.font;
  small.setPointSizeF(small.pointSizeF() * 0.85);
  painter->save();
  painter->setFont(small);
  button.fontMetrics = QFontMetrics(small);
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
  painter->restore();
}

QSize PMMissingFilesLocateTableColumn::sizeHint(const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(std::max(size.height(), option.fontMetrics.height() + 6));
  return size;
}

bool PMMissingFilesLocateTableColumn::editorEvent(QEvent* event, QAbstractItemModel* model,
                                                  const QStyleOptionViewItem& option,
                                                  const QModelIndex& index) {
  if (event->type() != QEvent::MouseButtonRelease || !showsButton(index)) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton) return false;
  if (!buttonRect(option.rect).contains(mouse->position().toPoint())) return false;
  model->setData(index, 1, Qt::EditRole);
  return true;
}
