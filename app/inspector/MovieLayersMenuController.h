#pragma once

#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class Compositor;
class Layer;
class MovieLayersMenuTarget;
class QKFile;

// A pop-up that points its target at one movie layer: a layer chosen by
// name, or "Most Recently Triggered", whichever movie layer last had a file
// triggered into it. A movie layer is a layer (not a group) whose current
// source is its movie source, playing or stopped; groups are searched depth
// first. The list follows layers being created, renamed, deleted and given
// another kind of source; the target is told the chosen layer's name each
// time the choice or the followed layer changes.
//
// Threads: the pop-up, the target and the timer live on the main thread.
// Layer notifications may come on any thread (an eject from the media
// bin's trigger thread): what they name is read on the posting thread,
// which holds the layer, and handled on the main thread.
//
// Between "QKPMRestoreStartNotification" and "QKPMRestoreEndNotification"
// layer events are not followed; 0.01 s after the end the menu is built
// again from the restored layers. The snapshot holds the two remembered
// names; loading it takes effect at the next build.
class MovieLayersMenuController : public QKNSPopUpButton {
 public:
  static const QString kMostRecentlyTriggered;  // "Most Recently Triggered"
  static const QString kLastSelectedItemNameKey;
  static const QString kMostRecentlyTriggeredLayerKey;
  static constexpr double kRestoreRebuildDelay = 0.01;

  explicit MovieLayersMenuController(QWidget* parent = nullptr);
  ~MovieLayersMenuController() override;

  // Makes itself the pop-up's target and follows layers and restores.
  void awakeFromNib();
  void prepareToBeDeleted();

  // The compositor whose layers are listed; builds the menu.
  void setCompositor(Compositor* compositor);
  // Not owned; null tells nobody.
  void setThingToSetLayer(MovieLayersMenuTarget* target) { thingToSetLayer_ = target; }

  // The pop-up's action: tells the target the layer the selection names.
  void iAmMyOwnTarget();
  // Rebuilds the menu and applies the remembered choice.
  void populateAllMenus();
  // The names of the movie layers among `layers`, in order, groups searched
  // depth first.
  static QStringList findAllQTLayers(const std::vector<std::shared_ptr<Layer>>& layers);

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

  QStringList allQTLayers() const { return allQTLayers_; }
  std::optional<QString> lastSelectedItemName() const { return lastSelectedItemName_; }
  std::optional<QString> mostRecentlyTriggeredLayer() const { return mostRecentlyTriggeredLayer_; }

 private:
  void observeLayers();
  // Runs `work` on the main thread unless the controller is gone by then.
  void onMain(std::function<void(MovieLayersMenuController&)> work);
  void layerTriggeredFile(const QString& layerName, bool movieLayer,
                          const std::shared_ptr<QKFile>& file);
  void layerChangedName(const QString& oldName, const QString& newName);
  void layerDeleted(const QString& layerName);
  void startPresetRestore();
  void stopPresetRestore();
  void tellTarget(const std::optional<QString>& name);
  void forgetVanishedTrigger();

  MovieLayersMenuTarget* thingToSetLayer_ = nullptr;
  Compositor* compositor_ = nullptr;
  QStringList allQTLayers_;
  std::optional<QString> lastSelectedItemName_;
  std::optional<QString> mostRecentlyTriggeredLayer_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // Last: removed first when the controller goes.
  NotificationObservers restoreObservers_;
  NotificationObservers layerObservers_;
};
