#pragma once

#include <QWidget>

class FullscreenDisplaysUIController;
class PrefsController;
class QButtonGroup;
class QCheckBox;
class QLineEdit;

// The "Output" pane: the canvas size, overdrive (swap interval 0 instead
// of one refresh per frame), how the canvas is placed in the output window,
// whether that window keeps the canvas's aspect, and the fullscreen display
// chooser. Waking writes the absent settings and applies them all; a
// change is stored, then applied. Sizes outside 1 to 8192 (or text that is
// not a number) are refused and the stored size is shown again. Main thread.
class CompositorPrefsController : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPresentationModes = 4;

  explicit CompositorPrefsController(PrefsController* prefsController, QWidget* parent = nullptr);
  ~CompositorPrefsController() override;

  void awakeFromNib();
  void renderSizeFieldChanged();
  void overdriveButtonUsed();
  void canvasPresentationUsed();
  void constrainWindowButtonUsed();

  QLineEdit* renderWidthField() const { return renderWidthField_; }
  QLineEdit* renderHeightField() const { return renderHeightField_; }
  QCheckBox* overdriveButton() const { return overdriveButton_; }
  QButtonGroup* canvasPresentationMatrix() const { return canvasPresentationMatrix_; }
  QCheckBox* constrainWindowButton() const { return constrainWindowButton_; }
  FullscreenDisplaysUIController* displayChooser() const { return displayChooser_; }

 private:
  void buildControls();
  void showStoredSize();
  void selectPresentationRow(long mode);

  PrefsController* prefsController_;
  QLineEdit* renderWidthField_ = nullptr;
  QLineEdit* renderHeightField_ = nullptr;
  QCheckBox* overdriveButton_ = nullptr;
  QButtonGroup* canvasPresentationMatrix_ = nullptr;
  QCheckBox* constrainWindowButton_ = nullptr;
  FullscreenDisplaysUIController* displayChooser_ = nullptr;
};
