#pragma once

#include "app/mediabin/MBPageButtonCell.h"
#include "framework/controls/QKButton.h"

// A page tab: a learnable button whose cell names its page.
class MBPageButton : public QKButton {
  Q_OBJECT
 public:
  explicit MBPageButton(QWidget* parent = nullptr);
  static MBPageButton* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);

  MBPageButtonCell& pageCell() const;
  long pageId() const { return pageCell().pageId(); }
  // Nothing once the tab is prepared for deletion.
  void setPageId(long pageId);
};
