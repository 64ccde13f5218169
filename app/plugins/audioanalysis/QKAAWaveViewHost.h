#pragma once

#include <QString>

class AudioAnalysisEngine;
class DataSourceController;

// What the wave view needs of its plug-in: the instance name its bands
// publish under, the data-source controller, the engine that filters the
// bands, and whether the window is collapsed.
class QKAAWaveViewHost {
 public:
  virtual ~QKAAWaveViewHost() = default;
  virtual QString instanceName() const = 0;
  virtual DataSourceController* bandSourceController() const = 0;
  virtual AudioAnalysisEngine& engine() = 0;
  virtual bool windowCollapsed() const = 0;
};
