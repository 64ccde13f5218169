#pragma once

#include <QList>
#include <QSizeF>
#include <QStringList>

class DataSourceController;
class MIDIManager;
class QKOSCManager;
class QKSliderManager;

// What the preferences panes reach of the rest of the program: the output
// view, the composition lists, the managers. ZAPH's is AppPrefsHost (over
// the AppController); tests give fakes. Main thread.
class PrefsHost {
 public:
  virtual ~PrefsHost() = default;

  // The output view; false when it refuses the value (or there is none).
  virtual bool setCanvasSize(QSizeF size) = 0;
  virtual bool setCPSwapInterval(long interval) = 0;
  virtual bool setCanvasPresentationMode(long mode) = 0;
  virtual void setConstrainOutputWindow(bool constrain) = 0;
  // Which screens the fullscreen output covers (the display chooser's).
  virtual void setFullscreenFlagArray(const QList<bool>& flags) = 0;

  // The titles of the text-source and image-source compositions, in menu
  // order.
  virtual QStringList fontSynthNames() = 0;
  virtual QStringList imageSourcesNames() = 0;

  // The rescans of what is found in folders.
  virtual void refreshQCFXLists() = 0;
  virtual void prepareFontSynthPathsDict() = 0;
  virtual void prepareImageSourcePathsDict() = 0;
  virtual void populateCompFilterTypes() = 0;
  virtual void reloadPluginClasses() = 0;

  // Everything found in folders, effects first, plug-ins last.
  void rescanAll() {
    refreshQCFXLists();
    prepareFontSynthPathsDict();
    prepareImageSourcePathsDict();
    populateCompFilterTypes();
    reloadPluginClasses();
  }

  // The managers; null when there is none.
  virtual QKSliderManager* sliderManager() { return nullptr; }
  virtual MIDIManager* midiManager() { return nullptr; }
  virtual QKOSCManager* oscManager() { return nullptr; }
  virtual DataSourceController* dataSourceController() { return nullptr; }
};
