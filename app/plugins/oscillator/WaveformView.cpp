#include "app/plugins/oscillator/WaveformView.h"

#include <QPainter>

#include <cmath>

WaveformView::WaveformView(QWidget* parent) : QKSingleSplineView(parent) {}

void WaveformView::setCurrentTime(float time) {
  if (time == currentTime_) return;
  currentTime_ = time;
  update();
}

double WaveformView::currentTimeLineX() const {
  const double time = currentTime_;
  if (!std::isfinite(time)) return 0.0;
  return (time - std::floor(time)) * width();
}

void WaveformView::paintEvent(QPaintEvent* event) {
  QKSingleSplineView::paintEvent(event);
  if (deleted()) return;
  QPainter painter(this);
  painter.setPen(QPen(currentTimeLineColor_, 1.0));
  const double x = currentTimeLineX();
  painter.drawLine(QPointF(x, 0), QPointF(x, height()));
}
