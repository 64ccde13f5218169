#include "RestoreFixture.h"

#include "platform/foundation/MainThread.h"
#include "tests/support/NotificationCounter.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace {

// The tree as text: "A,G(B,C)".
QString treeText(const std::vector<std::shared_ptr<Layer>>& level) {
  QStringList parts;
  for (const auto& layer : level) {
    QString part = layer->layerName();
    if (layer->groupFlag()) part += "(" + treeText(layer->layerArray()) + ")";
    parts << part;
  }
  return parts.join(',');
}

void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// What must hold after any restore: unique names, parents and children
// agreeing, every layer in one window when there are windows.
void expectConsistent(RestoreWorld& world) {
  std::set<QString> names;
  std::map<Layer*, int> inWindows;
  for (const auto& window : world.compositor->layerWindowArray())
    for (Layer* layer : window->layerArray()) {
      ++inWindows[layer];
      EXPECT_EQ(layer->parentWindow(), window.get());
    }
  std::function<void(const std::vector<std::shared_ptr<Layer>>&, Layer*, int)> walk =
      [&](const auto& level, Layer* parent, int depth) {
        ASSERT_LE(depth, 40);
        for (const auto& layer : level) {
          EXPECT_TRUE(names.insert(layer->layerName()).second) << layer->layerName().toStdString();
          EXPECT_EQ(layer->parentLayer(), parent);
          EXPECT_FALSE(layer->deleted());
          if (!world.compositor->layerWindowArray().empty())
            EXPECT_EQ(inWindows[layer.get()], 1) << layer->layerName().toStdString();
          if (!layer->groupFlag()) EXPECT_TRUE(layer->layerArray().empty());
          walk(layer->layerArray(), layer.get(), depth + 1);
        }
      };
  walk(world.compositor->topLevelLayers(), nullptr, 0);
}

struct RestoreCase {
  const char* name;
  QStringList live;  // top-level layers made first, in stack order
  std::function<void(RestoreWorld&)> arrange;
  QVariantMap snapshot;
  QString tree;
  std::function<void(RestoreWorld&, const std::map<QString, Layer*>&, int deletes)> check;
};

class CompositorRestoreTest : public ::testing::Test {
 protected:
  RestoreWorld world;
};

// One world at a time: each case makes its own.
TEST(CompositorRestoreTable, TheLayerSetFollowsTheSnapshotByName) {
  const RestoreCase cases[] = {
      {"an identical set changes nothing",
       {"Red", "Blue"},
       nullptr,
       setSnap({layerSnap("Red"), layerSnap("Blue")}, {windowSnap({"Red", "Blue"})}),
       "Red,Blue",
       [](RestoreWorld& w, const auto& before, int deletes) {
         EXPECT_EQ(w.find("Red"), before.at("Red"));
         EXPECT_EQ(w.find("Blue"), before.at("Blue"));
         EXPECT_EQ(deletes, 0);
       }},
      {"a surplus layer takes the missing name",
       {"Red", "Blue"},
       nullptr,
       setSnap({layerSnap("Red"), layerSnap("Green")}, {windowSnap({"Red", "Green"})}),
       "Red,Green",
       [](RestoreWorld& w, const auto& before, int deletes) {
         EXPECT_EQ(w.find("Green"), before.at("Blue"));
         EXPECT_EQ(deletes, 0);
       }},
      {"surplus layers go, each announced",
       {"Red", "Blue", "Green"},
       nullptr,
       setSnap({layerSnap("Red")}, {windowSnap({"Red"})}),
       "Red",
       [](RestoreWorld& w, const auto& before, int deletes) {
         EXPECT_EQ(w.find("Red"), before.at("Red"));
         EXPECT_EQ(deletes, 2);
       }},
      {"new layers and no window: one window",
       {},
       nullptr,
       setSnap({layerSnap("A"), layerSnap("B")}, {}),
       "A,B",
       [](RestoreWorld& w, const auto&, int) {
         ASSERT_EQ(w.compositor->layerWindowArray().size(), 1u);
         EXPECT_EQ(w.compositor->layerWindowArray()[0]->layerArray().size(), 2u);
       }},
      {"a top-level layer joins its group after the member before it",
       {"Red", "Blue"},
       [](RestoreWorld& w) {
         ASSERT_TRUE(w.compositor->groupLayers({w.find("Red")})->setLayerName("G"));
       },
       setSnap({groupSnap("G", {layerSnap("Red"), layerSnap("Blue")})},
               {windowSnap({"G", "Red", "Blue"})}),
       "G(Red,Blue)",
       [](RestoreWorld& w, const auto& before, int) {
         EXPECT_EQ(w.find("Blue"), before.at("Blue"));
         EXPECT_EQ(w.find("G"), before.at("G"));
       }},
      {"three window snapshots on two windows: one made",
       {"A", "B"},
       [](RestoreWorld& w) {
         ASSERT_TRUE(w.compositor->loadSnapshot(
             setSnap({layerSnap("A"), layerSnap("B")}, {windowSnap({"A"}), windowSnap({"B"})})));
         ASSERT_EQ(w.compositor->layerWindowArray().size(), 2u);
       },
       setSnap({layerSnap("A"), layerSnap("B"), layerSnap("C")},
               {windowSnap({"A"}), windowSnap({"B"}), windowSnap({"C"})}),
       "A,B,C",
       [](RestoreWorld& w, const auto&, int) {
         ASSERT_EQ(w.compositor->layerWindowArray().size(), 3u);
         EXPECT_EQ(w.find("C")->parentWindow(), w.compositor->layerWindowArray()[2].get());
       }},
      {"no rendering mode keeps the compositor's",
       {"A"},
       [](RestoreWorld& w) { w.compositor->setContentsRenderingMode(1); },
       setSnap({QVariantMap{{"layerName", "A"}, {"contentsRenderingMode", 1}}},
               {windowSnap({"A"})}),
       "A",
       [](RestoreWorld& w, const auto&, int) {
         EXPECT_EQ(w.compositor->contentsRenderingMode(), 1);
       }},
      {"a rename whose old name has gone still creates",
       {"Red", "Blue"},
       nullptr,
       // The duplicate Blue becomes "Blue 2"; Red and Blue go, Green and
       // Blue 2 appear.
       setSnap({layerSnap("Green"), layerSnap("Blue"), layerSnap("Blue"), layerSnap("Yellow")},
               {windowSnap({"Green", "Blue", "Blue 2", "Yellow"})}),
       "Green,Blue,Blue 2,Yellow",
       [](RestoreWorld& w, const auto& before, int deletes) {
         EXPECT_EQ(w.find("Blue"), before.at("Blue"));
         EXPECT_EQ(deletes, 0);
       }},
  };
  for (const RestoreCase& c : cases) {
    SCOPED_TRACE(c.name);
    RestoreWorld w;
    for (const QString& name : c.live) w.named(name);
    if (c.arrange) c.arrange(w);
    settle();
    std::map<QString, Layer*> before;
    for (const QString& name : c.live + QStringList{"G"})
      if (Layer* layer = w.find(name)) before[name] = layer;
    NotificationCounter deletes(Layer::kDeleteNotification);
    LogCapture log;
    EXPECT_TRUE(w.compositor->loadSnapshot(c.snapshot));
    settle();
    EXPECT_EQ(treeText(w.compositor->topLevelLayers()), c.tree);
    expectConsistent(w);
    c.check(w, before, deletes.count());
  }
}

TEST_F(CompositorRestoreTest, SurplusWindowsGoAfterTheRestoreWithTheirLayersInTheFirst) {
  auto a = world.named("A");
  auto b = world.named("B");
  auto c = world.named("C");
  ASSERT_EQ(world.compositor->layerWindowArray().size(), 1u);
  // Spread over three windows, then one window snapshot: two go after the
  // restore returns.
  ASSERT_TRUE(world.compositor->loadSnapshot(
      setSnap({layerSnap("A"), layerSnap("B"), layerSnap("C")},
              {windowSnap({"A"}), windowSnap({"B"}), windowSnap({"C"})})));
  ASSERT_EQ(world.compositor->layerWindowArray().size(), 3u);
  LayerWindowController* first = world.compositor->layerWindowArray()[0].get();
  ASSERT_TRUE(world.compositor->loadSnapshot(
      setSnap({layerSnap("A"), layerSnap("B"), layerSnap("C")}, {windowSnap({"A"})})));
  EXPECT_EQ(world.compositor->layerWindowArray().size(), 3u);  // still there on return
  for (Layer* layer : {a.get(), b.get(), c.get()}) EXPECT_EQ(layer->parentWindow(), first);
  settle();
  EXPECT_EQ(world.compositor->layerWindowArray().size(), 1u);
  expectConsistent(world);
}

TEST_F(CompositorRestoreTest, ASnapshotWithoutLayersIsRefusedAndChangesNothing) {
  auto a = world.named("A");
  LogCapture log;
  for (const QVariantMap& bad : {QVariantMap{}, QVariantMap{{"layerSnapArray", "text"}}}) {
    EXPECT_FALSE(world.compositor->loadSnapshot(bad));
    EXPECT_EQ(world.find("A"), a.get());
    EXPECT_FALSE(a->deleted());
  }
}

TEST_F(CompositorRestoreTest, NoticesGoOutAfterTheRenderLockIsLetGo) {
  world.named("Red");
  world.named("Blue");
  world.named("Green");
  bool locked = false;
  world.compositor->setRenderLockObserver([&](bool now) { locked = now; });
  int underTheLock = 0;
  NotificationObservers observers;
  for (const QString& name : {Layer::kDeleteNotification, Layer::kNameChangeNotification})
    observers.observe(name, nullptr, [&](const Notification&) { underTheLock += locked; });
  NotificationCounter deletes(Layer::kDeleteNotification);
  NotificationCounter renames(Layer::kNameChangeNotification);
  ASSERT_TRUE(world.compositor->loadSnapshot(
      setSnap({layerSnap("Red"), layerSnap("Yellow")}, {windowSnap({"Red", "Yellow"})})));
  EXPECT_EQ(deletes.count(), 1);
  EXPECT_EQ(renames.count(), 1);
  EXPECT_EQ(underTheLock, 0);
  world.compositor->setRenderLockObserver(nullptr);
}

// A set built in code, saved to a property-list file and restored in a
// fresh compositor, saves the same again; restored onto a live set, a
// changed snapshot keeps the object of every name that stays.
TEST(CompositorRestoreRoundTrip, ASavedSetComesBackEqual) {
  QVariantMap saved;
  {
    RestoreWorld world;
    auto a = world.named("A");
    auto b = world.named("B");
    auto c = world.named("C");
    auto group = world.compositor->groupLayers({b.get(), c.get()});
    ASSERT_TRUE(group->setLayerName("G"));
    ASSERT_TRUE(a->addCIFXNamed("Bright"));
    ASSERT_TRUE(b->addCIFXNamed("Contrast"));
    a->useSourceNamed(Layer::kMovie);
    RestoreWorld::snap(*a, VidSourceObject::kMovieSource).setting = 7;
    c->useSourceNamed(Layer::kQCPatch);
    a->fxShortcuts().loadSnapshot(
        QVariantMap{{"P", QVariantMap{{"presetName", "P"},
                                      {"syncArray", QStringList{"MIDI", "note [60] ch. 1"}},
                                      {"threshVal", 0.25}}}});
    a->setDFactor(Layer::kOverFactor);
    settle();
    // A restore of the set onto itself puts each window's tabs in depth-first
    // order, the order a restore leaves them in.
    ASSERT_TRUE(world.compositor->loadSnapshot(world.compositor->createSnapshot()));
    saved = world.compositor->createSnapshot();
  }

  QTemporaryDir folder;
  const QString path = folder.filePath("set.plist");
  ASSERT_TRUE(PropertyList::write(saved, path).isEmpty());
  const PropertyList::Result read = PropertyList::read(path);
  ASSERT_TRUE(read.ok()) << read.error.toStdString();

  RestoreWorld fresh;
  ASSERT_TRUE(fresh.compositor->loadSnapshot(read.value.toMap()));
  settle();
  EXPECT_EQ(PropertyList::toXml(fresh.compositor->createSnapshot()).toStdString(),
            PropertyList::toXml(saved).toStdString());
  EXPECT_EQ(RestoreWorld::snap(*fresh.find("A"), VidSourceObject::kMovieSource).setting, 7);
  EXPECT_EQ(RestoreWorld::chainOf(fresh.find("B")), QStringList({"Contrast"}));
  expectConsistent(fresh);

  // Changed: C goes, D appears (C's object under the new name), A leaves
  // its chain.
  QVariantMap changed = saved;
  QVariantList layers = changed.value("layerSnapArray").toList();
  QVariantMap topA = layers[1].toMap();
  ASSERT_EQ(topA.value("layerName").toString(), "A");
  topA.insert("fxChainSnapshot", QVariantList());
  layers[1] = topA;
  QVariantMap g = layers[0].toMap();
  QVariantList members = g.value("layerArray").toList();
  ASSERT_EQ(members[0].toMap().value("layerName").toString(), "C");
  QVariantMap d = members[0].toMap();
  d.insert("layerName", "D");
  members[0] = d;
  g.insert("layerArray", members);
  layers[0] = g;
  changed.insert("layerSnapArray", layers);
  changed.insert("layerWindSnapArray", QVariantList{windowSnap({"G", "D", "B", "A"})});
  Layer* oldC = fresh.find("C");
  std::map<QString, Layer*> kept{
      {"A", fresh.find("A")}, {"B", fresh.find("B")}, {"G", fresh.find("G")}};
  ASSERT_TRUE(fresh.compositor->loadSnapshot(changed));
  for (const auto& [name, layer] : kept) EXPECT_EQ(fresh.find(name), layer) << name.toStdString();
  EXPECT_EQ(fresh.find("D"), oldC);
  EXPECT_TRUE(RestoreWorld::chainOf(fresh.find("A")).isEmpty());
  expectConsistent(fresh);
}

// Thousands of mutations of a valid snapshot restored in turn: never a
// crash, and the tree stays consistent.
TEST_F(CompositorRestoreTest, MutatedSnapshotsLeaveAConsistentTree) {
  world.named("A");
  world.named("B");
  auto c = world.named("C");
  world.compositor->groupLayers({c.get()});
  const QVariantMap valid = world.compositor->createSnapshot();
  std::mt19937 random(29);
  auto pick = [&](int n) { return int(random() % unsigned(std::max(1, n))); };
  const QVariantList junk{QVariant(), 3,   "text", QVariantList{1}, QVariantMap{{"x", 1}},
                          true,       -1.5};
  const QStringList names{"A", "B", "C", "G", "Group 1", "Layer 1", ""};
  std::function<QVariant(const QVariant&, int)> mutate = [&](const QVariant& value, int depth) {
    if (value.typeId() == QMetaType::QVariantList) {
      QVariantList list = value.toList();
      switch (pick(5)) {
        case 0:
          if (!list.isEmpty()) list.removeAt(pick(list.size()));
          break;
        case 1:
          if (!list.isEmpty()) list.append(list[pick(list.size())]);
          break;
        case 2:
          list.append(junk[pick(junk.size())]);
          break;
        default:
          if (!list.isEmpty()) {
            const int i = pick(list.size());
            list[i] = mutate(list[i], depth + 1);
          }
      }
      return QVariant(list);
    }
    if (value.typeId() == QMetaType::QVariantMap) {
      QVariantMap map = value.toMap();
      const QStringList keys = map.keys();
      switch (pick(6)) {
        case 0:
          if (!keys.isEmpty()) map.remove(keys[pick(keys.size())]);
          break;
        case 1:
          if (!keys.isEmpty()) map.insert(keys[pick(keys.size())], junk[pick(junk.size())]);
          break;
        case 2:
          map.insert("layerName", names[pick(names.size())]);
          break;
        case 3:
          map.insert("groupFlag", pick(2) == 1);
          if (depth < 60) map.insert("layerArray", QVariantList{QVariant(map)});
          break;
        default:
          if (!keys.isEmpty()) {
            const QString key = keys[pick(keys.size())];
            map.insert(key, mutate(map.value(key), depth + 1));
          }
      }
      return QVariant(map);
    }
    return junk[pick(junk.size())];
  };
  LogCapture quiet;
  QVariantMap current = valid;
  for (int i = 0; i < 2000; ++i) {
    current = (i % 10 == 0 ? valid : mutate(current, 0).toMap());
    if (current.isEmpty()) current = valid;
    world.compositor->loadSnapshot(current);
    if (i % 50 == 0) settle();
    expectConsistent(world);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "after mutation " << i;
      break;
    }
  }
  settle();
}

}  // namespace
