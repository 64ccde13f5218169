#include "platform/display/PointerControl.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {

class SystemPointer : public PointerControl {
 public:
  ~SystemPointer() override { show(); }

  QSize mainDisplayPixels() const override {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return screen->size() * screen->devicePixelRatio();
  }
  QPoint position() const override {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QPoint local = QCursor::pos(screen) - screen->geometry().topLeft();
    const double ratio = screen->devicePixelRatio();
    return {int(local.x() * ratio), int(local.y() * ratio)};
  }
  bool canMove() const override {
    return QGuiApplication::primaryScreen() &&
           !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  }
  bool moveTo(QPoint pixel) override {
    if (!canMove()) return false;
    QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen->devicePixelRatio();
    QCursor::setPos(screen, QPoint(int(pixel.x() / ratio), int(pixel.y() / ratio)) +
                                screen->geometry().topLeft());
    return true;
  }
  void hide() override {
    if (hidden_ || !qGuiApp) return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    hidden_ = true;
  }
  void show() override {
    if (!hidden_) return;
    hidden_ = false;
    if (qGuiApp) QGuiApplication::restoreOverrideCursor();
  }
  bool hidden() const override { return hidden_; }

 private:
  bool hidden_ = false;
};

}  // namespace

std::unique_ptr<PointerControl> PointerControl::system() {
  return std::make_unique<SystemPointer>();
}
