#include "app/compositor/FullscreenDisplaysWindow.h"

#include <QVBoxLayout>

FullscreenDisplaysWindow::FullscreenDisplaysWindow(
    FullscreenDisplaysUIController::FlagsHandler handFlags)
    : QWidget(nullptr, Qt::Window) {
  setWindowTitle(QStringLiteral("Fullscreen Displays"));
  auto* layout = new QVBoxLayout(this);
  auto* matrix = new QWidget(this);
  chooser_ = new FullscreenDisplaysUIController(matrix, std::move(handFlags), this);
  chooser_->setFixedSize(200, 100);
  layout->addWidget(chooser_);
  layout->addWidget(matrix);
  layout->addStretch();
  resize(220, 200);
}
