#pragma once

#include "app/mediabin/MBLayerQueueHostSource.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/media/QKFlashThumbnailHost.h"
#include "framework/media/QKMediaBinHost.h"
#include "platform/net/QKCrashReporterDelegate.h"

#include <QKeySequence>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class AppPresetManagerHost;
class AppPrefsHost;
class PrefsController;
class DelayedCalls;
class HelpLinks;
class InternetCheck;
class QAction;
class QKCrashReporter;
class MediaInspector;
class MediaInspectorHost;
class StartingPointWindow;
class AppWindowMenuController;
class LayerChainManager;
class PresetManager;
class PMMissingFilesController;
class AppBugReporterHost;
class QKBugReporter;
class Compositor;
class CompositorGLView;
class CompositorWindow;
class LayoutRegistry;
class MasterClock;
class MasterClockUIController;
class MIDIManager;
class QKFileLoader;
class QKFlashThumbnailGenerator;
class QKFolder;
class QKPageController;
class QKPluginManager;
class QKSGController;
class QKBMSMCoordinator;
class QKButtonManager;
class QKOSCManager;
class QKAudioDeviceThreadController;
class QKSliderManager;
class QKStatChecker;
class QKTapManager;
class QKeyEvent;
class QMenuBar;

// Creates and owns the program's managers and its main window with the menu
// bar; winds them down at quit.
class AppController : public QObject,
                      public AppControllerInterface,
                      public QKMediaBinHost,
                      public MBLayerQueueHostSource,
                      public QKFlashThumbnailHost,
                      public QKCrashReporterDelegate {
  Q_OBJECT
 public:
  explicit AppController(QObject* parent = nullptr);

  // The managers in the order they are made; those not built yet have no
  // factory and are skipped. Each name goes to the creation observer (tests)
  // as its manager is made.
  struct ManagerStep {
    const char* name;
    void (AppController::*make)();
  };
  static const std::vector<ManagerStep>& managerOrder();
  static void setCreationObserver(std::function<void(const QString&)> observer);

  // Start-up after the windows are shown: a project given at launch loads
  // 1.5 s later, or the starting-point window opens then; the display starts.
  void applicationDidFinishLaunching();
  bool finishedLaunching() const { return finishedLaunching_; }
  QString loadFileOnLaunch() const { return loadFileOnLaunch_; }
  // Files opened with the program: a ".zaph" (exactly) is a project, the
  // first one counts; anything else is media, imported once launched.
  // Paths that do not exist or are folders are logged and dropped.
  bool applicationOpenFile(const QString& path);
  void applicationOpenFiles(const QStringList& paths);
  // Asks before quitting; never while the output covers the main screen.
  // "AppAboutToQuitNotification" is posted before a Now.
  enum class TerminateReply { Now, Cancel };
  TerminateReply applicationShouldTerminate();
  // The File menu's Quit: quits when applicationShouldTerminate says so.
  void quitMenuUsed();

  void openStartingPointWindow();
  StartingPointWindow* startingPointWindow() const { return startingPointWindow_.get(); }
  void startingPointNewSetButtonUsed();
  void startingPointOpenSetButtonUsed();
  void startingPointOpenLastSetButtonUsed();
  void startingPointTriggerPresetToggleUsed(int value);

  // The fullscreen gate: the output goes back to fullscreen ("fullscreenFlag")
  // once both the crash reporter's check and the starting point are done.
  // The flags may be set from any thread; both are set and checked on the
  // main thread.
  void crashReporterCheckDone() override;
  void setStartingPointCheckDone();
  void checkAndPerformFullscreenResto();
  bool bugReporterCheckDone() const { return bugReporterCheckDone_; }
  bool startingPointCheckDone() const { return startingPointCheckDone_; }
  // Hooks (tests): what the gate does once both flags are set.
  void setFullscreenRestoreHook(std::function<void()> hook) {
    fullscreenRestoreHook_ = std::move(hook);
  }

  // The 0.03 s idle timer, which also fires in modal dialogs and open menus.
  void idleCallback();
  qint64 idleCount() const { return idleCount_; }
  void setIdleHook(std::function<void()> hook) { idleHook_ = std::move(hook); }
  // No QuickTime: the version it would have answered from 7.2 on.
  static long qtVersion() { return 0x07200000; }
  ~AppController() override;

  // The program's menu bar, shown at the top of the Layer Manager.
  QMenuBar* menuBar() const { return menuBar_.get(); }
  MIDIManagerInterface* midiManager() override;
  QKOSCManager* oscManager() override { return oscManager_.get(); }
  DataSourceController* dataSourceController() override { return dataSourceController_.get(); }
  MasterClockInterface* masterClock() override;
  MasterClock* masterClockObject() const { return masterClock_.get(); }
  QKSliderManager* sliderManager() const { return sliderManager_.get(); }
  QKButtonManager* buttonManager() const { return buttonManager_.get(); }
  MIDIManager* midiManagerObject() const { return midiManager_.get(); }
  QKAudioDeviceThreadController* audioDeviceThreadController() const {
    return audioDeviceThreadController_.get();
  }
  AppWindowMenuController* appWindowMenuController() const { return windowMenuController_.get(); }
  QKPluginManager* pluginManager() const { return pluginManager_.get(); }
  PresetManager* presetManager() const { return presetManager_.get(); }
  // The live inputs and their recording.
  QKSGController* SGController() const { return sgController_.get(); }
  void startRecordingFromRightClick() override;
  void stopRecordingFromExternalSource() override;
  LayerChainManager* layerChainManager() const { return layerChainManager_.get(); }
  LayoutRegistry* layoutRegistry() const { return layoutRegistry_.get(); }
  QKBMSMCoordinator* inspectorCoordinator() const { return inspectorCoordinator_.get(); }
  MediaInspector* mediaInspector() const { return mediaInspector_.get(); }
  MasterClockUIController* clockPalette() const { return clockPalette_.get(); }
  // The compositor's.
  QKTapManager* tapManager() const;
  Compositor* compositorObject() const { return compositor_.get(); }
  CompositorGLView* outputView() const { return outputView_.get(); }
  CompositorWindow* compositorWindow() const { return compositorWindow_.get(); }
  // The preferences window, made at start-up with its panes.
  PrefsController* prefsController() const { return prefsController_.get(); }

  // The media bin's model.
  CompositorInterface* compositor() override;
  QKPageController* pageController() override { return pageController_.get(); }
  QKFileLoaderInterface* fileLoader() override;
  QKFileLoader* fileLoaderObject() const { return fileLoader_.get(); }
  QKFolder* rootFolder() override { return rootFolder_.get(); }
  QWidget* presetManagerWindow() override;
  void removeRelinkedMissingFiles(const std::vector<std::shared_ptr<QKFile>>& files,
                                  const QVariantList& snapshots) override;
  void openWindowForMissingFiles() override;
  void openWindowForMissingFilesAndStartSearch() override;
  // The plug-in manager's media bins.
  QStringList mediaBinTitles() override;
  std::optional<QString> mediaBinTitle(const void* plugin) override;
  std::optional<long> currentPageIdOfMediaBin(const QString& title) override;
  // Each media bin's view of the layers and pages.
  std::unique_ptr<MBLayerQueueHost> makeLayerQueueHost() override;
  QStringList inputTapTitles() override;
  // Whether the launch's version check reached the maker's server; false
  // until the internet thread has answered.
  bool internetAvailable() override { return internetAvailable_.load(); }
  void setInternetAvailable(bool available) { internetAvailable_ = available; }

  // The web thumbnail generator, which the file loader hands web files.
  QKFlashThumbnailGenerator* thumbnailGenerator() const { return thumbnailGenerator_.get(); }
  std::shared_ptr<QKFile> fileForUniqueId(long uniqueId) override;

  // The menus' items, in menu order: each is one action of this controller.
  struct MenuAction {
    const char* menu;  // "ZAPH", "File", "Window", "Help"
    const char* title;
    const char* name;  // the QAction's object name
    QKeySequence::StandardKey key;
    void (AppController::*action)();
    bool enabled;
    bool separatorBefore;
    bool checkable;
  };
  static const std::vector<MenuAction>& menuActions();
  // The item of the table with this name, or nullptr.
  QAction* menuItem(const QString& name) const;

  // ZAPH menu: shows the preferences window.
  void showPreferences();
  // File menu.
  void fileMenuNew();
  void fileMenuOpen();
  void fileMenuClose() {}
  void fileMenuSave();
  void fileMenuSaveWithoutPresetUpdate();
  void fileMenuSaveAs();
  void fileMenuImportMedia();
  void fileMenuRelinkMedia();
  void cancelFileLoading();
  // Window menu. Gather: out of fullscreen, the output window at (100, 100)
  // of the primary screen, 320×240, in front; the aux displays back on screen.
  void windowMenuGatherOutputs();
  void windowMenuFullscreenToggle();
  // Help menu.
  void helpMenuChosen();
  void tutorialMenuChosen();
  void reportBugChosen();
  void talkToDevsChosen();
  void fxCommunitySiteChosen();
  HelpLinks* helpLinks() const { return helpLinks_.get(); }
  // Tests: the browser, the bug report's start and the tutorial's delay.
  void setUrlOpener(std::function<bool(const QUrl&)> opener) { urlOpener_ = std::move(opener); }
  void setBugReportStarter(std::function<void()> starter) {
    bugReportStarter_ = std::move(starter);
  }
  void setDelayedCalls(DelayedCalls* calls) { delayedCalls_ = calls; }
  InternetCheck* internetCheck() const { return internetCheck_.get(); }
  QKCrashReporter* crashReporter() const { return crashReporter_.get(); }

  // Empties the root folder and the pages, adds one blank page and has the
  // media bins reload.
  void clearRootFolder();

  QKBugReporter* bugReporter() const { return bugReporter_.get(); }
  PMMissingFilesController* missingFilesController();

  // Called when the application is about to quit (menu, signal or last
  // window closed).
  void applicationWillTerminate();
  // The composition runtime could not open the start-up composition (the
  // alert has been shown): the program quits without running.
  bool compositionRuntimeFailed() const { return compositionRuntimeFailed_; }

 protected:
  // Menu shortcuts from any window; keys the Layer Manager's window does not
  // use itself go to the data-source controller, presses and releases alike.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool triggerMenuShortcut(const QKeyEvent& key);
  bool keyGoesToControlData(QWidget* receiver) const;
  void buildMenus();
  void startInternetThread();
  void makeCrashReporter();
  void createOutput();
  void showOutput();
  void restoreFullscreen();
  void closeControlInput();
  void windDown();
  void createInterfaceObjects();
  void createManagers();
  void awakeFromNib();
  void makePrefsController();
  void makeCompositor();
  void makePluginManager();
  void makePresetManager();
  void makeSGController();
  void makeStatChecker();
  void makeMediaInspector();
  void makeRootFolder();
  void makeMIDIManager();
  void makeOSCManager();
  void makeFileLoader();
  void makePageController();
  void makeThumbnailGenerator();
  void recordVersion();
  void postAboutToQuit();
  bool acceptsOpenedPath(const QString& path) const;

  // Media files take the compositor's render lock as they go: it outlives
  // them. It holds the tap manager, made before anything that registers a
  // tap (taps that outlive it find it gone).
  std::unique_ptr<Compositor> compositor_;
  std::unique_ptr<QMenuBar> menuBar_;
  // The window layouts and the Window menu outlive every window made from
  // them.
  std::unique_ptr<LayoutRegistry> layoutRegistry_;
  std::unique_ptr<AppWindowMenuController> windowMenuController_;
  std::unique_ptr<DataSourceController> dataSourceController_;
  // Made before control input (the MIDI thread asks for it), published once
  // the controller is awake; its thread is joined before the tick stops.
  std::unique_ptr<MasterClock> masterClock_;
  // Declared after the controller: they go first, once its tick has stopped.
  std::unique_ptr<QKSliderManager> sliderManager_;
  std::unique_ptr<QKButtonManager> buttonManager_;
  std::unique_ptr<MIDIManager> midiManager_;
  std::unique_ptr<QKOSCManager> oscManager_;
  std::unique_ptr<QKStatChecker> statChecker_;
  std::unique_ptr<QKAudioDeviceThreadController> audioDeviceThreadController_;
  // Its plug-ins hold sliders and buttons of the managers above and sources
  // of the controller: it goes before them.
  std::unique_ptr<QKPluginManager> pluginManager_;
  std::unique_ptr<AppPresetManagerHost> presetManagerHost_;
  std::unique_ptr<PresetManager> presetManager_;
  // The compositor renders its inputs every frame: it goes before the
  // compositor and after the output stopped.
  std::unique_ptr<QKSGController> sgController_;
  std::shared_ptr<LayerChainManager> layerChainManager_;
  // The loader hands web files to the generator, which looks them up in the
  // pages: it goes after both.
  std::unique_ptr<QKFlashThumbnailGenerator> thumbnailGenerator_;
  // The pages go before the loader they queue files with.
  std::shared_ptr<QKFolder> rootFolder_;
  std::unique_ptr<QKFileLoader> fileLoader_;
  std::unique_ptr<QKPageController> pageController_;
  bool compositionRuntimeFailed_ = false;
  // The Slider/Button Inspector palette; goes before the managers it edits.
  std::unique_ptr<QKBMSMCoordinator> inspectorCoordinator_;
  std::unique_ptr<MediaInspectorHost> mediaInspectorHost_;
  std::unique_ptr<MediaInspector> mediaInspector_;
  // The "Clock" palette; goes once the clock's thread has stopped, before
  // the button manager its buttons register with.
  std::unique_ptr<MasterClockUIController> clockPalette_;
  // The output view and its windows: the windows go before the view.
  std::unique_ptr<CompositorGLView> outputView_;
  std::unique_ptr<CompositorWindow> compositorWindow_;
  // Its panes hold sliders of the slider manager and reach the output view:
  // it goes before both.
  std::unique_ptr<AppPrefsHost> prefsHost_;
  std::unique_ptr<PrefsController> prefsController_;
  QTimer idleTimer_;
  std::unique_ptr<StartingPointWindow> startingPointWindow_;
  bool finishedLaunching_ = false;
  QString loadFileOnLaunch_;
  bool bugReporterCheckDone_ = false;
  bool startingPointCheckDone_ = false;
  bool aboutToQuitPosted_ = false;
  qint64 idleCount_ = 0;
  std::function<void()> idleHook_;
  std::function<void()> fullscreenRestoreHook_;
  std::atomic<bool> internetAvailable_{false};
  std::function<bool(const QUrl&)> urlOpener_;
  std::function<void()> bugReportStarter_;
  DelayedCalls* delayedCalls_ = nullptr;
  std::unique_ptr<HelpLinks> helpLinks_;
  std::unique_ptr<QKCrashReporter> crashReporter_;
  // Joined first at quit: it may wait for the main thread.
  std::unique_ptr<InternetCheck> internetCheck_;
  std::unique_ptr<AppBugReporterHost> bugReporterHost_;
  std::unique_ptr<QKBugReporter> bugReporter_;
};
