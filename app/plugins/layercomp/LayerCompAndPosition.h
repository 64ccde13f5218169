#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/QKButton.h"
#include "framework/taps/QKRTapLayerMenuController.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

// A panel meant to follow one layer (picked from the layers' taps, or the
// most recent layer, or the layer of the selected layer tab) and to show
// that layer's composition controls and size and position. What it shows is
// not built yet: its update operations write one console line each. It
// keeps the tap chosen and the two follow options in its snapshot, and
// stops following while a preset restores. No user creates it: it is not
// offered by the plug-in manager. Main thread only.
class LayerCompAndPosition : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "LayerCompAndPosition"

  LayerCompAndPosition(const QString& type, const QString& name, std::int32_t uniqueID);
  ~LayerCompAndPosition() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  void openOptionsPanel();
  void closeOptionsPanel();
  // Whether the options sheet is attached (shown over the window).
  bool optionsSheetAttached() const;
  void layerMenuUsed();
  void updateCurrentLayer();
  void updateCompView();
  void updateSizePosView();
  void clearCompView();
  void clearSizePosView();
  void startPresetRestoreNotification();
  void stopPresetRestoreNotification();
  void windowDidResize() {}

  bool presetRestoring() const { return presetRestoring_; }
  // The console lines written so far (they also go to the log).
  const QStringList& consoleLines() const { return consoleLines_; }
  QKRTapLayerMenuController* layerMenuController() const { return layerMenuController_; }
  QCheckBox* useMostRecentLayerButton() const { return useMostRecentLayerButton_; }
  QCheckBox* followLayerTabsButton() const { return followLayerTabsButton_; }
  QDialog* optionsPanel() const { return optionsPanel_; }
  QWidget* currentCompView() const { return currentCompView_; }
  QWidget* currentSizePosView() const { return currentSizePosView_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void console(const QString& line);

  QPointer<QDialog> optionsPanel_;
  QPointer<QWidget> sourceControlsView_;
  QPointer<QWidget> noSourceView_;
  QPointer<QKRTapLayerMenuController> layerMenuController_;
  QPointer<QKNSPopUpButton> layerMenuPopUpButton_;
  QPointer<QKButton> closeOptionsButton_, showOptionsButton_;
  QPointer<QCheckBox> useMostRecentLayerButton_, followLayerTabsButton_;
  QPointer<QWidget> currentCompView_, currentSizePosView_;
  bool presetRestoring_ = false;
  QStringList consoleLines_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers layerSourceObserver_;
  NotificationObservers observers_;
};
