#pragma once

#include <QPointer>
#include <QWidget>

class LayerFXObject;
class QComboBox;
class QKButton;
class QKSliderControl;
class QLabel;
class QToolButton;

// The panel of one layer effect: its title, On/Off button, mix-mode pop-up
// and delete button in the top row, the wet/dry slider below them, and the
// effect's parameter panel under the slider, borrowed from its render
// context while shown. The button and the slider show the effect's own
// cells, so the panel lives exactly as long as its effect, which owns it.
//
// Main thread only.
class LayerFXObjectPanel : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 300;
  static constexpr int kRowHeight = 22;

  LayerFXObjectPanel(LayerFXObject& effect, QWidget* parent = nullptr);
  ~LayerFXObjectPanel() override;

  // The parameter panel goes back to its render context, unparented, before
  // the context is let go.
  void handBackParameters();
  // Selects the item of the effect's mix mode.
  void updateMixMode();

  QLabel* titleLabel() const { return title_; }
  QKButton* onOffButton() const { return onOff_; }
  QKSliderControl* wetDrySlider() const { return wetDry_; }
  QComboBox* mixModePopUp() const { return mixMode_; }
  QToolButton* deleteButton() const { return delete_; }
  QWidget* parameterView() const { return parameters_; }

 private:
  void fillMixModes();
  void mixModeChosen(int row);
  void borrowParameters();

  LayerFXObject& effect_;
  QLabel* title_ = nullptr;
  QKButton* onOff_ = nullptr;
  QComboBox* mixMode_ = nullptr;
  QToolButton* delete_ = nullptr;
  QKSliderControl* wetDry_ = nullptr;
  QPointer<QWidget> parameters_;
  bool filling_ = false;
};
