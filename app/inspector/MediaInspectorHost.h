#pragma once

class Compositor;
class DataSourceController;
class QKPageController;

// What the media inspector needs of the application: the pages (to look
// selected IDs up), the master clock's metre, the data-source controller
// (keys typed in the time-warp editor) and the compositor (the composition
// pane's style tables and canvas size). Answers may be null or defaults
// while the program starts. Main thread only.
class MediaInspectorHost {
 public:
  virtual ~MediaInspectorHost() = default;
  virtual QKPageController* pageController() = 0;
  virtual int beatsPerMeasure() { return 4; }
  virtual int quantizedSubdivisions() { return 2; }
  virtual DataSourceController* dataSourceController() { return nullptr; }
  virtual Compositor* compositor() { return nullptr; }
};
