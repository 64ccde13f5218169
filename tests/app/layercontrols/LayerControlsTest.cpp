#include "app/compositor/LayerPanel.h"
#include "app/compositor/LayerTabFollower.h"
#include "app/plugins/layercontrols/LayerControls.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/taps/QKRTapLayerMenuController.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/sources/SourceFixture.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QScreen>

namespace {

// Real layers and sources (a compositor with the shipped players) and the
// plug-in manager making layer-controls plug-ins.
class LayerControlsTest : public GLTest, public AppControllerInterface {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    UserDefaults::standard().resetForTesting();
    QKFilterAlpha::registerFilter();
    LayoutRegistry::setShared(&layouts_);
    world_ = std::make_unique<SourceWorld>();
    world_->compositor->awake();
    folder_ = TestEnvironment::makeTempDir();
    manager_ = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID_; }, BuiltInPluginTypes::entries());
  }
  void TearDown() override {
    manager_.reset();
    world_.reset();
    LayoutRegistry::setShared(nullptr);
    GLTest::TearDown();
  }
  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &world_->dsc; }

  LayerControls* make() {
    auto* controls =
        static_cast<LayerControls*>(manager_->instantiatePluginType(LayerControls::kTypeName));
    settle();
    return controls;
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }
  // A layer playing a still image through the built-in player.
  std::shared_ptr<Layer> imageLayer(const QString& file = QStringLiteral("still.png")) {
    auto layer = world_->layer();
    const QString path = SourceWorld::writeImage(folder_, file, QSize(64, 48), Qt::green);
    layer->unlockedTriggerFile(
        world_->keep(QKImageFile::createWithFilePath(path, world_->compositor.get())));
    settle();
    return layer;
  }
  static bool showsNoSource(const LayerControls& controls) {
    return controls.shownPanel() == nullptr &&
           controls.noSourceView()->isVisibleTo(controls.sourceControlsView()) &&
           controls.ejectButton()->isHidden() && controls.textStylePopUpButton()->isHidden() &&
           controls.filenameText() == QStringLiteral(" ");
  }

  LayoutRegistry layouts_;
  std::unique_ptr<SourceWorld> world_;
  std::unique_ptr<QKPluginManager> manager_;
  QString folder_;
  long lastID_ = 0;
};

TEST_F(LayerControlsTest, ANewPluginShowsTheNoSourceState) {
  LayerControls* controls = make();
  ASSERT_NE(controls, nullptr);
  EXPECT_EQ(controls->windowTitle(), QStringLiteral("LayerControls 1"));
  EXPECT_TRUE(showsNoSource(*controls));
}

TEST_F(LayerControlsTest, FollowsAChosenLayerAndShowsItsPanelNameAndStyle) {
  auto layer = imageLayer();
  LayerControls* controls = make();
  controls->selectThisLayer(layer.get());
  VidSourceObject* source = layer->currentSource();
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(controls->currentLayer(), layer.get());
  EXPECT_EQ(controls->shownPanel(), source->view());
  EXPECT_EQ(source->view()->parentWidget(), controls->sourceControlsView());
  EXPECT_EQ(controls->filenameText(), QStringLiteral("still.png"));
  EXPECT_FALSE(controls->ejectButton()->isHidden());
  // An image in the built-in player selects "<Built-In Player>".
  EXPECT_FALSE(controls->textStylePopUpButton()->isHidden());
  if (world_->compositor->imageSourcesNames().contains(QKImageFile::kBuiltInPlayer)) {
    EXPECT_EQ(controls->textStylePopUpButton()->titleOfSelectedItem(), QKImageFile::kBuiltInPlayer);
  }
  controls->window()->show();
  settle();
  QKWindow* window = controls->window();
  saveScreenshot(window->screen()->grabWindow(window->winId()).toImage(),
                 QStringLiteral("layer-controls"));

  // A text through a composition: the font-synth menu with its player selected.
  auto text = world_->keep(QKTextFile::createWithName("words", world_->compositor.get()));
  text->setMyString("Hello");
  layer->unlockedTriggerFile(text);
  settle();
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kQCPatch);
  EXPECT_EQ(controls->shownPanel(), SourceWorld::qc(*layer).view());
  EXPECT_EQ(controls->filenameText(), QStringLiteral("words"));
  EXPECT_FALSE(controls->textStylePopUpButton()->isHidden());
  EXPECT_EQ(controls->textStylePopUpButton()->titleOfSelectedItem(),
            QStringLiteral("DefaultFontsynth.qtz"));
  EXPECT_EQ(source->view()->parentWidget(), layer->controlHolder());  // handed back
}

TEST_F(LayerControlsTest, APanelShownElsewhereOrAGroupGivesTheNoSourceState) {
  auto layer = imageLayer();
  LayerControls* first = make();
  LayerControls* second = make();
  first->selectThisLayer(layer.get());
  LogCapture log;
  second->selectThisLayer(layer.get());
  EXPECT_TRUE(
      log.contains(QStringLiteral("err:layerSource was in use by another layer controller")));
  EXPECT_TRUE(showsNoSource(*second));
  EXPECT_EQ(first->shownPanel(), layer->currentSource()->view());

  auto other = world_->layer();
  auto group = world_->compositor->groupLayers({other.get()});
  ASSERT_TRUE(group && group->groupFlag());
  second->selectThisLayer(group.get());
  EXPECT_TRUE(log.contains(QStringLiteral("err:layer was group")));
  EXPECT_TRUE(showsNoSource(*second));
}

TEST_F(LayerControlsTest, TheLatestTriggerIsFollowedOnlyToAFreePanel) {
  auto a = imageLayer(QStringLiteral("a.png"));
  auto b = world_->layer();
  auto c = world_->layer();
  LayerControls* follower = make();
  LayerControls* holder = make();
  follower->selectThisLayer(a.get());
  follower->useMostRecentLayerButton()->setChecked(true);
  const QString path = SourceWorld::writeImage(folder_, "b.png", QSize(8, 8), Qt::red);
  b->unlockedTriggerFile(
      world_->keep(QKImageFile::createWithFilePath(path, world_->compositor.get())));
  settle();
  EXPECT_EQ(follower->currentLayer(), b.get());
  EXPECT_EQ(follower->filenameText(), QStringLiteral("b.png"));

  const QString cPath = SourceWorld::writeImage(folder_, "c.png", QSize(8, 8), Qt::blue);
  c->unlockedTriggerFile(
      world_->keep(QKImageFile::createWithFilePath(cPath, world_->compositor.get())));
  settle();
  EXPECT_EQ(follower->currentLayer(), c.get());
  holder->selectThisLayer(b.get());  // b's panel is free again and taken here
  EXPECT_EQ(holder->shownPanel(), b->currentSource()->view());
  follower->selectThisLayer(a.get());
  b->unlockedTriggerFile(
      world_->keep(QKImageFile::createWithFilePath(cPath, world_->compositor.get())));
  settle();
  EXPECT_EQ(follower->currentLayer(), a.get());  // b's panel is in use
}

TEST_F(LayerControlsTest, EjectPostsTheOldFileAndTheNameGoesBlank) {
  auto layer = imageLayer();
  LayerControls* controls = make();
  controls->selectThisLayer(layer.get());
  const std::shared_ptr<QKFile> file = layer->currentSource()->currentFile();
  ASSERT_TRUE(file);
  QVariantMap posted;
  NotificationCenter::defaultCenter().addObserver(
      this, Layer::kTriggerFileNotification, layer.get(),
      [&](const Notification& n) { posted = n.userInfo; });
  controls->ejectButtonUsed();
  NotificationCenter::defaultCenter().removeObserver(this);
  EXPECT_FALSE(posted.contains(QStringLiteral("newFile")));
  EXPECT_EQ(posted.value(QStringLiteral("oldFile")).value<std::shared_ptr<QKFile>>(), file);
  EXPECT_EQ(layer->currentSource()->currentFile(), nullptr);
  EXPECT_EQ(controls->filenameText(), QStringLiteral(" "));
}

TEST_F(LayerControlsTest, TheLayerIsFollowedAgainWhenTheRestoreEnds) {
  auto layer = imageLayer();
  LayerControls* controls = make();
  controls->selectThisLayer(layer.get());
  controls->useMostRecentLayerButton()->setChecked(true);
  const QVariantMap snapshot = controls->createSnapshot();
  EXPECT_EQ(snapshot.value(QStringLiteral("useMostRecentLayerButton")).toInt(), 1);
  manager_->deletePlugins({controls});

  LayerControls* restored = make();
  NotificationCenter& center = NotificationCenter::defaultCenter();
  center.post(QKRTapMenuController::kRestoreStartNotification);
  restored->loadSnapshot(snapshot);
  EXPECT_EQ(restored->currentLayer(), nullptr);  // not during the restore
  center.post(QKRTapMenuController::kRestoreEndNotification);
  settle();
  EXPECT_EQ(restored->currentLayer(), layer.get());
  EXPECT_EQ(restored->shownPanel(), layer->currentSource()->view());
  EXPECT_TRUE(restored->useMostRecentLayerButton()->isChecked());
  // Bad entries keep the state.
  restored->loadSnapshot({{QStringLiteral("useMostRecentLayerButton"), QStringLiteral("x")},
                          {QStringLiteral("layerMenuController"), 7}});
  EXPECT_TRUE(restored->useMostRecentLayerButton()->isChecked());
}

TEST_F(LayerControlsTest, AFollowedLayerDeletedLeavesTheNoSourceStateAndEjectDoesNothing) {
  auto layer = imageLayer();
  LayerControls* controls = make();
  controls->selectThisLayer(layer.get());
  Layer* raw = layer.get();
  layer.reset();
  NotificationCenter::defaultCenter().post(Layer::kDeleteNotification, raw);
  world_->compositor->deleteThisLayer(raw);
  settle();
  EXPECT_EQ(controls->currentLayer(), nullptr);
  EXPECT_TRUE(showsNoSource(*controls));
  controls->ejectButtonUsed();
  controls->textStylePopUpButtonUsed(QStringLiteral("DefaultFontsynth.qtz"));
  EXPECT_TRUE(showsNoSource(*controls));

  // Deleted without the notice: the weak hold still finds it gone.
  auto other = imageLayer(QStringLiteral("other.png"));
  controls->selectThisLayer(other.get());
  Layer* otherRaw = other.get();
  other.reset();
  world_->compositor->deleteThisLayer(otherRaw);
  settle();
  EXPECT_EQ(controls->currentLayer(), nullptr);
  controls->ejectButtonUsed();
  EXPECT_TRUE(showsNoSource(*controls));
}

TEST_F(LayerControlsTest, APluginDeletedWhileShowingAPanelHandsItBack) {
  auto layer = imageLayer();
  LayerControls* controls = make();
  controls->selectThisLayer(layer.get());
  QPointer<QWidget> panel = layer->currentSource()->view();
  manager_->deletePlugins({controls});
  settle();
  ASSERT_TRUE(panel);
  EXPECT_EQ(panel->parentWidget(), layer->controlHolder());
  LayerControls* next = make();
  next->selectThisLayer(layer.get());
  EXPECT_EQ(next->shownPanel(), panel.data());
}

TEST_F(LayerControlsTest, APanelTakenByTheLayerWindowLeavesTheNoSourceView) {
  world_->compositor->setLayerWindowFactory(
      [](Compositor& owner) { return std::make_unique<LayerPanel>(&owner); });
  auto layer = imageLayer();
  auto other = imageLayer(QStringLiteral("other.png"));
  auto* window = dynamic_cast<LayerPanel*>(layer->parentWindow());
  ASSERT_TRUE(window);
  window->showLayer(other.get());  // the window shows another layer's panel
  LayerControls* controls = make();
  controls->selectThisLayer(layer.get());
  ASSERT_TRUE(controls->shownPanel());
  window->showLayer(layer.get());
  settle();
  EXPECT_NE(layer->currentSource()->view()->parentWidget(), controls->sourceControlsView());
  EXPECT_TRUE(showsNoSource(*controls));
}

TEST_F(LayerControlsTest, ALayerTabPicksTheNearestPluginFollowingTheTabs) {
  auto layer = imageLayer();
  LayerControls* near = make();
  LayerControls* far = make();
  LayerControls* off = make();
  near->window()->setFrame(QRectF(100, 100, 200, 150));
  far->window()->setFrame(QRectF(700, 500, 200, 150));
  off->window()->setFrame(QRectF(120, 110, 200, 150));
  near->followLayerTabsButton()->setChecked(true);
  far->followLayerTabsButton()->setChecked(true);
  EXPECT_EQ(LayerTabFollower::closest(LayerTabFollower::all(), QPointF(210, 180)), near);
  EXPECT_EQ(LayerTabFollower::closest(LayerTabFollower::all(), QPointF(790, 560)), far);
  EXPECT_TRUE(LayerTabFollower::selectThisLayerInClosestControls(layer.get(), QPointF(200, 170)));
  EXPECT_EQ(near->currentLayer(), layer.get());
  EXPECT_EQ(off->currentLayer(), nullptr);
  near->followLayerTabsButton()->setChecked(false);
  far->followLayerTabsButton()->setChecked(false);
  EXPECT_FALSE(LayerTabFollower::selectThisLayerInClosestControls(layer.get(), QPointF(200, 170)));
}

}  // namespace
