#pragma once

#include "framework/toolkit/ThemedItemView.h"

#include <QTableView>

// A themed table: colours, font and row height (the height of the text)
// from the table colour dictionary; up and down arrows move the selection,
// every other key goes to the data-source controller. Cells draw through a
// QKTextImageCell.
class QKNSTableView : public ThemedItemView<QTableView> {
  Q_OBJECT
 public:
  explicit QKNSTableView(QWidget* parent = nullptr);
  // The height of every row (Qt's rowHeight(row) answers for one row).
  int rowHeight() const;
  using QTableView::rowHeight;

 protected:
  bool keepsKey(const QKeyEvent& event) const override;
  void applyRowHeight(double textHeight) override;
};
