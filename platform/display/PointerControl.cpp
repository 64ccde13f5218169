#include "platform/display/PointerControl.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {

class SystemPointer : public PointerControl {
 public:
  QSize mainDisplayPixels() const override {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return screen->size() * screen->devicePixelRatio();
  }
  bool moveTo(QPoint pixel) override {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return false;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    const double ratio = screen->devicePixelRatio();
    QCursor::setPos(screen, QPoint(int(pixel.x() / ratio), int(pixel.y() / ratio)) +
                                screen->geometry().topLeft());
    return true;
  }
};

}  // namespace

std::unique_ptr<PointerControl> PointerControl::system() {
  return std::make_unique<SystemPointer>();
}
