#pragma once

#include "app/compositor/LayerWindowController.h"
#include "app/effects/LayerChainManagerClient.h"
#include "framework/toolkit/ActiveDeleteDelegate.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Compositor;
class FXChainPresetPopUpButton;
class FXChainShortcutTableView;
class LayerSourceCompUIController;
class LayerWinRTapMenuController;
class LayerWindowTabView;
class QDialog;
class QKCollapsibleBox;
class QKCollapsibleBoxManager;
class QKNSPopUpButton;
class QKPaletteWindow;
class QLineEdit;
class QPushButton;
class FXChainScrollView;
class QStandardItemModel;

// A layer window: a palette with a tab per layer it holds and, for the one
// it shows, that layer's controls: the source and comp-mode controls with
// its opacity slider and button in the top box, its effect chain (after its
// source's panel) in the scroll view between the boxes, headed by the
// chain-preset pop-up and its local preset strip, and its size and position
// view in the bottom box. The preset sheet saves, deletes and gives
// shortcuts to effect-chain presets. The layer's own controls are borrowed
// while it is shown and handed back after. The window's layers are kept in
// `orderedLayerIndex` order (a group followed by its members). Main thread
// only; once deleted, the window's calls do nothing.
class LayerPanel : public QObject,
                   public LayerWindowController,
                   public LayerChainManagerClient,
                   public ActiveDeleteDelegate,
                   public QKWindowDelegate {
  Q_OBJECT
 public:
  static constexpr double kMinWidth = 249;
  static constexpr double kMinHeight = 283;

  explicit LayerPanel(Compositor* compositor);
  ~LayerPanel() override;

  // --- The window's layers ----------------------------------------------------------------
  std::vector<Layer*>& layerArray() override { return layers_; }
  void addLayerToWindow(Layer* layer) override { addLayerToWindow(layer, false); }
  void addLayerToWindow(Layer* layer, bool propagate) override;
  void removeLayerFromWindow(Layer* layer, bool propagate) override;
  void deleteThisLayer(Layer* layer) override;
  void sortMyTabs();
  Layer* currentlyDisplayedLayer() const override { return shown_; }
  void displayLayer(Layer* layer) override;
  // Shows the window with the layer's controls (a layer of another window
  // is shown all the same).
  void showLayer(Layer* layer);
  void showWindow() override;
  void reloadTabRects() override;
  void updateSourceCompUI() override;
  bool deleted() const override { return deleted_; }
  void prepareToBeDeleted() override;
  void layerDeleted(Layer* layer) override;
  bool isVisible() const override;
  long long lastActivation() const override { return activation_; }
  QRectF screenFrame() const override;
  QWidget* fxScrollView() override;

  // --- Forwarding to the shown layer ------------------------------------------------------
  bool useTapNamed(const QString& name);
  void resizeChain();

  // --- Snapshots --------------------------------------------------------------------------
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Chain presets ----------------------------------------------------------------------
  void setLayerChainManager(LayerChainManager* manager) override { chainManager_ = manager; }
  LayerChainManager* layerChainManager() const { return chainManager_; }
  void fxChainPresetApplied(Layer* layer, const QString& name) override;
  void reloadPresetShortcuts() override;
  void loadPresetMenuUsed();
  void savePresetNamePickerMenuUsed();
  void createFXChainPresetClicked();
  void saveFXChainPresetClicked();
  void deleteFXChainPresetClicked();
  void deleteAllFXChainPresetsClicked();
  void cancelFXChainPresetClicked();
  // The shortcut table's rows: preset names in the manager's order.
  int numberOfRows() const;
  // The detect column was used on the row: the shown layer learns a
  // shortcut for that preset (a second use clears it).
  void detectUsedOnRow(int row);
  void deleteKeyPressed() override;
  void reloadShortcutTable();

  void QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) override;

  // --- Parts, for the tests ---------------------------------------------------------------
  QKPaletteWindow* window() const { return window_.get(); }
  LayerWindowTabView* layerTabView() const { return tabView_; }
  LayerSourceCompUIController* sourceCompUIController() const { return sourceComp_.get(); }
  QKCollapsibleBoxManager* collapsibleBoxManager() const { return boxManager_.get(); }
  QKCollapsibleBox* topBox() const { return topBox_; }
  QKCollapsibleBox* sizePosBox() const { return sizePosBox_; }
  QWidget* layerFXAreaView() const { return fxArea_; }
  FXChainPresetPopUpButton* fxChainPresetButton() const { return presetButton_; }
  QPushButton* setupShortcutsButton() const { return setupButton_; }
  QDialog* createChainPresetPanel() const { return sheet_; }
  QLineEdit* createChainTextField() const { return nameField_; }
  QKNSPopUpButton* savePresetNamePicker() const { return namePicker_; }
  FXChainShortcutTableView* presetShortcutTableView() const { return shortcutTable_; }
  QStandardItemModel* presetShortcutModel() const { return shortcutModel_; }
  QPushButton* saveFXChainButton() const { return saveButton_; }
  QPushButton* deleteFXChainButton() const { return deleteButton_; }
  QPushButton* deleteAllFXChainButton() const { return deleteAllButton_; }
  QPushButton* closeShortcutSetupButton() const { return closeButton_; }
  // The "Learn" button of the preset's row (null: none).
  QPushButton* learnButton(const QString& name) const;
  // The shown layer's effects view (its chain's), when it has one.
  QWidget* effectsView() const { return effects_; }
  // The shown layer's current source's panel, borrowed.
  QWidget* sourceView() const { return sourceView_; }
  QKNSPopUpButton* sourcePopUp() const;
  QKNSPopUpButton* compModePopUp() const;
  LayerWinRTapMenuController* tapMenuController() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildWindow();
  void buildSheet();
  void layOut();
  void handBack();
  void showSourceView();
  void sortLayers();
  void windowLeftEmpty();
  LayerChainManager* manager() const;
  QRectF holderFrame() const;
  void setHolderFrame(const QRectF& frame);
  void sheetClosed();

  Compositor* compositor_;
  LayerChainManager* chainManager_ = nullptr;
  std::unique_ptr<QKPaletteWindow> window_;
  std::vector<Layer*> layers_;
  Layer* shown_ = nullptr;
  LayerWindowTabView* tabView_ = nullptr;
  QKCollapsibleBox* topBox_ = nullptr;
  QKCollapsibleBox* sizePosBox_ = nullptr;
  std::unique_ptr<QKCollapsibleBoxManager> boxManager_;
  std::unique_ptr<LayerSourceCompUIController> sourceComp_;
  QWidget* fxArea_ = nullptr;
  FXChainPresetPopUpButton* presetButton_ = nullptr;
  QPushButton* setupButton_ = nullptr;
  FXChainScrollView* scroll_ = nullptr;
  QWidget* scrollDocument_ = nullptr;
  QPointer<QWidget> effects_;       // the chain's, borrowed
  QPointer<QWidget> sourceView_;    // the current source's, borrowed
  QPointer<QWidget> localPresets_;  // the layer's, borrowed
  QPointer<QWidget> sizeView_;      // the layer's, borrowed
  QDialog* sheet_ = nullptr;
  QLineEdit* nameField_ = nullptr;
  QKNSPopUpButton* namePicker_ = nullptr;
  FXChainShortcutTableView* shortcutTable_ = nullptr;
  QStandardItemModel* shortcutModel_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QPushButton* deleteAllButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  bool awake_ = false;
  bool deleted_ = false;
  long long activation_ = 0;
  NotificationObservers observers_;
};
