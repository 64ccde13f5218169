#include "app/plugins/colorswatch/ColorSwatch.h"

#include "app/plugins/colorswatch/QKColorWheel.h"
#include "app/plugins/colorswatch/SmallColorWheel.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DSColorHolder.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

const QString ColorSwatch::kTypeName = QStringLiteral("ColorSwatch");

namespace {

const QString kHSxV = QStringLiteral("HSxV");
const QString kXYModeButton = QStringLiteral("xyModeButton");
const QString kHSlider = QStringLiteral("hSlider");
const QString kSSlider = QStringLiteral("sSlider");
const QString kVSlider = QStringLiteral("vSlider");

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

}  // namespace

ColorSwatch::ColorSwatch(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID), colorHolder_(DSColorHolder::createWithName(name)) {
  if (DataSourceController* dsc = dataSourceController()) dsc->setDataSource(colorHolder_, {name});
}

ColorSwatch::~ColorSwatch() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass ColorSwatch::pluginClass() {
  PluginClass swatch;
  swatch.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<ColorSwatch>(type, name, uniqueID);
  };
  swatch.layout = &ColorSwatch::buildWindow;
  return swatch;
}

std::unique_ptr<QWidget> ColorSwatch::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(320, 320, 176, 262));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<ColorSwatch*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(3);
  self->colorWheel_ = new SmallColorWheel(body);
  self->colorWheel_->setFixedSize(150, 150);
  column->addWidget(self->colorWheel_, 1, Qt::AlignHCenter);
  for (QPointer<QKSliderControl>* slider : {&self->hSlider_, &self->sSlider_, &self->vSlider_}) {
    *slider = QKSliderControl::createWithFrame(QRectF(0, 0, 160, 18), body);
    (*slider)->setFixedHeight(18);
    column->addWidget(*slider);
  }
  self->xyModeButton_ = new QKButton(body);
  self->xyModeButton_->setButtonType(1);
  self->xyModeButton_->setTitle(QStringLiteral("XY"));
  self->xyModeButton_->setTitle2(QStringLiteral("XY"));
  self->xyModeButton_->setFixedHeight(16);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(self->xyModeButton_);
  column->addLayout(row);
  return window;
}

void ColorSwatch::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!colorWheel_) return;
  colorHolder_->setDelegate(colorWheel_->components());
  colorWheel_->setDelegate([this](QKColorWheel& wheel) { colorWheelUpdated(wheel); });
  hSlider_->setSliderName(QStringLiteral("Hue"));
  sSlider_->setSliderName(QStringLiteral("Saturation"));
  vSlider_->setSliderName(QStringLiteral("Value"));
  // A fresh swatch starts on full red.
  hSlider_->setValue(0.0f, false);
  sSlider_->setValue(1.0f, false);
  vSlider_->setValue(1.0f, false);
  for (QKSliderControl* slider : {hSlider_.data(), sSlider_.data(), vSlider_.data()})
    connectSlider(slider);
  xyModeButton_->setTarget(alive_);
  xyModeButton_->setAction([this](QKButtonCell&) {
    MainThread::run([this, alive = std::weak_ptr<int>(alive_)] {
      if (alive.lock()) xyButtonUsed();
    });
  });
  wheelFromSliders();
}

// A bound source moves a slider on its own thread; the wheel is the main
// thread's.
void ColorSwatch::connectSlider(QKSliderControl* slider) {
  slider->setTarget(alive_);
  QPointer<QKSliderControl> guarded(slider);
  slider->setAction([this, guarded](QKSliderCell&) {
    MainThread::run([this, guarded, alive = std::weak_ptr<int>(alive_)] {
      if (alive.lock() && guarded) hsvSliderUsed(guarded);
    });
  });
}

void ColorSwatch::wheelFromSliders() {
  if (!colorWheel_ || !hSlider_ || !sSlider_ || !vSlider_) return;
  if (xyMode_) {
    colorWheel_->setValue(vSlider_->value());
    colorWheel_->setX(hSlider_->value());
    colorWheel_->setY(sSlider_->value());
  } else {
    colorWheel_->setColorHSV(hSlider_->value(), sSlider_->value(), vSlider_->value());
  }
}

void ColorSwatch::prepareToBeDeleted() {
  if (deleted()) return;
  alive_.reset();
  for (QKSliderControl* slider : {hSlider_.data(), sSlider_.data(), vSlider_.data()})
    if (slider) slider->prepareToBeDeleted();
  if (xyModeButton_) xyModeButton_->prepareToBeDeleted();
  if (colorWheel_) colorWheel_->setDelegate({});
  colorHolder_->setDelegate({});
  if (DataSourceController* dsc = dataSourceController()) {
    // Only our own holder: a source of another owner at the path stays.
    if (dsc->dataSourceForKeyArray({windowTitle()}) == colorHolder_)
      dsc->setDataSource(nullptr, {windowTitle()});
  }
  QKPlugin::prepareToBeDeleted();
}

void ColorSwatch::setPluginName(const QString& name) {
  const QString old = windowTitle();
  if (DataSourceController* dsc = dataSourceController(); dsc && !old.isEmpty() && old != name)
    dsc->changeNameFrom({old}, {name});
  QKPlugin::setPluginName(name);
}

// --- Controls --------------------------------------------------------------------------------

void ColorSwatch::hsvSliderUsed(QKSliderControl* slider) {
  if (!colorWheel_ || !slider) return;
  const float value = slider->value();
  if (slider == hSlider_) {
    if (xyMode_) {
      if (colorWheel_->x() != value) colorWheel_->setX(value);
    } else if (colorWheel_->h() != value) {
      colorWheel_->setHue(value);
    }
  } else if (slider == sSlider_) {
    if (xyMode_) {
      if (colorWheel_->y() != value) colorWheel_->setY(value);
    } else if (colorWheel_->s() != value) {
      colorWheel_->setSaturation(value);
    }
  } else if (slider == vSlider_) {
    colorWheel_->setValue(value);
  }
}

void ColorSwatch::xyButtonUsed() {
  if (!colorWheel_ || !xyModeButton_) return;
  const int value = xyModeButton_->intValue();
  if (value == 1) {
    xyMode_ = true;
    hSlider_->setSliderName(QStringLiteral("X"));
    sSlider_->setSliderName(QStringLiteral("Y"));
  } else if (value == 0) {
    xyMode_ = false;
    hSlider_->setSliderName(QStringLiteral("Hue"));
    sSlider_->setSliderName(QStringLiteral("Saturation"));
  }
}

void ColorSwatch::colorWheelUpdated(QKColorWheel& wheel) {
  if (!hSlider_ || !sSlider_ || !vSlider_) return;
  hSlider_->setValue(xyMode_ ? wheel.x() : wheel.h(), false);
  sSlider_->setValue(xyMode_ ? wheel.y() : wheel.s(), false);
  vSlider_->setValue(wheel.v(), false);
  wheel.markAppropriateAreasForDisplay();
}

// --- Snapshot --------------------------------------------------------------------------------

QVariantMap ColorSwatch::createSnapshot() const {
  QVariantMap controls;
  if (xyModeButton_) {
    const QVariantMap button = xyModeButton_->createSnapshot();
    if (!button.isEmpty()) controls.insert(kXYModeButton, button);
  }
  const std::pair<const QString*, QKSliderControl*> sliders[] = {
      {&kHSlider, hSlider_}, {&kSSlider, sSlider_}, {&kVSlider, vSlider_}};
  for (const auto& [key, slider] : sliders) {
    if (!slider) continue;
    const QVariantMap snapshot = slider->createSnapshot();
    if (!snapshot.isEmpty()) controls.insert(*key, snapshot);
  }
  return {{kSuperSnap, QKPlugin::createSnapshot()}, {kHSxV, controls}};
}

void ColorSwatch::loadSnapshot(const QVariantMap& snapshot) {
  if (isMap(snapshot.value(kSuperSnap))) QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  const QVariant stored = snapshot.value(kHSxV);
  if (!isMap(stored)) return;
  const QVariantMap controls = stored.toMap();
  if (xyModeButton_ && isMap(controls.value(kXYModeButton))) {
    xyModeButton_->loadSnapshot(controls.value(kXYModeButton).toMap());
    xyButtonUsed();
  }
  const std::pair<const QString*, QKSliderControl*> sliders[] = {
      {&kHSlider, hSlider_}, {&kSSlider, sSlider_}, {&kVSlider, vSlider_}};
  for (const auto& [key, slider] : sliders)
    if (slider && isMap(controls.value(*key))) slider->loadSnapshot(controls.value(*key).toMap());
  wheelFromSliders();
}
