// The movie layers menu in a test host that records what it is told, over
// real layers (the movie kind is the real movie source).
#include "app/inspector/MovieLayersMenuController.h"
#include "app/inspector/MovieLayersMenuTarget.h"
#include "app/sources/MovieSource.h"
#include "app/sources/SourceFactories.h"
#include "framework/media/QKFile.h"
#include "framework/taps/QKRTapMenuController.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <thread>

namespace {

const QString kMRT = QStringLiteral("Most Recently Triggered");

// The window that would place the menu: it keeps what it is told.
class TestHost : public MovieLayersMenuTarget {
 public:
  void setLayerWithName(const std::optional<QString>& name) override {
    told.push_back(name ? *name : QStringLiteral("nil"));
    onMainThread = onMainThread && MainThread::isMainThread();
  }
  bool answersUpdateInterfaceForFile() const override { return wantsFiles; }
  void updateInterfaceForFile(const std::shared_ptr<QKFile>& file) override {
    files.push_back(file);
  }
  QString last() const { return told.empty() ? QString() : told.back(); }

  std::vector<QString> told;
  std::vector<std::shared_ptr<QKFile>> files;
  bool wantsFiles = true;
  bool onMainThread = true;
};

class MovieLayersMenuTest : public ::testing::Test {
 protected:
  MovieLayersMenuTest() {
    world.compositor->registerSourceFactory(VidSourceObject::kMovieSource,
                                            SourceFactories::make<MovieSource>());
    menu.setThingToSetLayer(&host);
    menu.awakeFromNib();
    menu.setCompositor(world.compositor.get());
  }
  ~MovieLayersMenuTest() override { menu.prepareToBeDeleted(); }

  std::shared_ptr<Layer> layer(const QString& source) {
    auto made = world.compositor->createNewLayer();
    made->useSourceNamed(source);
    return made;
  }
  QStringList titles() const {
    QStringList all;
    for (QAction* item : menu.menu()->actions()) all << (item->isSeparator() ? "--" : item->text());
    return all;
  }
  void choose(const QString& title) {
    for (QAction* item : menu.menu()->actions())
      if (item->text() == title) return item->trigger();
    ADD_FAILURE() << "no item " << title.toStdString();
  }
  // What a layer posts when a file goes into it.
  static void trigger(Layer& layer, const std::shared_ptr<QKFile>& file) {
    NotificationCenter::defaultCenter().post(
        Layer::kTriggerFileNotification, &layer,
        {{QStringLiteral("newFile"), QVariant::fromValue(file)}});
  }
  std::shared_ptr<QKFile> file() { return QKFile::createWithName(QStringLiteral("clip"), &files); }

  LayerWorld world;
  FakeCompositor files;
  TestHost host;
  MovieLayersMenuController menu;
};

TEST_F(MovieLayersMenuTest, ListsMovieLayersOnlyGroupsSearchedDepthFirst) {
  EXPECT_EQ(titles(), QStringList({kMRT, "--"}));
  EXPECT_EQ(host.last(), QStringLiteral("nil")) << "no layer yet";

  auto grouped = layer(Layer::kMovie);
  auto composition = layer(Layer::kQCPatch);
  auto stopped = layer(Layer::kMovie);
  static_cast<MovieSource*>(stopped->currentSource())->eject();
  world.compositor->groupLayers({grouped.get()});
  const QString groupedName = grouped->layerName();
  EXPECT_EQ(menu.allQTLayers(), QStringList({stopped->layerName(), groupedName}));
  EXPECT_EQ(titles(), QStringList({kMRT, "--", stopped->layerName(), groupedName}));
  EXPECT_FALSE(titles().contains(composition->layerName()));

  composition->useSourceNamed(Layer::kMovie);  // a change of source rebuilds
  EXPECT_TRUE(menu.allQTLayers().contains(composition->layerName()));
}

TEST_F(MovieLayersMenuTest, TriggersInBothModes) {
  auto movie = layer(Layer::kMovie);
  auto other = layer(Layer::kMovie);
  auto composition = layer(Layer::kQCPatch);
  auto clip = file();

  // "Most Recently Triggered": the target follows the trigger, then the file.
  host.told.clear();
  trigger(*movie, clip);
  EXPECT_EQ(host.told, std::vector<QString>({movie->layerName()}));
  ASSERT_EQ(host.files.size(), 1u);
  EXPECT_EQ(host.files.front(), clip);
  trigger(*composition, clip);
  EXPECT_EQ(host.told.size(), 1u) << "a composition layer tells nothing";
  host.wantsFiles = false;
  trigger(*other, clip);
  EXPECT_EQ(host.last(), other->layerName());
  EXPECT_EQ(host.files.size(), 1u) << "only a target that answers gets the file";

  // A fixed layer: triggers only move the remembered layer.
  choose(movie->layerName());
  EXPECT_EQ(host.last(), movie->layerName());
  host.told.clear();
  trigger(*other, clip);
  EXPECT_TRUE(host.told.empty());
  choose(kMRT);
  EXPECT_EQ(host.last(), other->layerName());
}

TEST_F(MovieLayersMenuTest, RenameAndDelete) {
  auto chosen = layer(Layer::kMovie);
  auto recent = layer(Layer::kMovie);
  choose(chosen->layerName());
  ASSERT_TRUE(chosen->setLayerName(QStringLiteral("Intro")));
  EXPECT_EQ(menu.titleOfSelectedItem(), QStringLiteral("Intro")) << "kept under its new name";
  EXPECT_EQ(host.last(), QStringLiteral("Intro"));

  choose(kMRT);
  trigger(*recent, file());
  EXPECT_EQ(host.last(), recent->layerName());
  ASSERT_TRUE(recent->setLayerName(QStringLiteral("Renamed")));
  EXPECT_EQ(menu.mostRecentlyTriggeredLayer(), std::nullopt) << "a renamed trigger is forgotten";
  EXPECT_EQ(host.last(), QStringLiteral("nil"));

  choose(QStringLiteral("Intro"));
  world.list.selection = {chosen.get()};
  world.compositor->deleteSelectedLayers();
  EXPECT_EQ(menu.selectedItem(), nullptr);
  EXPECT_EQ(menu.lastSelectedItemName(), std::nullopt);
  EXPECT_EQ(host.last(), QStringLiteral("nil"));
  EXPECT_EQ(titles(), QStringList({kMRT, "--", QStringLiteral("Renamed")}));
}

TEST_F(MovieLayersMenuTest, RestoreRebuildsAHundredthOfASecondAfterItsEnd) {
  auto& center = NotificationCenter::defaultCenter();
  center.post(QKRTapMenuController::kRestoreStartNotification, nullptr);
  auto restored = layer(Layer::kMovie);
  EXPECT_FALSE(menu.allQTLayers().contains(restored->layerName())) << "not followed meanwhile";
  menu.loadSnapshot({{MovieLayersMenuController::kLastSelectedItemNameKey, restored->layerName()},
                     {MovieLayersMenuController::kMostRecentlyTriggeredLayerKey, 7}});
  center.post(QKRTapMenuController::kRestoreEndNotification, nullptr);
  EXPECT_TRUE(menu.allQTLayers().isEmpty()) << "the rebuild waits for the restored layers";
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return menu.allQTLayers().contains(restored->layerName()); }, 1.0));
  EXPECT_EQ(menu.titleOfSelectedItem(), restored->layerName());
  EXPECT_EQ(host.last(), restored->layerName());
  EXPECT_EQ(
      menu.createSnapshot(),
      QVariantMap({{MovieLayersMenuController::kLastSelectedItemNameKey, restored->layerName()}}));

  auto later = layer(Layer::kMovie);  // followed again, once
  EXPECT_EQ(menu.allQTLayers().count(later->layerName()), 1);
}

TEST_F(MovieLayersMenuTest, ANotificationFromAnotherThreadIsHandledOnTheMainThread) {
  auto movie = layer(Layer::kMovie);
  host.told.clear();
  auto clip = file();
  std::thread([&] { trigger(*movie, clip); }).join();
  EXPECT_TRUE(MainThread::processUntil([&] { return !host.told.empty(); }, 1.0));
  EXPECT_EQ(host.last(), movie->layerName());
  EXPECT_EQ(host.files.size(), 1u);
  EXPECT_TRUE(host.onMainThread);
}

}  // namespace
