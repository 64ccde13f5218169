#pragma once

#include "app/inspector/MediaInspectorHost.h"

class AppController;

// The media inspector's view of ZAPH's application controller.
class AppMediaInspectorHost : public MediaInspectorHost {
 public:
  explicit AppMediaInspectorHost(AppController& app) : app_(app) {}
  QKPageController* pageController() override;
  int beatsPerMeasure() override;
  int quantizedSubdivisions() override;
  DataSourceController* dataSourceController() override;
  Compositor* compositor() override;

 private:
  AppController& app_;
};
