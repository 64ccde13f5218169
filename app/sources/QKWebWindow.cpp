#include "app/sources/QKWebWindow.h"

QKWebWindow* QKWebWindow::create() { return new QKWebWindow; }

QKWebWindow::QKWebWindow() : QWidget(nullptr, Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_DontShowOnScreen);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::black);
  setPalette(colours);
  setGeometry(0, 0, 320, 240);
}
