#pragma once

#include "framework/curves/QKSingleSplineView.h"

#include <QColor>

// A curve view with a play-position line: the curve as the editor draws it,
// then a one-point line at the fractional part of the current time (in
// cycles) across the width.
class WaveformView : public QKSingleSplineView {
  Q_OBJECT
 public:
  explicit WaveformView(QWidget* parent = nullptr);

  float currentTime() const { return currentTime_; }
  // Redraws only when the time changed.
  void setCurrentTime(float time);
  QColor currentTimeLineColor() const { return currentTimeLineColor_; }
  // Where the line stands for the current time, from the left edge.
  double currentTimeLineX() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  float currentTime_ = 0.0f;
  QColor currentTimeLineColor_ = QColor::fromRgbF(0.0f, 1.0f, 0.0f, 0.8f);
};
