#pragma once

#include "framework/toolkit/ThemedItemView.h"

#include <QTreeView>

class QKTextImageCell;

// A themed outline: as the themed table, with rows 2 pixels lower than the
// text and all four arrows kept (left and right collapse and expand).
class QKNSOutlineView : public ThemedItemView<QTreeView> {
  Q_OBJECT
 public:
  explicit QKNSOutlineView(QWidget* parent = nullptr);
  int rowHeight() const { return rowHeight_; }

 protected:
  bool keepsKey(const QKeyEvent& event) const override;
  void applyRowHeight(double textHeight) override;

 private:
  QKTextImageCell* cell_;
  int rowHeight_ = 0;
};
