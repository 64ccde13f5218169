#pragma once

#include "app/compositor/Compositor.h"
#include "app/plugins/composition/QKGenericQCPlugin.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/GLTest.h"

#include <QString>
#include <QStringList>

#include <memory>

// A composition written into the user's "plugins" folder: a number input
// per key in `inputs`, and with `outputs` the number output "level" (0.7)
// and the image output "frame" (green); with `videoInput` a video input
// node, which keeps it from being played.
struct CompositionSpec {
  QStringList inputs;
  bool outputs = true;
  bool videoInput = false;
};
QString writePluginComposition(const QString& fileName, const CompositionSpec& spec);
QString userPluginsFolder();

// What a composition plug-in meets in ZAPH: a compositor with its tap
// manager and preview list, the data-source tree ticked by hand, the slider
// and button managers, and the plug-in manager. Frames run by hand on the
// unpaced render thread. Alerts are answered without being shown.
class QCPluginTest : public GLTest, public AppControllerInterface {
 protected:
  void SetUp() override;
  void TearDown() override;

  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc; }

  // Writes the composition, lists it and makes a plug-in of it.
  QKGenericQCPlugin* make(const QString& fileName, const CompositionSpec& spec = {});
  // One output frame's preview pass, then one data-source tick.
  void frame();
  static void settle(double seconds = 0.05) {
    MainThread::processUntil([] { return false; }, seconds);
  }
  float valueAt(const KeyPath& path) const;
  static QStringList inputKeys(const QKGenericQCPlugin& plugin);

  LayoutRegistry layouts;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKSliderManager sliderManager;
  QKButtonManager buttonManager;
  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<QKPluginManager> manager;
  long lastID = 0;
};
