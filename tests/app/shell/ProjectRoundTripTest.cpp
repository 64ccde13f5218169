// A whole set in ZAPH's process: layers playing generated clips (one of
// them triggered from a media bin's cell), a Sliders plug-in with a bound
// slider, a behaviour chain, a bound preset button and two presets are
// saved; File New empties everything; the project's folder is moved and
// opened: the media are found beside the project, the first preset comes
// back a second after they are in, and the set is as it was.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBGridGeometry.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MediaBin.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "app/plugins/sticky/Sticky.h"
#include "app/plugins/sticky/StickyTextView.h"
#include "app/plugins/sliders/Sliders.h"
#include "app/shell/AppController.h"
#include "app/shell/PresetManager.h"
#include "app/shell/PresetRecords.h"
#include "app/sources/VidSourceObject.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/ManualDelayedCalls.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QScreen>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

using namespace PresetRecords;

// Values of ["Sliders 1", "1"] arrive on the tick thread.
struct Subscriber : DataSourceTarget {
  void updated(DataSource* source) {
    std::lock_guard<std::mutex> lock(mutex);
    last = source->value();
  }
  float value() {
    std::lock_guard<std::mutex> lock(mutex);
    return last;
  }
  std::mutex mutex;
  float last = -1.0f;
};

// Values compared as the project file would hold them, readable on failure.
std::string asXml(const QVariant& value) {
  return PropertyList::toXml(PropertyList::normalized(value)).toStdString();
}

// A plug-in made again takes a fresh ID from the compositor's counter.
QVariant withoutUniqueIDs(const QVariant& value) {
  if (value.typeId() == QMetaType::QVariantList) {
    QVariantList list;
    for (const QVariant& item : value.toList()) list << withoutUniqueIDs(item);
    return list;
  }
  if (value.typeId() != QMetaType::QVariantMap) return value;
  QVariantMap map = value.toMap();
  map.remove(QStringLiteral("uniqueID"));
  for (auto it = map.begin(); it != map.end(); ++it) it.value() = withoutUniqueIDs(it.value());
  return map;
}

QStringList layerNames(const Compositor& compositor) {
  QStringList names;
  for (const auto& layer : compositor.topLevelLayers()) names << layer->layerName();
  return names;
}

// The first page's files: name and whether the media are in.
QStringList pageFiles(QKPageController& pages) {
  QStringList files;
  for (const auto& file : pages.pages().front()->contents())
    if (file)
      files << file->name() + (file->validFile() ? QString() : QStringLiteral(" (missing)"));
  return files;
}

// The clip a layer plays, or null.
std::shared_ptr<QKFile> playedFile(const Layer& layer) {
  VidSourceObject* source = layer.currentSource();
  return source ? source->currentFile() : nullptr;
}

bool layerPlays(const Layer& layer, const QString& fileName) {
  return MainThread::processUntil(
      [&] {
        const auto file = playedFile(layer);
        return file && file->name() == fileName;
      },
      5.0);
}

// A performer's click on cell `index` of the bin's first page; the bin's
// queue gives the clip to `layerName`.
void clickBinCell(MediaBin& bin, int index, const QString& layerName) {
  bin.layerController()->makeThisLayerNext(layerName);
  MBFileGridView* grid = bin.gridView();
  const int columns = grid->numberOfColumns();
  const auto blocks = MBGridGeometry::layout(grid->pages(), grid->width(), grid->height(), columns,
                                             bin.listenerCount());
  ASSERT_FALSE(blocks.empty());
  const QRectF cell = MBGridGeometry::cellRect(blocks[0], index, grid->width(), columns);
  QTest::mouseClick(grid, Qt::LeftButton, {},
                    MBGridGeometry::toWidget(cell, grid->height()).center().toPoint());
}

MediaBin* onlyMediaBin(QKPluginManager& plugins) {
  MediaBin* found = nullptr;
  for (QKPlugin* plugin : plugins.pluginArray())
    if (auto* bin = dynamic_cast<MediaBin*>(plugin)) {
      if (found) return nullptr;
      found = bin;
    }
  return found;
}

TEST(ProjectRoundTrip, ASavedSetMovedAndOpenedComesBackWithItsFirstPreset) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  const QString root = TestEnvironment::makeTempDir(QStringLiteral("roundtrip"));
  UserDefaults::standard().resetForTesting();
  UserDefaults::standard().setFilePath(root + QStringLiteral("/defaults.plist"));
  UserDefaults::standard().setValue(QStringLiteral("startingPointTriggerPreset"), 1);
  Alert::clearRecorded();
  AppController controller;
  PresetManager* presets = controller.presetManager();
  Compositor* compositor = controller.compositorObject();
  QKPluginManager* plugins = controller.pluginManager();
  QKPageController* pages = controller.pageController();
  QKFileLoader* loader = controller.fileLoaderObject();
  auto* chains =
      dynamic_cast<BehaviorChainManager*>(&controller.sliderManager()->behaviorChainManager());
  ASSERT_TRUE(presets && compositor && plugins && pages && loader && chains);
  ManualDelayedCalls clock;
  presets->setDelayedCalls(&clock);

  // The project and its media in one folder.
  const QString set = root + QStringLiteral("/Set");
  QDir().mkpath(set + QStringLiteral("/media"));
  const QString project = set + QStringLiteral("/Gig.zaph");
  TestClipSpec shortClip;
  shortClip.frames = 12;
  ASSERT_EQ(TestClip::write(set + QStringLiteral("/media/one.mov"), shortClip), QString());
  ASSERT_EQ(TestClip::write(set + QStringLiteral("/media/two.mov"), TestClipSpec{}), QString());
  presets->setSavePath(project);
  loader->addTheseFilesToQueue(
      {set + QStringLiteral("/media/one.mov"), set + QStringLiteral("/media/two.mov")}, nullptr, 0,
      false);
  ASSERT_TRUE(MainThread::processUntil([&] { return !loader->loading(); }, 30));
  ASSERT_EQ(pageFiles(*pages), (QStringList{"one.mov", "two.mov"}));

  // Two layers, the first playing clip one.
  const std::shared_ptr<Layer> clips = compositor->createNewLayer();
  ASSERT_TRUE(clips && clips->setLayerName(QStringLiteral("Clips")));
  const std::shared_ptr<Layer> second = compositor->createNewLayer();
  ASSERT_TRUE(second);
  clips->unlockedTriggerFile(pages->pages().front()->contents()[0]);
  const QString playing = clips->currentSourceAsString();
  // A media bin whose cell 1 plays clip two on the second layer.
  auto* bin = static_cast<MediaBin*>(plugins->instantiatePluginType(MediaBin::kTypeName));
  ASSERT_TRUE(bin && bin->window() && bin->gridView() && bin->layerController());
  bin->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(bin->gridView()));
  const QString secondName = second->layerName();
  clickBinCell(*bin, 1, secondName);
  ASSERT_TRUE(layerPlays(*second, QStringLiteral("two.mov")));
  // A Sliders plug-in, slider 1 bound to OSC; a behaviour chain; the
  // preset window's trigger button bound to a MIDI note.
  auto* bank = static_cast<Sliders*>(plugins->instantiatePluginType(Sliders::kTypeName));
  ASSERT_NE(bank, nullptr);
  bank->sliderArray().front()->cell()->useThisSource(KeyPath{"OSC", "/fader"});
  bank->sliderArray().front()->setSyncFlag(true);
  // A multiplexer whose second input follows the OSC fader, and a note.
  auto* mux = static_cast<QKMultiplexerPlugin*>(
      plugins->instantiatePluginType(QKMultiplexerPlugin::kTypeName));
  ASSERT_NE(mux, nullptr);
  mux->inputs()[1]->setSliderSyncArray(KeyPath{"OSC", "/fader"});
  mux->switchToIndex(1);
  auto* sticky = static_cast<Sticky*>(plugins->instantiatePluginType(Sticky::kTypeName));
  ASSERT_NE(sticky, nullptr);
  sticky->stickyText()->setPlainText(QStringLiteral("drop the strobe at the bridge"));
  chains->loadSnapshot(QVariantList{QVariantMap{
      {"QKPMNameKey", "Gate"},
      {"snapshot", QVariantList{QVariantMap{{"fxNameString", "Threshold"},
                                            {"QKBypassButton", QVariantMap{{"buttonValue", 1}}},
                                            {"threshSlider", QVariantMap{{"value", 0.5}}}}}}}});
  const KeyPath note = {QStringLiteral("MIDI"), QStringLiteral("To ZAPH"), QStringLiteral("Ch 1"),
                        QStringLiteral("Note 60")};
  QKButton* trigger = presets->paletteButton(QStringLiteral("triggerButton"));
  trigger->cell()->useThisSource(note);
  trigger->cell()->setSyncFlag(true);

  // Two presets: everything, then the layers alone (with one layer fewer).
  presets->takeSnapshot(kEverything);
  compositor->deleteThisLayer(second.get());
  presets->takeSnapshot(kLayers);
  const QVariantList presetsBefore = presets->arrangedPresets();
  ASSERT_EQ(presetsBefore.size(), 2);
  presets->selectRow(0);
  presets->triggerPresetClicked();
  const QVariantMap layersBefore = compositor->createSnapshot();
  const QVariantList pluginsBefore = plugins->createSnapshot();
  const QVariantList chainsBefore = chains->createSnapshot();
  const QStringList namesBefore = layerNames(*compositor);
  presets->saveButtonUsed();
  ASSERT_TRUE(QFileInfo(project).isFile());

  // File New, then the folder moves.
  presets->newFileMenuUsed();
  EXPECT_TRUE(compositor->topLevelLayers().empty());
  EXPECT_TRUE(plugins->pluginArray().isEmpty());
  EXPECT_TRUE(presets->presetArray().isEmpty());
  EXPECT_TRUE(pageFiles(*pages).isEmpty());
  trigger->cell()->setSyncFlag(false);
  trigger->cell()->useThisSource({QStringLiteral("Mouse"), QStringLiteral("X")});
  const QString moved = root + QStringLiteral("/Moved");
  ASSERT_TRUE(QDir().rename(set, moved));
  const QString movedProject = moved + QStringLiteral("/Gig.zaph");

  // Open: 2.0 s after File New the project loads; its media come in
  // through the loader, found beside the project.
  presets->loadDidEnd(true, movedProject);
  clock.advance(2.0);
  EXPECT_EQ(presets->savePath(), movedProject);
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return !loader->loading() && !presets->loadingProject(); }, 30));
  EXPECT_EQ(pageFiles(*pages), (QStringList{"one.mov", "two.mov"}));
  EXPECT_TRUE(presets->missingFileArray().empty());
  EXPECT_TRUE(pages->pages().front()->contents()[0]->fullPath().startsWith(moved));
  EXPECT_EQ(asXml(presets->arrangedPresets()), asXml(presetsBefore));
  EXPECT_EQ(asXml(chains->createSnapshot()), asXml(chainsBefore));
  EXPECT_EQ(trigger->cell()->syncArray(), note) << "the button's binding came back";
  EXPECT_TRUE(trigger->triggerOnMain());

  // Only the recall, a second after the media, brings layers and plug-ins.
  EXPECT_TRUE(compositor->topLevelLayers().empty());
  clock.advance(0.99);
  EXPECT_TRUE(plugins->pluginArray().isEmpty());
  clock.advance(0.02);
  EXPECT_EQ(layerNames(*compositor), namesBefore);
  EXPECT_EQ(asXml(compositor->createSnapshot()), asXml(layersBefore));
  EXPECT_EQ(asXml(withoutUniqueIDs(plugins->createSnapshot())),
            asXml(withoutUniqueIDs(pluginsBefore)));
  Layer* clipsAgain = compositor->findLayerByName(QStringLiteral("Clips"));
  ASSERT_NE(clipsAgain, nullptr);
  EXPECT_EQ(clipsAgain->currentSourceAsString(), playing);
  // The bin comes back over the first page, its cell 1 still holds clip
  // two, the second layer plays that very file, and a click on the cell
  // triggers it there again.
  MediaBin* binAgain = onlyMediaBin(*plugins);
  ASSERT_TRUE(binAgain && binAgain->window() && binAgain->gridView());
  EXPECT_EQ(binAgain->pageController(), pages);
  EXPECT_EQ(binAgain->currentPageId(), pages->pages().front()->uniqueFileId());
  const auto& cellsAgain = pages->pages().front()->contents();
  ASSERT_TRUE(cellsAgain.size() >= 2 && cellsAgain[1]);
  EXPECT_EQ(cellsAgain[1]->name(), QStringLiteral("two.mov"));
  Layer* deck = compositor->findLayerByName(secondName);
  ASSERT_NE(deck, nullptr);
  EXPECT_TRUE(layerPlays(*deck, QStringLiteral("two.mov")));
  EXPECT_EQ(playedFile(*deck), cellsAgain[1]) << "the layer plays the bin's cell, not a copy";
  std::atomic<long> retriggered{-1};
  NotificationObservers observers;
  observers.observe(Layer::kTriggerFileNotification, deck, [&](const Notification& n) {
    const auto file = n.userInfo.value(QStringLiteral("newFile")).value<std::shared_ptr<QKFile>>();
    retriggered.store(file ? file->uniqueFileId() : -1);
  });
  binAgain->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(binAgain->gridView()));
  clickBinCell(*binAgain, 1, secondName);
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return retriggered.load() == cellsAgain[1]->uniqueFileId(); }, 5.0));
  observers.clear();
  const QKMultiplexerPlugin* muxAgain = nullptr;
  const Sticky* stickyAgain = nullptr;
  for (QKPlugin* plugin : plugins->pluginArray()) {
    if (auto* m = dynamic_cast<QKMultiplexerPlugin*>(plugin)) muxAgain = m;
    if (auto* s = dynamic_cast<Sticky*>(plugin)) stickyAgain = s;
  }
  ASSERT_TRUE(muxAgain && stickyAgain);
  EXPECT_EQ(muxAgain->inputIndex(), 1);
  EXPECT_EQ(stickyAgain->stickyText()->toPlainText(), "drop the strobe at the bridge");

  // The slider follows its input again.
  auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  auto subscriber = std::make_shared<Subscriber>();
  ASSERT_TRUE(controller.dataSourceController()->subscribeObject(
      subscriber, &Subscriber::updated, {QStringLiteral("Sliders 1"), QStringLiteral("1")}));
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
  auto message = OSCMessage::createWithAddress(QStringLiteral("/fader"));
  message->addFloat(0.75f);
  ASSERT_TRUE(out.sendThisMessage(*message));
  EXPECT_TRUE(MainThread::processUntil([&] { return subscriber->value() == 0.75f; }, 5.0));

  // The second preset brings back one layer fewer.
  presets->nextAnyUsed();
  presets->triggerPresetClicked();
  EXPECT_EQ(layerNames(*compositor), QStringList{QStringLiteral("Clips")});
  EXPECT_TRUE(Alert::recorded().empty()) << Alert::recorded()[0].title.toStdString();
  presets->showWindow();
  presets->contentView()->moveWindowToDefaultLocation();
  QApplication::processEvents();
  // The preset window's bar is on the screen.
  const QRect bar = presets->window()->geometry();
  EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(bar));
  saveScreenshot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
                 QStringLiteral("zaph-screen"));
  saveScreenshot(presets->window()->grab().toImage(), QStringLiteral("preset-window-loaded"));
  trigger->cell()->setSyncFlag(false);
  controller.applicationWillTerminate();
}

}  // namespace
