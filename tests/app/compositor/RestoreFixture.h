#pragma once

#include "LayerFixture.h"

#include "app/compositor/LayerFXShortcuts.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/filters/CustomFilters.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/LogCapture.h"

#include <functional>

// A source that writes a snapshot of its own type and keeps what it is
// given back, with or without its file.
class SnapSource : public VidSourceObject {
 public:
  SnapSource(const QString& name, Layer* layer, QString type)
      : VidSourceObject(name, layer), type_(std::move(type)) {}
  QVariantMap createSnapshot() const override {
    return {{"sourceType", type_}, {"setting", setting}};
  }
  void loadSnapshot(const QVariantMap& snapshot, bool trigger) override {
    loaded = snapshot;
    setting = snapshot.value("setting").toInt();
    withFile = trigger;
  }
  int setting = 0;
  QVariantMap loaded;
  bool withFile = false;

 private:
  QString type_;
};

// A layer world whose layers have real effect chains (filter effects need
// no GL until they render), snapshot-writing movie, composition and web
// sources, fake layer windows and a chain manager.
struct RestoreWorld : LayerWorld {
  RestoreWorld() {
    // Shortcut cells find the data-source controller through the manager.
    buttons.setDataSourceController(&dsc);
    dsc.setButtonManager(&buttons);
    {
      LogCapture quiet;
      CustomFilters::initialize();
    }
    useFakeWindows();
    compositor->setChainManager(manager);
    compositor->setLayerChainFactory(LayerFXChainAdapter::factory(manager));
    const std::pair<QString, QString> kinds[] = {{VidSourceObject::kMovieSource, "movieSource"},
                                                 {VidSourceObject::kQCSource, "qcSource"},
                                                 {VidSourceObject::kWebSource, "webSource"}};
    for (const auto& [key, type] : kinds)
      compositor->registerSourceFactory(key, [type = type](const QString& name, Layer& layer) {
        return std::make_shared<SnapSource>(name, &layer, type);
      });
  }
  ~RestoreWorld() {
    compositor->deleteAllLayers();
    dsc.setButtonManager(nullptr);
  }
  static SnapSource& snap(Layer& layer, const QString& key) {
    return static_cast<SnapSource&>(*layer.sourceOfKind(key));
  }
  std::shared_ptr<Layer> named(const QString& name) {
    auto layer = compositor->createNewLayer();
    EXPECT_TRUE(layer->setLayerName(name));
    return layer;
  }
  Layer* find(const QString& name) const { return compositor->findLayerByName(name); }
  static QStringList chainOf(Layer* layer) {
    QStringList names;
    for (const QVariant& entry : layer->fxChain()->createSnapshot())
      names << entry.toMap().value("fxNameString").toString();
    return names;
  }

  QKButtonManager buttons;
  std::shared_ptr<LayerChainManager> manager = std::make_shared<LayerChainManager>();
};

// Snapshot builders: a layer, a group of members, a window.
inline QVariantMap layerSnap(const QString& name) {
  return {{"layerName", name}, {"groupFlag", false}};
}
inline QVariantMap groupSnap(const QString& name, const QVariantList& members) {
  return {{"layerName", name}, {"groupFlag", true}, {"layerArray", members}};
}
inline QVariantMap windowSnap(const QStringList& names) { return {{"layerArray", names}}; }
inline QVariantMap setSnap(const QVariantList& layers, const QVariantList& windows) {
  return {{"layerSnapArray", layers}, {"layerWindSnapArray", windows}};
}
