#include "framework/params/QKPositionUI.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceMenuAdapter.h"
#include "framework/toolkit/ControllerFinder.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

QKPositionUI::QKPositionUI(QWidget* parent, float aspectRatio) : QKAspectPad(parent, aspectRatio) {
  findDataSourceController(this);
}

void QKPositionUI::setXVal(float x) {
  x_.store(std::clamp(x, 0.0f, 1.0f));
  requestRepaint();
}

void QKPositionUI::setYVal(float y) {
  y_.store(std::clamp(y, 0.0f, 1.0f));
  requestRepaint();
}

QString QKPositionUI::description() const {
  return QString::asprintf("<QKPositionUI:%f,%f>", double(xVal()), double(yVal()));
}

void QKPositionUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintBackground(painter);
  const QPointF centre = toView(xVal(), yVal());
  painter.fillRect(QRectF(centre.x() - 5, centre.y() - 5, 10, 10), Qt::red);
}

QMenu* QKPositionUI::prepRawMenu() {
  if (!dataSourceController_) return nullptr;
  QMenu* menu =
      DataSourceMenuAdapter::createMenu(dataSourceController_->getPointDataSourcesMenu(), this);
  if (!menu) return nullptr;
  connect(menu, &QMenu::triggered, this, [this](QAction* item) { pointHolderChosen(item); });
  connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
  return menu;
}

void QKPositionUI::pointHolderChosen(const QAction* item) {
  const KeyPath path = DataSourceMenuAdapter::keyPathForAction(item);
  if (!path.isEmpty() && onChosen_) onChosen_(path);
}

void QKPositionUI::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    rightMouseDown_ = true;
    if (QMenu* menu = prepRawMenu()) menu->popup(event->globalPosition().toPoint());
    return;
  }
  rightMouseDown_ = false;
  if (event->button() == Qt::LeftButton) dragTo(event->position());
}

void QKPositionUI::mouseMoveEvent(QMouseEvent* event) {
  if (rightMouseDown_ || !(event->buttons() & Qt::LeftButton)) return;
  dragTo(event->position());
}

void QKPositionUI::dragTo(const QPointF& at) {
  const QRectF active = activeRect();
  if (active.width() <= 0 || active.height() <= 0) return;
  setXVal(float((at.x() - active.x()) / active.width()));
  setYVal(float((active.bottom() - at.y()) / active.height()));
  update();
  sendAction();
}
