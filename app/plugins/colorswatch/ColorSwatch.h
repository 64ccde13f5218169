#pragma once

#include "app/plugins/colorswatch/QKColorWheel.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKPlugin.h"

#include <QPointer>
#include <QString>

#include <memory>

class DSColorHolder;

// The "ColorSwatch" plug-in: a colour picked on a wheel or with three
// sliders (hue and saturation, or X and Y on the disc, and value), published
// as the colour holder [instance name] with "R", "G" and "B", read from the
// wheel on every data-source tick. The sliders can themselves follow any
// source, so the colour can be driven from outside.
//
// Main thread, but for the tick (the wheel's atomics) and slider actions
// fired by a bound source, which are taken to the main thread.
class ColorSwatch : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "ColorSwatch"

  ColorSwatch(const QString& type, const QString& name, std::int32_t uniqueID);
  ~ColorSwatch() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  // Moves the holder to the new name first, so subscribers follow it.
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  void hsvSliderUsed(QKSliderControl* slider);
  void xyButtonUsed();
  // After a pick: the sliders follow without sending their own output.
  void colorWheelUpdated(QKColorWheel& wheel);

  QKColorWheel* colorWheel() const { return colorWheel_; }
  QKSliderControl* hSlider() const { return hSlider_; }
  QKSliderControl* sSlider() const { return sSlider_; }
  QKSliderControl* vSlider() const { return vSlider_; }
  QKButton* xyModeButton() const { return xyModeButton_; }
  bool xyMode() const { return xyMode_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void connectSlider(QKSliderControl* slider);
  // The wheel takes the sliders' values (at wake and after a restore).
  void wheelFromSliders();

  std::shared_ptr<DSColorHolder> colorHolder_;
  QPointer<QKColorWheel> colorWheel_;
  QPointer<QKSliderControl> hSlider_;
  QPointer<QKSliderControl> sSlider_;
  QPointer<QKSliderControl> vSlider_;
  QPointer<QKButton> xyModeButton_;
  bool xyMode_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
