#include "framework/behaviors/AverageWith.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void AverageWith::wakeUp() {
  if (QKSliderControl* input = panelSlider(QStringLiteral("AvgWithMe"))) {
    input->setSliderName(QStringLiteral("Input Value"));
    addParameter(input, QStringLiteral("AvgWithMe"),
                 [this](QKSliderCell& sender) { setAvgWithVal(sender.value()); });
    avgVal_.store(input->value());
  }
  if (QKSliderControl* weight = panelSlider(QStringLiteral("wetDrySlider"))) {
    weight->setSliderName(QStringLiteral("Average Weight"));
    addParameter(weight, QStringLiteral("wetDrySlider"),
                 [this](QKSliderCell& sender) { setWetDry(sender.value()); });
    wetDry_.store(weight->value());
  }
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
