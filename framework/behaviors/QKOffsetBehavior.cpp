#include "framework/behaviors/QKOffsetBehavior.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

QString QKOffsetBehavior::layoutErrorLine() const {
  return QStringLiteral("\t\terror while loading the QKOffsetBehavior.nib");
}

// The offset stays 0 until the slider first outputs.
void QKOffsetBehavior::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("slider"));
  if (!slider) return;
  slider->setMinRange(-1.0f);
  slider->setMaxRange(1.0f);
  slider->setValueWithRangedValue(0.0f, false);
  addParameter(slider, QStringLiteral("slider"),
               [this](QKSliderCell& sender) { sliderUsed(sender.rangedValue()); });
}

void QKOffsetBehavior::sliderUsed(float val) {
  val_.store(val);
  markNeedsEvaluation();
}

void QKOffsetBehavior::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::offset(slider->value(), val_.load()));
}
