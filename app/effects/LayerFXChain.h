#pragma once

#include "framework/fx/FXChain.h"

#include <QRectF>

class LayerChainManager;
class LayerFXHost;
class LayerFXObject;
class MutableTextureObject;

// The effect chain of one layer: its effects in order, passed the layer's
// image every frame on the render thread (under the compositor's render
// lock, which holds every layer's and chain's lock).
//
// Edits come in a locking form, which takes the compositor's render lock and
// then tells the layer, and an unlocked form for callers that hold it. An
// inserted effect gets the layer's size, and a composition effect the
// layer's file path. Snapshots name effects by their `filterName`; a name
// ending in "qtz" or "QTZ" is a composition effect, found by its file name,
// any other a filter effect. An effect that cannot be made is kept as a
// placeholder that passes the image unchanged and writes its settings back,
// so the next save loses nothing.
class LayerFXChain : public FXChain {
 public:
  static const QString kFilterTypeKey;    // "filterType"
  static const QString kFilterNameKey;    // "filterName"
  static const QString kFilterSnapKey;    // "filterSnap"
  static const QString kTypeComposition;  // "QTZ"
  static const QString kTypeFilter;       // "CIFilter"

  explicit LayerFXChain(FXChainManager* manager, QAbstractScrollArea* scrollView = nullptr);
  ~LayerFXChain() override;

  LayerFXHost* host() const { return host_; }
  void setHost(LayerFXHost* host) { host_ = host; }

  // --- Locking edits (main thread) ----------------------------------------
  void insertEffectObject(const Element& element, unsigned index) override;
  void deleteThisEffect(FXObject* element) override;
  void deleteEffectNamed(const QString& name) override;
  Element removeEffectFromChain(FXObject* element) override;
  // A reorder takes only the chain's own lock (a frame holds it while it
  // passes the chain); the layer is told after.
  void moveEffect(FXObject* element, unsigned index) override;
  // Makes a filter effect of `filterName` and appends it; false when the
  // filter cannot be an effect.
  bool addCIFXNamed(const QString& filterName);
  // Makes a composition effect of the file and appends it.
  bool addQCFXFromPath(const QString& path);
  // Dragged data: a property list {"filterType", "filterName", "filterSnap"}.
  bool insertEffectData(const QByteArray& data, unsigned index) override;
  // The drag data of one of this chain's effects.
  static QByteArray dragDataFor(const LayerFXObject& element);

  // --- Unlocked edits (the caller holds the compositor's render lock) -------
  void unlockedInsertEffectObject(const Element& element, unsigned index);
  void unlockedDeleteThisEffect(FXObject* element);
  void unlockedDeleteEffectNamed(const QString& name);
  Element unlockedRemoveEffectFromChain(FXObject* element);

  // The first active effect is a composition effect.
  bool isFirstActiveEffectQC() const;
  // Every composition effect gets the path (" " for none).
  void setLayerFilePathForQCFX(const QString& path);
  // Every effect gets the rectangle as its render size.
  void setActiveRect(const QRectF& rect);

  // Makes the effect a snapshot or drag names (main thread); a placeholder
  // when it cannot be made.
  Element makeEffect(const QString& name, const QVariantMap& snapshot = {});
  static bool isCompositionName(const QString& name);

  // Under the chain's own lock; a null snapshot changes nothing.
  void loadSnapshot(const QVariant& snapshot) override;

 protected:
  QString snapshotNameOf(const FXObject& element) const override;
  QString matchKey(const QString& name) const override;
  Element makeEffectForSnapshotName(const QString& name) override;
  void effectWillBeInserted(FXObject& element) override;

 private:
  void notifyModified();
  QRectF layerRect() const;

  LayerFXHost* host_ = nullptr;
  bool restoring_ = false;
};
