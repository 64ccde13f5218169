#include "framework/behaviors/Trianglize.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/behaviors/TriangleView.h"
#include "framework/controls/QKSliderControl.h"

#include <QTabWidget>
#include <QWidget>

void Trianglize::wakeUp() {
  toHeightSlider_ = panelSlider(QStringLiteral("toHeightSlider"));
  toCenterSlider_ = panelSlider(QStringLiteral("toCenterSlider"));
  tabView_ = myPanel()->findChild<QTabWidget*>(QStringLiteral("tabView"));
  TriangleView* view = myPanel()->findChild<TriangleView*>(QStringLiteral("triangleView"));
  if (toCenterSlider_) toCenterSlider_->setSliderName(QStringLiteral("Center Pt"));
  // The peak slider is restored first, then the centre.
  if (toHeightSlider_) {
    toHeightSlider_->setSliderName(QStringLiteral("Peak Val"));
    addParameter(toHeightSlider_, QStringLiteral("heightSlider"),
                 [this](QKSliderCell& sender) { setHeightSlider(sender); });
    toHeightSlider_->setValue(32767.0f);  // the top of its envelope
  }
  if (toCenterSlider_)
    addParameter(toCenterSlider_, QStringLiteral("centerSlider"),
                 [this](QKSliderCell& sender) { setCenterSlider(sender); });
  centerVal_.store(0.5f);
  heightVal_.store(1.0f);
  if (view) view->setTrianglize(this, toCenterSlider_, toHeightSlider_);
  triangleView_.store(view);
}

void Trianglize::prepareToBeDeleted() {
  triangleView_.store(nullptr);
  Behavior::prepareToBeDeleted();
}

void Trianglize::setCenterSlider(QKSliderCell& sender) {
  centerVal_.store(sender.value());
  if (TriangleView* view = triangleView_.load()) view->requestRedraw();
  markNeedsEvaluation();
}

void Trianglize::setHeightSlider(QKSliderCell& sender) {
  heightVal_.store(sender.value());
  if (TriangleView* view = triangleView_.load()) view->requestRedraw();
  markNeedsEvaluation();
}

void Trianglize::setCenterVal(float center) {
  centerVal_.store(center);
  markNeedsEvaluation();
}

void Trianglize::setHeightVal(float height) {
  heightVal_.store(height);
  markNeedsEvaluation();
}

void Trianglize::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(
      BehaviorFormulas::trianglize(slider->value(), centerVal_.load(), heightVal_.load()));
}
