#include "framework/datasource/QKDSBuiltIn.h"

#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DataSourceController.h"

#include <QCryptographicHash>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>

namespace {

const QScreen* mainScreen() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::primaryScreen();
}

}  // namespace

std::shared_ptr<QKDSBuiltIn> QKDSBuiltIn::createWithController(DataSourceController* controller) {
  const QScreen* screen = mainScreen();
  const std::uint32_t display =
      screen ? displayIdentifier(screen->name(), screen->serialNumber()) : 0;
  const QRectF bounds = screen ? QRectF(screen->geometry()) : QRectF();
  std::shared_ptr<QKDSBuiltIn> builtIn(new QKDSBuiltIn(controller, display, bounds));
  builtIn->install();
  return builtIn;
}

QKDSBuiltIn::QKDSBuiltIn(DataSourceController* controller, std::uint32_t mainDisplay,
                         QRectF displayRect)
    : dataSourceController_(controller), mainDisplay_(mainDisplay), displayRect_(displayRect) {}

std::uint32_t QKDSBuiltIn::displayIdentifier(const QString& name, const QString& serialNumber) {
  const QByteArray digest = QCryptographicHash::hash(name.toUtf8() + '\n' + serialNumber.toUtf8(),
                                                     QCryptographicHash::Sha1);
  const auto identifier = qFromBigEndian<std::uint32_t>(digest.constData());
  return identifier ? identifier : 1;
}

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
