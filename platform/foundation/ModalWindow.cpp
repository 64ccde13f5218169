#include "platform/foundation/ModalWindow.h"

#include "platform/foundation/MainThread.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

std::atomic<bool> watchedOpen{false};
std::atomic<int> overrideState{-1};  // -1 none, 0 closed, 1 open
std::atomic<bool> installed{false};

// Counts the modal windows that are shown; runs on the main thread.
class ModalWatcher : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::Destroy) {
      if (watched->isWidgetType()) update(static_cast<QWidget*>(watched), type);
    }
    return false;
  }

 private:
  void update(QWidget* widget, QEvent::Type type) {
    std::erase_if(shown_, [](const QPointer<QWidget>& w) { return w.isNull(); });
    const bool modal = widget->isWindow() && widget->windowModality() != Qt::NonModal;
    auto it = std::find(shown_.begin(), shown_.end(), widget);
    if (type == QEvent::Show && modal) {
      if (it == shown_.end()) shown_.emplace_back(widget);
    } else if (type != QEvent::Show && it != shown_.end()) {
      shown_.erase(it);
    }
    watchedOpen = !shown_.empty();
  }

  std::vector<QPointer<QWidget>> shown_;
};

}  // namespace

void ModalWindow::install() {
  if (!MainThread::isMainThread() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return;
  if (installed.exchange(true)) return;
  auto* watcher = new ModalWatcher(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(watcher);
  watchedOpen = QApplication::activeModalWidget() != nullptr;
}

bool ModalWindow::isOpen() {
  const int forced = overrideState.load();
  if (forced >= 0) return forced == 1;
  if (!installed.load() && MainThread::isMainThread()) install();
  return watchedOpen.load();
}

void ModalWindow::setOverride(std::optional<bool> open) {
  overrideState = open ? (*open ? 1 : 0) : -1;
}
