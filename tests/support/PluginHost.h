#pragma once

#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// What the plug-ins find in ZAPH, without its windows: the window layouts,
// a data-source tree ticked by hand, the slider and button managers, and a
// plug-in manager of the built-in types.
class PluginHost : public testing::Test, public AppControllerInterface {
 protected:
  PluginHost() {
    UserDefaults::standard().resetForTesting();
    LayoutRegistry::setShared(&layouts);
    sliderManager.setDataSourceController(&dsc);
    buttonManager.setDataSourceController(&dsc);
    dsc.setSliderManager(&sliderManager);
    dsc.setButtonManager(&buttonManager);
    manager = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID; }, BuiltInPluginTypes::entries());
  }
  ~PluginHost() override {
    manager.reset();
    dsc.setSliderManager(nullptr);
    dsc.setButtonManager(nullptr);
    LayoutRegistry::setShared(nullptr);
  }

  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc; }

  template <class Plugin>
  Plugin* make() {
    return static_cast<Plugin*>(manager->instantiatePluginType(Plugin::kTypeName));
  }

  LayoutRegistry layouts;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKSliderManager sliderManager;
  QKButtonManager buttonManager;
  long lastID = 0;
  std::unique_ptr<QKPluginManager> manager;
};

// A subscriber that keeps every value it receives and hears of moves and
// deletions.
struct ValueRecorder : DataSourceTarget {
  void updated(DataSource* source) { values.push_back(source->value()); }
  void dataSourceNameChanged(DataSource* source) override { path = source->pathArray(); }
  void currentDataSourceDeletedUnderMe() override { deleted = true; }
  std::vector<float> values;
  KeyPath path;
  bool deleted = false;
};
