#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "tests/framework/datasource/DataSourceFakes.h"
#include "tests/support/Eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

const QString kZaph = QStringLiteral("ZAPH");

class DataSourceControllerTest : public testing::Test {
 protected:
  DataSourceControllerTest() {
    dsc.setSliderManager(&sliders);
    dsc.setButtonManager(&buttons);
    dsc.setCoordinator(&coordinator);
    app.midi = &midi;
    dsc.setAppController(&app);
    dsc.awakeFromNib();
  }

  template <class T = DSFloatFrequent>
  std::shared_ptr<T> leafAt(const KeyPath& path) {
    const auto leaf = T::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(leaf, path));
    return leaf;
  }
  std::shared_ptr<DataSourceHolder> holderAt(const KeyPath& path) {
    const auto holder = DataSourceHolder::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(holder, path));
    return holder;
  }
  std::shared_ptr<RecordingTarget> subscribed(const KeyPath& path) {
    auto target = std::make_shared<RecordingTarget>(&log);
    EXPECT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received, path));
    return target;
  }

  CallLog log;
  FakeSliderManager sliders{&log};
  FakeButtonManager buttons{&log};
  FakeCoordinator coordinator{&log};
  FakeMIDIManager midi{&log};
  FakeAppController app;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

TEST_F(DataSourceControllerTest, StartsWithItsRoots) {
  struct Root {
    const char* name;
    int32_t type;
  };
  for (const Root& root : {Root{"ZAPH", DSType::Holder}, Root{"Key", DSType::InputHolder},
                           Root{"MIDI", DSType::InputHolder}, Root{"OSC", DSType::InputHolder},
                           Root{"Mouse", DSType::PointHolder}}) {
    const auto node = dsc.dataSourceForKeyArray({root.name});
    ASSERT_NE(node, nullptr) << root.name;
    EXPECT_EQ(node->sourceType(), root.type) << root.name;
    EXPECT_EQ(node->depth(), 1);
    EXPECT_EQ(node->parentSource(), nullptr);
  }
  EXPECT_NE(dsc.dataSourceForKeyArray({"Mouse", "X"}), nullptr);
  EXPECT_NE(dsc.dataSourceForKeyArray({"Mouse", "Y"}), nullptr);
  EXPECT_EQ(dsc.midiManager(), &midi);
  EXPECT_FALSE(dsc.tickThreadRunning());
}

TEST_F(DataSourceControllerTest, DeletingWhereNothingIsAnswersNoAndStillPosts) {
  NotificationCounter changed(DataSourceNotifications::SourcesChanged);
  EXPECT_FALSE(dsc.setDataSource(nullptr, {kZaph, "nothing"}));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_FALSE(dsc.setDataSource(nullptr, {}));
  EXPECT_EQ(changed.count(), 1);
}

TEST_F(DataSourceControllerTest, ReplacingTellsTheOldSubscribersAndKeepsTheName) {
  const auto old = leafAt({kZaph, "leaf"});
  const auto target = subscribed({kZaph, "leaf"});
  const auto replacement = DSFloatFrequent::createWithName("other");
  ASSERT_TRUE(dsc.setDataSource(replacement, {kZaph, "leaf"}));

  EXPECT_EQ(target->count("deleted"), 1);
  EXPECT_EQ(old->sourceType(), DSType::Deleted);
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "leaf"}), replacement);
  EXPECT_EQ(replacement->sourceName(), "leaf");
  EXPECT_EQ(replacement->fetchCallCount(), 0u);  // subscriptions are not carried over

  ASSERT_TRUE(dsc.setDataSource(nullptr, {kZaph, "leaf"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "leaf"}), nullptr);
  EXPECT_EQ(replacement->sourceType(), DSType::Deleted);
}

TEST_F(DataSourceControllerTest, APathWithoutAParentHolderIsRefusedAndNoRootIsReplaced) {
  LogCapture captured;
  const auto midiRoot = dsc.dataSourceForKeyArray({"MIDI"});
  const auto target = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(midiRoot->addThisFetchCall(callTo(target)));
  leafAt({kZaph, "leaf"});

  EXPECT_FALSE(
      dsc.setDataSource(DataSourceHolder::createWithName("MIDI"), {kZaph, "missing", "MIDI"}));
  EXPECT_FALSE(dsc.setDataSource(DSFloatFrequent::createWithName("x"), {kZaph, "leaf", "x"}));
  EXPECT_TRUE(captured.contains("\t\terr: couldn't find holder DS for ZAPH/missing/MIDI"));
  EXPECT_EQ(dsc.dataSourceForKeyArray({"MIDI"}), midiRoot);
  EXPECT_EQ(midiRoot->sourceType(), DSType::InputHolder);
  EXPECT_TRUE(target->events().isEmpty());
  EXPECT_EQ(dsc.dataSourceForKeyArray({"x"}), nullptr);

  // A one-name path still sets a root.
  const auto root = DataSourceHolder::createWithName("Extra");
  EXPECT_TRUE(dsc.setDataSource(root, {"Extra"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({"Extra"}), root);
}

TEST_F(DataSourceControllerTest, AMoveKeepsTheObjectAndItsSubscriptions) {
  holderAt({kZaph, "a"});
  holderAt({kZaph, "b"});
  const auto leaf = leafAt<DSFloatInfrequent>({kZaph, "a", "leaf"});
  const auto target = subscribed({kZaph, "a", "leaf"});
  log.clear();

  ASSERT_TRUE(dsc.changeNameFrom({kZaph, "a", "leaf"}, {kZaph, "b", "moved"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "b", "moved"}), leaf);
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "a", "leaf"}), nullptr);
  EXPECT_EQ(target->events(), QStringList{"name ZAPH|b|moved"});
  EXPECT_TRUE(log.entries().contains("sliders placed ZAPH|b|moved"));
  EXPECT_TRUE(log.entries().contains("buttons placed ZAPH|b|moved"));

  leaf->setValue(0.5f);
  EXPECT_EQ(target->values().back(), 0.5f);
}

TEST_F(DataSourceControllerTest, AMovedHolderAnnouncesEveryNewPath) {
  holderAt({kZaph, "a"});
  holderAt({kZaph, "a", "inner"});
  const auto leaf = leafAt({kZaph, "a", "inner", "leaf"});
  log.clear();
  ASSERT_TRUE(dsc.changeNameFrom({kZaph, "a"}, {"Top"}));
  const QStringList placed = log.entries().filter("sliders placed");
  EXPECT_EQ(placed, (QStringList{"sliders placed Top", "sliders placed Top|inner",
                                 "sliders placed Top|inner|leaf"}));
  EXPECT_EQ(leaf->depth(), 3);
  EXPECT_EQ(leaf->pathArray(), (KeyPath{"Top", "inner", "leaf"}));
}

TEST_F(DataSourceControllerTest, AMoveOntoAnOccupiedPathDeletesWhatWasThere) {
  const auto moving = leafAt({kZaph, "moving"});
  const auto occupant = leafAt({kZaph, "occupied"});
  const auto occupantTarget = subscribed({kZaph, "occupied"});
  ASSERT_TRUE(dsc.changeNameFrom({kZaph, "moving"}, {kZaph, "occupied"}));
  EXPECT_EQ(occupantTarget->count("deleted"), 1);
  EXPECT_EQ(occupant->sourceType(), DSType::Deleted);
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "occupied"}), moving);

  // Moving a node onto its own path leaves it alone.
  const auto movingTarget = subscribed({kZaph, "occupied"});
  ASSERT_TRUE(dsc.changeNameFrom({kZaph, "occupied"}, {kZaph, "occupied"}));
  EXPECT_EQ(movingTarget->count("deleted"), 0);
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "occupied"}), moving);
}

TEST_F(DataSourceControllerTest, MovesThatCannotBeDoneChangeNothing) {
  LogCapture captured;
  const auto branch = holderAt({kZaph, "branch"});
  holderAt({kZaph, "branch", "inner"});
  leafAt({kZaph, "leaf"});
  NotificationCounter changed(DataSourceNotifications::SourcesChanged);

  struct BadMove {
    KeyPath from, to;
    const char* message;
  };
  const std::vector<BadMove> moves = {
      {{kZaph, "none"}, {kZaph, "x"}, "couldn't find DS at original path while changing name"},
      {{kZaph, "leaf"}, {kZaph, "none", "x"}, "couldn't find holder DS for new path"},
      {{kZaph, "leaf"}, {kZaph, "leaf", "x"}, "couldn't find holder DS for new path"},
      {{kZaph, "branch"}, {kZaph, "branch", "inner", "x"}, "can't move a DS into itself"},
  };
  for (const auto& move : moves) {
    EXPECT_FALSE(dsc.changeNameFrom(move.from, move.to)) << move.message;
    EXPECT_TRUE(captured.contains(move.message)) << move.message;
  }
  EXPECT_FALSE(dsc.changeNameFrom({}, {kZaph}));
  EXPECT_EQ(changed.count(), static_cast<int>(moves.size()));
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "branch"}), branch);
  EXPECT_EQ(branch->pathArray(), (KeyPath{kZaph, "branch"}));
}

// A node whose holder is being deleted is not moved into the live tree:
// the move answers false and nothing appears at the new path. Racing the
// deletion from another thread, either the move wins (the node lives on at
// its new path) or the deletion does (the move is refused).
TEST_F(DataSourceControllerTest, ANodeWhoseHolderIsBeingDeletedIsNotMoved) {
  const auto dying = holderAt({kZaph, "dying"});
  const auto orphan = leafAt({kZaph, "dying", "leaf"});
  dying->prepareToBeDeleted();  // mid-deletion: still in the tree
  EXPECT_FALSE(dsc.changeNameFrom({kZaph, "dying", "leaf"}, {kZaph, "saved"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({kZaph, "saved"}), nullptr);
  EXPECT_TRUE(orphan->isDeleted());

  for (int round = 0; round < 400; ++round) {
    holderAt({kZaph, "old"});
    const auto leaf = leafAt({kZaph, "old", "leaf"});
    std::atomic<int> ready{0};
    auto together = [&] {
      ++ready;
      while (ready.load() < 2) std::this_thread::yield();
    };
    bool moved = false;
    std::thread mover([&] {
      together();
      moved = dsc.changeNameFrom({kZaph, "old", "leaf"}, {kZaph, "moved"});
    });
    std::thread deleter([&] {
      together();
      dsc.setDataSource(nullptr, {kZaph, "old"});
    });
    mover.join();
    deleter.join();
    const auto atNewPath = dsc.dataSourceForKeyArray({kZaph, "moved"});
    if (moved) {
      ASSERT_EQ(atNewPath, leaf) << "round " << round;
      ASSERT_FALSE(leaf->isDeleted()) << "round " << round;
    } else {
      ASSERT_EQ(atNewPath, nullptr) << "round " << round;
      ASSERT_TRUE(leaf->isDeleted()) << "round " << round;
    }
    dsc.setDataSource(nullptr, {kZaph, "moved"});
  }
}

struct SubscribeCase {
  const char* name;
  KeyPath path;
  bool subscribed;
  bool created;
};
void PrintTo(const SubscribeCase& c, std::ostream* os) { *os << c.name; }

class Subscribing : public DataSourceControllerTest,
                    public testing::WithParamInterface<SubscribeCase> {};

TEST_P(Subscribing, CreatesInputNodesOnlyUnderTheInputRoots) {
  const SubscribeCase& c = GetParam();
  const auto target = std::make_shared<RecordingTarget>();
  EXPECT_EQ(dsc.subscribeObject(target, &RecordingTarget::received, c.path), c.subscribed);
  const auto node = dsc.dataSourceForKeyArray(c.path);
  EXPECT_EQ(node != nullptr, c.created);
  if (!node) return;
  EXPECT_EQ(node->sourceType(), DSType::FloatInfrequent);
  EXPECT_NE(dynamic_cast<DSFloatInfrequent*>(node.get()), nullptr);
  EXPECT_EQ(node->fetchCallCount(), 1u);
  EXPECT_EQ(target->values(), std::vector<float>{0.0f});  // the current value, at once
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Subscribing,
    testing::Values(SubscribeCase{"MIDI", {"MIDI", "ctrl [7] ch. 1"}, true, true},
                    SubscribeCase{"Key", {"Key", "a"}, true, true},
                    SubscribeCase{"OSCAddressWithSlashes", {"OSC", "/fader/1"}, true, true},
                    SubscribeCase{"ElsewhereMissing", {"ZAPH", "missing"}, false, false},
                    SubscribeCase{"InputPathWithoutParent", {"MIDI", "missing", "x"}, false, false},
                    SubscribeCase{"Empty", {}, false, false}),
    [](const testing::TestParamInfo<SubscribeCase>& info) { return std::string(info.param.name); });

TEST_F(DataSourceControllerTest, SubscribingDeliversTheCurrentValueUnlessThePlainType) {
  const auto plain = DSFloatInfrequent::createWithName("p", DSType::Plain);
  ASSERT_TRUE(dsc.setDataSource(plain, {kZaph, "p"}));
  const auto leaf = leafAt<DSFloatInfrequent>({kZaph, "leaf"});
  leaf->setValue(0.75f);
  EXPECT_TRUE(subscribed({kZaph, "p"})->values().empty());
  EXPECT_EQ(subscribed({kZaph, "leaf"})->values(), std::vector<float>{0.75f});
}

// Unsubscribing takes every subscription of the target to the node.
TEST_F(DataSourceControllerTest, UnsubscribingStopsDeliveries) {
  const auto leaf = leafAt<DSFloatInfrequent>({kZaph, "leaf"});
  const auto target = subscribed({kZaph, "leaf"});
  ASSERT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received, {kZaph, "leaf"}));
  ASSERT_EQ(leaf->fetchCallCount(), 2u);
  dsc.unsubscribeObject(target.get(), {kZaph, "leaf"});
  EXPECT_EQ(leaf->fetchCallCount(), 0u);
  dsc.unsubscribeObject(target.get(), {kZaph, "nothing"});
  leaf->setValue(1.0f);
  EXPECT_EQ(target->values().size(), 2u);  // only those at subscription
}

TEST_F(DataSourceControllerTest, InputNodesAreCreatedOnceWhenManyThreadsAskAtOnce) {
  std::vector<std::shared_ptr<DataSource>> found(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < found.size(); ++i)
    threads.emplace_back([&, i] { found[i] = dsc.inputSourceForKeyArray({"OSC", "/race"}); });
  for (auto& t : threads) t.join();
  for (const auto& node : found) EXPECT_EQ(node, found.front());
  EXPECT_EQ(found.front()->sourceType(), DSType::FloatInfrequent);
  EXPECT_EQ(dsc.inputSourceForKeyArray({"ZAPH", "x"}), nullptr);
}

TEST_F(DataSourceControllerTest, OneTickRunsTreeExternalSynchSlidersThenMIDI) {
  const auto leaf = leafAt({kZaph, "leaf"});
  const auto target = subscribed({kZaph, "leaf"});
  dsc.addToExternalSynchArray(std::make_shared<FakeExternalSynch>(&log, "first"));
  dsc.addToExternalSynchArray(std::make_shared<FakeExternalSynch>(&log, "second"));
  leaf->setValue(0.5f);
  log.clear();
  const int32_t before = DataSourceController::DSCTime();
  dsc.threadProc();
  EXPECT_EQ(log.entries(),
            (QStringList{"target", "first tick", "second tick", "sliders evaluate", "midi bang"}));
  EXPECT_EQ(DataSourceController::DSCTime(), before == 59999 ? 0 : before + 1);
}

TEST_F(DataSourceControllerTest, TheCounterRunsToItsLastValueThenWraps) {
  while (DataSourceController::DSCTime() != 59999) dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(DataSourceController::DSCTime(), 0);
  EXPECT_EQ(DataSource::DSCTime(), 0);
}

TEST_F(DataSourceControllerTest, AnObjectAddedTwiceTicksOnce) {
  const auto synch = std::make_shared<FakeExternalSynch>(&log, "synch");
  dsc.addToExternalSynchArray(synch);
  dsc.addToExternalSynchArray(synch);
  dsc.addToExternalSynchArray(nullptr);
  log.clear();
  dsc.threadProc();
  EXPECT_EQ(log.entries().count("synch tick"), 1);
  dsc.removeFromExternalSynchArray(synch.get());
  log.clear();
  dsc.threadProc();
  EXPECT_EQ(log.entries().count("synch tick"), 0);
}

TEST_F(DataSourceControllerTest, AnExceptionSkipsTheRestOfTheTickAndIsLogged) {
  LogCapture captured;
  const auto synch = std::make_shared<FakeExternalSynch>(&log, "synch");
  synch->onTick = [] { throw std::runtime_error("boom"); };
  dsc.addToExternalSynchArray(synch);
  log.clear();
  const int32_t before = DataSourceController::DSCTime();
  dsc.threadProc();
  EXPECT_TRUE(captured.contains("\t\tcaught exception in DSC: boom"));
  EXPECT_FALSE(log.entries().contains("sliders evaluate"));
  EXPECT_NE(DataSourceController::DSCTime(), before);
  synch->onTick = nullptr;
  log.clear();
  dsc.threadProc();
  EXPECT_TRUE(log.entries().contains("midi bang"));
}

TEST_F(DataSourceControllerTest, PlacementIsAnnouncedToManagersAndExternalObjects) {
  dsc.addToExternalSynchArray(std::make_shared<FakeExternalSynch>(&log, "synch"));
  log.clear();
  leafAt({kZaph, "leaf"});
  EXPECT_EQ(log.entries().mid(0, 3),
            (QStringList{"sliders placed ZAPH|leaf", "buttons placed ZAPH|leaf",
                         "synch placed ZAPH|leaf"}));
}

TEST_F(DataSourceControllerTest, MenusReloadOnlyWhenAShownNodeChanges) {
  NotificationCounter reload(DataSourceNotifications::ReloadContextualMenus);
  leafAt({"MIDI", "hidden"});
  dsc.setDataSource(nullptr, {"MIDI", "hidden"});
  EXPECT_EQ(reload.count(), 0);
  log.clear();
  leafAt({kZaph, "shown"});
  EXPECT_EQ(reload.count(), 1);
  EXPECT_EQ(log.entries().filter("reload"), (QStringList{"sliders reload", "buttons reload"}));
  dsc.changeNameFrom({kZaph, "shown"}, {"MIDI", "now hidden"});
  EXPECT_EQ(reload.count(), 2);
  dsc.setDataSource(nullptr, {"MIDI", "now hidden"});
  EXPECT_EQ(reload.count(), 2);
}

struct SelectionCase {
  const char* name;
  std::function<void(DataSourceController&, FakeAltItem*)> operation;
  QStringList calls;
};
void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.name; }

class Selection : public DataSourceControllerTest,
                  public testing::WithParamInterface<SelectionCase> {};

QKSliderCell* aSlider() { return reinterpret_cast<QKSliderCell*>(0x10); }
QKButtonCell* aButton() { return reinterpret_cast<QKButtonCell*>(0x20); }

TEST_P(Selection, CoordinatesTheKinds) {
  FakeAltItem item(&log, "item");
  dsc.selectThisAltUIItem(&item);
  log.clear();
  GetParam().operation(dsc, &item);
  EXPECT_EQ(log.entries(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Selection,
    testing::Values(
        SelectionCase{"DeselectEverything",
                      [](DataSourceController& d, FakeAltItem*) { d.deselectEverything(); },
                      {"inspector nothing", "sliders none", "buttons none", "item deselect"}},
        SelectionCase{
            "SelectJustThisSlider",
            [](DataSourceController& d, FakeAltItem*) { d.selectJustThisSlider(aSlider()); },
            {"inspector slider", "buttons none", "item deselect", "sliders only"}},
        SelectionCase{
            "SelectThisSliderToo",
            [](DataSourceController& d, FakeAltItem*) { d.selectThisSliderToo(aSlider()); },
            {"inspector slider", "buttons none", "item deselect", "sliders too"}},
        SelectionCase{
            "SelectNoSlider",
            [](DataSourceController& d, FakeAltItem*) { d.selectJustThisSlider(nullptr); },
            {"inspector slider", "buttons none", "item deselect"}},
        SelectionCase{
            "DeselectTheLastSlider",
            [](DataSourceController& d, FakeAltItem*) { d.deselectThisSlider(aSlider()); },
            {"sliders deselect", "inspector nothing"}},
        SelectionCase{"DeselectAllSliders",
                      [](DataSourceController& d, FakeAltItem*) { d.deselectAllSliders(); },
                      {"sliders none", "inspector nothing"}},
        SelectionCase{"SelectThisButton",
                      [](DataSourceController& d, FakeAltItem*) { d.selectThisButton(aButton()); },
                      {"inspector button", "sliders none", "item deselect", "buttons select"}},
        SelectionCase{
            "DeselectTheLastButton",
            [](DataSourceController& d, FakeAltItem*) { d.deselectThisButton(aButton()); },
            {"buttons deselect", "inspector nothing"}},
        SelectionCase{"DeselectAllButtons",
                      [](DataSourceController& d, FakeAltItem*) { d.deselectAllButtons(); },
                      {"buttons none", "inspector nothing"}},
        SelectionCase{"SelectNoAltItemKeepsTheCurrentOne",
                      [](DataSourceController& d, FakeAltItem*) { d.selectThisAltUIItem(nullptr); },
                      {"inspector nothing", "sliders none", "buttons none"}},
        SelectionCase{"DeselectTheAltItem",
                      [](DataSourceController& d, FakeAltItem* item) {
                        d.deselectThisAltUIItem(item);
                        d.deselectAllAltUIItems();
                      },
                      {"item deselect"}}),
    [](const testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST_F(DataSourceControllerTest, AtMostOneAltItemIsSelected) {
  FakeAltItem first(&log, "first");
  FakeAltItem second(&log, "second");
  dsc.selectThisAltUIItem(&first);
  log.clear();
  dsc.selectThisAltUIItem(&second);
  EXPECT_EQ(log.entries().mid(3), (QStringList{"first deselect", "second select"}));
}

TEST_F(DataSourceControllerTest, AStillSelectedSliderKeepsTheInspector) {
  sliders.selected = {aSlider(), aSlider()};
  dsc.deselectThisSlider(aSlider());
  EXPECT_FALSE(log.entries().contains("inspector nothing"));
}

TEST_F(DataSourceControllerTest, HardwareLearnModeNotifiesOnlyChanges) {
  NotificationCounter changed(DataSourceNotifications::HardwareLearnModeChanged);
  dsc.setHardwareLearnMode(false);
  EXPECT_EQ(changed.count(), 0);
  dsc.setHardwareLearnMode(true);
  dsc.setHardwareLearnMode(true);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_TRUE(dsc.hardwareLearnMode());
  EXPECT_EQ(log.entries(), (QStringList{"buttons learn 1", "sliders learn 1"}));
  const Notification note = changed.notes().front();
  EXPECT_EQ(note.object, &dsc);
  EXPECT_EQ(note.userInfo.value("hardwareLearnMode"), QVariant(true));
}

TEST_F(DataSourceControllerTest, AnswersTheFinderAndPassesProgramChanges) {
  struct Client : DataSourceControllerClient {
    DataSourceController* found = nullptr;
    void setDataSourceController(DataSourceController* controller) override { found = controller; }
  } client;
  NotificationCenter::defaultCenter().post(DataSourceNotifications::ControllerFinder,
                                           static_cast<DataSourceControllerClient*>(&client));
  EXPECT_EQ(client.found, &dsc);
  dsc.programChangeReceived();
  EXPECT_EQ(log.entries(), QStringList{"sliders program"});
}

TEST(DataSourceControllerThread, TicksOnItsOwnThreadUntilStopped) {
  DataSourceController dsc;
  EXPECT_TRUE(dsc.tickThreadRunning());
  const auto leaf = DSFloatFrequent::createWithName("leaf");
  ASSERT_TRUE(dsc.setDataSource(leaf, {"ZAPH", "leaf"}));
  const auto target = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received, {"ZAPH", "leaf"}));
  leaf->setValue(0.5f);
  waitFor([&] { return target->values().size() >= 2; }, 5.0);
  ASSERT_EQ(target->values().size(), 2u);
  EXPECT_NE(target->threads().back(), std::this_thread::get_id());
  dsc.stopTheThread();
  EXPECT_FALSE(dsc.tickThreadRunning());
  leaf->setValue(0.25f);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(target->values().size(), 2u);
}

}  // namespace
