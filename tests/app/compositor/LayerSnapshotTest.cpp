#include "RestoreFixture.h"

#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLocalPresetView.h"

#include <gtest/gtest.h>

namespace {

class LayerSnapshotTest : public ::testing::Test {
 protected:
  RestoreWorld world;
};

TEST_F(LayerSnapshotTest, KeysFollowTheLayersState) {
  auto layer = world.named("L");
  auto inside = world.named("M");
  auto group = world.compositor->groupLayers({inside.get()});
  ASSERT_TRUE(group->setLayerName("G"));
  LogCapture quiet;
  layer->useCompModeNamed("NoSuchCompFilter");

  // No source: "sourceType" "nil"; the other sources' own dictionaries.
  QVariantMap top = layer->createSnapshot();
  EXPECT_EQ(top.value("parentLayerName").toString(), "nil");
  EXPECT_EQ(top.value("sourceType").toString(), "nil");
  EXPECT_FALSE(top.contains("sourceDict"));
  for (const char* key : {"movieSourceDict", "qcSourceDict", "webSourceDict"})
    EXPECT_TRUE(top.contains(key)) << key;
  // The name asked for, although no such filter exists: never a null.
  EXPECT_EQ(top.value("compFilterName").toString(), "NoSuchCompFilter");
  for (const char* key : {"contentsRenderingMode", "groupRenderingMode", "compRenderingMode",
                          "dFactor", "fxChainSnapshot", "presetShortcutsDict", "groupFlag"})
    EXPECT_TRUE(top.contains(key)) << key;

  // A movie: its own dictionary is the source's, never "movieSourceDict".
  layer->useSourceNamed(Layer::kMovie);
  top = layer->createSnapshot();
  EXPECT_EQ(top.value("sourceDict").toMap().value("sourceType").toString(), "movieSource");
  EXPECT_FALSE(top.contains("sourceType"));
  EXPECT_FALSE(top.contains("movieSourceDict"));
  EXPECT_TRUE(top.contains("qcSourceDict"));
  EXPECT_TRUE(top.contains("webSourceDict"));

  const QVariantMap groupSnapshot = group->createSnapshot();
  ASSERT_EQ(groupSnapshot.value("layerArray").toList().size(), 1);
  const QVariantMap member = groupSnapshot.value("layerArray").toList()[0].toMap();
  EXPECT_EQ(member.value("layerName").toString(), "M");
  EXPECT_EQ(member.value("parentLayerName").toString(), "G");
  EXPECT_FALSE(top.contains("layerArray"));

  // Whatever it holds, a snapshot is a property list.
  QString error;
  EXPECT_TRUE(PropertyList::normalized(groupSnapshot, &error).isValid()) << error.toStdString();
}

TEST_F(LayerSnapshotTest, AnOlderLayoutPutsEveryModeInFilters) {
  auto layer = world.named("L");
  layer->setCompRenderingMode(1);
  ASSERT_EQ(world.compositor->contentsRenderingMode(), 1);
  layer->loadMiscellaneaFromSnapshot({{"layerName", "L"}});
  EXPECT_EQ(layer->contentsRenderingMode(), 0);
  EXPECT_EQ(layer->groupRenderingMode(), 0);
  EXPECT_EQ(layer->compRenderingMode(), 0);
  EXPECT_EQ(world.compositor->contentsRenderingMode(), 0);  // the parent's too

  // Within a group the group is the parent.
  auto group = world.compositor->groupLayers({layer.get()});
  group->setContentsRenderingMode(1);
  layer->loadMiscellaneaFromSnapshot({{"layerName", "L"}, {"dFactor", "wrong type"}});
  EXPECT_EQ(group->contentsRenderingMode(), 0);
  EXPECT_EQ(layer->dFactor(), GLenum(Layer::kAddFactor));  // a wrong type is not read
}

TEST_F(LayerSnapshotTest, ShortcutEntriesOfBothLayoutsComeBack) {
  auto layer = world.named("L");
  const QVariantMap shortcuts{
      {"Old", QVariantMap{{"presetName", "Old"}, {"gen", "MIDI"}, {"spec", "note [60] ch. 1"}}},
      {"New", QVariantMap{{"presetName", "New"},
                          {"syncArray", QStringList{"OSC", "/pad/1"}},
                          {"threshVal", 0.5},
                          {"triggerMode", 1},
                          {"triggerOnFall", true}}},
      {"Broken", QVariantMap{{"presetName", "Broken"}, {"syncArray", 7}}},
      {"NotADict", 3}};
  LogCapture log;
  layer->loadMiscellaneaFromSnapshot({{"presetShortcutsDict", shortcuts}});
  EXPECT_EQ(layer->shortcutStringForFXChainPresetNamed("Old"), "MIDI/note [60] ch. 1");
  EXPECT_EQ(layer->shortcutStringForFXChainPresetNamed("New"), "OSC//pad/1");
  EXPECT_TRUE(layer->shortcutStringForFXChainPresetNamed("Broken").isNull());
  EXPECT_EQ(layer->fxShortcuts().presetNames(), QStringList({"New", "Old"}));
  // The whole entry comes back into the cell, and every cell fires on main.
  auto cell = layer->fxShortcuts().cellFor("New");
  EXPECT_FLOAT_EQ(cell->threshVal(), 0.5f);
  EXPECT_EQ(cell->triggerMode(), 1);
  EXPECT_TRUE(cell->triggerOnFall());
  EXPECT_TRUE(cell->triggerOnMain());
  EXPECT_TRUE(layer->fxShortcuts().cellFor("Old")->triggerOnMain());
  // Saved again, an entry names its preset and its path.
  const QVariantMap saved = layer->createSnapshot().value("presetShortcutsDict").toMap();
  EXPECT_EQ(saved.value("Old").toMap().value("presetName").toString(), "Old");
  EXPECT_EQ(saved.value("Old").toMap().value("syncArray").toStringList(),
            QStringList({"MIDI", "note [60] ch. 1"}));

  // A snapshot without shortcuts leaves none.
  layer->loadMiscellaneaFromSnapshot({});
  EXPECT_TRUE(layer->fxShortcuts().presetNames().isEmpty());
}

TEST_F(LayerSnapshotTest, AGroupsEffectSnapshotHoldsItsSubtreeAndBothRecallsRestoreIt) {
  auto a = world.named("A");
  auto b = world.named("B");
  auto group = world.compositor->groupLayers({a.get(), b.get()});
  ASSERT_TRUE(a->addCIFXNamed("Bright"));
  ASSERT_TRUE(b->addCIFXNamed("Contrast"));
  ASSERT_TRUE(group->addCIFXNamed("Bright"));
  const QVariantMap fx = group->createLayerFXSnapshot();
  EXPECT_EQ(fx.keys(), QStringList({"A", "B", group->layerName()}));

  using Recall = std::function<void(Layer&, const QVariantMap&)>;
  const std::pair<const char*, Recall> recalls[] = {
      {"Layer FX", [](Layer& layer, const QVariantMap& s) { layer.matchThisLayerFXSnapshot(s); }},
      {"local preset", [](Layer& layer, const QVariantMap& s) { layer.loadLocalSnapshot(s); }},
  };
  for (const auto& [name, recall] : recalls) {
    SCOPED_TRACE(name);
    for (Layer* layer : {a.get(), b.get(), group.get()})
      layer->fxChain()->loadSnapshot(QVariantList());
    recall(*group, fx);
    EXPECT_EQ(RestoreWorld::chainOf(a.get()), QStringList({"Bright"}));
    EXPECT_EQ(RestoreWorld::chainOf(b.get()), QStringList({"Contrast"}));
    EXPECT_EQ(RestoreWorld::chainOf(group.get()), QStringList({"Bright"}));
    EXPECT_FALSE(world.compositor->restoringPreset());
  }
  // The strip stores and recalls through the layer.
  EXPECT_EQ(group->localPresetView()->target(), group.get());

  // A layer without an entry keeps its chain.
  group->matchThisLayerFXSnapshot({{"A", QVariantList()}});
  EXPECT_TRUE(RestoreWorld::chainOf(a.get()).isEmpty());
  EXPECT_EQ(RestoreWorld::chainOf(b.get()), QStringList({"Contrast"}));
}

TEST_F(LayerSnapshotTest, SourcesComeBackByTypeAndANilSourceSwitchesOff) {
  auto layer = world.named("L");
  auto& movie = RestoreWorld::snap(*layer, VidSourceObject::kMovieSource);
  auto& qc = RestoreWorld::snap(*layer, VidSourceObject::kQCSource);
  auto& web = RestoreWorld::snap(*layer, VidSourceObject::kWebSource);
  const QVariantMap snapshot{
      {"sourceDict", QVariantMap{{"sourceType", "qcSource"}, {"setting", 1}}},
      {"movieSourceDict", QVariantMap{{"sourceType", "movieSource"}, {"setting", 2}}},
      {"webSourceDict", QVariantMap{{"sourceType", "webSource"}, {"setting", 3}}}};
  layer->loadSourceFromSnapshot(snapshot);
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kQCPatch);
  EXPECT_EQ(qc.setting, 1);
  EXPECT_TRUE(qc.withFile);
  EXPECT_EQ(movie.setting, 2);
  EXPECT_FALSE(movie.withFile);  // not the current one: settings without its file
  EXPECT_EQ(web.setting, 3);
  EXPECT_FALSE(web.withFile);

  LogCapture log;
  layer->loadSourceFromSnapshot({{"sourceDict", QVariantMap{{"sourceType", 5}}}});
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kQCPatch);
  layer->loadSourceFromSnapshot({{"sourceType", "nil"}});
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kNil);
}

}  // namespace
