#include "app/prefs/SliderPrefsController.h"

#include "app/prefs/PrefsController.h"
#include "app/prefs/PrefsDefaults.h"
#include "app/prefs/PrefsHost.h"
#include "framework/controls/QKSliderManager.h"
#include "platform/foundation/UserDefaults.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kModeKey = QStringLiteral("radioMatrix");
const QString kToleranceKey = QStringLiteral("toleranceSlider");
const QString kSpeedKey = QStringLiteral("speedSlider");

}  // namespace

SliderPrefsController::SliderPrefsController(PrefsController* prefsController, QWidget* parent)
    : QWidget(parent), prefsController_(prefsController) {
  setObjectName(QStringLiteral("Sliders"));
  auto* layout = new QVBoxLayout(this);
  auto* modes = new QGroupBox(QStringLiteral("Soft takeover of bound sliders"), this);
  auto* rows = new QVBoxLayout(modes);
  radioMatrix_ = new QButtonGroup(this);
  const QStringList titles = {QStringLiteral("Off"), QStringLiteral("Jump to the hardware"),
                              QStringLiteral("Pick up within the tolerance"),
                              QStringLiteral("Glide at the speed")};
  for (int row = 0; row < titles.size(); ++row) {
    auto* cell = new QRadioButton(titles.at(row), modes);
    radioMatrix_->addButton(cell, row);
    rows->addWidget(cell);
  }
  layout->addWidget(modes);
  auto* form = new QFormLayout;
  toleranceSlider_ = new QSlider(Qt::Horizontal, this);
  speedSlider_ = new QSlider(Qt::Horizontal, this);
  for (QSlider* slider : {toleranceSlider_, speedSlider_}) slider->setRange(0, kSteps);
  toleranceSlider_->setObjectName(kToleranceKey);
  speedSlider_->setObjectName(kSpeedKey);
  form->addRow(QStringLiteral("Tolerance"), toleranceSlider_);
  form->addRow(QStringLiteral("Speed"), speedSlider_);
  layout->addLayout(form);
  layout->addStretch(1);
  connect(radioMatrix_, &QButtonGroup::idClicked, this,
          [this](int) { uiElementUsed(radioMatrix_); });
  // Without tracking a drag stores once, when it ends.
  for (QSlider* slider : {toleranceSlider_, speedSlider_}) {
    slider->setTracking(false);
    connect(slider, &QSlider::valueChanged, this, [this, slider](int) { uiElementUsed(slider); });
  }
}

float SliderPrefsController::floatValue(const QSlider* slider, float maximum) {
  return float(slider->value()) / float(kSteps) * maximum;
}

void SliderPrefsController::setFloatValue(QSlider* slider, float maximum, float value) {
  const QSignalBlocker quiet(slider);
  slider->setValue(int(std::lround(value / maximum * float(kSteps))));
}

void SliderPrefsController::awakeFromNib() {
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  QKSliderManager* manager = host ? host->sliderManager() : nullptr;
  UserDefaults& defaults = UserDefaults::standard();
  // What the manager uses stands where nothing is stored.
  if (manager) {
    if (QAbstractButton* cell = radioMatrix_->button(manager->softTakeoverMode()))
      cell->setChecked(true);
    setFloatValue(toleranceSlider_, kMaxTolerance, manager->softTakeoverTolerance());
    setFloatValue(speedSlider_, kMaxSpeed, manager->softTakeoverSpeed());
  }
  if (const auto mode = PrefsDefaults::integer(kModeKey)) {
    if (QAbstractButton* cell = radioMatrix_->button(int(*mode))) cell->setChecked(true);
    if (manager) manager->setSoftTakeoverMode(int(*mode));
  }
  if (PrefsDefaults::hasNumber(kToleranceKey)) {
    const float tolerance = float(defaults.doubleValue(kToleranceKey));
    setFloatValue(toleranceSlider_, kMaxTolerance, tolerance);
    if (manager) manager->setSoftTakeoverTolerance(tolerance);
  }
  if (PrefsDefaults::hasNumber(kSpeedKey)) {
    const float speed = float(defaults.doubleValue(kSpeedKey));
    setFloatValue(speedSlider_, kMaxSpeed, speed);
    if (manager) manager->setSoftTakeoverSpeed(speed);
  }
}

void SliderPrefsController::store(const QString& key, const QVariant& value) {
  UserDefaults& defaults = UserDefaults::standard();
  defaults.registerDefaults({{key, value}});
  defaults.setValue(key, value);
  defaults.synchronize();
}

void SliderPrefsController::uiElementUsed(QObject* sender) {
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  QKSliderManager* manager = host ? host->sliderManager() : nullptr;
  if (sender == radioMatrix_) {
    const int mode = radioMatrix_->checkedId();
    if (mode < 0) return;
    if (manager) manager->setSoftTakeoverMode(mode);
    store(kModeKey, qint64(mode));
  } else if (sender == toleranceSlider_) {
    const float tolerance = floatValue(toleranceSlider_, kMaxTolerance);
    if (manager) manager->setSoftTakeoverTolerance(tolerance);
    store(kToleranceKey, double(tolerance));
  } else if (sender == speedSlider_) {
    const float speed = floatValue(speedSlider_, kMaxSpeed);
    if (manager) manager->setSoftTakeoverSpeed(speed);
    store(kSpeedKey, double(speed));
  }
}
