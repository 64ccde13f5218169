#pragma once

#include "framework/toolkit/QKWindowDelegate.h"

#include <QPointer>

#include <functional>
#include <memory>

class CompositorGLView;
class QKButton;
class QKPaletteWindow;
class QPushButton;

// The compositor's palette: the display toggle (output rendering on or off;
// switching it on shows the output window), the fullscreen toggle and the
// button that opens the fullscreen display chooser.
class CompositorWindow : public QKWindowDelegate {
 public:
  static constexpr int kPaletteStackOrder = 3;

  CompositorWindow(CompositorGLView* view, std::function<void()> openDisplayChooser);
  ~CompositorWindow() override;
  CompositorWindow(const CompositorWindow&) = delete;
  CompositorWindow& operator=(const CompositorWindow&) = delete;

  std::optional<int> paletteStackOrder() const override { return kPaletteStackOrder; }
  QKPaletteWindow* window() const { return window_.get(); }
  QKButton* toggleDisplayButton() const { return displayToggle_; }
  QKButton* fullscreenToggle() const { return fullscreenToggle_; }
  QPushButton* displayChooserButton() const { return chooserButton_; }
  bool displaying() const { return displaying_; }

  // Shows the palette and announces it to the Window menu.
  void show();
  void displayToggleUsed();
  void fullscreenToggleUsed();

 private:
  QKButton* makeToggle(const QString& title, int y, std::function<void()> used);

  CompositorGLView* view_;
  std::unique_ptr<QKPaletteWindow> window_;
  QKButton* displayToggle_ = nullptr;
  QKButton* fullscreenToggle_ = nullptr;
  QPushButton* chooserButton_ = nullptr;
  bool displaying_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
