#pragma once

#include "app/compositor/CompositorClient.h"
#include "app/compositor/LayerTabFollower.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <memory>

class Compositor;
class Layer;
class QKRTapLayerMenuController;
class VidSourceObject;

// The "LayerControls" plug-in: one layer's source controls in a palette of
// their own. It follows a layer chosen from its pop-up, optionally the layer
// that triggered a file last, and optionally the layer windows' tabs, and
// shows the current source's own panel with the file's name, an eject button
// and the text or image style pop-up.
//
// The panel is borrowed: it stands in one window at a time, and it is free
// while it stands in its layer's keeping place (or nowhere). The plug-in
// hands it back there on every change of layer or source, when the layer
// goes and when the plug-in goes; a panel taken away by another window
// leaves the no-source view. The followed layer and source are held weakly.
// Main thread only.
class LayerControls : public QKPlugin, public CompositorClient, public LayerTabFollower {
  Q_OBJECT
 public:
  static const QString kTypeName;    // "LayerControls"
  static const QSizeF kMinimumSize;  // of the window

  LayerControls(const QString& type, const QString& name, std::int32_t uniqueID);
  ~LayerControls() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void setCompositor(Compositor* compositor) override { compositor_ = compositor; }

  // --- Following ---
  void layerMenuUsed();
  void updateCurrentLayer();
  void updateCurrentSource();
  void updateSourceControlsView();
  void updateTextStylePopUpButtonState();
  void clearSourceControlsView();
  // Selects the layer in the pop-up and follows it.
  void selectThisLayer(Layer* layer) override;

  // --- Controls ---
  void ejectButtonUsed();
  void textStylePopUpButtonUsed(const QString& title);
  void openOptionsPanel();
  void closeOptionsPanel();
  int followLayerTabsButtonState() const;

  // --- LayerTabFollower ---
  bool followsLayerTabs() const override { return followLayerTabsButtonState() == 1; }
  QPointF followerCentre() const override;

  // Whether the panel is free to be shown here: in no window, or in its
  // layer's keeping place.
  static bool panelIsFree(const QWidget* panel, const Layer* layer);

  Layer* currentLayer() const;
  VidSourceObject* currentSource() const;
  QKRTapLayerMenuController* layerMenuController() const { return layerMenu_.get(); }
  QKNSPopUpButton* layerMenuPopUpButton() const { return layerPopUp_; }
  QKNSPopUpButton* textStylePopUpButton() const { return stylePopUp_; }
  QKButton* ejectButton() const { return ejectButton_; }
  QCheckBox* useMostRecentLayerButton() const { return useMostRecentLayer_; }
  QCheckBox* followLayerTabsButton() const { return followLayerTabs_; }
  QString filenameText() const { return filename_ ? filename_->text() : QString(); }
  QWidget* sourceControlsView() const { return container_; }
  QWidget* noSourceView() const { return noSource_; }
  // The panel shown now (null: the no-source view).
  QWidget* shownPanel() const { return shown_; }
  BlackTranslucentPanel* optionsPanel() const { return optionsPanel_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void buildBody(QWidget* body);
  void buildOptionsPanel(QWidget* window);
  void showNoSourceState();
  void handBackPanel();
  void fileTriggeredNotification(const struct Notification& notification);
  void layerDeleted(Layer* layer);
  void startPresetRestore();
  void stopPresetRestore();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void panelTakenAway();
  QWidget* panelOf(const Layer* layer) const;

  Compositor* compositor_ = nullptr;
  std::unique_ptr<QKRTapLayerMenuController> layerMenu_;
  std::weak_ptr<Layer> currentLayer_;
  std::weak_ptr<VidSourceObject> currentSource_;
  QPointer<QWidget> shown_;
  QPointer<QWidget> shownKeeper_;  // where the shown panel goes back to
  bool presetRestoring_ = false;

  QPointer<QKNSPopUpButton> layerPopUp_;
  QPointer<QKNSPopUpButton> stylePopUp_;
  QPointer<QKButton> ejectButton_;
  QPointer<QKButton> showOptionsButton_;
  QPointer<QLabel> filename_;
  QPointer<QWidget> container_;
  QPointer<QWidget> noSource_;
  QPointer<BlackTranslucentPanel> optionsPanel_;
  QPointer<QCheckBox> useMostRecentLayer_;
  QPointer<QCheckBox> followLayerTabs_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers sourceObserver_;
  // Last: removed first when the plug-in goes.
  NotificationObservers observers_;
};
