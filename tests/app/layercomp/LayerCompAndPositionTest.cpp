// The layer composition and position panel and the test plug-in, made by
// the tests (the plug-in manager does not offer them): snapshots, the
// restore bracket and the options sheet, deletion.
#include "app/plugins/layercomp/LayerCompAndPosition.h"
#include "app/plugins/layercomp/TestPlugin.h"
#include "framework/controls/QKButton.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

namespace {

class LayerCompTest : public PluginHost {
 protected:
  LayerCompTest() {
    layouts.registerLayout(LayerCompAndPosition::kTypeName,
                           LayerCompAndPosition::pluginClass().layout);
    layouts.registerLayout(TestPlugin::kTypeName, TestPlugin::pluginClass().layout);
  }
  template <class Plugin>
  std::unique_ptr<Plugin> create(const char* name) {
    auto plugin = std::make_unique<Plugin>(Plugin::kTypeName, QString::fromLatin1(name), 90);
    plugin->window();
    return plugin;
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }
  static void post(const QString& name) { NotificationCenter::defaultCenter().post(name); }

  QKTapManager taps;
};

TEST_F(LayerCompTest, TheManagerDoesNotOfferEitherClass) {
  for (const QString& type : {LayerCompAndPosition::kTypeName, TestPlugin::kTypeName}) {
    EXPECT_FALSE(manager->instantiatePluginType(type)) << type.toStdString();
    EXPECT_FALSE(QKPluginManager::builtInTypeNames().contains(type));
  }
}

TEST_F(LayerCompTest, ThePanelKeepsItsTapAndBothFollowOptions) {
  auto panel = create<LayerCompAndPosition>("Panel 1");
  panel->layerMenuController()->setLastSelectedName(QStringLiteral("Layer 2"));
  panel->useMostRecentLayerButton()->setChecked(true);
  panel->followLayerTabsButton()->setChecked(true);
  const QVariantMap saved = panel->createSnapshot();
  EXPECT_TRUE(saved.contains("superSnap"));

  auto copy = create<LayerCompAndPosition>("Panel 2");
  copy->loadSnapshot(saved);
  EXPECT_EQ(copy->layerMenuController()->lastSelectedName(), "Layer 2");
  EXPECT_TRUE(copy->useMostRecentLayerButton()->isChecked());
  EXPECT_TRUE(copy->followLayerTabsButton()->isChecked());
  // Absent keys leave the controls as they are.
  copy->loadSnapshot({{"useMostRecentLayerButton", 0}});
  EXPECT_FALSE(copy->useMostRecentLayerButton()->isChecked());
  EXPECT_TRUE(copy->followLayerTabsButton()->isChecked());
  EXPECT_EQ(copy->layerMenuController()->lastSelectedName(), "Layer 2");
}

TEST_F(LayerCompTest, APickDuringARestoreIsLoggedButNotFollowedUp) {
  auto panel = create<LayerCompAndPosition>("Panel 1");
  const QString used = QStringLiteral("LayerCompAndPosition:layerMenuUsed:");
  const QString update = QStringLiteral("LayerCompAndPosition:updateCurrentLayer:");
  post(QKRTapMenuController::kRestoreStartNotification);
  EXPECT_TRUE(panel->presetRestoring());
  const qsizetype before = panel->consoleLines().size();
  panel->layerMenuUsed();
  EXPECT_EQ(panel->consoleLines().mid(before), QStringList{used});
  post(QKRTapMenuController::kRestoreEndNotification);
  panel->layerMenuUsed();
  // (The end also reloads the tap list, which picks again.)
  EXPECT_EQ(panel->consoleLines().mid(panel->consoleLines().size() - 2), QStringList({used, update}));
}

TEST_F(LayerCompTest, ARestoreClosesAnOpenOptionsSheet) {
  auto panel = create<LayerCompAndPosition>("Panel 1");
  panel->window()->show();
  panel->openOptionsPanel();
  settle();
  ASSERT_TRUE(panel->optionsSheetAttached());
  saveScreenshot(panel->optionsPanel()->grab().toImage(), QStringLiteral("layercomp-options"));
  saveScreenshot(panel->window()->grab().toImage(), QStringLiteral("layercomp"));
  post(QKRTapMenuController::kRestoreStartNotification);
  EXPECT_FALSE(panel->optionsSheetAttached());
  // With no sheet up, a restore and a removal close nothing.
  post(QKRTapMenuController::kRestoreStartNotification);
  post(QKRTapMenuController::kRestoreEndNotification);
  EXPECT_FALSE(panel->optionsSheetAttached());
}

TEST_F(LayerCompTest, ReleasingAnUnpreparedPanelPreparesItFirst) {
  auto panel = create<LayerCompAndPosition>("Panel 1");
  panel->window()->show();
  panel->openOptionsPanel();
  settle();
  QPointer<QDialog> sheet = panel->optionsPanel();
  panel.reset();
  EXPECT_FALSE(sheet && sheet->isVisible());
  // A restore afterwards reaches nothing of the panel.
  post(QKRTapMenuController::kRestoreStartNotification);
  post(QKRTapMenuController::kRestoreEndNotification);
}

TEST_F(LayerCompTest, TheTestPluginKeepsItsTabsAndIgnoresAMissingTabSnapshot) {
  auto test = create<TestPlugin>("Test 1");
  ASSERT_EQ(test->tabView()->count(), 3);
  test->tabView()->selectTabViewItem(2);
  const QVariantMap saved = test->createSnapshot();
  ASSERT_TRUE(saved.contains("tabSnap"));

  auto copy = create<TestPlugin>("Test 2");
  copy->loadSnapshot(saved);
  settle();
  EXPECT_EQ(copy->tabView()->selectedTabViewIndex(), 2);
  copy->tabView()->selectTabViewItem(1);
  copy->loadSnapshot({{"superSnap", saved.value("superSnap")}});
  settle();
  EXPECT_EQ(copy->tabView()->selectedTabViewIndex(), 1);
  copy->window()->show();
  settle();
  saveScreenshot(copy->window()->grab().toImage(), QStringLiteral("testplugin"));
}

}  // namespace
