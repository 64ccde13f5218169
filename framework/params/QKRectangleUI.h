#pragma once

#include "framework/params/QKAspectPad.h"

// The pad of a rectangle element: the rectangle between its four edges in
// red. It takes no mouse input. The setters keep
// 0 ≤ left ≤ right ≤ 1 and 0 ≤ bottom ≤ top ≤ 1; any thread may call them.
class QKRectangleUI : public QKAspectPad {
  Q_OBJECT
 public:
  QKRectangleUI(QWidget* parent, float aspectRatio);

  // Left edge, clamped to 0..right.
  void setXPos(float x);
  // Bottom edge, clamped to 0..top.
  void setYPos(float y);
  // Right edge, clamped to left..1.
  void setWidth(float right);
  // Top edge, clamped to bottom..1.
  void setHeight(float top);
  float xPos() const { return left_.load(); }
  float yPos() const { return bottom_.load(); }
  float rightEdge() const { return right_.load(); }
  float topEdge() const { return top_.load(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::atomic<float> left_{0};
  std::atomic<float> bottom_{0};
  std::atomic<float> right_{1};
  std::atomic<float> top_{1};
};
