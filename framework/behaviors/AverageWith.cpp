#include "framework/behaviors/AverageWith.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void AverageWith::wakeUp() {
  if (QKSliderControl* input = parameterSlider(
          QStringLiteral("AvgWithMe"), QStringLiteral("Input Value"), QStringLiteral("AvgWithMe"),
          [this](QKSliderCell& sender) { setAvgWithVal(sender.value()); }))
    avgVal_.store(input->value());
  if (QKSliderControl* weight =
          parameterSlider(QStringLiteral("wetDrySlider"), QStringLiteral("Average Weight"),
                          QStringLiteral("wetDrySlider"),
                          [this](QKSliderCell& sender) { setWetDry(sender.value()); }))
    wetDry_.store(weight->value());
}

void AverageWith::setAvgWithVal(float avgVal) {
  avgVal_.store(avgVal);
  markNeedsEvaluation();
}

void AverageWith::setWetDry(float wetDry) {
  wetDry_.store(wetDry);
  markNeedsEvaluation();
}

void AverageWith::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(
      BehaviorFormulas::averageWith(slider->value(), avgVal_.load(), wetDry_.load()));
}
