#include "app/mediabin/MBPageButton.h"

MBPageButton::MBPageButton(QWidget* parent) : QKButton(MBPageButtonCell::create(), parent) {}

MBPageButton* MBPageButton::createWithFrame(const QRectF& frame, QWidget* parent) {
  auto* button = new MBPageButton(parent);
  button->setFrame(frame);
  return button;
}

MBPageButtonCell& MBPageButton::pageCell() const { return static_cast<MBPageButtonCell&>(*cell()); }

void MBPageButton::setPageId(long pageId) {
  if (deleted()) return;
  pageCell().setPageId(pageId);
  update();
}
