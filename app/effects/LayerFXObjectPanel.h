#pragma once

#include "framework/fx/FXObjectPanel.h"

#include <QPointer>

class LayerFXObject;
class QComboBox;
class QKButton;
class QKSliderControl;

// The panel of one layer effect: the element panel's title strip (name,
// fold triangle, On/Off button, delete image), under it the mix-mode
// pop-up, then the wet/dry slider and the effect's parameter panel,
// borrowed from its render context while the panel lives. Folded, the
// panel shows the title strip and the mix-mode row. The controls show the
// effect's own cells, so the panel lives exactly as long as its effect,
// which owns it.
//
// Main thread only.
class LayerFXObjectPanel : public FXObjectPanel {
  Q_OBJECT
 public:
  static constexpr int kWidth = 300;
  static constexpr int kRowHeight = 16;
  static constexpr int kGap = 2;

  explicit LayerFXObjectPanel(LayerFXObject& effect, QWidget* parent = nullptr);
  ~LayerFXObjectPanel() override;

  // The parameter panel goes back to its render context, unparented, before
  // the context is let go.
  void handBackParameters();
  // Selects the item of the effect's mix mode.
  void updateMixMode();

  QKButton* onOffButton() const { return bypassButton(); }
  QKSliderControl* wetDrySlider() const { return wetDry_; }
  QComboBox* mixModePopUp() const { return mixMode_; }
  QWidget* parameterView() const { return parameters_; }
  // The unfolded height at the panel's width.
  int naturalHeight() const { return naturalHeight_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fillMixModes();
  void mixModeChosen(int row);
  void borrowParameters();
  void layOutControls(int width);

  LayerFXObject& effect_;
  QComboBox* mixMode_ = nullptr;
  QKSliderControl* wetDry_ = nullptr;
  QPointer<QWidget> parameters_;
  int laidOutWidth_ = -1;
  int naturalHeight_ = 0;
  bool filling_ = false;
};
