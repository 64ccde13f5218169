#include "app/mediabin/MBLayerController.h"
#include "app/plugins/clock/QKQuantizePicker.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/mediabin/FakeQueueHost.h"
#include "tests/support/Eventually.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A picker that holds every trigger until the test lets it through.
class HoldingPicker : public QKQuantizePicker {
 public:
  void trigger() override { ++requests; }
  std::atomic<int> requests{0};
};

// Layers A (top) to D (bottom): the queue starts as D, C, B, A.
struct QueueFixture {
  explicit QueueFixture(QStringList names = {"A", "B", "C", "D"})
      : host(names), controller(&host, 7) {
    controller.setQuantizePicker(&picker);
    controller.awakeFromNib();
    settle();
  }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }
  QStringList names() const {
    QStringList list;
    for (const auto& item : controller.items()) list << item->layerName();
    return list;
  }
  QList<int> pending() const {
    QList<int> list;
    for (const auto& item : controller.items()) list << item->toBeTriggeredId();
    return list;
  }
  void setActive(QList<bool> flags) {
    const auto items = controller.items();
    for (int i = 0; i < flags.size(); ++i) items[i]->setActive(flags[i]);
  }
  // Lets the held triggers through and waits for their loads.
  void fire(size_t loads) {
    controller.trigger();
    MainThread::processUntil([&] { return host.loadsSoFar().size() >= loads; }, 3.0);
    settle();
  }
  FakeQueueHost host;
  HoldingPicker picker;
  MBLayerController controller;
};

TEST(MBLayerController, QueueStartsBottomLayerFirstWithoutGroups) {
  FakeQueueHost host({"A", "G", "B"});
  host.layers[1].group = true;
  MBLayerController controller(&host, 1);
  controller.awakeFromNib();
  QStringList names;
  for (const auto& item : controller.items()) names << item->layerName();
  EXPECT_EQ(names, (QStringList{"B", "A"}));
  EXPECT_EQ(controller.nextTriggerRow(), 0);
  for (const auto& item : controller.items()) {
    EXPECT_TRUE(item->active());
    EXPECT_EQ(item->toBeTriggeredId(), -1);
  }
}

// Who gets a triggered file: the layer already playing it, then an "@"
// page hint, then the mode.
TEST(MBLayerController, AssignmentTable) {
  struct Case {
    const char* name;
    int mode;
    int onDeck;
    QList<bool> active;
    const char* page;
    const char* playingOn;  // null: not playing
    QList<bool> busy;       // layers showing a file, queue order
    QList<int> pendingBefore;
    int expectedItem;  // -1: nothing assigned
    int expectedOnDeck;
  };
  // Queue order: D, C, B, A.
  const Case cases[] = {
      {"manual on deck",
       MBLayerController::kManual,
       1,
       {1, 1, 1, 1},
       "Page",
       nullptr,
       {},
       {},
       1,
       1},
      {"cycle advances", MBLayerController::kCycle, 1, {1, 1, 1, 1}, "Page", nullptr, {}, {}, 1, 2},
      {"cycle skips inactive",
       MBLayerController::kCycle,
       1,
       {1, 1, 0, 1},
       "Page",
       nullptr,
       {},
       {},
       1,
       3},
      {"cycle with one active stays",
       MBLayerController::kCycle,
       1,
       {0, 1, 0, 0},
       "Page",
       nullptr,
       {},
       {},
       1,
       1},
      {"playing on a queued layer",
       MBLayerController::kManual,
       0,
       {1, 1, 1, 1},
       "Page",
       "B",
       {},
       {},
       2,
       0},
      {"playing on an inactive queued layer",
       MBLayerController::kCycle,
       0,
       {1, 1, 0, 1},
       "x@A",
       "B",
       {},
       {},
       2,
       0},
      {"playing outside the queue",
       MBLayerController::kManual,
       0,
       {1, 1, 1, 1},
       "Page",
       "Z",
       {},
       {},
       -1,
       0},
      {"page hint", MBLayerController::kManual, 0, {1, 1, 1, 1}, "x@A", nullptr, {}, {}, 3, 0},
      {"page hint after the first @",
       MBLayerController::kManual,
       0,
       {1, 1, 1, 1},
       "a@b@c",
       nullptr,
       {},
       {},
       0,
       0},
      {"page hint naming nothing",
       MBLayerController::kPoly,
       0,
       {1, 1, 1, 1},
       "x@",
       nullptr,
       {},
       {},
       0,
       0},
      {"poly first free",
       MBLayerController::kPoly,
       0,
       {1, 1, 1, 1},
       "Page",
       nullptr,
       {true, false, false, false},
       {-1, 99, -1, -1},
       2,
       0},
      {"poly all busy uses on deck and advances",
       MBLayerController::kPoly,
       1,
       {1, 1, 1, 1},
       "Page",
       nullptr,
       {true, true, true, false},
       {-1, -1, -1, 99},
       1,
       2},
      {"no active item", MBLayerController::kCycle, 2, {0, 0, 0, 0}, "Page", nullptr, {}, {}, 2, 2},
      {"row outside the queue",
       MBLayerController::kManual,
       -1,
       {1, 1, 1, 1},
       "x@A",
       "B",
       {},
       {},
       -1,
       -1},
  };
  for (const Case& c : cases) {
    QueueFixture f;
    const long file = f.host.addFile(QStringLiteral("clip"), QString::fromLatin1(c.page));
    if (c.playingOn) f.host.setPlaying(file, QString::fromLatin1(c.playingOn));
    const auto items = f.controller.items();
    for (int i = 0; i < c.busy.size(); ++i)
      const_cast<FakeQueueHost::LayerInfo*>(f.host.find(items[i]->layerName()))->showsFile =
          c.busy[i];
    for (int i = 0; i < c.pendingBefore.size(); ++i)
      items[i]->setToBeTriggeredId(c.pendingBefore[i]);
    f.setActive(c.active);
    f.controller.setCycleMode(c.mode);
    f.controller.setNextTriggerRow(c.onDeck);
    const int requests = f.picker.requests;
    f.controller.triggerThisFile(file);
    f.settle();
    EXPECT_EQ(f.picker.requests, requests + 1) << c.name;  // always, also when nothing is assigned
    for (int i = 0; i < 4; ++i) {
      const int expected = i == c.expectedItem          ? int(file)
                           : i < c.pendingBefore.size() ? c.pendingBefore[i]
                                                        : -1;
      EXPECT_EQ(items[i]->toBeTriggeredId(), expected) << c.name << " item " << i;
    }
    EXPECT_EQ(f.controller.nextTriggerRow(), c.expectedOnDeck) << c.name;
    EXPECT_EQ(f.controller.mostRecentLayer(),
              c.expectedItem >= 0 ? items[c.expectedItem]->layerName() : QString())
        << c.name;
  }
}

TEST(MBLayerController, TwoQuickTriggersManualKeepsTheSecondCycleSpreadsThem) {
  for (int mode : {int(MBLayerController::kManual), int(MBLayerController::kCycle)}) {
    QueueFixture f;
    const long first = f.host.addFile(QStringLiteral("one"));
    const long second = f.host.addFile(QStringLiteral("two"));
    f.controller.setCycleMode(mode);
    f.controller.triggerThisFile(first);
    f.controller.triggerThisFile(second);
    if (mode == MBLayerController::kManual)
      EXPECT_EQ(f.pending(), (QList<int>{int(second), -1, -1, -1}));
    else
      EXPECT_EQ(f.pending(), (QList<int>{int(first), int(second), -1, -1}));
  }
}

TEST(MBLayerController, AnAssignedTriggerIsAnnounced) {
  QueueFixture f;
  const long file = f.host.addFile(QStringLiteral("clip"));
  QList<QVariantMap> posts;
  NotificationCenter::defaultCenter().addObserver(
      &posts, MBLayerController::kVisiblePagesChangedNotification, nullptr,
      [&](const Notification& n) { posts << n.userInfo; });
  f.controller.triggerThisFile(file);
  f.controller.setNextTriggerRow(-1);
  f.controller.triggerThisFile(file);
  NotificationCenter::defaultCenter().removeObserver(&posts);
  ASSERT_EQ(posts.size(), 1);
  EXPECT_EQ(posts[0].value("BinId").toLongLong(), 7);
  EXPECT_EQ(posts[0].value("FileId").toLongLong(), file);
  EXPECT_EQ(posts[0].value("Reason").toString(), QStringLiteral("FileTriggered"));
}

// One trigger run loads every pending file of the active items, in queue
// order, on the main thread; inactive items drop theirs silently.
TEST(MBLayerController, TriggerThreadLoadsEveryPendingFileOnTheMainThread) {
  QueueFixture f;
  f.controller.setCycleMode(MBLayerController::kCycle);
  std::vector<long> files;
  for (int i = 0; i < 4; ++i) files.push_back(f.host.addFile(QStringLiteral("f%1").arg(i)));
  for (long file : files) f.controller.triggerThisFile(file);
  f.controller.items()[2]->setActive(false);
  LogCapture log;
  for (int i = 0; i < 5; ++i) f.controller.trigger();
  MainThread::processUntil([&] { return f.host.loadsSoFar().size() >= 3; }, 3.0);
  f.settle();
  const auto loads = f.host.loadsSoFar();
  ASSERT_EQ(loads.size(), 3u);
  const char* expected[] = {"D", "C", "A"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(loads[i].layer, QString::fromLatin1(expected[i]));
    EXPECT_TRUE(loads[i].onMain);
  }
  EXPECT_EQ(f.pending(), (QList<int>{-1, -1, -1, -1}));
  EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

TEST(MBLayerController, TriggerThreadDropsWhatItCannotLoadWithOneLineEach) {
  struct Case {
    const char* name;
    const char* line;
  };
  const Case cases[] = {
      {"missing file", "\t\terr: warning on file trigger - file did not exist"},
      {"missing layer", "\t\terr: warning on file trigger - layer did not exist"},
      {"in use elsewhere",
       "\t\terr: warning on file trigger - file was already in use by another layer"},
  };
  for (const Case& c : cases) {
    QueueFixture f;
    long file = f.host.addFile(QStringLiteral("clip"));
    const QString which = QString::fromLatin1(c.name);
    if (which == "missing file") file += 1000;
    f.controller.triggerThisFile(file);
    if (which == "missing layer") f.host.layers.erase(f.host.layers.end() - 1);  // D goes
    if (which == "in use elsewhere") f.host.setPlaying(file, QStringLiteral("Z"));
    LogCapture log;
    f.controller.trigger();
    EXPECT_TRUE(waitFor([&] { return f.pending()[0] == -1; })) << c.name;
    f.settle();
    EXPECT_EQ(log.lines(), QStringList{QString::fromLatin1(c.line)}) << c.name;
    EXPECT_TRUE(f.host.loadsSoFar().empty()) << c.name;
  }
}

// A file assigned from another thread while the trigger thread handles the
// same item is loaded by a later run, never written over.
TEST(MBLayerController, ConcurrentTriggersNeverLoseAFile) {
  QueueFixture f;
  std::vector<long> files;
  for (int i = 0; i < 64; ++i) files.push_back(f.host.addFile(QStringLiteral("f%1").arg(i)));
  f.controller.setCycleMode(MBLayerController::kCycle);
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = t; i < 64; i += 4) {
        f.controller.triggerThisFile(files[i]);
        f.controller.trigger();
      }
    });
  std::thread reorder([&] {
    while (!stop.load()) {
      MainThread::run([&] {
        f.controller.setDraggedRows({0});
        f.controller.moveDraggedRows(3);
      });
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const auto start = std::chrono::steady_clock::now();
  for (auto& thread : threads) thread.join();
  MainThread::processUntil(
      [&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(100); },
      1.0);
  stop.store(true);
  reorder.join();
  f.fire(0);
  MainThread::processUntil(
      [&] {
        for (int id : f.pending())
          if (id != -1) return false;
        return true;
      },
      3.0);
  f.settle();
  EXPECT_EQ(f.pending(), (QList<int>{-1, -1, -1, -1}));
  // Every layer's last assigned file was loaded.
  const auto loads = f.host.loadsSoFar();
  EXPECT_FALSE(loads.empty());
  for (const auto& load : loads) EXPECT_TRUE(load.onMain);
}

TEST(MBLayerController, TriggerThisLayerLoadsOnlyThatLayersFile) {
  QueueFixture f;
  const long file = f.host.addFile(QStringLiteral("clip"));
  f.controller.items()[0]->setActive(false);  // not consulted
  f.controller.triggerThisFile(file);
  f.controller.triggerThisLayer(QStringLiteral("C"));
  f.settle();
  EXPECT_TRUE(f.host.loadsSoFar().empty());
  f.controller.triggerThisLayer(QStringLiteral("D"));
  f.settle();
  ASSERT_EQ(f.host.loadsSoFar().size(), 1u);
  EXPECT_EQ(f.host.loadsSoFar()[0].layer, QStringLiteral("D"));
  LogCapture log;
  f.controller.triggerThisLayer(QString());
  EXPECT_EQ(log.lines(), QStringList{"\t\terr: triggerMe was nil"});
}

TEST(MBLayerController, EjectCancelsTheFirstPendingMatchAndStopsThePlayer) {
  QueueFixture f;
  const long file = f.host.addFile(QStringLiteral("clip"));
  const auto items = f.controller.items();
  items[1]->setToBeTriggeredId(int(file));
  items[3]->setToBeTriggeredId(int(file));
  f.host.setPlaying(file, QStringLiteral("A"));
  f.controller.ejectThisFile(file);
  f.settle();
  EXPECT_EQ(f.pending(), (QList<int>{-1, -1, -1, int(file)}));
  EXPECT_EQ(f.host.ejected, std::vector<long>{file});
  f.controller.ejectThisFile(-1);
  EXPECT_EQ(f.pending(), (QList<int>{-1, -1, -1, int(file)}));
}

TEST(MBLayerController, RowStepping) {
  struct Case {
    const char* name;
    QList<bool> active;
    int from;
    int next, prev;
  };
  const Case cases[] = {
      {"to the next active", {0, 1, 0, 1}, 1, 3, 3},
      {"wraps", {1, 0, 1, 0}, 2, 0, 0},
      {"only the on-deck active stays", {0, 1, 0, 0}, 1, 1, 1},
      {"from -1", {0, 0, 1, 1}, -1, 2, 3},
      {"from past the end", {0, 1, 1, 0}, 9, 1, 2},
      {"none active", {0, 0, 0, 0}, 2, 2, 2},
  };
  for (const Case& c : cases) {
    QueueFixture f;
    f.setActive(c.active);
    f.controller.setNextTriggerRow(c.from);
    f.controller.nextRowButtonUsed();
    EXPECT_EQ(f.controller.nextTriggerRow(), c.next) << c.name;
    f.controller.setNextTriggerRow(c.from);
    f.controller.prevRowButtonUsed();
    EXPECT_EQ(f.controller.nextTriggerRow(), c.prev) << c.name;
  }
}

TEST(MBLayerController, RandomRowPicksAmongActiveItems) {
  struct Case {
    long draw;
    int row;
  };
  // Active rows 0, 2 and 3: u × 2 rounded picks the first, second or third.
  const Case cases[] = {{0, 0}, {536870912, 2}, {1073741823, 2}, {1610612736, 3}, {2147483647, 3}};
  for (const Case& c : cases) {
    QueueFixture f;
    f.setActive({1, 0, 1, 1});
    f.controller.setRandomGenerator([&] { return c.draw; });
    f.controller.randRowButtonUsed();
    EXPECT_EQ(f.controller.nextTriggerRow(), c.row) << c.draw;
  }
}

TEST(MBLayerController, FollowsTheLayerSet) {
  QueueFixture f;
  const long file = f.host.addFile(QStringLiteral("clip"));
  f.controller.setNextTriggerRow(2);  // B
  f.controller.items()[2]->setActive(false);
  f.controller.triggerThisFile(file);
  LogCapture log;
  auto post = [](const QVariantMap& info) {
    NotificationCenter::defaultCenter().post(QKTapManager::kReloadSTapListNotification, nullptr,
                                             info);
  };
  // A rename keeps the item, its place, its flag and its pending file.
  f.host.layers[1].name = QStringLiteral("Bee");
  post({{"reason", "changeName"}, {"oldName", "B"}, {"newName", "Bee"}});
  f.settle();
  EXPECT_EQ(f.names(), (QStringList{"D", "C", "Bee", "A"}));
  EXPECT_FALSE(f.controller.items()[2]->active());
  EXPECT_EQ(f.controller.items()[2]->toBeTriggeredId(), int(file));
  EXPECT_EQ(f.controller.mostRecentLayer(), QStringLiteral("Bee"));
  // A new layer is appended; a deleted one goes.
  f.host.layers.insert(f.host.layers.begin(), {QStringLiteral("E")});
  post({{"reason", "createTap"}, {"createdTapName", "E"}});
  f.host.layers.erase(f.host.layers.end() - 1);
  post({{"reason", "deleteTap"}, {"deletedTapName", "D"}});
  post({{"reason", "deleteTap"}, {"deletedTapName", "nobody"}});
  f.settle();
  EXPECT_EQ(f.names(), (QStringList{"C", "Bee", "A", "E"}));
  EXPECT_EQ(log.lines(), QStringList{"\t\terr: deleted layer not in layer queue!"});
  // Every layer gone: the on-deck row becomes -1.
  f.host.layers.clear();
  post({});
  f.settle();
  EXPECT_TRUE(f.names().isEmpty());
  EXPECT_EQ(f.controller.nextTriggerRow(), -1);
}

TEST(MBLayerController, PresetRestoreSuspendsFollowingAndItemShortcuts) {
  QueueFixture f;
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreStartNotification"));
  f.settle();
  EXPECT_TRUE(f.controller.loadingPreset());
  f.controller.setNextTriggerRowByLayerItem(*f.controller.items()[3]);
  EXPECT_EQ(f.controller.nextTriggerRow(), 0);
  f.host.layers.insert(f.host.layers.begin(), {QStringLiteral("E")});
  NotificationCenter::defaultCenter().post(QKTapManager::kReloadSTapListNotification, nullptr,
                                           {{"reason", "createTap"}, {"createdTapName", "E"}});
  f.settle();
  EXPECT_EQ(f.names().size(), 4);
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreEndNotification"));
  f.settle();
  EXPECT_FALSE(f.controller.loadingPreset());
  EXPECT_EQ(f.names(), (QStringList{"D", "C", "B", "A", "E"}));
  f.controller.setNextTriggerRowByLayerItem(*f.controller.items()[3]);
  EXPECT_EQ(f.controller.nextTriggerRow(), 3);
}

TEST(MBLayerController, SnapshotRoundTripAndBadInput) {
  QueueFixture f;
  f.setActive({1, 0, 1, 1});
  f.controller.setCycleMode(MBLayerController::kPoly);
  f.controller.setNextTriggerRow(2);
  const QVariantMap snapshot = f.controller.createSnapshot();
  EXPECT_EQ(snapshot.value("layerQueueArray").toList().size(), 4);
  EXPECT_EQ(snapshot.value("cycleModeButton").toInt(), 2);
  EXPECT_EQ(snapshot.value("nextTriggerRow").toInt(), 2);

  QueueFixture g({"A", "B", "C", "D", "E"});
  QVariantMap edited = snapshot;
  QVariantList queue = edited.value("layerQueueArray").toList();
  queue << QVariantMap{{"active", true}};  // no layer name: dropped
  queue << QString("not an item");
  edited.insert("layerQueueArray", queue);
  edited.insert("nextTriggerRow", QString("seven"));  // mistyped: ignored
  g.controller.setNextTriggerRow(1);
  g.controller.loadSnapshot(edited);
  EXPECT_EQ(g.names(), (QStringList{"D", "C", "B", "A"}));
  QList<bool> flags;
  for (const auto& item : g.controller.items()) flags << item->active();
  EXPECT_EQ(flags, (QList<bool>{true, false, true, true}));
  EXPECT_EQ(g.controller.cycleMode(), MBLayerController::kPoly);
  EXPECT_EQ(g.controller.nextTriggerRow(), 1);

  // Without "layerQueueArray" the queue stays.
  QueueFixture h;
  h.controller.loadSnapshot({{"cycleModeButton", 1}, {"nextTriggerRow", 9}});
  EXPECT_EQ(h.names().size(), 4);
  EXPECT_EQ(h.controller.nextTriggerRow(), 9);
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreEndNotification"));
  h.settle();
  EXPECT_EQ(h.controller.nextTriggerRow(), 3);  // corrected by the reload
}

TEST(MBLayerController, OldSnapshotActivatesTheNamedItems) {
  QueueFixture f;
  f.controller.loadOldSnapshot(
      {{"triggerModePopUpButton", "rotate"},
       {"queueItems",
        QVariantList{QVariantMap{{"layerName", "A"},
                                 {"MBTriggerQueueItem-syncGen", "MIDI"},
                                 {"MBTriggerQueueItem-syncSpec", "note [60] ch. 1"}},
                     QVariantMap{{"layerName", "C"}}, QVariantMap{{"layerName", "nobody"}}}}});
  QList<bool> flags;
  for (const auto& item : f.controller.items()) flags << item->active();
  EXPECT_EQ(flags, (QList<bool>{false, true, false, true}));
  EXPECT_EQ(f.controller.cycleMode(), MBLayerController::kCycle);
  EXPECT_EQ(f.controller.nextTriggerRow(), 1);  // the last record that matched
  const auto a = f.controller.items()[3];
  // Bound to the legacy path (the binding itself needs a live source tree).
  EXPECT_EQ(a->syncArray(), (KeyPath{"MIDI", "note [60] ch. 1"}));
}

}  // namespace
