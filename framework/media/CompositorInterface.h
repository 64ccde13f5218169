#pragma once

#include <QString>

// What media files ask of the compositor: unique IDs from the one counter
// shared by files, folders, pages and plug-ins, the render lock under which
// GPU objects that a frame may draw are swapped, the master clock's beats per
// measure and the path of the project file (through the application
// controller and its preset manager).
class CompositorInterface {
 public:
  virtual ~CompositorInterface() = default;

  // The counter's value, then the counter goes up by one.
  virtual long getUniqueID() = 0;
  // Keeps later IDs above an ID restored from a snapshot.
  virtual void uniqueIDRecovered(long uniqueID) = 0;

  // Blocking; the render thread only ever try-locks it and skips a frame.
  virtual void lockForRender() = 0;
  virtual void unlockRender() = 0;

  // The master clock's beats per measure (below 1 counts as 4).
  virtual int beatsPerMeasure() { return 4; }
  // The current project file; empty until the project is saved or loaded.
  virtual QString projectSavePath() { return {}; }
};
