#pragma once

#include <QString>

class QKFile;

// What the trigger listeners ask of the media bin's layer queue: trigger or
// eject a file by ID, the layer on deck, the layer a file waits for, and
// whether a file plays on a layer. Any thread; no call waits for the main
// thread. `MBLayerController` answers for ZAPH; tests record.
class MBFileTrigger {
 public:
  virtual ~MBFileTrigger() = default;
  virtual void triggerThisFile(long fileId) = 0;
  // -1 does nothing.
  virtual void ejectThisFile(long fileId) = 0;
  // Empty when no row is on deck.
  virtual QString currentLayer() const = 0;
  // Empty when no queue entry waits for the file.
  virtual QString layerForFileIdInLayerQueueArray(long fileId) const = 0;
  // Whether the file plays on some layer; `layerName` gets that layer.
  virtual bool fileIsPlaying(const QKFile& file, QString* layerName) const = 0;
};
