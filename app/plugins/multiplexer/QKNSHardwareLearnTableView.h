#pragma once

#include "framework/toolkit/ActiveDeleteTableView.h"

#include <QPoint>
#include <QPointF>
#include <QString>

class QKNSHardwareLearnTableViewDelegate;

// A list whose rows carry learnable shortcuts. In hardware-learn mode a
// click makes the owner the learn target and the list is veiled in blue;
// a click in the column whose header identifier is "shortcut" starts,
// restarts or clears that row's learning (as does any click while the
// owner is already the target in learn mode). The ordinary selection and
// editing follow every click.
class QKNSHardwareLearnTableView : public ActiveDeleteTableView {
  Q_OBJECT
 public:
  static const QString kShortcutIdentifier;  // "shortcut"
  static constexpr int kIdentifierRole = Qt::UserRole + 40;

  explicit QKNSHardwareLearnTableView(QWidget* parent = nullptr);
  void setLearnDelegate(QKNSHardwareLearnTableViewDelegate* delegate) { learnDelegate_ = delegate; }

  // Column index in x, row in y; -1 where the last click hit none.
  QPoint lastClickedColAndRow() const { return lastClickedColAndRow_; }
  QPointF lastClickedPoint() const { return lastClickedPoint_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool isShortcutColumn(int column) const;

  QKNSHardwareLearnTableViewDelegate* learnDelegate_ = nullptr;
  QPointF lastClickedPoint_;
  QPoint lastClickedColAndRow_{-1, -1};
};
