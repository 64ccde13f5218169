#include "framework/toolkit/QKNSTableView.h"

#include "framework/toolkit/QKTextImageCell.h"

#include <QHeaderView>

#include <cmath>

QKNSTableView::QKNSTableView(QWidget* parent) : ThemedItemView<QTableView>(parent) {
  setItemDelegate(new QKTextImageCell(this));
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  tableRedrawNotification();
}

int QKNSTableView::rowHeight() const { return verticalHeader()->defaultSectionSize(); }

bool QKNSTableView::keepsKey(const QKeyEvent& event) const {
  return event.key() == Qt::Key_Up || event.key() == Qt::Key_Down;
}

void QKNSTableView::applyRowHeight(double textHeight) {
  verticalHeader()->setDefaultSectionSize(std::max(1, static_cast<int>(std::ceil(textHeight))));
}
