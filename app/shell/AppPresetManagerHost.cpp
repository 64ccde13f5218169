#include "app/shell/AppPresetManagerHost.h"

#include "app/capture/QKSGController.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorWindow.h"
#include "app/effects/LayerChainManager.h"
#include "app/plugins/clock/MasterClock.h"
#include "app/plugins/clock/MasterClockUIController.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/shell/AppController.h"
#include "app/shell/AppMissingFilesHost.h"
#include "app/shell/MissingFilesSearch.h"
#include "app/shell/PMMissingFilesController.h"
#include "app/shell/AppWindowMenuController.h"
#include "app/shell/PresetManager.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorChainWindow.h"
#include "framework/controls/QKBMSMCoordinator.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKPageController.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/foundation/Log.h"

AppPresetManagerHost::AppPresetManagerHost(AppController& app) : app_(app) {}

AppPresetManagerHost::~AppPresetManagerHost() = default;

namespace {

QKWindowContentView* contentOf(const QWidget* window) {
  const auto* palette = qobject_cast<const QKWindow*>(window);
  return palette ? palette->contentView() : nullptr;
}

BehaviorChainManager* behaviorChains(AppController& app) {
  return app.sliderManager()
             ? dynamic_cast<BehaviorChainManager*>(&app.sliderManager()->behaviorChainManager())
             : nullptr;
}

}  // namespace

std::optional<QVariantMap> AppPresetManagerHost::pageControllerSnapshot() {
  if (!app_.pageController()) return std::nullopt;
  return app_.pageController()->createSnapshot();
}

std::optional<QVariantMap> AppPresetManagerHost::sequenceGrabberSnapshot() {
  if (!app_.SGController()) return QVariantMap{{QStringLiteral("seqSnapArray"), QVariantList()}};
  return app_.SGController()->createSnapshot();
}

std::optional<QVariantList> AppPresetManagerHost::layerChainManagerSnapshot() {
  if (!app_.layerChainManager()) return QVariantList();
  return app_.layerChainManager()->createSnapshot();
}

std::optional<QVariantList> AppPresetManagerHost::behaviorChainManagerSnapshot() {
  BehaviorChainManager* chains = behaviorChains(app_);
  return chains ? chains->createSnapshot() : QVariantList();
}

void AppPresetManagerHost::saveChainPresetsToDisk() {
  if (BehaviorChainManager* chains = behaviorChains(app_)) chains->saveFXChainsToDisk();
  if (LayerChainManager* layerChains = app_.layerChainManager())
    layerChains->saveFXChainPresetsToDisk();
}

QVariantMap AppPresetManagerHost::compositorSnapshot() {
  return app_.compositorObject() ? app_.compositorObject()->createSnapshot() : QVariantMap();
}

QVariantList AppPresetManagerHost::pluginManagerSnapshot() {
  return app_.pluginManager() ? app_.pluginManager()->createSnapshot() : QVariantList();
}

QKWindowContentView* AppPresetManagerHost::paletteContentView(const QString& key) {
  if (key == QLatin1String("pluginManager") && app_.pluginManager())
    return contentOf(app_.pluginManager()->window());
  if (key == QLatin1String("masterClock") && app_.clockPalette())
    return contentOf(app_.clockPalette()->window());
  if (key == QLatin1String("buttonSliderInspector") && app_.inspectorCoordinator())
    return contentOf(app_.inspectorCoordinator()->window());
  if (key == QLatin1String("behaviorChainManager")) {
    // The first chain window's place goes with the project.
    BehaviorChainManager* chains = behaviorChains(app_);
    const auto first = chains ? chains->windowAt(0) : nullptr;
    return first ? contentOf(first->window()) : nullptr;
  }
  if (key == QLatin1String("compositor") && app_.compositorWindow())
    return contentOf(app_.compositorWindow()->window());
  if (key == QLatin1String("presetManager") && app_.presetManager())
    return app_.presetManager()->contentView();
  return nullptr;
}

void AppPresetManagerHost::putPaletteSnapInDict(const QString& owner, QVariantMap& dict) {
  if (owner == QLatin1String("masterClock") && app_.masterClockObject())
    app_.masterClockObject()->putPaletteSnapInDict(dict);
  else if (owner == QLatin1String("sliderInspector") && app_.sliderManager())
    app_.sliderManager()->putPaletteSnapInDict(dict);
  else if (owner == QLatin1String("buttonInspector") && app_.buttonManager())
    app_.buttonManager()->putPaletteSnapInDict(dict);
  else if (owner == QLatin1String("compositor") && app_.compositorWindow())
    app_.compositorWindow()->putPaletteSnapInDict(dict);
}

void AppPresetManagerHost::matchThisPaletteShortcutSnapshot(const QString& owner,
                                                            const QVariantMap& dict) {
  if (owner == QLatin1String("masterClock") && app_.masterClockObject())
    app_.masterClockObject()->matchThisPaletteShortcutSnapshot(dict);
  else if (owner == QLatin1String("sliderInspector") && app_.sliderManager())
    app_.sliderManager()->matchThisPaletteShortcutSnapshot(dict);
  else if (owner == QLatin1String("buttonInspector") && app_.buttonManager())
    app_.buttonManager()->matchThisPaletteShortcutSnapshot(dict);
  else if (owner == QLatin1String("compositor") && app_.compositorWindow())
    app_.compositorWindow()->matchThisPaletteShortcutSnapshot(dict);
}

bool AppPresetManagerHost::interfaceLock() {
  return app_.appWindowMenuController() && app_.appWindowMenuController()->interfaceLock();
}

bool AppPresetManagerHost::interfaceLockAll() {
  return app_.appWindowMenuController() && app_.appWindowMenuController()->interfaceLockAll();
}

void AppPresetManagerHost::setLock(bool lock, bool lockAll) {
  if (app_.appWindowMenuController()) app_.appWindowMenuController()->setLock(lock, lockAll);
}

bool AppPresetManagerHost::fullscreenWouldHideAModal() {
  return app_.outputView() && app_.outputView()->willFullscreenHideAModal();
}

void AppPresetManagerHost::leaveFullscreen() {
  if (app_.outputView()) app_.outputView()->setFullscreen(false);
}

void AppPresetManagerHost::cancelFileLoading() { app_.cancelFileLoading(); }

void AppPresetManagerHost::deleteAllLayers() {
  if (app_.compositorObject()) app_.compositorObject()->deleteAllLayers();
}

void AppPresetManagerHost::deleteAllPlugins() {
  if (app_.pluginManager()) app_.pluginManager()->deleteAllPlugins();
}

void AppPresetManagerHost::clearRootFolder() { app_.clearRootFolder(); }

void AppPresetManagerHost::clearOutInPrepForLoad() {
  if (app_.SGController()) app_.SGController()->clearOutInPrepForLoad();
}

QString AppPresetManagerHost::bundleVersion() { return QStringLiteral(ZAPH_BUNDLE_VERSION); }

void AppPresetManagerHost::loadCompositorSnapshot(const QVariantMap& snapshot) {
  if (app_.compositorObject()) app_.compositorObject()->loadSnapshot(snapshot);
}

void AppPresetManagerHost::loadPluginManagerSnapshot(const QVariantList& snapshot) {
  if (app_.pluginManager()) app_.pluginManager()->loadSnapshot(snapshot);
}

QVariantMap AppPresetManagerHost::layerFXSnapshot() {
  return app_.compositorObject() ? app_.compositorObject()->createLayerFXSnapshot() : QVariantMap();
}

QVariantMap AppPresetManagerHost::layerFXShortcutSnapshot() {
  return app_.compositorObject() ? app_.compositorObject()->createLayerFXShortcutSnapshot()
                                 : QVariantMap();
}

void AppPresetManagerHost::matchLayerFXSnapshot(const QVariantMap& snapshot) {
  if (app_.compositorObject()) app_.compositorObject()->matchThisLayerFXSnapshot(snapshot);
}

void AppPresetManagerHost::matchLayerFXShortcutSnapshot(const QVariant& snapshot) {
  if (app_.compositorObject()) app_.compositorObject()->matchThisLayerFXShortcutSnapshot(snapshot);
}

void AppPresetManagerHost::loadLayerChainManagerSnapshot(const QVariantList& snapshot) {
  if (app_.layerChainManager()) app_.layerChainManager()->loadSnapshot(snapshot);
}

void AppPresetManagerHost::loadBehaviorChainManagerSnapshot(const QVariant& snapshot) {
  if (BehaviorChainManager* chains = behaviorChains(app_)) chains->loadSnapshot(snapshot);
}

void AppPresetManagerHost::loadPageControllerSnapshot(const QVariantMap& snapshot) {
  if (app_.pageController()) app_.pageController()->loadSnapshot(snapshot);
}

bool AppPresetManagerHost::fileLoaderLoading() {
  return app_.fileLoaderObject() && app_.fileLoaderObject()->loading();
}

void AppPresetManagerHost::finishedBatchOfFiles() {
  if (app_.fileLoaderObject()) app_.fileLoaderObject()->finishIdleLoad();
}

std::shared_ptr<QKFile> AppPresetManagerHost::fileForUniqueFileId(long uniqueId) {
  if (app_.rootFolder())
    if (std::shared_ptr<QKFile> file = app_.rootFolder()->findFileByUniqueFileId(uniqueId).file)
      return file;
  return app_.fileForUniqueId(uniqueId);
}

PMMissingFilesController* AppPresetManagerHost::missingFilesController() {
  if (!missingFilesController_) {
    missingFilesHost_ = std::make_unique<AppMissingFilesHost>(app_);
    missingFilesController_ = std::make_unique<PMMissingFilesController>(missingFilesHost_.get());
    missingFilesSearch_ = MissingFilesSearch::attach(*missingFilesController_);
  }
  return missingFilesController_.get();
}

void AppPresetManagerHost::openMissingFilesWindow(bool startSearch) {
  missingFilesController()->openMissingFilePanelAndStartSpotlightSearch(startSearch);
}

void AppPresetManagerHost::updateMissingFilesWindow() {
  if (missingFilesController_) missingFilesController_->update();
}
