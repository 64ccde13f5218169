#pragma once

#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/WindowMenuControllerClient.h"
#include "framework/toolkit/WindowMenuControllerInterface.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

// Stands in for the Window menu's controller: answers the finder and posts
// lock changes with itself as object.
class FakeMenuController : public WindowMenuControllerInterface {
 public:
  FakeMenuController() {
    observers_.observe(
        QString::fromLatin1(PaletteNotifications::FindWindowMenuController), nullptr,
        [this](const Notification& n) {
          ++finderAnswers;
          static_cast<WindowMenuControllerClient*>(n.object)->setMenuController(this);
        });
  }
  bool interfaceLock() const override { return lock; }
  bool interfaceLockAll() const override { return lockAll; }
  void setLocks(bool newLock, bool newLockAll, bool postWithObject = true) {
    lock = newLock;
    lockAll = newLockAll;
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(PaletteNotifications::LockChanged),
        postWithObject ? static_cast<WindowMenuControllerInterface*>(this) : nullptr);
  }
  void stopAnswering() { observers_.clear(); }

  bool lock = false;
  bool lockAll = false;
  int finderAnswers = 0;

 private:
  NotificationObservers observers_;
};

// Counts redraw requests.
class CountingContentView : public QKWindowContentView {
 public:
  void setNeedsDisplay() override {
    ++redraws;
    QKWindowContentView::setNeedsDisplay();
  }
  int redraws = 0;
};

// A palette made in code, as a layout would make it; prepared for deletion
// when it goes.
struct PaletteDeleter {
  void operator()(QKWindow* window) const {
    if (!window->deleted()) window->prepareToBeDeleted();
    delete window;
  }
};
using PalettePtr = std::unique_ptr<QKWindow, PaletteDeleter>;

inline CountingContentView* viewOf(const PalettePtr& palette) {
  return static_cast<CountingContentView*>(palette->contentView());
}

inline bool waitForFrame(QKWindow* window, const QRectF& frame) {
  return MainThread::processUntil([&] { return window->frame() == frame; }, 3.0);
}

// `frame` in bottom-left screen coordinates. Shown windows wait until the
// server has shown them.
inline PalettePtr makePalette(const QString& title, const QRectF& frame, bool fixed = true,
                              bool show = true) {
  PalettePtr window(fixed ? new QKPaletteWindow(frame) : new QKWindow(frame));
  window->setWindowTitle(title);
  window->setContentView(new CountingContentView);
  if (show) {
    window->show();
    MainThread::processUntil(
        [&] { return window->windowHandle() && window->windowHandle()->isExposed(); }, 3.0);
  }
  window->awakeFromNib();
  return window;
}

// Mouse events as the window system sends them: a press at a point of the
// view (Qt coordinates), moves by an offset from where the press was on the
// screen, and the release.
class MouseDrag {
 public:
  MouseDrag(QWidget* view, QPointF local, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
            Qt::MouseButton button = Qt::LeftButton, bool doubleClick = false)
      : view_(view),
        local_(local),
        start_(view->mapToGlobal(local.toPoint())),
        modifiers_(modifiers),
        button_(button) {
    send(doubleClick ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress, {});
  }
  void moveBy(QPointF offset) {
    last_ = offset;
    send(QEvent::MouseMove, offset);
  }
  void release() { send(QEvent::MouseButtonRelease, last_); }

 private:
  void send(QEvent::Type type, QPointF offset) {
    const bool releasing = type == QEvent::MouseButtonRelease;
    QMouseEvent event(type, local_ + offset, start_ + offset,
                      type == QEvent::MouseMove ? Qt::NoButton : button_,
                      releasing ? Qt::MouseButtons() : Qt::MouseButtons(button_), modifiers_);
    QApplication::sendEvent(view_, &event);
  }

  QWidget* view_;
  QPointF local_;
  QPointF start_;
  QPointF last_;
  Qt::KeyboardModifiers modifiers_;
  Qt::MouseButton button_;
};

#define SKIP_WITHOUT_DISPLAY() \
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "palettes are real windows"
