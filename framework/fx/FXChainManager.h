#pragma once

#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>

class FXObject;

// The owner of one family of processing chains: it makes elements by name
// (from the factories registered with `addClass`), names the four drag types
// of its effect folder, holds the panel images and keeps the list of chain
// presets (dictionaries named by "QKPMNameKey"; subclasses persist them).
// Elements are not loaded from plug-in bundles: a name without a factory is
// logged with the bundle it would have come from and makes nothing.
//
// Main thread only.
class FXChainManager {
 public:
  using Factory = std::function<std::shared_ptr<FXObject>(const QString& name)>;

  static const QString kPresetNameKey;      // "QKPMNameKey"
  static const QString kPresetSnapshotKey;  // "snapshot"
  // Drags carry these MIME types: the prefix and a drag type name.
  static const QString kDragMimePrefix;  // "application/x-zaph-"

  FXChainManager();
  virtual ~FXChainManager();
  FXChainManager(const FXChainManager&) = delete;
  FXChainManager& operator=(const FXChainManager&) = delete;

  // Stores the effect folder's name and derives the drag type names and the
  // folder's path beside the application.
  void setFXFolder(const QString& folder);
  QString fxFolder() const { return fxFolder_; }
  QStringList fxFolderPathArray() const { return fxFolderPathArray_; }
  QString chainFXPboardType() const { return chainFXPboardType_; }
  QString chainFXPboardName() const { return chainFXPboardName_; }
  QString chainPboardType() const { return chainPboardType_; }
  QString chainPboardName() const { return chainPboardName_; }
  static QString mimeTypeFor(const QString& pboardType) { return kDragMimePrefix + pboardType; }

  // Panel images by key: "on", "off", "resize", "delete", "expand",
  // "collapse".
  void loadChainResources();
  const QMap<QString, QImage>& pluginResourceDict() const { return pluginResourceDict_; }

  // Posts the family's "chains changed" notification; the base posts none.
  virtual void updateChainBasedLists() {}

  bool findClassForKey(const QString& name) const { return fxClassDict_.contains(name); }
  void addClass(Factory factory, const QString& name);
  QStringList registeredNames() const { return fxClassDict_.keys(); }
  // A new element of that name, not yet in a chain; null (logged) when no
  // factory makes it.
  virtual std::shared_ptr<FXObject> returnNewEffectNamed(const QString& name);

  // Presets.
  QVariantMap findPresetNamed(const QString& name) const;
  bool deletePresetNamed(const QString& name);
  bool deleteAllPresets();
  const QList<QVariantMap>& fxChainPresetArray() const { return fxChainPresetArray_; }
  QVariantList createSnapshot() const;
  // Each entry replaces the preset of its name, which moves to the end.
  void loadSnapshot(const QVariantList& presets);

 protected:
  // For subclasses that order or persist the presets.
  QList<QVariantMap>& mutablePresetArray() { return fxChainPresetArray_; }

 private:
  QString fxFolder_;
  QStringList fxFolderPathArray_;
  QMap<QString, Factory> fxClassDict_;
  QString chainFXPboardType_;
  QString chainFXPboardName_;
  QString chainPboardType_;
  QString chainPboardName_;
  QMap<QString, QImage> pluginResourceDict_;
  QList<QVariantMap> fxChainPresetArray_;
};
