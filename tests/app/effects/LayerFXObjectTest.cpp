#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/render/MutableTextureObject.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/effects/EffectsFixture.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

namespace {

// The layer's image and the shared buffer set, as handles whose identity
// the fakes record.
struct Passed {
  Passed() {
    auto& pool = gl::TexturePool::shared();
    input = pool.acquire(QSize(4, 4));
    a = pool.acquire(QSize(4, 4));
    b = pool.acquire(QSize(4, 4));
    c = pool.acquire(QSize(4, 4));
    object.setTextureRef(input);
    object.setBufferARef(a);
    object.setBufferBRef(b);
    object.setBufferCRef(c);
  }
  gl::TextureHandle input, a, b, c;
  MutableTextureObject object;
};

class LayerFXObjectTest : public ::testing::Test, public ChainFixture {};

TEST_F(LayerFXObjectTest, AloneAtFullWetDrawsStraightIntoTheLayersBuffer) {
  auto effect = add("One");
  Passed p;
  chain.passPtrThruChain(&p.object);
  ASSERT_EQ(effect->context()->targets.size(), 1u);
  EXPECT_EQ(effect->context()->targets[0], host.bufferB);
  EXPECT_EQ(effect->context()->inputs[0], p.input);
  EXPECT_EQ(p.object.bufferARef(), p.a);  // no rotation
  EXPECT_EQ(effect->fakeMixer()->draws, 0);
  EXPECT_EQ(p.object.textureRef(), host.bufferB);
}

TEST_F(LayerFXObjectTest, AloneAtHalfRendersIntoAThenMixesIntoTheLayersBuffer) {
  auto effect = add("One", 0.5f);
  Passed p;
  chain.passPtrThruChain(&p.object);
  EXPECT_EQ(effect->context()->targets.at(0), p.a);
  EXPECT_EQ(p.object.bufferARef(), p.b);  // one rotation
  FakeMixer* mixer = effect->fakeMixer();
  EXPECT_EQ(mixer->draws, 1);
  EXPECT_FLOAT_EQ(mixer->wetDry, 0.5f);
  EXPECT_EQ(mixer->targets.at(0), host.bufferB);
  EXPECT_EQ(mixer->front, p.a);
  EXPECT_EQ(mixer->back, p.input);
  EXPECT_EQ(p.object.textureRef(), host.bufferB);
}

TEST_F(LayerFXObjectTest, AMiddleElementAtHalfRotatesTwice) {
  auto first = add("First", 0.5f);
  auto last = add("Last");
  Passed p;
  chain.passPtrThruChain(&p.object);
  // The effect's output ends as buffer B and the mix's as the third.
  EXPECT_EQ(first->context()->targets.at(0), p.a);
  EXPECT_EQ(first->fakeMixer()->targets.at(0), p.b);
  EXPECT_EQ(p.object.bufferARef(), p.c);
  EXPECT_EQ(p.object.bufferBRef(), p.a);
  EXPECT_EQ(p.object.bufferCRef(), p.b);
  EXPECT_EQ(last->context()->inputs.at(0), p.b);
  EXPECT_EQ(last->context()->targets.at(0), host.bufferB);
  EXPECT_EQ(p.object.textureRef(), host.bufferB);
}

struct SkipCase {
  const char* name;
  float wetDry;
  bool bypassed;
  bool renders;
  bool mixes;
};

TEST_F(LayerFXObjectTest, DryOrBypassedIsSkippedAndNotActive) {
  const SkipCase cases[] = {
      {"Dry", 0.0f, false, false, false},
      {"Bypassed", 1.0f, true, false, false},
      {"AlmostWet", 0.999f, false, true, true},
      {"Wet", 1.0f, false, true, false},
  };
  for (const SkipCase& c : cases) {
    SCOPED_TRACE(c.name);
    chain.deleteAllEffects();
    auto before = add("Before");
    auto effect = add(c.name, c.wetDry);
    if (c.bypassed) effect->bypassButton()->setIntValue(0);
    Passed p;
    chain.passPtrThruChain(&p.object);
    EXPECT_EQ(effect->isActive(), c.renders);
    EXPECT_EQ(!effect->context()->inputs.empty(), c.renders);
    EXPECT_EQ(effect->fakeMixer()->draws, c.mixes ? 1 : 0);
    // The element before becomes the last active one when this one is out.
    EXPECT_EQ(before->context()->targets.at(0) == host.bufferB, !c.renders);
  }
}

TEST_F(LayerFXObjectTest, AMixThatGivesNothingKeepsTheImage) {
  auto effect = add("One", 0.5f);
  effect->fakeMixer()->givesNothing = true;
  LogCapture log;
  Passed p;
  chain.passPtrThruChain(&p.object);
  EXPECT_EQ(p.object.textureRef(), p.input);
  EXPECT_TRUE(log.contains(QStringLiteral("passing null texture")));
}

TEST_F(LayerFXObjectTest, MissingBuffersOrLayerPassTheImageOn) {
  auto effect = add("One");
  LogCapture log;
  Passed p;
  p.object.setBufferARef({});
  chain.passPtrThruChain(&p.object);
  EXPECT_TRUE(log.contains(QStringLiteral("passed texture or buffer was nil")));
  EXPECT_TRUE(effect->context()->inputs.empty());
  Log::resetLimits();
  chain.setHost(nullptr);
  Passed q;
  chain.passPtrThruChain(&q.object);
  EXPECT_TRUE(log.contains(QStringLiteral("myLayer was nil")));
  EXPECT_EQ(q.object.textureRef(), q.input);
}

TEST_F(LayerFXObjectTest, EnableDefaultZeroStartsOff) {
  UserDefaults::standard().setValue(LayerFXObject::kEnableDefaultKey, 0);
  auto off = FXObject::make<FakeEffect>("Off");
  EXPECT_TRUE(off->bypass());
  UserDefaults::standard().setValue(LayerFXObject::kEnableDefaultKey, QVariant());
  EXPECT_FALSE(FXObject::make<FakeEffect>("On")->bypass());
}

TEST_F(LayerFXObjectTest, MixModeFromTheCompositorsListsAndBack) {
  host.names = {"CISourceOverCompositing", "", "770:772", "770:771", "", "Tint.qtz"};
  host.kinds = {"CoreImage comp. mode", "divider", "OpenGL blend mode",
                "OpenGL blend mode",    "divider", "QC Comp. mode"};
  auto effect = add("One");
  FakeMixer* mixer = effect->fakeMixer();
  struct ModeCase {
    int index;
    int contents, comp, dFactor;
  };
  for (const ModeCase& c : {ModeCase{0, 0, 0, 771}, ModeCase{2, 1, 0, 772}, ModeCase{3, 1, 0, 771},
                            ModeCase{5, 0, 1, 771}}) {
    effect->compButtonUsed(c.index);
    EXPECT_EQ(mixer->contents, c.contents) << c.index;
    EXPECT_EQ(mixer->comp, c.comp) << c.index;
    EXPECT_EQ(mixer->dFactorValue, c.dFactor) << c.index;
    EXPECT_EQ(effect->updateCompButton(), c.index);
  }
  effect->compButtonUsed(4);  // a divider: nothing
  EXPECT_EQ(effect->updateCompButton(), 5);
  LogCapture log;
  mixer->qcName = "Gone.qtz";
  EXPECT_EQ(effect->updateCompButton(), -1);
  EXPECT_TRUE(log.contains(QStringLiteral("couldn't find index to select")));
}

TEST_F(LayerFXObjectTest, SnapshotRoundTrip) {
  auto effect = add("One", 0.25f);
  effect->bypassButton()->setIntValue(0);
  effect->context()->values = {{"amount", 0.75}};
  effect->fakeMixer()->useGLCompMode(772);
  effect->collapse();
  EXPECT_EQ(effect->localFrame().height(), LayerFXObject::kCollapsedHeight);
  const QVariantMap snapshot = *effect->createSnapshot();
  for (const char* key : {"attributeLoader", "theEffectBypassToggle", "wetDrySlider",
                          "collapsedFlag", "wetDryContext"})
    EXPECT_TRUE(snapshot.contains(QLatin1String(key))) << key;

  auto fresh = add("One");
  fresh->loadSnapshot(snapshot);
  EXPECT_TRUE(fresh->bypass());
  EXPECT_FLOAT_EQ(fresh->wetDrySliderValue(), 0.25f);
  EXPECT_TRUE(fresh->collapsed());
  EXPECT_EQ(fresh->context()->values.value("amount").toDouble(), 0.75);
  EXPECT_EQ(fresh->fakeMixer()->dFactorValue, 772);
  EXPECT_TRUE(fresh->awake());

  // Without the button's entry the bypass follows the button as it is.
  auto other = add("Other");
  QVariantMap noButton = snapshot;
  noButton.remove("theEffectBypassToggle");
  other->loadSnapshot(noButton);
  EXPECT_FALSE(other->bypass());
}

}  // namespace
