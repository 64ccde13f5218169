#pragma once

#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Compositor;
class Layer;
class LayerWindowController;
class LayerWinRTapMenuController;
class QKNSPopUpButton;
class QLabel;
class QWidget;

// The source and comp-mode controls of a layer window: what kind of source
// the shown layer plays (and its file's name, its tap, its text style), how
// it is composited (a copy of the compositor's comp-mode menu, copied again
// when the comp modes change) and, in the opacity strip, the layer's own
// opacity slider and button. `update` brings them in step with the shown
// layer. Main thread only; nothing happens once the window is deleted.
class LayerSourceCompUIController : public QObject {
  Q_OBJECT
 public:
  // The source-type items: titles and the names the layer takes.
  static const QStringList& sourceTypeTitles();

  // The controls are made in `container` (laid out from its top).
  LayerSourceCompUIController(LayerWindowController* window, Compositor* compositor,
                              QWidget* container);
  ~LayerSourceCompUIController() override;

  void update();
  void prepareToBeDeleted();
  void populateCompFilterTypes();
  void compModesChangedNotification();
  void sourceTypeButtonUsed();
  void compModeButtonUsed();
  void textPlayerStyleButtonUsed();
  void sourceControlsButtonUsed();
  // Lays the controls out at the container's width.
  void layOut();

  QKNSPopUpButton* sourceTypePopButton() const { return sourceType_; }
  QKNSPopUpButton* sourceControlsButton() const { return sourceControls_; }
  QKNSPopUpButton* compModePopButton() const { return compMode_; }
  QKNSPopUpButton* textPlayerStyleButton() const { return textStyle_; }
  QKNSPopUpButton* tapPopButton() const { return tapPopUp_; }
  QLabel* sourceFileNameField() const { return fileName_; }
  QLabel* sourceFileNameLabel() const { return fileNameLabel_; }
  QLabel* sourceTypeLabel() const { return sourceTypeLabel_; }
  QWidget* sourceCompView() const { return opacityStrip_; }
  LayerWinRTapMenuController* rTapMenuController() const { return tapMenu_.get(); }
  QKSliderControl* currentAlphaSlider() const { return currentAlphaSlider_; }
  QKButton* currentAlphaButton() const { return currentAlphaButton_; }
  // The shown layer's opacity controls go back to it (it is leaving the
  // window or going).
  void handBackOpacityControls();

 private:
  bool usable() const;
  void updateSourceControls(Layer& layer);
  void placeOpacityControls(Layer& layer);
  void showSourceControls(bool type, bool controls, bool file, bool tap, bool style);

  LayerWindowController* window_;
  Compositor* compositor_;
  QWidget* container_;
  QLabel* sourceTypeLabel_ = nullptr;
  QKNSPopUpButton* sourceType_ = nullptr;
  QKNSPopUpButton* sourceControls_ = nullptr;
  QLabel* fileNameLabel_ = nullptr;
  QLabel* fileName_ = nullptr;
  QKNSPopUpButton* tapPopUp_ = nullptr;
  QKNSPopUpButton* textStyle_ = nullptr;
  QLabel* compModeLabel_ = nullptr;
  QKNSPopUpButton* compMode_ = nullptr;
  QWidget* opacityStrip_ = nullptr;
  QPointer<QKSliderControl> currentAlphaSlider_;
  QPointer<QKButton> currentAlphaButton_;
  QPointer<QWidget> previousHolder_;  // the shown layer's control holder
  std::unique_ptr<LayerWinRTapMenuController> tapMenu_;
  bool deleted_ = false;
  NotificationObservers observers_;
};
