#pragma once

#include "app/prefs/PrefsHost.h"

class AppController;
class Compositor;

// The preferences panes' view of ZAPH's application controller: the output
// view, the compositor's lists, the plug-in classes and the managers.
class AppPrefsHost : public PrefsHost {
 public:
  explicit AppPrefsHost(AppController& app) : app_(app) {}

  bool setCanvasSize(QSizeF size) override;
  bool setCPSwapInterval(long interval) override;
  bool setCanvasPresentationMode(long mode) override;
  void setConstrainOutputWindow(bool constrain) override;
  void setFullscreenFlagArray(const QList<bool>& flags) override;
  QStringList fontSynthNames() override;
  QStringList imageSourcesNames() override;
  // Each scan reads the user's composition folder again.
  void refreshQCFXLists() override;
  void prepareFontSynthPathsDict() override;
  void prepareImageSourcePathsDict() override;
  void populateCompFilterTypes() override;
  void reloadPluginClasses() override;
  QKSliderManager* sliderManager() override;
  MIDIManager* midiManager() override;
  QKOSCManager* oscManager() override;
  DataSourceController* dataSourceController() override;

 private:
  Compositor* compositor();

  AppController& app_;
};
