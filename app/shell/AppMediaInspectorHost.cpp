#include "app/shell/AppMediaInspectorHost.h"

#include "app/plugins/clock/MasterClock.h"
#include "app/shell/AppController.h"

QKPageController* AppMediaInspectorHost::pageController() { return app_.pageController(); }

int AppMediaInspectorHost::beatsPerMeasure() {
  const MasterClock* clock = app_.masterClockObject();
  return clock ? clock->beatsPerMeasure() : 4;
}

int AppMediaInspectorHost::quantizedSubdivisions() {
  const MasterClock* clock = app_.masterClockObject();
  return clock ? clock->quantizedSubdivisions() : 2;
}

DataSourceController* AppMediaInspectorHost::dataSourceController() {
  return app_.dataSourceController();
}

Compositor* AppMediaInspectorHost::compositor() { return app_.compositorObject(); }
