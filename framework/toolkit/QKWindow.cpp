#include "framework/toolkit/QKWindow.h"

#include "framework/render/TheApplication.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include <utility>

QKWindow::QKWindow(const QRectF& frame, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_ShowWithoutActivating, false);
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!frame.isEmpty()) setFrame(frame);
}

QKWindow::~QKWindow() {
  deleted_ = true;
  // The view goes while the window is still whole.
  delete std::exchange(contentView_, nullptr);
  announceRemoval();
}

void QKWindow::setContentView(QKWindowContentView* view) {
  if (contentView_ == view) return;
  delete contentView_;
  contentView_ = view;
  if (!view) return;
  view->setParent(this);
  view->setGeometry(rect());
  view->show();
}

void QKWindow::awakeFromNib() {
  if (contentView_) contentView_->awakeFromNib();
}

void QKWindow::setTitle(const QString& title) {
  if (contentView_) contentView_->setPaletteName(title);
  setWindowTitle(title);
}

void QKWindow::prepareToBeDeleted() {
  deleted_ = true;
  announceRemoval();
  if (contentView_) contentView_->prepareToBeDeleted();
}

void QKWindow::announceRemoval() {
  if (removalAnnounced_) return;
  removalAnnounced_ = true;
  NotificationCenter::defaultCenter().post(QString::fromLatin1(PaletteNotifications::RemoveWindow),
                                           this);
}

void QKWindow::selectedInWindowMenu() {
  if (contentView_) contentView_->bringOnScreen();
  makeKeyAndOrderFront();
}

void QKWindow::makeKeyAndOrderFront() {
  show();
  raise();
  activateWindow();
}

QRectF QKWindow::frame() const {
  return PaletteGeometry::fromQt(QRectF(geometry()), mainScreenFrame().height());
}

void QKWindow::setFrame(const QRectF& frame) {
  const QRectF qt = PaletteGeometry::toQt(frame, mainScreenFrame().height());
  setGeometry(qt.toRect());
}

QRectF QKWindow::mainScreenFrame() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return QRectF(0, 0, screen->geometry().width(), screen->geometry().height());
}

QColor QKWindow::windowFillColor() {
  const TheApplication* app = TheApplication::instance();
  if (!app) return {};
  return app->winColorDict()
      .value(QStringLiteral("unlocked"))
      .toMap()
      .value(QStringLiteral("fill"))
      .value<QColor>();
}

bool QKWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && contentView_) contentView_->windowBecameKey();
  return QWidget::event(event);
}

void QKWindow::keyPressEvent(QKeyEvent* event) {
  if (contentView_) contentView_->keyDown(event);
}

// Releases go the same way: the data-source controller tells them apart.
void QKWindow::keyReleaseEvent(QKeyEvent* event) {
  if (contentView_) contentView_->keyDown(event);
}

void QKWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (contentView_) contentView_->setGeometry(rect());
}
