#include "framework/datasource/QKDSBuiltIn.h"

#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DataSourceController.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {

QRectF mainDisplayBounds() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? QRectF(screen->geometry()) : QRectF();
}

}  // namespace

std::shared_ptr<QKDSBuiltIn> QKDSBuiltIn::createWithController(DataSourceController* controller) {
  std::shared_ptr<QKDSBuiltIn> builtIn(new QKDSBuiltIn(controller, mainDisplayBounds()));
  builtIn->install();
  return builtIn;
}

QKDSBuiltIn::QKDSBuiltIn(DataSourceController* controller, QRectF displayRect)
    : dataSourceController_(controller), displayRect_(displayRect) {}

void QKDSBuiltIn::install() {
  mousePointHolder_ = DSPointHolder::createWithName(QStringLiteral("Mouse"));
  mousePointHolder_->setDelegate(std::weak_ptr<DSPointHolderDelegate>(shared_from_this()));
  if (dataSourceController_)
    dataSourceController_->setDataSource(mousePointHolder_, KeyPath{QStringLiteral("Mouse")});
}

float QKDSBuiltIn::xValForPointHolder(DSPointHolder*) { return x_.load(std::memory_order_relaxed); }

float QKDSBuiltIn::yValForPointHolder(DSPointHolder*) { return y_.load(std::memory_order_relaxed); }

QPointF QKDSBuiltIn::normalizedPointer(QPointF position, QRectF mainDisplay) {
  if (mainDisplay.width() <= 0.0 || mainDisplay.height() <= 0.0) return {};
  const double fromLeft = position.x() - mainDisplay.left();
  const double fromBottom = mainDisplay.top() + mainDisplay.height() - position.y();
  return {fromLeft / mainDisplay.width(), fromBottom / mainDisplay.height()};
}

void QKDSBuiltIn::setGlobalPointerPosition(QPointF position) {
  const QPointF normalized = normalizedPointer(position, displayRect_);
  x_.store(static_cast<float>(normalized.x()), std::memory_order_relaxed);
  y_.store(static_cast<float>(normalized.y()), std::memory_order_relaxed);
}

void QKDSBuiltIn::samplePointer() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  setGlobalPointerPosition(QCursor::pos());
}
