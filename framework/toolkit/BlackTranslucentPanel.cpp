#include "framework/toolkit/BlackTranslucentPanel.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/ControllerFinder.h"

#include <QKeyEvent>
#include <QPainter>

BlackTranslucentPanel::BlackTranslucentPanel(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, (flags & ~Qt::WindowType_Mask) | Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
  findDataSourceController(this);
}

void BlackTranslucentPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), bgColor_);
}

void BlackTranslucentPanel::keyPressEvent(QKeyEvent* event) { forwardKey(event); }

void BlackTranslucentPanel::keyReleaseEvent(QKeyEvent* event) { forwardKey(event); }

void BlackTranslucentPanel::forwardKey(QKeyEvent* event) {
  if (!controller_) findDataSourceController(this);
  if (controller_) controller_->keyDown(event);
  event->accept();
}

void BlackTranslucentPanel::showAsSheetOn(const QWidget* window) {
  if (!window) return;
  const QRect area = window->geometry();
  move(area.x() + (area.width() - width()) / 2, area.y() + kSheetTop);
  show();
  raise();
}

void BlackTranslucentPanel::closeSheet() {
  if (isVisible()) hide();
}
