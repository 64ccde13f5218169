#include "LayerFixture.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <gtest/gtest.h>

namespace {

class LayerSetEditingTest : public ::testing::Test {
 protected:
  // Five top-level layers: Layer 5 on top … Layer 1 at the bottom.
  void makeFive() {
    for (int i = 0; i < 5; ++i) world.compositor->createNewLayer();
  }
  LayerWorld world;
};

TEST_F(LayerSetEditingTest, FreeNamesSkipEveryNameInTheTree) {
  auto one = world.compositor->createNewLayer();
  auto two = world.compositor->createNewLayer();
  auto three = world.compositor->createNewLayer();
  world.compositor->groupLayers({two.get()});
  EXPECT_FALSE(one->setLayerName("Layer 1"));  // its own name: refused
  auto four = world.compositor->createNewLayer();
  EXPECT_EQ(four->layerName(), "Layer 4");
  EXPECT_EQ(world.top(0), four.get());

  auto grouped = world.compositor->createNewLayer();
  ASSERT_TRUE(grouped->setLayerName("Group 2"));
  auto next = world.compositor->groupLayers({four.get()});
  EXPECT_EQ(next->layerName(), "Group 3");  // Group 1 and Group 2 are taken
}

TEST_F(LayerSetEditingTest, TheFirstLayerMakesAWindowAndLaterOnesJoinTheLastActivated) {
  world.useFakeWindows();
  const std::vector<FakeLayerWindow*>& made = world.madeWindows;
  auto first = world.compositor->createNewLayer();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(first->parentWindow(), made[0]);
  EXPECT_EQ(made[0]->layerArray(), std::vector<Layer*>{first.get()});
  auto second = world.compositor->createNewLayer();
  EXPECT_EQ(made.size(), 1u);
  EXPECT_EQ(second->parentWindow(), made[0]);
  made[0]->visible = false;  // hidden windows still take layers when none is visible
  EXPECT_EQ(world.compositor->createNewLayer()->parentWindow(), made[0]);
}

TEST_F(LayerSetEditingTest, GroupingTakesThePlaceOfTheUpperLayerAcrossParents) {
  makeFive();
  auto g1 = world.compositor->groupLayers({world.top(0), world.top(1)});  // Layer 5, Layer 4
  auto g2 = world.compositor->groupLayers({world.top(1), world.top(2)});  // Layer 3, Layer 2
  ASSERT_EQ(world.topNames(), QStringList({"Group 1", "Group 2", "Layer 1"}));
  Layer* four = g1->layerArray()[1].get();
  Layer* three = g2->layerArray()[0].get();
  bool locked = false;
  world.compositor->setRenderLockObserver([&](bool nowLocked) { locked = nowLocked; });
  int postedUnderTheLock = 0, posted = 0;
  NotificationObservers taps;
  taps.observe("QKTapReloadSTapListNotification", nullptr, [&](const Notification&) {
    ++posted;
    if (locked) ++postedUnderTheLock;
  });
  auto g3 = world.compositor->groupLayers({three, four});
  ASSERT_EQ(g1->layerArray().size(), 2u);
  EXPECT_EQ(g1->layerArray()[1], g3);
  ASSERT_EQ(g3->layerArray().size(), 2u);
  EXPECT_EQ(g3->layerArray()[0]->layerName(), "Layer 4");
  EXPECT_EQ(g3->layerArray()[1]->layerName(), "Layer 3");
  EXPECT_EQ(g2->layerArray().size(), 1u);
  EXPECT_EQ(g3->depth(), 1);
  EXPECT_EQ(four->depth(), 2);
  EXPECT_TRUE(g3->groupFlag());
  EXPECT_GE(posted, 1);
  EXPECT_EQ(postedUnderTheLock, 0);

  // One member of a group grouped alone: a group in its place.
  Layer* two = g2->layerArray()[0].get();
  auto alone = world.compositor->groupLayers({two});
  EXPECT_EQ(g2->layerArray().size(), 1u);
  EXPECT_EQ(g2->layerArray()[0], alone);
  EXPECT_EQ(alone->layerArray()[0].get(), two);
  EXPECT_EQ(world.compositor->groupLayers({}), nullptr);
}

TEST(LayerMoves, MovesAdjustTheIndexAndKeepTheGivenOrder) {
  struct Case {
    const char* name;
    std::vector<int> moved;  // top-level indices, in the order given
    int index;
    QStringList expected;
  };
  const Case cases[] = {
      {"first two to index 4", {0, 1}, 4, {"Layer 3", "Layer 2", "Layer 5", "Layer 4", "Layer 1"}},
      {"two to the end", {1, 0}, 5, {"Layer 3", "Layer 2", "Layer 1", "Layer 4", "Layer 5"}},
      {"two past the end", {0, 1}, 99, {"Layer 3", "Layer 2", "Layer 1", "Layer 5", "Layer 4"}},
      {"to a negative index", {4}, -3, {"Layer 1", "Layer 5", "Layer 4", "Layer 3", "Layer 2"}},
  };
  for (const Case& c : cases) {
    LayerWorld w;
    for (int i = 0; i < 5; ++i) w.compositor->createNewLayer();
    std::vector<Layer*> moved;
    for (int index : c.moved) moved.push_back(w.top(index));
    EXPECT_TRUE(w.compositor->moveTheseLayers(moved, c.index, nullptr)) << c.name;
    EXPECT_EQ(w.topNames(), c.expected) << c.name;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w.top(i)->orderedLayerIndex(), i) << c.name;
  }
}

QStringList namesOf(const std::vector<std::shared_ptr<Layer>>& layers) {
  QStringList names;
  for (const auto& layer : layers) names << layer->layerName();
  return names;
}

// An index before the start or past the end lands at the start or the end
// of a group, as at the top level.
TEST(LayerMoves, AnIndexOutOfRangeIsClampedIntoAGroup) {
  struct Case {
    int index;
    QStringList expected;
  };
  const Case cases[] = {
      {-1, {"Layer 5", "Layer 2", "Layer 1"}},
      {0, {"Layer 5", "Layer 2", "Layer 1"}},
      {2, {"Layer 2", "Layer 1", "Layer 5"}},
      {99, {"Layer 2", "Layer 1", "Layer 5"}},
  };
  for (const Case& c : cases) {
    LayerWorld w;
    for (int i = 0; i < 5; ++i) w.compositor->createNewLayer();
    auto group = w.compositor->groupLayers({w.top(3), w.top(4)});  // Layer 2, Layer 1
    EXPECT_TRUE(w.compositor->moveTheseLayers({w.top(0)}, c.index, group.get())) << c.index;
    EXPECT_EQ(namesOf(group->layerArray()), c.expected) << c.index;
    EXPECT_EQ(w.topNames(), QStringList({"Layer 4", "Layer 3", "Group 1"})) << c.index;
  }
}

// A group takes the place of the upper of the layers grouped, whatever the
// order they are given in, at the top, at the bottom or inside a group.
TEST(LayerGrouping, TheGroupTakesTheUpperLayersPlaceAtEitherEnd) {
  struct Case {
    const char* name;
    std::vector<int> grouped;  // top-level indices, in the order given
    QStringList expectedTop;
    QStringList expectedMembers;
  };
  const Case cases[] = {
      {"the top layer", {0}, {"Group 1", "Layer 4", "Layer 3", "Layer 2", "Layer 1"}, {"Layer 5"}},
      {"the bottom layer",
       {4},
       {"Layer 5", "Layer 4", "Layer 3", "Layer 2", "Group 1"},
       {"Layer 1"}},
      {"bottom and top, bottom first",
       {4, 0},
       {"Group 1", "Layer 4", "Layer 3", "Layer 2"},
       {"Layer 5", "Layer 1"}},
      {"one layer twice",
       {2, 2},
       {"Layer 5", "Layer 4", "Group 1", "Layer 2", "Layer 1"},
       {"Layer 3"}},
  };
  for (const Case& c : cases) {
    LayerWorld w;
    for (int i = 0; i < 5; ++i) w.compositor->createNewLayer();
    std::vector<Layer*> grouped;
    for (int index : c.grouped) grouped.push_back(w.top(index));
    auto group = w.compositor->groupLayers(grouped);
    ASSERT_TRUE(group) << c.name;
    EXPECT_EQ(w.topNames(), c.expectedTop) << c.name;
    EXPECT_EQ(namesOf(group->layerArray()), c.expectedMembers) << c.name;
  }
  // The last member of a group grouped: the new group ends the outer one.
  LayerWorld w;
  for (int i = 0; i < 3; ++i) w.compositor->createNewLayer();
  auto outer = w.compositor->groupLayers({w.top(0), w.top(1), w.top(2)});
  Layer* last = outer->layerArray().back().get();
  auto inner = w.compositor->groupLayers({last});
  EXPECT_EQ(namesOf(outer->layerArray()), QStringList({"Layer 3", "Layer 2", "Group 2"}));
  EXPECT_EQ(inner->layerArray().front().get(), last);
}

TEST_F(LayerSetEditingTest, MovesIntoGroupsAndOutAndNeverIntoTheirOwnSubtree) {
  makeFive();
  auto group = world.compositor->groupLayers({world.top(3), world.top(4)});  // Layer 2, Layer 1
  Layer* five = world.top(0);
  ASSERT_TRUE(world.compositor->moveTheseLayers({five}, 0, group.get()));
  EXPECT_EQ(group->layerArray()[0].get(), five);
  EXPECT_EQ(five->parentLayer(), group.get());
  EXPECT_EQ(five->depth(), 1);
  LogCapture log;
  EXPECT_FALSE(world.compositor->moveTheseLayers({group.get()}, 0, group.get()));
  auto inner = world.compositor->groupLayers({five});
  EXPECT_FALSE(world.compositor->moveTheseLayers({group.get()}, 0, inner.get()));
  EXPECT_EQ(group->layerArray()[0], inner);
  ASSERT_TRUE(world.compositor->moveTheseLayers({five}, 0, nullptr));
  EXPECT_TRUE(five->isTopLevel());
  EXPECT_EQ(world.top(0), five);
}

TEST_F(LayerSetEditingTest, DeleteAllEndsWithLayersThatHaveNoWindow) {
  world.useFakeWindows();
  auto windowed = world.compositor->createNewLayer();
  auto group = world.compositor->groupLayers({windowed.get()});
  auto loose = world.compositor->createNewLayer();
  loose->removeFromParentWindow();
  ASSERT_EQ(loose->parentWindow(), nullptr);
  world.compositor->deleteAllLayers();
  EXPECT_TRUE(world.compositor->topLevelLayers().empty());
  EXPECT_TRUE(windowed->deleted());
  EXPECT_TRUE(loose->deleted());
  // The emptied window goes on a later pass of the event loop.
  EXPECT_EQ(world.compositor->layerWindowArray().size(), 1u);
  ASSERT_TRUE(
      MainThread::processUntil([&] { return world.compositor->layerWindowArray().empty(); }, 5));
}

TEST_F(LayerSetEditingTest, DeletingTheSelectionPostsForEachAndKeepsMembersOfDeletedGroups) {
  makeFive();
  auto group = world.compositor->groupLayers({world.top(1), world.top(2)});
  world.list.selection = {group.get(), world.top(0)};
  NotificationCounter deletes(Layer::kDeleteNotification);
  world.compositor->deleteSelectedLayers();
  EXPECT_EQ(deletes.count(), 2);
  EXPECT_TRUE(world.list.selection.empty());
  EXPECT_EQ(world.topNames(), QStringList({"Layer 4", "Layer 3", "Layer 2", "Layer 1"}));
  world.compositor->deleteThisLayer(group.get());  // no longer in the tree: nothing
  EXPECT_EQ(world.topNames().size(), 4);
}

// The layer-set edits make and tear down layers outside the render lock,
// which they hold only for the change of the tree.
TEST_F(LayerSetEditingTest, TheRenderLockCoversOnlyTheTreeChange) {
  bool locked = false;
  QStringList events;
  world.compositor->setRenderLockObserver([&](bool nowLocked) {
    locked = nowLocked;
    events << (nowLocked ? "lock" : "unlock");
  });
  world.compositor->registerSourceFactory(VidSourceObject::kQCSource,
                                          [&](const QString& name, Layer& layer) {
                                            events << (locked ? "made under the lock" : "made");
                                            return std::make_shared<VidSourceObject>(name, &layer);
                                          });
  NotificationCounter created(Layer::kCreateNotification);
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto group = world.compositor->groupLayers({a.get(), b.get()});
  world.compositor->deleteThisLayer(group.get());
  world.compositor->deleteThisLayer(a.get());
  EXPECT_EQ(events, QStringList({"made", "lock", "unlock", "made", "lock", "unlock", "made", "lock",
                                 "unlock", "lock", "unlock", "lock", "unlock"}));
  EXPECT_EQ(created.count(), 3);
}

}  // namespace
