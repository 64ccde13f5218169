#pragma once

#include "framework/datasource/QKBMSMCoordinatorInterface.h"
#include "framework/toolkit/QKWindowDelegate.h"

#include <QString>

#include <memory>

class DataSourceController;
class QKButton;
class QKButtonInspector;
class QKButtonManager;
class QKNSTabView;
class QKPaletteWindow;
class QKSliderInspector;
class QKSliderManager;
class QWidget;

// The controller of the Slider/Button Inspector palette: one tab view that
// shows the slider inspector ("Slider"), the button inspector ("Button") or
// nothing ("None"), as the data-source controller's selection asks. It
// carries the palette's hardware-learn button, keeps the two inspectors'
// sync, MIDI-detect and OSC-detect buttons locked together (the button
// inspector's follow the slider inspector's, without output on a silent
// refresh), rebuilds both source lists when the palette is expanded, and
// announces the palette to the Window menu. Main thread only.
class QKBMSMCoordinator : public QKBMSMCoordinatorInterface, public QKWindowDelegate {
 public:
  static const QString kPaletteTitle;  // "Slider/Button Inspector"
  static const QString kSliderTab;     // "Slider"
  static const QString kButtonTab;     // "Button"
  static const QString kNoneTab;       // "None"

  QKBMSMCoordinator(QKSliderManager* sliderManager, QKButtonManager* buttonManager,
                    DataSourceController* controller);
  ~QKBMSMCoordinator() override;
  QKBMSMCoordinator(const QKBMSMCoordinator&) = delete;
  QKBMSMCoordinator& operator=(const QKBMSMCoordinator&) = delete;

  // Announces the palette and locks the inspectors' buttons together.
  void awakeFromNib();

  QKPaletteWindow* window() const { return window_.get(); }
  QKNSTabView* tabView() const { return tabView_; }
  QKSliderInspector* sliderInspector() const { return sliderInspector_; }
  QKButtonInspector* buttonInspector() const { return buttonInspector_; }

  // Each selects its tab only when another one shows.
  void selectSlider() override;
  void selectButton() override;
  void selectNothing() override;

  // The palette was expanded or collapsed.
  void QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) override;
  std::optional<int> paletteStackOrder() const override { return paletteStackOrder_; }
  void setPaletteStackOrder(std::optional<int> order) { paletteStackOrder_ = order; }
  // On (1): hardware-learn mode for sliders and buttons alike; else off.
  void hardwareLearnUsed();

 private:
  void buildPalette();
  static void lockSilently(QKButton* master, QKButton* member);
  void selectTab(const QString& label);

  QKSliderManager* sliderManager_;
  QKButtonManager* buttonManager_;
  DataSourceController* controller_;
  std::unique_ptr<QKPaletteWindow> window_;
  QKNSTabView* tabView_ = nullptr;
  QKSliderInspector* sliderInspector_ = nullptr;
  QKButtonInspector* buttonInspector_ = nullptr;
  std::optional<int> paletteStackOrder_;
  // The hardware-learn button's target.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
