#include "app/shell/AppController.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerWindowTabView.h"
#include "app/mediabin/MediaBinCandidates.h"

#include "app/capture/QKSGController.h"
#include "app/sources/MovieSource.h"
#include "app/sources/SourceFactories.h"
#include "app/sources/SourceFileLookup.h"

#include "app/shell/AppBugReporterHost.h"
#include "app/shell/AppPresetManagerHost.h"
#include "app/shell/AppPrefsHost.h"
#include "app/prefs/PrefsController.h"
#include "app/shell/QKBugReporter.h"
#include "app/shell/AppWindowMenuController.h"
#include "app/shell/HelpLinks.h"
#include "app/shell/InternetCheck.h"
#include "platform/net/QKCrashReporter.h"
#include "app/shell/PresetManager.h"
#include "app/shell/StartingPointWindow.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "app/shell/StartupComposition.h"
#include "app/plugins/clock/MasterClock.h"
#include "app/mediabin/MBCompositorQueueHost.h"
#include "app/mediabin/MediaBin.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/audio/QKAudioDeviceThreadController.h"
#include "framework/toolkit/QKPlugin.h"
#include "app/plugins/clock/MasterClockUIController.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorWindow.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/compositor/LayerPanel.h"
#include "framework/controls/QKButton.h"
#include "platform/foundation/UserDefaults.h"

#include "framework/controls/QKBMSMCoordinator.h"
#include "app/inspector/MediaInspector.h"
#include "app/shell/AppMediaInspectorHost.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKFlashThumbnailGenerator.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKWebThumbnailRenderer.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/behaviors/BehaviorPanels.h"
#include "platform/foundation/DelayedCalls.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/WorkerPool.h"
#include "platform/gl/RenderThread.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QScreen>

#include <map>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>

namespace {

std::function<void(const QString&)>& creationObserver() {
  static std::function<void(const QString&)> observer;
  return observer;
}

const QString kProjectExtension = QStringLiteral("zaph");
const QString kTriggerPresetKey = QStringLiteral("startingPointTriggerPreset");
const QString kLastVersionKey = QStringLiteral("lastVsnUsedToOpenString");
constexpr int kLaunchDelayMs = 1500;

}  // namespace

// One line a manager. Later managers may use the earlier ones; none may
// count on a later one. Those without a factory are not built yet.
const std::vector<AppController::ManagerStep>& AppController::managerOrder() {
  static const std::vector<ManagerStep> order = {
      {"PrefsController", &AppController::makePrefsController},
      {"Compositor", &AppController::makeCompositor},
      {"QKPluginManager", &AppController::makePluginManager},
      {"MediaInspector", &AppController::makeMediaInspector},
      {"PresetManager", &AppController::makePresetManager},
      {"QKSGController", &AppController::makeSGController},
      {"QKStatChecker", &AppController::makeStatChecker},
      {"QKFolder", &AppController::makeRootFolder},
      {"MIDIManager", &AppController::makeMIDIManager},
      {"QKOSCManager", &AppController::makeOSCManager},
      {"QKAudioDeviceThreadController", nullptr},
      {"QKFileLoader", &AppController::makeFileLoader},
      {"QKPageController", &AppController::makePageController},
      {"QKFlashThumbnailGenerator", &AppController::makeThumbnailGenerator},
  };
  return order;
}

void AppController::setCreationObserver(std::function<void(const QString&)> observer) {
  creationObserver() = std::move(observer);
}

AppController::AppController(QObject* parent)
    : QObject(parent),
      menuBar_(std::make_unique<QMenuBar>()),
      layoutRegistry_(std::make_unique<LayoutRegistry>()),
      urlOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      delayedCalls_(&DelayedCalls::mainThread()) {
  createInterfaceObjects();
  createManagers();
  awakeFromNib();
}

// What the main interface file holds: the window with the menus (and the
// Window-menu controller), the control data, the clock, the slider and
// button managers.
void AppController::createInterfaceObjects() {
  LayoutRegistry::setShared(layoutRegistry_.get());
  BehaviorPanels::registerLayouts(*layoutRegistry_);
  buildMenus();
  // Menu shortcuts work from every window, also while the Layer Manager
  // that carries the menu bar is hidden or collapsed.
  qApp->installEventFilter(this);
  // The control data ticks from start-up to quit.
  dataSourceController_ = std::make_unique<DataSourceController>();
  dataSourceController_->setAppController(this);
  masterClock_ = std::make_unique<MasterClock>();
  sliderManager_ = std::make_unique<QKSliderManager>();
  buttonManager_ = std::make_unique<QKButtonManager>();
  sliderManager_->setDataSourceController(dataSourceController_.get());
  buttonManager_->setDataSourceController(dataSourceController_.get());
  dataSourceController_->setSliderManager(sliderManager_.get());
  dataSourceController_->setButtonManager(buttonManager_.get());
}

void AppController::createManagers() {
  for (const ManagerStep& step : managerOrder()) {
    if (!step.make) continue;
    (this->*step.make)();
    if (creationObserver()) creationObserver()(QString::fromLatin1(step.name));
  }
  makeCrashReporter();
}

// Crash logs go to the bug-report site; its check runs once the internet
// thread has reached the maker's server.
void AppController::makeCrashReporter() {
  crashReporter_ = std::make_unique<QKCrashReporter>();
  crashReporter_->setDelegate(this);
  const QUrl site(InternetCheck::configuredAddress(QStringLiteral("bugReportURL")));
  if (site.isValid() && !site.isEmpty()) {
    QUrl upload = site;
    upload.setPath(QStringLiteral("/integratedBugReporter3.php"));
    upload.setQuery(QString());
    crashReporter_->setUploadURL(upload.toString());
  }
}

void AppController::startInternetThread() {
  InternetCheck::Environment environment;
  environment.bundleVersion = QStringLiteral(ZAPH_BUNDLE_VERSION);
  environment.fullscreenHidesModal = [this] {
    return outputView_ && outputView_->willFullscreenHideAModal();
  };
  environment.openUrl = [this](const QUrl& url) { return urlOpener_ && urlOpener_(url); };
  environment.setInternetAvailable = [this](bool available) { setInternetAvailable(available); };
  environment.crashReporterCheck = [this] {
    if (crashReporter_) crashReporter_->check();
  };
  environment.releaseGate = [this] { crashReporterCheckDone(); };
  internetCheck_ = std::make_unique<InternetCheck>(std::move(environment));
  internetCheck_->start();
}

// The preferences window and its panes; they wake once the managers and
// the output are made (awakeFromNib).
void AppController::makePrefsController() {
  prefsHost_ = std::make_unique<AppPrefsHost>(*this);
  prefsController_ = std::make_unique<PrefsController>(prefsHost_.get());
}

void AppController::showPreferences() {
  if (prefsController_) prefsController_->showPane(-1);
}

void AppController::makeCompositor() {
  compositor_ = std::make_unique<Compositor>(std::make_unique<QKTapManager>(),
                                             Compositor::Environment::fromSystem());
  compositor_->setDataSourceController(dataSourceController_.get());
  compositor_->setMasterClock(masterClock_.get());
}

// Plug-ins take their IDs from the compositor's one counter.
void AppController::makePluginManager() {
  pluginManager_ = std::make_unique<QKPluginManager>(
      this, [compositor = compositor_.get()] { return compositor->getUniqueID(); },
      BuiltInPluginTypes::entries());
  // Command-clicked layer tabs and synced previews reach the bins' queues.
  LayerWindowTabView::setBinCandidates([this](Layer* layer) {
    return pluginManager_
               ? MediaBinCandidates::holding(pluginManager_->pluginArray(), layer->layerName())
               : std::vector<LayerWindowTabView::Candidate>();
  });
}

void AppController::makePresetManager() {
  presetManagerHost_ = std::make_unique<AppPresetManagerHost>(*this);
  presetManager_ = std::make_unique<PresetManager>(presetManagerHost_.get());
  compositor_->setProjectSavePathSource(
      [this] { return presetManager_ ? presetManager_->mediaProjectPath() : QString(); });
}

void AppController::makeSGController() {
  QKSGController::MediaBinServices services;
  services.firstPageId = [this]() -> long {
    auto first = pageController_ ? pageController_->firstPage() : nullptr;
    return first ? first->uniqueFileId() : 0;
  };
  services.destinationMenu = [this] {
    return fileLoader_ ? fileLoader_->folderAndMediaBinListMenu().items()
                       : std::vector<QKPageListMenu::Item>();
  };
  sgController_ = std::make_unique<QKSGController>(compositor_.get(), std::move(services));
  compositor_->setCaptureRenderer(sgController_.get());
}

void AppController::startRecordingFromRightClick() {
  if (sgController_) sgController_->startRecordingFromRightClick();
}

void AppController::stopRecordingFromExternalSource() {
  if (sgController_) sgController_->stopRecordingFromExternalSource();
}

void AppController::makeStatChecker() { statChecker_ = std::make_unique<QKStatChecker>(); }

void AppController::makeMediaInspector() {
  mediaInspectorHost_ = std::make_unique<AppMediaInspectorHost>(*this);
  mediaInspector_ = std::make_unique<MediaInspector>(mediaInspectorHost_.get());
}

void AppController::makeRootFolder() {
  rootFolder_ = std::make_shared<QKFolder>(compositor_.get(), nullptr);
}

void AppController::makeMIDIManager() {
  midiManager_ = std::make_unique<MIDIManager>(this);
  midiManager_->loadSourceEnableStatesFromDefaults();
  // The dedicated sources come back when the MIDI preference pane wakes.
}

void AppController::makeOSCManager() {
  // The ports and dedicated sources come back when the OSC preference pane
  // wakes.
  oscManager_ = std::make_unique<QKOSCManager>(this);
}

void AppController::makeFileLoader() {
  fileLoader_ = std::make_unique<QKFileLoader>(this);
  rootFolder_->setFileLoader(fileLoader_.get());
  compositor_->setFileLoader(fileLoader_.get());
}

void AppController::makePageController() {
  pageController_ = std::make_unique<QKPageController>(this);
}

void AppController::makeThumbnailGenerator() {
  thumbnailGenerator_ = std::make_unique<QKFlashThumbnailGenerator>(
      std::make_unique<QKWebThumbnailRenderer>(), DelayedCalls::mainThread());
  thumbnailGenerator_->setAppController(this);
  fileLoader_->setThumbnailGenerator(thumbnailGenerator_.get());
}

// The palettes of the managers that exist show; the output starts.
void AppController::awakeFromNib() {
  dataSourceController_->awakeFromNib();
  masterClock_->awakeFromNib(dataSourceController_.get());
  inspectorCoordinator_ = std::make_unique<QKBMSMCoordinator>(
      sliderManager_.get(), buttonManager_.get(), dataSourceController_.get());
  inspectorCoordinator_->awakeFromNib();
  dataSourceController_->setCoordinator(inspectorCoordinator_.get());
  pluginManager_->awakeFromNib();
  presetManager_->awakeFromNib();
  presetManager_->showWindow();
  clockPalette_ = std::make_unique<MasterClockUIController>(masterClock_.get());
  clockPalette_->awakeFromNib();
  masterClock_->setView(clockPalette_.get());
  mediaInspector_->awakeFromNib();
  compositor_->setMediaInspector(mediaInspector_.get());
  sgController_->awakeFromNib();
  // Frames are drawn on the render thread from start-up to quit.
  gl::RenderThread::instance().start();
  // The composition runtime plays "black" once; ZAPH cannot go on without it.
  compositionRuntimeFailed_ = StartupComposition::open() == StartupComposition::Result::Failed;
  if (!compositionRuntimeFailed_) createOutput();
  // Every pane writes its absent defaults and applies the stored ones.
  prefsController_->awakePanes();
  if (!compositionRuntimeFailed_) showOutput();
  helpLinks_ =
      std::make_unique<HelpLinks>([this](const QUrl& url) { return urlOpener_ && urlOpener_(url); },
                                  [this] {
                                    if (bugReportStarter_) bugReportStarter_();
                                  });
  startInternetThread();
  bugReporterHost_ = std::make_unique<AppBugReporterHost>(*this);
  bugReporter_ = std::make_unique<QKBugReporter>(bugReporterHost_.get());
  bugReporter_->checkForWiretap();
  bugReportStarter_ = [this] { bugReporter_->beginBugReport(); };
}

QKTapManager* AppController::tapManager() const { return compositor_->tapManager(); }

// The compositor wakes, then the output view (which loads 0.2 s later) and
// the compositor window. The output settings and the chosen screens come
// from the preferences' panes; then the window shows with its display
// toggle switched on (showOutput).
void AppController::createOutput() {
  SourceFactories::install(*compositor_);
  layerChainManager_ = std::make_shared<LayerChainManager>();
  compositor_->setChainManager(layerChainManager_);
  compositor_->awake();
  compositor_->setLayerWindowFactory(
      [](Compositor& compositor) { return std::make_unique<LayerPanel>(&compositor); });
  LayerFXChainAdapter::install(*compositor_, layerChainManager_);
  compositor_->makeFilterListController();
  SourceFileLookup::set([this](long uniqueId) {
    if (rootFolder_)
      if (std::shared_ptr<QKFile> file = rootFolder_->findFileByUniqueFileId(uniqueId).file)
        return file;
    return fileForUniqueId(uniqueId);
  });
  outputView_ = std::make_unique<CompositorGLView>(compositor_.get());
  outputView_->awake();
  compositor_->setModalHiddenTest(
      [view = outputView_.get()] { return view->willFullscreenHideAModal(); });
  CompositorGLView* view = outputView_.get();
  // The display chooser lives in the preferences' "Output" pane.
  compositorWindow_ = std::make_unique<CompositorWindow>(view, [this] {
    if (prefsController_) prefsController_->showPane(PrefsController::kOutputRow);
  });
  compositorWindow_->setMenuBar(menuBar_.get());
}

void AppController::showOutput() {
  compositorWindow_->show();
  compositorWindow_->toggleDisplayButton()->setIntValue(1, false);
  compositorWindow_->displayToggleUsed();
  connect(&idleTimer_, &QTimer::timeout, this, &AppController::idleCallback);
  idleTimer_.start(30);
}

void AppController::restoreFullscreen() {
  if (!compositorWindow_) return;
  compositorWindow_->fullscreenToggle()->setIntValue(1, false);
  compositorWindow_->fullscreenToggleUsed();
}

void AppController::idleCallback() {
  ++idleCount_;
  if (idleHook_) idleHook_();
  if (compositor_) compositor_->idleCallback();
}

// --- Launch ------------------------------------------------------------------------------------

void AppController::applicationDidFinishLaunching() {
  finishedLaunching_ = true;
  if (loadFileOnLaunch_.isEmpty()) {
    QTimer::singleShot(kLaunchDelayMs, this, &AppController::openStartingPointWindow);
  } else {
    const QString path = loadFileOnLaunch_;
    loadFileOnLaunch_.clear();
    QTimer::singleShot(kLaunchDelayMs, this, [this, path] {
      if (presetManager_) presetManager_->loadProjectFromPath(path);
    });
    setStartingPointCheckDone();
  }
  if (compositorWindow_) {
    compositorWindow_->toggleDisplayButton()->setIntValue(1, false);
    compositorWindow_->displayToggleUsed();
  }
}

bool AppController::acceptsOpenedPath(const QString& path) const {
  const QFileInfo info(path);
  if (info.exists() && !info.isDir()) return true;
  Log::line(QStringLiteral("\t\terr: cannot open %1: %2")
                .arg(path, info.exists() ? QStringLiteral("it is a folder")
                                         : QStringLiteral("no such file")));
  return false;
}

bool AppController::applicationOpenFile(const QString& path) {
  applicationOpenFiles({path});
  return true;
}

void AppController::applicationOpenFiles(const QStringList& paths) {
  QStringList usable;
  for (const QString& path : paths)
    if (acceptsOpenedPath(path)) usable << path;
  for (const QString& path : usable) {
    if (QFileInfo(path).suffix() != kProjectExtension) continue;
    if (!finishedLaunching_) {
      loadFileOnLaunch_ = path;
    } else if (presetManager_) {
      presetManager_->newFileMenuUsed();
      QTimer::singleShot(kLaunchDelayMs, this, [this, path] {
        if (presetManager_) presetManager_->loadProjectFromPath(path);
      });
    }
    return;
  }
  if (finishedLaunching_ && fileLoader_ && !usable.isEmpty())
    fileLoader_->addTheseFilesToQueue(usable, nullptr, -1, false);
}

// --- The starting point ------------------------------------------------------------------------

void AppController::openStartingPointWindow() {
  if (!MainThread::isMainThread()) {
    MainThread::runAndWait([this] { openStartingPointWindow(); });
    return;
  }
  UserDefaults& defaults = UserDefaults::standard();
  if (!defaults.contains(kTriggerPresetKey)) {
    defaults.setValue(kTriggerPresetKey, 1);
    defaults.synchronize();
  }
  startingPointWindow_ = std::make_unique<StartingPointWindow>(StartingPointWindow::Actions{
      [this] { startingPointNewSetButtonUsed(); }, [this] { startingPointOpenSetButtonUsed(); },
      [this] { startingPointOpenLastSetButtonUsed(); },
      [this](int value) { startingPointTriggerPresetToggleUsed(value); }});
  startingPointWindow_->setTriggerPreset(defaults.integerValue(kTriggerPresetKey) != 0);
  const QString last = presetManager_ ? presetManager_->defaultProjectPath() : QString();
  startingPointWindow_->setLastSetName(last.isEmpty() ? QString()
                                                      : QFileInfo(last).completeBaseName());
  startingPointWindow_->exec();
}

void AppController::startingPointNewSetButtonUsed() {
  if (presetManager_) presetManager_->newFileMenuUsed();
  setStartingPointCheckDone();
  recordVersion();
}

void AppController::startingPointOpenSetButtonUsed() {
  if (presetManager_) presetManager_->fileMenuOpen();
  recordVersion();
}

void AppController::startingPointOpenLastSetButtonUsed() {
  if (presetManager_) presetManager_->loadDefaultProject();
  setStartingPointCheckDone();
}

void AppController::startingPointTriggerPresetToggleUsed(int value) {
  UserDefaults& defaults = UserDefaults::standard();
  if (!defaults.contains(kTriggerPresetKey))
    defaults.registerDefaults({{kTriggerPresetKey, value}});
  defaults.setValue(kTriggerPresetKey, value);
}

void AppController::recordVersion() {
  UserDefaults& defaults = UserDefaults::standard();
  const QString bundle = QStringLiteral(ZAPH_BUNDLE_VERSION);
  if (!defaults.contains(kLastVersionKey)) {
    defaults.registerDefaults({{kLastVersionKey, bundle}});
  } else if (defaults.stringValue(kLastVersionKey) == bundle) {
    return;
  }
  defaults.setValue(kLastVersionKey, bundle);
  defaults.synchronize();
}

// --- The fullscreen gate -----------------------------------------------------------------------

void AppController::crashReporterCheckDone() {
  MainThread::run([this] {
    bugReporterCheckDone_ = true;
    checkAndPerformFullscreenResto();
  });
}

void AppController::setStartingPointCheckDone() {
  MainThread::run([this] {
    startingPointCheckDone_ = true;
    checkAndPerformFullscreenResto();
  });
}

void AppController::checkAndPerformFullscreenResto() {
  if (!MainThread::isMainThread()) {
    MainThread::run([this] { checkAndPerformFullscreenResto(); });
    return;
  }
  if (!bugReporterCheckDone_ || !startingPointCheckDone_) return;
  if (!UserDefaults::standard().boolValue(QStringLiteral("fullscreenFlag"))) return;
  if (fullscreenRestoreHook_)
    fullscreenRestoreHook_();
  else
    restoreFullscreen();
}

// --- Quit --------------------------------------------------------------------------------------

AppController::TerminateReply AppController::applicationShouldTerminate() {
  if (!outputView_) {
    Log::line(QStringLiteral("err: couldn't find comp gl view %1")
                  .arg(QLatin1String("applicationShouldTerminate")));
    // Movies, sound and frames still wind down.
    postAboutToQuit();
    return TerminateReply::Now;
  }
  if (outputView_->willFullscreenHideAModal()) return TerminateReply::Cancel;
  const int answer = Alert::show(QStringLiteral("Hang on a second...."),
                                 QStringLiteral("Are you sure you want to quit?"),
                                 {QStringLiteral("Nope"), QStringLiteral("Yep")}, 0);
  if (answer != 1) return TerminateReply::Cancel;
  postAboutToQuit();
  Log::line(QStringLiteral("ZAPH ready to quit at %1")
                .arg(QDateTime::currentDateTime().toString(Qt::ISODate)));
  return TerminateReply::Now;
}

void AppController::quitMenuUsed() {
  if (applicationShouldTerminate() == TerminateReply::Now) QApplication::quit();
}

void AppController::postAboutToQuit() {
  if (aboutToQuitPosted_) return;
  aboutToQuitPosted_ = true;
  NotificationCenter::defaultCenter().post(QStringLiteral("AppAboutToQuitNotification"));
}

MasterClockInterface* AppController::masterClock() { return masterClock_.get(); }

AppController::~AppController() {
  LayerWindowTabView::setBinCandidates({});
  windDown();  // also when the program ends without a quit (tests, a failed start)
  // The layers let go of their data sources while the controller lives.
  compositor_->deleteAllLayers();
  compositor_->setDataSourceController(nullptr);
  compositor_->setMasterClock(nullptr);
  clockPalette_.reset();  // its destructor detaches it from the clock
  compositor_->setMediaInspector(nullptr);
  mediaInspector_.reset();
  inspectorCoordinator_.reset();
  dataSourceController_->setSliderManager(nullptr);
  dataSourceController_->setButtonManager(nullptr);
  if (LayoutRegistry::shared() == layoutRegistry_.get()) LayoutRegistry::setShared(nullptr);
}

bool AppController::eventFilter(QObject* watched, QEvent* event) {
  const bool isKey = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
  if (!isKey || !watched->isWidgetType()) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  // A key event climbs from the focus widget to its window: act on its
  // first receiver only.
  auto* receiver = static_cast<QWidget*>(watched);
  const QWidget* focus = QApplication::focusWidget();
  const bool firstReceiver =
      receiver == focus || (receiver->isWindow() && (!focus || focus->window() != receiver));
  if (!firstReceiver) return false;
  if (event->type() == QEvent::KeyPress && triggerMenuShortcut(*key)) return true;
  if (keyGoesToControlData(receiver) && dataSourceController_) dataSourceController_->keyDown(key);
  return false;
}

// Qt fires a menu action itself while its menu bar is shown; a key that
// still arrives found no shown bar.
bool AppController::triggerMenuShortcut(const QKeyEvent& key) {
  if (key.modifiers() == Qt::NoModifier || key.isAutoRepeat()) return false;
  if (QApplication::activeModalWidget()) return false;  // as Qt does for a shown bar
  const QKeySequence pressed(key.keyCombination());
  const std::function<QAction*(const QList<QAction*>&)> find =
      [&](const QList<QAction*>& actions) -> QAction* {
    for (QAction* action : actions) {
      if (!action->isEnabled()) continue;
      if (QMenu* menu = action->menu()) {
        if (QAction* found = find(menu->actions())) return found;
      } else if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
        return action;
      }
    }
    return nullptr;
  };
  QAction* action = find(menuBar_->actions());
  if (!action) return false;
  action->trigger();
  return true;
}

// Keys typed into the Layer Manager's window feed the key data sources,
// except those typed into a text field.
bool AppController::keyGoesToControlData(QWidget* receiver) const {
  if (!compositorWindow_ || receiver->window() != compositorWindow_->window()) return false;
  return !receiver->testAttribute(Qt::WA_InputMethodEnabled);
}

MIDIManagerInterface* AppController::midiManager() { return midiManager_.get(); }

CompositorInterface* AppController::compositor() { return compositor_.get(); }

QKFileLoaderInterface* AppController::fileLoader() { return fileLoader_.get(); }

std::shared_ptr<QKFile> AppController::fileForUniqueId(long uniqueId) {
  return pageController_ ? pageController_->fileForUniqueId(uniqueId) : nullptr;
}

QWidget* AppController::presetManagerWindow() {
  if (presetManager_) return presetManager_->window();
  return compositorWindow_ ? compositorWindow_->window() : nullptr;
}

void AppController::removeRelinkedMissingFiles(const std::vector<std::shared_ptr<QKFile>>& files,
                                               const QVariantList&) {
  if (presetManager_) presetManager_->removeRelinkedMissingFiles(files);
}

void AppController::openWindowForMissingFiles() {
  if (presetManager_) presetManager_->openWindowForMissingFiles();
}

void AppController::openWindowForMissingFilesAndStartSearch() {
  if (presetManager_) presetManager_->openWindowForMissingFilesAndStartSpotlightSearch();
}

void AppController::clearRootFolder() {
  if (rootFolder_) rootFolder_->clearContents();
  if (pageController_) {
    pageController_->removeAllPages();
    pageController_->addBlankPage();
  }
  NotificationCenter::defaultCenter().post(QStringLiteral("QKMBReloadAllNotification"));
}

QStringList AppController::mediaBinTitles() {
  QStringList titles;
  if (pluginManager_)
    for (const QKPlugin* plugin : pluginManager_->pluginArray())
      if (plugin->name() == QStringLiteral("MediaBin")) titles << plugin->windowTitle();
  return titles;
}

std::optional<QString> AppController::mediaBinTitle(const void* plugin) {
  if (!pluginManager_) return std::nullopt;
  for (const QKPlugin* live : pluginManager_->pluginArray())
    if (live == plugin && live->name() == QStringLiteral("MediaBin")) return live->windowTitle();
  return std::nullopt;
}

std::optional<long> AppController::currentPageIdOfMediaBin(const QString& title) {
  if (!pluginManager_) return std::nullopt;
  for (QKPlugin* live : pluginManager_->pluginArray())
    if (auto* bin = qobject_cast<MediaBin*>(live); bin && bin->windowTitle() == title)
      return bin->currentPageId();
  return std::nullopt;
}

std::unique_ptr<MBLayerQueueHost> AppController::makeLayerQueueHost() {
  if (!compositor_ || !pageController_) return nullptr;
  return std::make_unique<MBCompositorQueueHost>(compositor_.get(), pageController_.get());
}

void AppController::windowMenuGatherOutputs() {
  if (compositorWindow_ && compositorWindow_->fullscreenToggle()->intValue() == 1) {
    compositorWindow_->fullscreenToggle()->setIntValue(0, false);
    compositorWindow_->fullscreenToggleUsed();
  }
  if (outputView_) {
    QWindow* window = outputView_->window();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    window->setGeometry(QRect(origin + QPoint(100, 100), QSize(320, 240)));
    window->requestUpdate();
    window->show();
    window->raise();
    window->requestActivate();
  }
  if (pluginManager_) pluginManager_->windowMenuGatherOutputs();
}

void AppController::windowMenuFullscreenToggle() {
  if (!compositorWindow_ || !compositorWindow_->fullscreenToggle()) return;
  // Flipped by hand and its action performed: the toggle has no target, so
  // QKButton::toggle would leave it alone.
  QKButton* toggle = compositorWindow_->fullscreenToggle();
  toggle->setIntValue(toggle->intValue() == 1 ? 0 : 1, false);
  compositorWindow_->fullscreenToggleUsed();
  QAction* item = menuItem(QStringLiteral("windowMenuFullscreenToggle"));
  if (!item) return;
  if (toggle->intValue() == 1) item->setChecked(true);
  if (toggle->intValue() == 0) item->setChecked(false);
}

void AppController::fileMenuNew() {
  if (!presetManager_) return;
  presetManager_->newFileMenuUsed();
  presetManager_->setSavePath(QString());
}

void AppController::fileMenuOpen() {
  if (presetManager_) presetManager_->fileMenuOpen();
}

void AppController::fileMenuSave() {
  if (!presetManager_) return;
  presetManager_->updatePreset();
  presetManager_->saveButtonUsed();
}

void AppController::fileMenuSaveWithoutPresetUpdate() {
  if (presetManager_) presetManager_->saveButtonUsed();
}

void AppController::fileMenuSaveAs() {
  if (presetManager_) presetManager_->saveAsButtonUsed();
}

void AppController::fileMenuRelinkMedia() {
  if (presetManager_) presetManager_->openWindowForMissingFiles();
}

void AppController::helpMenuChosen() {
  if (helpLinks_) helpLinks_->helpMenuChosen();
}

void AppController::reportBugChosen() {
  if (helpLinks_) helpLinks_->reportBugChosen();
}

void AppController::talkToDevsChosen() {
  if (helpLinks_) helpLinks_->talkToDevsChosen();
}

void AppController::fxCommunitySiteChosen() {
  if (helpLinks_) helpLinks_->fxCommunitySiteChosen();
}

void AppController::tutorialMenuChosen() {
  const QString path = PresetManager::tutorialProjectPath();
  if (!QFileInfo(path).isFile()) {
    Alert::show(QStringLiteral("Missing Tutorial Project"),
                QStringLiteral("Sorry, the tutorial project file is missing"),
                {QStringLiteral("OK")});
    return;
  }
  UserDefaults& defaults = UserDefaults::standard();
  defaults.setValue(QStringLiteral("loadPresetPath"), path);
  defaults.synchronize();
  if (!presetManager_) return;
  presetManager_->newFileMenuUsed();
  delayedCalls_->callLater(this, 2.0, [this, path] {
    if (presetManager_) presetManager_->loadProjectFromPath(path);
  });
}

// The live inputs a page can record ("<none>" leads the menu).
QStringList AppController::inputTapTitles() {
  QStringList titles;
  for (const QKTapMenuItem& item : tapManager()->sortedInputSTapMenu())
    titles.append(item.isNone() ? QStringLiteral("<none>") : item.tapName);
  return titles;
}

PMMissingFilesController* AppController::missingFilesController() {
  return presetManagerHost_ ? presetManagerHost_->missingFilesController() : nullptr;
}

void AppController::fileMenuImportMedia() {
  if (fileLoader_) fileLoader_->loadWithOpenPanel();
}

void AppController::cancelFileLoading() {
  if (fileLoader_) fileLoader_->cancelFileLoading();
}

// Nothing more reaches the tree; the ports stay listed (and so saved).
void AppController::closeControlInput() {
  if (midiManager_) midiManager_->closeAll();
  if (oscManager_) oscManager_->closeAll();
}

// The menus in one place. Items are looked up by their object names.
const std::vector<AppController::MenuAction>& AppController::menuActions() {
  using K = QKeySequence;
  static const std::vector<MenuAction> table = {
      {"ZAPH", "Preferences…", "preferencesMenuItem", K::Preferences,
       &AppController::showPreferences, true, false, false},
      {"ZAPH", "Quit ZAPH", "quitMenuItem", K::Quit, &AppController::quitMenuUsed, true, false,
       false},
      {"File", "New", "fileMenuNew", K::New, &AppController::fileMenuNew, true, false, false},
      {"File", "Open…", "fileMenuOpen", K::Open, &AppController::fileMenuOpen, true, false, false},
      {"File", "Close", "fileMenuClose", K::UnknownKey, &AppController::fileMenuClose, false, false,
       false},
      {"File", "Update Preset and Save Project", "fileMenuSave", K::Save,
       &AppController::fileMenuSave, true, false, false},
      {"File", "Save Project Without Preset Update", "fileMenuSaveWithoutPresetUpdate",
       K::UnknownKey, &AppController::fileMenuSaveWithoutPresetUpdate, true, false, false},
      {"File", "Save Project As...", "fileMenuSaveAs", K::SaveAs, &AppController::fileMenuSaveAs,
       true, false, false},
      {"File", "Import Media…", "fileMenuImportMedia", K::UnknownKey,
       &AppController::fileMenuImportMedia, true, true, false},
      {"File", "Relink Media…", "fileMenuRelinkMedia", K::UnknownKey,
       &AppController::fileMenuRelinkMedia, true, false, false},
      {"File", "Cancel File Loading", "cancelFileLoading", K::UnknownKey,
       &AppController::cancelFileLoading, true, false, false},
      {"Window", "Gather Outputs", "windowMenuGatherOutputs", K::UnknownKey,
       &AppController::windowMenuGatherOutputs, true, false, false},
      {"Window", "Fullscreen", "windowMenuFullscreenToggle", K::UnknownKey,
       &AppController::windowMenuFullscreenToggle, true, false, true},
      {"Help", "ZAPH Help", "helpMenuChosen", K::HelpContents, &AppController::helpMenuChosen, true,
       false, false},
      {"Help", "Tutorial", "tutorialMenuChosen", K::UnknownKey, &AppController::tutorialMenuChosen,
       true, false, false},
      {"Help", "Effects Community Site", "fxCommunitySiteChosen", K::UnknownKey,
       &AppController::fxCommunitySiteChosen, true, false, false},
      {"Help", "Talk to the Developers", "talkToDevsChosen", K::UnknownKey,
       &AppController::talkToDevsChosen, true, true, false},
      {"Help", "Report a Bug…", "reportBugChosen", K::UnknownKey, &AppController::reportBugChosen,
       true, false, false},
  };
  return table;
}

QAction* AppController::menuItem(const QString& name) const {
  return menuBar_.get()->findChild<QAction*>(name);
}

void AppController::buildMenus() {
  QMenuBar* bar = menuBar_.get();
  std::map<QString, QMenu*> menus;
  const auto menuNamed = [&](const QString& title) {
    QMenu*& menu = menus[title];
    if (!menu) menu = bar->addMenu(title);
    return menu;
  };
  for (const char* title : {"ZAPH", "File", "Window", "Help"})
    menuNamed(QString::fromLatin1(title));
  // The output window is no palette: its entry shows it or hides it.
  QMenu* windowMenu = menuNamed(QStringLiteral("Window"));
  QAction* output = windowMenu->addAction(QStringLiteral("Main Output"));
  output->setCheckable(true);
  connect(windowMenu, &QMenu::aboutToShow, output, [this, output] {
    output->setChecked(outputView_ && outputView_->window()->isVisible());
  });
  connect(output, &QAction::triggered, this, [this](bool shown) {
    if (outputView_) outputView_->window()->setVisible(shown);
  });
  for (const MenuAction& entry : menuActions()) {
    QMenu* menu = menuNamed(QString::fromLatin1(entry.menu));
    if (entry.separatorBefore) menu->addSeparator();
    QAction* item = menu->addAction(QString::fromUtf8(entry.title));
    item->setObjectName(QString::fromLatin1(entry.name));
    if (entry.key != QKeySequence::UnknownKey) {
      item->setShortcut(entry.key);
      item->setShortcutContext(Qt::ApplicationShortcut);
    }
    item->setEnabled(entry.enabled);
    item->setCheckable(entry.checkable);
    const auto action = entry.action;
    // Quit leaves the menu's own event handling first.
    const Qt::ConnectionType connection =
        action == &AppController::quitMenuUsed ? Qt::QueuedConnection : Qt::AutoConnection;
    connect(
        item, &QAction::triggered, this, [this, action] { (this->*action)(); }, connection);
  }
  if (QAction* quit = menuItem(QStringLiteral("quitMenuItem")))
    quit->setMenuRole(QAction::QuitRole);
  if (QAction* preferences = menuItem(QStringLiteral("preferencesMenuItem")))
    preferences->setMenuRole(QAction::PreferencesRole);
  windowMenuController_ = std::make_unique<AppWindowMenuController>(windowMenu);
}

void AppController::applicationWillTerminate() {
  postAboutToQuit();
  windDown();
  // Loads, RAM reads and pre-rolls still under way finish before the media goes.
  WorkerPool::shared().shutdown();
}

// Frames stop first, then input, then the tick, which calls the managers:
// it ends before they go. Stopping twice is harmless.
void AppController::windDown() {
  internetCheck_.reset();  // aborts a transfer under way
  idleTimer_.stop();
  if (outputView_) outputView_->killDisplayLink();
  gl::RenderThread::instance().stop();
  if (sgController_) {
    sgController_->stopAllSeqGrabbers();
    compositor_->setCaptureRenderer(nullptr);
  }
  closeControlInput();
  masterClock_->stopTheThread();
  dataSourceController_->stopTheThread();
}
