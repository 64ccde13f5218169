#pragma once

#include "app/plugins/clock/QKQuantizePicker.h"
#include "platform/foundation/NotificationObservers.h"

#include <QStringList>

#include <atomic>
#include <mutex>

class MBLayerQueueHost;
class MBQuantizeTarget;

// The media bin's quantize picker: the clock's note values plus the
// movie-end choices ("Any Movie Ends", "Target Layer's Movie Ends", and one
// entry per layer playing a movie), remembered by title across rebuilds.
// It fires the layer queue's `trigger`, or `triggerThisLayer` for the file
// pending on one layer, at once, on a clock boundary, by the manual button,
// or when a movie ends.
//
// Threads: the menu, `trigger`, the layer and restore notifications on the
// main thread; the clock boundary on the clock thread (inherited); the
// movie end on the thread that posts it (the render thread or the main
// thread), which reads only atomics and the lock-guarded layer list.
class MBQuantizePicker : public QKQuantizePicker {
  Q_OBJECT
 public:
  static constexpr double kAnyMovieEnds = -3.0;
  static constexpr double kTargetLayersMovieEnds = -4.0;
  static constexpr double kChosenLayersMovieEnds = -5.0;
  static const QString kAnyMovieEndsTitle;           // "Any Movie Ends"
  static const QString kTargetLayersMovieEndsTitle;  // "Target Layer's Movie Ends"
  static const QString kMovieDidEndNotification;     // "QKMovieSourceQTMovieDidEnd"

  explicit MBQuantizePicker(QWidget* parent = nullptr);
  ~MBQuantizePicker() override;

  // Wiring, before awakeFromNib.
  void setLayerSet(MBLayerQueueHost* layers) { layers_ = layers; }
  void setQueue(MBQuantizeTarget* queue);

  void awakeFromNib() override;
  void populateFromMasterClock() override { populateAllMenus(); }
  void populateAllMenus();
  void iAmMyOwnTarget() override;
  void trigger() override;
  // The object is the movie source that ended.
  void movieDidEnd(const void* source);
  void layerDeleted(const QString& layerName);
  void startPresetRestore();
  void stopPresetRestore();

  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

  QStringList allQTLayers() const;
  QString lastSelectedItemName() const { return lastSelectedItemName_; }
  // The menu's titles, separators as empty strings.
  QStringList menuTitles() const;

 private:
  void rebuildAllQTLayers();
  bool isMovieLayer(const QString& name) const;
  void observeLayers();
  void observeMovieEnds(bool observe);

  MBLayerQueueHost* layers_ = nullptr;
  std::atomic<MBQuantizeTarget*> queue_{nullptr};
  mutable std::mutex layersMutex_;
  QStringList allQTLayers_;
  QString lastSelectedItemName_ = kImmediatelyTitle;
  // The title of the choice, for the movie-end thread.
  mutable std::mutex titleMutex_;
  QString selectedTitle_;
  bool deleted_ = false;
  NotificationObservers restoreObservers_;
  NotificationObservers layerObservers_;
  NotificationObservers movieEndObserver_;
};
