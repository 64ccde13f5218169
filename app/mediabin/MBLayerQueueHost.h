#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QKFile;

// What the media bin's layer queue and quantize picker need of the layers
// and of the pages: files by ID, the layers by name, and the calls that
// play or stop a file on a layer. The compositor's adapter
// (`MBCompositorQueueHost`) answers for ZAPH; tests fake it.
//
// Threads: the lookups marked "any thread" are asked on MIDI, OSC, tick,
// clock, trigger and render threads and never wait for the main thread;
// the others run on the main thread.
class MBLayerQueueHost {
 public:
  virtual ~MBLayerQueueHost() = default;

  // --- Any thread --------------------------------------------------------------------
  // Null when no page holds a file of that ID. A file handed out on another
  // thread goes back through QKFileRelease.
  virtual std::shared_ptr<QKFile> fileForUniqueId(long id) const = 0;
  // Runs `use` with the file while its holder keeps it (no reference leaves
  // this call, so nothing is handed back to the main thread); false when
  // no page holds a file of that ID.
  virtual bool withFile(long id, const std::function<void(const QKFile&)>& use) const = 0;
  // The name of the page (or folder) that holds the file; empty without.
  virtual QString pageNameOfFile(const QKFile& file) const = 0;
  // Whether the file has a current source (it plays on some layer);
  // `layerName` receives that source's layer name (empty when the source
  // has no layer).
  virtual bool fileIsPlaying(const QKFile& file, QString* layerName) const = 0;
  virtual bool layerExists(const QString& name) const = 0;
  // Whether the layer of that name shows a file (a current source with a
  // current file). A missing layer counts as busy.
  virtual bool layerShowsFile(const QString& name) const = 0;
  // The plain layers that play a movie whose source is not stopped, groups
  // searched depth first, top of each level first.
  virtual QStringList playingMovieLayerNames() const = 0;
  // The layer name of a source posted with a movie's end (empty: unknown).
  virtual QString layerNameOfSource(const void* source) const = 0;

  // --- Main thread -------------------------------------------------------------------
  // The layers a queue may hold (each the layer of a source tap, and not a
  // group), bottom of the stack first.
  virtual QStringList queueableLayerNames() const = 0;
  // The layer loads the file; false when no layer bears the name.
  virtual bool triggerFileOnLayer(const QString& layerName,
                                  const std::shared_ptr<QKFile>& file) = 0;
  // Stops the file's current source and posts "QKLayerTriggerFileNotification"
  // (object the layer, userInfo {"oldFile": the file}) when the source has a
  // layer.
  virtual void ejectFile(const std::shared_ptr<QKFile>& file) = 0;
  // Shows the layer in its layer window.
  virtual void displayLayer(const QString& name) = 0;
};
