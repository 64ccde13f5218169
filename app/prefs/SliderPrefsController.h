#pragma once

#include <QWidget>

class PrefsController;
class QButtonGroup;
class QSlider;

// The "Sliders" pane: the default soft takeover of every slider (mode,
// tolerance, speed). Waking pushes the stored settings into the slider
// manager; an absent one leaves the manager's own. Main thread.
class SliderPrefsController : public QWidget {
  Q_OBJECT
 public:
  // The sliders' float values are their positions over this many steps of
  // their ranges.
  static constexpr int kSteps = 1000;
  static constexpr float kMaxTolerance = 0.5f;
  static constexpr float kMaxSpeed = 0.2f;

  explicit SliderPrefsController(PrefsController* prefsController, QWidget* parent = nullptr);

  void awakeFromNib();
  void uiElementUsed(QObject* sender);

  QButtonGroup* radioMatrix() const { return radioMatrix_; }
  QSlider* toleranceSlider() const { return toleranceSlider_; }
  QSlider* speedSlider() const { return speedSlider_; }
  static float floatValue(const QSlider* slider, float maximum);
  static void setFloatValue(QSlider* slider, float maximum, float value);

 private:
  void store(const QString& key, const QVariant& value);

  PrefsController* prefsController_;
  QButtonGroup* radioMatrix_ = nullptr;
  QSlider* toleranceSlider_ = nullptr;
  QSlider* speedSlider_ = nullptr;
};
