#pragma once

#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/controls/SliderPainter.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "platform/foundation/MainThread.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// Slider controls in a window, with the real slider manager and a
// data-source controller that ticks only when asked, so selection runs its
// whole course. The window (and the controls in it) goes first.
class SliderViewFixture {
 public:
  SliderViewFixture() {
    manager.setDataSourceController(&dsc);
    dsc.setSliderManager(&manager);
    window = std::make_unique<QWidget>();
    window->resize(400, 300);
  }
  ~SliderViewFixture() {
    window.reset();
    dsc.setSliderManager(nullptr);
  }

  // A control at `geometry` in the window, with an action that counts.
  QKSliderControl* control(const QRect& geometry, QKSliderControl* made = nullptr) {
    QKSliderControl* c = made ? made : new QKSliderControl;
    c->setParent(window.get());
    c->setFrame(geometry);
    c->setTarget(target);
    c->setAction([this](QKSliderCell&) { ++actions; });
    c->show();
    return c;
  }

  // A widget point for a point in the slider's own coordinates.
  static QPoint at(const QKSliderControl* c, double along, double across) {
    const bool vertical = c->height() > c->width();
    return SliderPainter::toWidget(QSizeF(c->size()), vertical)
        .map(QPointF(along, across))
        .toPoint();
  }

  // Binds the slider to a source holding `value`.
  std::shared_ptr<DSFloatInfrequent> bind(QKSliderControl* c, const KeyPath& path, float value) {
    auto source = DSFloatInfrequent::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(source, path));
    EXPECT_TRUE(c->useThisSource(path));
    c->setSyncFlag(true);
    source->setValue(value);
    return source;
  }

  // Mouse events straight to a widget.
  static void mouse(QWidget* w, QEvent::Type type, const QPoint& at,
                    Qt::MouseButton button = Qt::LeftButton,
                    Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, keys);
    QApplication::sendEvent(w, &event);
  }

  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  static QImage picture(QWidget* w) {
    settle();
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKSliderManager manager;
  std::shared_ptr<int> target = std::make_shared<int>(0);
  int actions = 0;
  std::unique_ptr<QWidget> window;
};
