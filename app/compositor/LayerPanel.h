#pragma once

#include "app/compositor/LayerWindowController.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Compositor;
class LayerChainPresetView;
class LayerWinRTapMenuController;
class QComboBox;
class QKNSPopUpButton;
class QKPaletteWindow;
class QLabel;

// The stand-in layer window: a palette that holds its layers and shows one
// layer's controls (its opacity slider and show/hide button, its comp-mode
// pop-up and its size panel, and beside them its effects). The layer's own
// controls are borrowed into the palette while it shows that layer and
// handed back after. Main thread only.
class LayerPanel : public QObject, public LayerWindowController {
  Q_OBJECT
 public:
  explicit LayerPanel(Compositor* compositor);
  ~LayerPanel() override;

  std::vector<Layer*>& layerArray() override { return layers_; }
  void addLayerToWindow(Layer* layer) override;
  void deleteThisLayer(Layer* layer) override;
  Layer* currentlyDisplayedLayer() const override { return shown_; }
  void updateSourceCompUI() override;
  void showWindow() override;
  void reloadTabRects() override;
  bool deleted() const override { return deleted_; }
  void prepareToBeDeleted() override;
  void layerDeleted(Layer* layer) override;
  bool isVisible() const override;
  long long lastActivation() const override { return activation_; }
  void displayLayer(Layer* layer) override;
  void fxChainPresetApplied(Layer* layer, const QString& name) override;
  void reloadPresetShortcuts() override;

  // Shows the palette with the layer's controls (a layer of another window
  // is shown all the same).
  void showLayer(Layer* layer);
  QKPaletteWindow* window() const { return window_.get(); }
  QComboBox* compModePopUp() const { return compPopUp_; }
  LayerChainPresetView* chainPresetView() const { return presets_; }
  // The shown layer's effects view (its chain's), when it has one.
  QWidget* effectsView() const { return effects_; }
  // The source pop-up ("nil", "Movie", "QC patch", "Image", "Video Tap",
  // "Web"), the tap pop-up (shown for "Video Tap") and the current
  // source's panel, borrowed.
  QComboBox* sourcePopUp() const { return sourcePopUp_; }
  LayerWinRTapMenuController* tapMenuController() const { return tapMenu_.get(); }
  QWidget* sourceView() const { return sourceView_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void handBack();
  void fillCompModes();
  void compModeChosen(int row);
  void sourceChosen(int row);
  void showSourceView();

  Compositor* compositor_;
  std::unique_ptr<QKPaletteWindow> window_;
  std::vector<Layer*> layers_;
  Layer* shown_ = nullptr;
  QLabel* title_ = nullptr;
  QComboBox* compPopUp_ = nullptr;
  LayerChainPresetView* presets_ = nullptr;
  QPointer<QWidget> effects_;  // the chain's, borrowed
  QComboBox* sourcePopUp_ = nullptr;
  QKNSPopUpButton* tapPopUp_ = nullptr;
  std::unique_ptr<LayerWinRTapMenuController> tapMenu_;
  QPointer<QWidget> sourceView_;  // the current source's, borrowed
  bool deleted_ = false;
  long long activation_ = 0;
  bool filling_ = false;
};
