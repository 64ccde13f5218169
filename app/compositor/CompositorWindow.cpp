#include "app/compositor/CompositorWindow.h"

#include "app/compositor/CompositorCustomWindow.h"
#include "app/compositor/CompositorGLView.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"

#include <QPushButton>

namespace {
constexpr int kToggleType = 1;
}

CompositorWindow::CompositorWindow(CompositorGLView* view, std::function<void()> openDisplayChooser)
    : view_(view), window_(std::make_unique<QKPaletteWindow>(QRectF(20, 420, 220, 110))) {
  window_->setContentView(new QKWindowContentView);
  window_->setTitle(QStringLiteral("Compositor"));
  window_->setDelegate(this);
  QWidget* body = window_->contentView()->body();
  displayToggle_ = makeToggle(QStringLiteral("Display"), 8, [this] { displayToggleUsed(); });
  fullscreenToggle_ =
      makeToggle(QStringLiteral("Fullscreen"), 32, [this] { fullscreenToggleUsed(); });
  chooserButton_ = new QPushButton(QStringLiteral("Fullscreen Displays…"), body);
  chooserButton_->setGeometry(8, 56, 150, 22);
  QObject::connect(chooserButton_, &QPushButton::clicked, chooserButton_,
                   [open = std::move(openDisplayChooser)] {
                     if (open) open();
                   });
  // A refused fullscreen request resets the toggle.
  view_->setFullscreenRefusedHook([this] { fullscreenToggle_->setIntValue(0, false); });
}

CompositorWindow::~CompositorWindow() {
  view_->setFullscreenRefusedHook({});
  NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCRemoveWindowNotification"),
                                           window_.get());
  displayToggle_->prepareToBeDeleted();
  fullscreenToggle_->prepareToBeDeleted();
}

QKButton* CompositorWindow::makeToggle(const QString& title, int y, std::function<void()> used) {
  auto* button = new QKButton(window_->contentView()->body());
  button->setFrame(QRectF(8, y, 100, 18));
  button->setButtonType(kToggleType);
  button->setTitle(title);
  button->setTitle2(title);
  button->setTriggerOnMain(true);
  button->setAction([alive = std::weak_ptr<int>(alive_), used = std::move(used)](QKButtonCell&) {
    if (alive.lock()) used();
  });
  button->awakeFromNib();
  return button;
}

void CompositorWindow::show() {
  window_->show();
  NotificationCenter::defaultCenter().post(QStringLiteral("QKWMCAddPaletteWindowNotification"),
                                           window_.get());
}

void CompositorWindow::displayToggleUsed() {
  const int wanted = displayToggle_->intValue();
  if (wanted != 0 && wanted != 1) return;
  displaying_ = view_->displayLinkRunning();
  if (displaying_ == bool(wanted)) return;
  displaying_ = wanted;
  if (displaying_) {
    view_->window()->show();
    view_->startDisplayLink();
  } else {
    view_->stopDisplayLink();
  }
}

void CompositorWindow::fullscreenToggleUsed() {
  view_->setFullscreen(fullscreenToggle_->intValue() == 1);
}
