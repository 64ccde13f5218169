#include "framework/params/QKColorUI.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceMenuAdapter.h"
#include "framework/toolkit/ControllerFinder.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

QKColorUI::QKColorUI(QWidget* parent) : QWidget(parent), repaint_(this) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  findDataSourceController(this);
}

void QKColorUI::setColorWithRed(float red, float green, float blue) {
  const bool changed = red != red_.load() || green != green_.load() || blue != blue_.load();
  red_.store(red);
  green_.store(green);
  blue_.store(blue);
  if (changed) repaint_.request();
}

void QKColorUI::setFillColor(const QColor& colour) {
  setColorWithRed(float(colour.redF()), float(colour.greenF()), float(colour.blueF()));
}

QColor QKColorUI::color() const {
  return QColor::fromRgbF(red_.load(), green_.load(), blue_.load(), 1);
}

void QKColorUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), color());
}

QMenu* QKColorUI::prepRawMenu() {
  if (!dataSourceController_) return nullptr;
  QMenu* menu =
      DataSourceMenuAdapter::createMenu(dataSourceController_->getColorDataSourcesMenu(), this);
  if (!menu) return nullptr;
  connect(menu, &QMenu::triggered, this, [this](QAction* item) { colorHolderChosen(item); });
  connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
  return menu;
}

void QKColorUI::colorHolderChosen(const QAction* item) {
  const KeyPath path = DataSourceMenuAdapter::keyPathForAction(item);
  if (!path.isEmpty() && onChosen_) onChosen_(path);
}

void QKColorUI::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  if (QMenu* menu = prepRawMenu()) menu->popup(event->globalPosition().toPoint());
}
