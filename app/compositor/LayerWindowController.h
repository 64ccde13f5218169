#pragma once

#include <QRectF>
#include <QVariantMap>

#include <vector>

class Layer;
class QWidget;

// A window that shows layers (a layer window), as the layers and the
// compositor's layer-set editing reach it. Main thread only.
//
// `layerArray` lists the window's layers depth first, each group followed
// by its members that are in the same window.
class LayerWindowController {
 public:
  virtual ~LayerWindowController() = default;

  virtual std::vector<Layer*>& layerArray() = 0;
  // Attaches the layer (and a group's members without a window) and shows
  // its tab.
  virtual void addLayerToWindow(Layer* layer) = 0;
  // With propagate, a group brings its members that have no window yet; the
  // window then shows the layer.
  virtual void addLayerToWindow(Layer* layer, bool propagate) {
    (void)propagate;
    addLayerToWindow(layer);
  }
  // Detaches the layer (with propagate, a group's members in this window
  // too); a layer of another window is left alone.
  virtual void removeLayerFromWindow(Layer* layer, bool propagate);
  // Detaches the layer and asks the compositor to delete it; a window left
  // without layers closes and asks the compositor to delete the window.
  virtual void deleteThisLayer(Layer* layer) = 0;
  // The view that holds the effect chains' panels (none yet).
  virtual QWidget* fxScrollView() { return nullptr; }
  virtual void reloadTabRects() {}
  // The layer whose controls the window shows now.
  virtual Layer* currentlyDisplayedLayer() const = 0;
  // The shown layer's source and comp-mode controls follow its state.
  virtual void updateSourceCompUI() {}
  // Shows the window (with its first layer).
  virtual void showWindow() {}
  // Closed for good: the layers' calls do nothing more.
  virtual bool deleted() const = 0;
  virtual void prepareToBeDeleted() = 0;
  // A layer of the window is being deleted: the window lets go of it.
  virtual void layerDeleted(Layer* layer) { (void)layer; }
  // For the choice of a new layer's window.
  virtual bool isVisible() const = 0;
  // Larger for a window activated later.
  virtual long long lastActivation() const = 0;
  // The window's frame on screen (Qt's, y downward); empty when it has none.
  virtual QRectF screenFrame() const { return {}; }

  // --- Restores -----------------------------------------------------------------
  // {"layerArray": the layers' names in tab order, "currentlyDisplayedName"}
  // and what the window adds of its own.
  virtual QVariantMap createSnapshot() const;
  // The window's own settings (its layers are placed by the compositor).
  virtual void loadSnapshot(const QVariantMap& snapshot) { (void)snapshot; }
  // Shows that layer's controls (null: none).
  virtual void displayLayer(Layer* layer) { (void)layer; }

  // --- Chain presets --------------------------------------------------------------
  // A layer of the window applied the preset: the preset pop-up follows
  // when the window shows that layer.
  virtual void fxChainPresetApplied(Layer* layer, const QString& name) {
    (void)layer;
    (void)name;
  }
  // A layer's shortcuts changed (learnt, cleared or restored).
  virtual void reloadPresetShortcuts() {}
};
