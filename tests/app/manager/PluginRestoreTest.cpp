#include "app/plugins/manager/PluginRestorePlan.h"
#include "framework/datasource/DataSourceTarget.h"
#include "tests/app/manager/ManagerFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

namespace {

// A subscriber of a plug-in's source: where it is, whether it was deleted.
struct Follower : DataSourceTarget {
  void updated(DataSource*) {}
  void dataSourceNameChanged(DataSource* source) override { path = source->pathArray(); }
  void currentDataSourceDeletedUnderMe() override { deleted = true; }
  KeyPath path;
  bool deleted = false;
};

QVariantMap element(const QString& type, const QString& name, int state = 0) {
  return {
      {QKPlugin::kSuperSnap, QVariantMap{{QKPlugin::kName, type}, {QKPlugin::kWindowTitle, name}}},
      {QStringLiteral("state"), state}};
}

class RestoreTest : public ManagerTest {
 protected:
  std::shared_ptr<Follower> follow(const QString& root) {
    auto follower = std::make_shared<Follower>();
    EXPECT_TRUE(dsc.subscribeObject(follower, &Follower::updated, {root, QStringLiteral("1")}));
    return follower;
  }
};

TEST_F(RestoreTest, TheSameStateKeepsEveryObjectAndReloadsEach) {
  FakePlugin* buttons = make(QStringLiteral("Buttons"));
  FakePlugin* sliders = make(QStringLiteral("Sliders"));
  buttons->state = 3;
  const QVariantList snapshot = manager->createSnapshot();
  buttons->state = 0;
  NotificationCounter added(QKPluginManager::kPluginAddedNotification);
  NotificationCounter deleted(QKPluginManager::kPluginDeletedNotification);
  manager->loadSnapshot(snapshot);
  EXPECT_EQ(manager->pluginArray(), (QList<QKPlugin*>{buttons, sliders}));
  EXPECT_EQ(buttons->state, 3);
  EXPECT_EQ(buttons->loads, 1);
  EXPECT_EQ(sliders->loads, 1);
  EXPECT_EQ(added.count() + deleted.count(), 0);
}

TEST_F(RestoreTest, ATypeMatchTakesTheWantedNameAndKeepsItsIdentity) {
  FakePlugin* buttons = make(QStringLiteral("Buttons"));
  const auto follower = follow(QStringLiteral("Buttons 1"));
  manager->loadSnapshot({element(QStringLiteral("Buttons"), QStringLiteral("Pads"), 7)});
  ASSERT_EQ(manager->pluginArray(), QList<QKPlugin*>{buttons});
  EXPECT_EQ(buttons->windowTitle(), QStringLiteral("Pads"));
  EXPECT_EQ(buttons->uniqueID(), 101);
  EXPECT_EQ(buttons->state, 7);
  EXPECT_EQ(follower->path, (KeyPath{"Pads", "1"}));
  EXPECT_FALSE(follower->deleted);
}

TEST_F(RestoreTest, TheUnmatchedGoAndTheMissingComeSilentlyWithNewIDs) {
  make(QStringLiteral("AuxDisplay"));
  NotificationCounter added(QKPluginManager::kPluginAddedNotification);
  NotificationCounter deleted(QKPluginManager::kPluginDeletedNotification);
  manager->loadSnapshot({element(QStringLiteral("Sliders"), QStringLiteral("Faders"), 2),
                         element(QStringLiteral("Buttons"), QStringLiteral("Pads"), 4)});
  EXPECT_EQ(names(), (QStringList{"Pads", "Faders"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("AuxDisplay 1")}), nullptr);
  EXPECT_EQ(named(QStringLiteral("Faders"))->state, 2);
  EXPECT_EQ(named(QStringLiteral("Pads"))->uniqueID(), 103);
  EXPECT_EQ(added.count() + deleted.count(), 0);
}

TEST_F(RestoreTest, AnUnknownTypeIsLoggedAndTheRestRestore) {
  LogCapture log;
  manager->loadSnapshot({element(QStringLiteral("Gone.qtz"), QStringLiteral("Gone 1")),
                         element(QStringLiteral("Buttons"), QStringLiteral("Pads"), 1)});
  EXPECT_TRUE(log.lines().contains(QStringLiteral("\t\terror: pluginPtr is nil")));
  EXPECT_EQ(names(), QStringList{"Pads"});
}

// The rename of a pair may meet a name that a plug-in still holds: one that
// goes in this restore, or one that takes another name in it.
TEST_F(RestoreTest, RenamingOntoANameStillHeldKeepsEveryBinding) {
  make(QStringLiteral("Buttons"));
  make(QStringLiteral("Sliders"));
  const auto buttons = follow(QStringLiteral("Buttons 1"));
  manager->loadSnapshot({element(QStringLiteral("Buttons"), QStringLiteral("Sliders 1"))});
  EXPECT_EQ(names(), QStringList{"Sliders 1"});
  EXPECT_EQ(named(QStringLiteral("Sliders 1"))->name(), QStringLiteral("Buttons"));
  EXPECT_EQ(buttons->path, (KeyPath{"Sliders 1", "1"}));
  EXPECT_FALSE(buttons->deleted);
  EXPECT_NE(dsc.dataSourceForKeyArray({QStringLiteral("Sliders 1"), QStringLiteral("1")}), nullptr);
}

TEST_F(RestoreTest, ACrossTypeSwapOfNamesKeepsEveryBinding) {
  ASSERT_TRUE(manager->renamePlugin(make(QStringLiteral("Buttons")), QStringLiteral("A")));
  ASSERT_TRUE(manager->renamePlugin(make(QStringLiteral("Sliders")), QStringLiteral("B")));
  const auto a = follow(QStringLiteral("A"));
  const auto b = follow(QStringLiteral("B"));
  manager->loadSnapshot({element(QStringLiteral("Buttons"), QStringLiteral("B")),
                         element(QStringLiteral("Sliders"), QStringLiteral("A"))});
  EXPECT_EQ(names(), (QStringList{"B", "A"}));
  EXPECT_EQ(a->path, (KeyPath{"B", "1"}));
  EXPECT_EQ(b->path, (KeyPath{"A", "1"}));
  EXPECT_FALSE(a->deleted || b->deleted);
}

TEST_F(RestoreTest, NamesAreCheckedAndMadeUniqueOneLineEach) {
  LogCapture log;
  manager->loadSnapshot({element(QStringLiteral("Buttons"), QStringLiteral("Pads")),
                         element(QStringLiteral("Buttons"), QStringLiteral("Pads")),
                         element(QStringLiteral("Buttons"), QStringLiteral("A/B")),
                         element(QStringLiteral("Sliders"), QStringLiteral("MIDI")),
                         element(QStringLiteral("Sliders"), QString())});
  EXPECT_EQ(names(), (QStringList{"Buttons 1", "Pads", "Pads 2", "MIDI 2", "Sliders 1"}));
  EXPECT_EQ(log.lines().filter(QStringLiteral("restored as")).size(), 4);
}

TEST_F(RestoreTest, ElementsWithoutTypeOrNameAreLoggedAndSkipped) {
  LogCapture log;
  manager->loadSnapshot({QStringLiteral("junk"), QVariantMap{{"state", 1}},
                         QVariantMap{{QKPlugin::kSuperSnap, QVariantMap{{QKPlugin::kName, 3}}}},
                         element(QStringLiteral("Buttons"), QStringLiteral("Pads"))});
  EXPECT_EQ(names(), QStringList{"Pads"});
  EXPECT_EQ(log.lines().filter(QStringLiteral("has no type or name")).size(), 3);
}

TEST_F(RestoreTest, AFreshManagerRestoresWhatAnotherSaved) {
  make(QStringLiteral("Buttons"))->state = 9;
  make(QStringLiteral("Sliders"));
  const QVariantList snapshot = manager->createSnapshot();
  manager = makeManager();
  manager->loadSnapshot(snapshot);
  EXPECT_EQ(names(), (QStringList{"Buttons 1", "Sliders 1"}));
  EXPECT_EQ(named(QStringLiteral("Buttons 1"))->state, 9);
}

struct PlanCase {
  const char* label;
  QStringList liveNames, liveTypes, wantedNames, wantedTypes;
  std::vector<std::pair<int, int>> renamed;
  std::vector<int> deleted, created;
};

void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.label; }

class RestorePlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(RestorePlanTest, MatchesAsTheRulesSay) {
  const PlanCase& c = GetParam();
  const PluginRestorePlan plan =
      PluginRestorePlan::make(c.liveNames, c.liveTypes, c.wantedNames, c.wantedTypes);
  std::vector<std::pair<int, int>> renamed;
  for (const auto& pair : plan.renamed) renamed.emplace_back(pair.live, pair.wanted);
  EXPECT_EQ(renamed, c.renamed);
  EXPECT_EQ(plan.deleted, c.deleted);
  EXPECT_EQ(plan.created, c.created);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestorePlanTest,
    testing::Values(
        PlanCase{"Same", {"B 1", "S 1"}, {"B", "S"}, {"B 1", "S 1"}, {"B", "S"}, {}, {}, {}},
        // Within a type the k-th left over pairs with the k-th left over.
        PlanCase{"ByType",
                 {"B 1", "B 2", "S 1"},
                 {"B", "B", "S"},
                 {"X", "Y"},
                 {"B", "B"},
                 {{0, 0}, {1, 1}},
                 {2},
                 {}},
        // A name wanted for another type is no match.
        PlanCase{"NameOfOtherType", {"B 1"}, {"B"}, {"B 1"}, {"S"}, {}, {0}, {0}},
        PlanCase{
            "MoreWanted", {"B 1"}, {"B"}, {"B 1", "B 2", "S 1"}, {"B", "B", "S"}, {}, {}, {1, 2}}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.label); });

}  // namespace
