// A composition in the user's "plugins" folder in ZAPH's process: listed
// by its file name in the Plugin Manager, made by a double click into a
// palette of the Window menu, played by ZAPH's own frames, its number output
// followed by a slider of a Sliders plug-in, and kept in the plug-in
// manager's part of a preset.
#include "app/plugins/composition/QKGenericQCPlugin.h"
#include "app/plugins/manager/QKPMPotentialListController.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/sliders/Sliders.h"
#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QTest>

namespace {

// The number input "gain" and the number output "level" (0.6), each
// through a splitter.
void writeLevelComposition(const QString& path) {
  const QVariantMap splitter{{"key", "level"},
                             {"class", "QCSplitter"},
                             {"state", QVariantMap{{"portClass", "QCNumberPort"}, {"value", 0.6}}}};
  const QVariantMap gain{{"key", "gain"},
                         {"class", "QCSplitter"},
                         {"state", QVariantMap{{"portClass", "QCNumberPort"}}}};
  const QVariantMap state{
      {"nodes", QVariantList{splitter, gain}},
      {"publishedInputPorts",
       QVariantList{QVariantMap{{"key", "gain"}, {"node", "gain"}, {"port", "input"}}}},
      {"publishedOutputPorts",
       QVariantList{QVariantMap{{"key", "level"}, {"node", "level"}, {"port", "output"}}}}};
  ASSERT_EQ(PropertyList::write(QVariantMap{{"rootPatch", QVariantMap{{"state", state}}}}, path),
            QString());
}

TEST(CompositionPluginInZaph, ADoubleClickMakesAPaletteWhoseOutputASliderFollows) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    GTEST_SKIP() << "no OpenGL on the offscreen platform";
  UserDefaults::standard().resetForTesting();
  const QString folder = Paths::userDataDir() + QStringLiteral("/plugins");
  QDir().mkpath(folder);
  writeLevelComposition(folder + QStringLiteral("/Level.qtz"));
  AppController controller;
  QKPluginManager* manager = controller.pluginManager();
  manager->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(manager->window()));
  const int row = static_cast<int>(manager->sortedPluginClassKeys().indexOf("Level.qtz"));
  ASSERT_GE(row, 0);
  QKNSTableView* types = manager->potentialPluginsView();
  const QModelIndex index = manager->potentialListController()->index(row);
  types->scrollTo(index);
  const QRect cell = types->visualRect(index);
  QTest::mouseClick(types->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(types->viewport(), Qt::LeftButton, {}, cell.center());
  auto* plugin = qobject_cast<QKGenericQCPlugin*>(manager->findPluginNamed("Level.qtz 1"));
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->name(), "Level.qtz");

  bool listed = false;
  for (QAction* entry : controller.appWindowMenuController()->pluginEntries())
    listed |= entry->text() == QLatin1String("Level.qtz 1");
  EXPECT_TRUE(listed) << "in the Window menu";

  auto* bank = static_cast<Sliders*>(manager->instantiatePluginType(Sliders::kTypeName));
  ASSERT_NE(bank, nullptr);
  QKSliderControl* slider = bank->sliderArray().front();
  ASSERT_TRUE(slider->cell()->useThisSource(KeyPath{"Level.qtz 1", "level"}));
  slider->cell()->setSyncFlag(true);
  EXPECT_TRUE(
      MainThread::processUntil([&] { return std::abs(slider->value() - 0.6f) < 1e-3; }, 5.0))
      << slider->value() << " after " << plugin->drawCount() << " frames";

  ASSERT_TRUE(QTest::qWaitForWindowExposed(plugin->window()));
  EXPECT_FALSE(
      saveScreenshot(plugin->window()->grab().toImage(), "composition-plugin-in-zaph").isEmpty());

  bool saved = false;
  for (const QVariant& element : manager->createSnapshot())
    saved |= element.toMap().value("superSnap").toMap().value("name") == QLatin1String("Level.qtz");
  EXPECT_TRUE(saved);
  manager->deleteAllPlugins();
  controller.applicationWillTerminate();
}

}  // namespace
