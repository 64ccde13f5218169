#pragma once

#include "framework/toolkit/QKWindowDelegate.h"

#include <QMenuBar>
#include <QPointer>
#include <QVariantMap>

#include <functional>
#include <memory>

class CompositorGLView;
class Layer;
namespace composition {
class QCRenderer;
}
class LayerListController;
class QKButton;
class QKPaletteWindow;
class QPushButton;
class QWidget;

// The compositor's palette: the display toggle (output rendering on or off;
// switching it on shows the output window), the fullscreen toggle, the
// button that opens the fullscreen display chooser, and the layer list
// with its new-layer, group and delete buttons (a double click on a layer
// opens its panel). It is the program's main window: the menu bar sits at
// its top.
class CompositorWindow : public QKWindowDelegate {
 public:
  static constexpr int kPaletteStackOrder = 3;
  static constexpr int kMenuBarHeight = 22;

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
  LayerListController* layerList() const { return layerList_.get(); }
  QPushButton* newLayerButton() const { return newLayerButton_; }
  QPushButton* groupButton() const { return groupButton_; }
  QPushButton* deleteButton() const { return deleteButton_; }

  // The palette shortcuts of the two toggles ("toggleDisplayButton",
  // "fullscreenToggle"); restoring them never changes the fullscreen state.
  void putPaletteSnapInDict(QVariantMap& dict) const;
  void matchThisPaletteShortcutSnapshot(const QVariantMap& dict);
  // Shows the layer's controls in its layer window.
  void openLayer(Layer* layer);

  // Places the program's menu bar at the top; the bar stays the caller's.
  void setMenuBar(QMenuBar* bar);
  QMenuBar* menuBar() const { return menuBar_; }

  // Shows the palette and announces it to the Window menu.
  void show();
  void displayToggleUsed();
  void fullscreenToggleUsed();

  // Drops the renderer of the black composition, then, while the output
  // displays, makes a new one on the render thread.
  void prepareEmptyRenderer();
  const std::shared_ptr<composition::QCRenderer>& emptyRenderer() const { return emptyRenderer_; }

 private:
  void wakeWhereBuilt();
  QKButton* makeToggle(const QString& title, int y, std::function<void()> used);
  QPushButton* makeButton(const QString& title, int x, std::function<void()> clicked);

  CompositorGLView* view_;
  std::unique_ptr<QKPaletteWindow> window_;
  QWidget* controls_ = nullptr;
  QPointer<QMenuBar> menuBar_;
  QKButton* displayToggle_ = nullptr;
  QKButton* fullscreenToggle_ = nullptr;
  QPushButton* chooserButton_ = nullptr;
  QPushButton* newLayerButton_ = nullptr;
  QPushButton* groupButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  std::unique_ptr<LayerListController> layerList_;
  bool displaying_ = false;
  std::shared_ptr<composition::QCRenderer> emptyRenderer_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
