#include "framework/toolkit/ActiveDeleteTableView.h"
#include "tests/app/manager/ManagerFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QItemSelectionModel>

namespace {

TEST_F(ManagerTest, DefaultNamesReuseTheLowestFreeNumberAndIDsComeFromTheCounter) {
  NotificationCounter added(QKPluginManager::kPluginAddedNotification);
  FakePlugin* first = make(QStringLiteral("Buttons"));
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("Buttons"));
  manager->deletePlugins({named(QStringLiteral("Buttons 2"))});
  FakePlugin* again = make(QStringLiteral("Buttons"));
  EXPECT_EQ(again->windowTitle(), QStringLiteral("Buttons 2"));
  EXPECT_EQ(first->uniqueID(), 101);
  EXPECT_EQ(again->uniqueID(), 104);
  EXPECT_EQ(added.count(), 4);
  EXPECT_EQ(added.notes().back().object, again);
  // Its window opened at once, and the plug-in has the application controller.
  ASSERT_NE(again->window(), nullptr);
  EXPECT_TRUE(again->window()->isVisible());
  EXPECT_EQ(again->appController(), &app);
  EXPECT_EQ(manager->instantiatePluginType(QStringLiteral("NoSuchType")), nullptr);
}

TEST_F(ManagerTest, PluginsStaySortedByTypeThenName) {
  make(QStringLiteral("Sliders"));
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("AuxDisplay"));
  make(QStringLiteral("Buttons"));
  EXPECT_EQ(names(), (QStringList{"AuxDisplay 1", "Buttons 1", "Buttons 2", "Sliders 1"}));
  ASSERT_TRUE(manager->renamePlugin(named(QStringLiteral("Buttons 1")), QStringLiteral("Z")));
  EXPECT_EQ(names(), (QStringList{"AuxDisplay 1", "Buttons 2", "Z", "Sliders 1"}));
}

struct RenameCase {
  const char* label;
  QString name;
  bool accepted;
};

void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.label; }

class RenameTest : public ManagerTest, public testing::WithParamInterface<RenameCase> {};

TEST_P(RenameTest, NamesARootMayBear) {
  FakePlugin* plugin = make(QStringLiteral("Buttons"));
  make(QStringLiteral("Sliders"));
  dsc.setDataSource(DataSourceHolder::createWithName(QStringLiteral("Oscillators")),
                    {QStringLiteral("Oscillators")});
  const bool accepted = manager->renamePlugin(plugin, GetParam().name);
  EXPECT_EQ(accepted, GetParam().accepted);
  EXPECT_EQ(plugin->windowTitle(), accepted ? GetParam().name : QStringLiteral("Buttons 1"));
  // The sources moved with an accepted name and stayed with a refused one.
  EXPECT_NE(dsc.dataSourceForKeyArray({plugin->windowTitle(), QStringLiteral("1")}), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RenameTest,
    testing::Values(RenameCase{"Empty", QString(), false},
                    RenameCase{"ItsOwn", QStringLiteral("Buttons 1"), false},
                    RenameCase{"AnotherPlugins", QStringLiteral("Sliders 1"), false},
                    RenameCase{"Slash", QStringLiteral("A/B"), false},
                    RenameCase{"Tab", QStringLiteral("A\tB"), false},
                    RenameCase{"LeadingSpace", QStringLiteral(" lead"), false},
                    RenameCase{"MIDIRoot", QStringLiteral("MIDI"), false},
                    RenameCase{"DedicatedRoot", QStringLiteral("Dedicated OSC"), false},
                    RenameCase{"SharedGroup", QStringLiteral("Oscillators"), false},
                    RenameCase{"SpaceInside", QStringLiteral("A B"), true},
                    RenameCase{"Plain", QStringLiteral("Pads"), true}),
    [](const testing::TestParamInfo<RenameCase>& info) { return std::string(info.param.label); });

TEST_F(ManagerTest, DeletingPostsOnlyWhenSomethingGoesAndTakesTheSources) {
  NotificationCounter deleted(QKPluginManager::kPluginDeletedNotification);
  manager->awakeFromNib();
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("Sliders"));
  manager->existingPluginsView()->clearSelection();
  manager->deleteSelectedPlugin();
  EXPECT_EQ(deleted.count(), 0);
  EXPECT_EQ(manager->pluginArray().size(), 2);

  manager->existingPluginsView()->selectRow(1);
  manager->deleteSelectedPlugin();
  EXPECT_EQ(names(), QStringList{"Buttons 1"});
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("Sliders 1")}), nullptr);
  ASSERT_EQ(deleted.count(), 1);
  EXPECT_EQ(deleted.notes().front().object, manager.get());

  manager->deleteAllPlugins();
  EXPECT_TRUE(manager->pluginArray().isEmpty());
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("Buttons 1")}), nullptr);
  EXPECT_EQ(deleted.count(), 2);
}

TEST_F(ManagerTest, QuittingDeletesThePluginsWhileTheTreeStillStands) {
  make(QStringLiteral("Buttons"));
  NotificationCenter::defaultCenter().post(QStringLiteral("AppAboutToQuitNotification"));
  EXPECT_TRUE(manager->pluginArray().isEmpty());
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("Buttons 1")}), nullptr);
}

TEST_F(ManagerTest, GatherPlacesEveryAuxDisplayOnTheDiagonal) {
  make(QStringLiteral("AuxDisplay"));
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("AuxDisplay"));
  make(QStringLiteral("AuxDisplay"));
  manager->windowMenuGatherOutputs();
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(named(QStringLiteral("AuxDisplay %1").arg(k + 1))->gatheredTo,
              QRectF(420 + 20 * k, 340 + 20 * k, 112, 84));
  EXPECT_TRUE(named(QStringLiteral("Buttons 1"))->gatheredTo.isNull());
}

TEST_F(ManagerTest, ASnapshotMarksEveryComponentForRestore) {
  make(QStringLiteral("Buttons"))->state = 5;
  const QVariantList snapshot = manager->createSnapshot();
  ASSERT_EQ(snapshot.size(), 1);
  const QVariantMap element = snapshot.front().toMap();
  EXPECT_EQ(element.value(QStringLiteral("state")), 5);
  const QVariantMap component =
      element.value(QStringLiteral("componentArray")).toList().front().toMap();
  EXPECT_EQ(component.value(QStringLiteral("restore")), 1);
  EXPECT_EQ(QKPluginManager::generateLayoutFromSnapshotArray(snapshot), QStringList{"Buttons"});
  EXPECT_EQ(manager->generateLayoutFromRealArray(), QStringList{"Buttons"});
}

}  // namespace
