#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

class QTabWidget;
class TriangleView;

// Maps the value through a triangle: 0 at 0, the peak height at the centre,
// 0 again at 1. Centre and peak come from two sliders or from dragging in
// the panel's graph (TriangleView).
class Trianglize : public Behavior {
 public:
  explicit Trianglize(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Trianglize"); }
  void processPassedPtr(void* passed) override;
  void prepareToBeDeleted() override;

  // The sliders' actions: the field follows the slider, the graph redraws.
  void setCenterSlider(QKSliderCell& sender);
  void setHeightSlider(QKSliderCell& sender);
  float centerVal() const { return centerVal_.load(); }
  float heightVal() const { return heightVal_.load(); }
  // From the graph (no redraw).
  void setCenterVal(float center);
  void setHeightVal(float height);

  TriangleView* triangleView() const { return triangleView_.load(); }
  QKSliderControl* centerSlider() const { return toCenterSlider_; }
  QKSliderControl* heightSlider() const { return toHeightSlider_; }

 protected:
  void wakeUp() override;

 private:
  std::atomic<float> centerVal_{0.5f};
  std::atomic<float> heightVal_{1.0f};
  QKSliderControl* toHeightSlider_ = nullptr;
  QKSliderControl* toCenterSlider_ = nullptr;
  QTabWidget* tabView_ = nullptr;
  std::atomic<TriangleView*> triangleView_{nullptr};
};
