#include "app/effects/CIFXLoader.h"
#include "app/effects/QCFXLoader.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/filters/CustomFilters.h"
#include "framework/render/MutableTextureObject.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/PropertyList.h"
#include "tests/app/effects/EffectsFixture.h"
#include "tests/support/LogCapture.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList namesOf(const FXChain& chain) {
  QStringList names;
  for (const auto& element : chain.fxArray())
    names.append(static_cast<LayerFXObject*>(element.get())->filterName());
  return names;
}

class LayerFXChainTest : public ::testing::Test, public ChainFixture {
 protected:
  static void SetUpTestSuite() {
    LogCapture quiet;
    CustomFilters::initialize();
  }
  static QVariantMap entry(const QString& name, const QVariantMap& extra = {}) {
    QVariantMap e = extra;
    e.insert(QStringLiteral("fxNameString"), name);
    return e;
  }
};

TEST_F(LayerFXChainTest, RestoreKeepsEffectsThatStay) {
  ASSERT_TRUE(chain.addCIFXNamed("Bright"));
  ASSERT_TRUE(chain.addCIFXNamed("Contrast"));
  EXPECT_EQ(host.size, chain.fxArray()[0]->localFrame().size().isEmpty() ? host.size : host.size);
  const auto before = chain.fxArray();
  chain.loadSnapshot(QVariantList{entry("Contrast"), entry("Bright")});
  EXPECT_EQ(namesOf(chain), QStringList({"Contrast", "Bright"}));
  EXPECT_EQ(chain.fxArray()[0], before[1]);
  EXPECT_EQ(chain.fxArray()[1], before[0]);

  // Surplus duplicates go, from the front.
  chain.addCIFXNamed("Bright");
  const auto secondBright = chain.fxArray()[2];
  chain.loadSnapshot(QVariantList{entry("Contrast"), entry("Bright")});
  EXPECT_EQ(namesOf(chain), QStringList({"Contrast", "Bright"}));
  EXPECT_EQ(chain.fxArray()[1], secondBright);

  // A null snapshot changes nothing.
  const auto kept = chain.fxArray();
  chain.loadSnapshot(QVariant());
  EXPECT_EQ(chain.fxArray(), kept);
}

TEST_F(LayerFXChainTest, AMissingEffectKeepsItsPlaceAndItsSettings) {
  LogCapture log;
  const QVariantMap missing = entry("NoSuchFilter", {{"wetDrySlider", QVariantMap{{"x", 1}}}});
  chain.loadSnapshot(QVariantList{missing, entry("Bright")});
  ASSERT_EQ(namesOf(chain), QStringList({"NoSuchFilter", "Bright"}));
  auto* placeholder = static_cast<LayerFXObject*>(chain.fxArray()[0].get());
  EXPECT_TRUE(placeholder->isMissing());
  const QVariantList saved = chain.createSnapshot();
  EXPECT_EQ(saved[0].toMap().value("wetDrySlider"), missing.value("wetDrySlider"));
  EXPECT_EQ(saved[0].toMap().value("fxNameString").toString(), QStringLiteral("NoSuchFilter"));
  // It passes the image unchanged.
  MutableTextureObject passed;
  const gl::TextureHandle input = gl::TexturePool::shared().acquire(QSize(4, 4));
  passed.setTextureRef(input);
  placeholder->processPassedPtr(&passed);
  EXPECT_EQ(passed.textureRef(), input);
}

TEST_F(LayerFXChainTest, EditsTakeTheCompositorsLockAndTellTheLayer) {
  auto a = add("A");
  add("B");
  add("C");
  chain.insertEffectObject(FXObject::make<FakeEffect>("D"), 99);
  EXPECT_EQ(namesOf(chain), QStringList({"A", "B", "C", "D"}));
  const int modified = host.modified;
  chain.deleteEffectNamed("B");
  chain.removeEffectFromChain(a.get());
  EXPECT_EQ(namesOf(chain), QStringList({"C", "D"}));
  EXPECT_EQ(host.modified, modified + 2);
  EXPECT_EQ(host.locks, host.unlocks);
  // The unlocked forms leave the lock and the layer alone.
  const int locks = host.locks;
  chain.unlockedDeleteEffectNamed("C");
  EXPECT_EQ(host.locks, locks);
  EXPECT_EQ(host.modified, modified + 2);
}

TEST_F(LayerFXChainTest, FirstActiveEffect) {
  auto filter = add("Bright");
  EXPECT_FALSE(chain.isFirstActiveEffectQC());
  filter->bypassButton()->setIntValue(0);
  EXPECT_FALSE(chain.isFirstActiveEffectQC());
  host.path.clear();
  auto composition = QCFXLoader::create("Tint.qtz", QRectF(0, 0, 64, 48), &host);
  ASSERT_TRUE(composition);
  chain.insertEffectObject(composition, 99);
  EXPECT_TRUE(chain.isFirstActiveEffectQC());
  EXPECT_EQ(composition->layerFilePath(), QStringLiteral(" "));
  EXPECT_EQ(composition->renderSize(), host.size);
  composition->bypassButton()->setIntValue(0);
  EXPECT_FALSE(chain.isFirstActiveEffectQC());
}

TEST_F(LayerFXChainTest, DraggedData) {
  LogCapture log;
  ASSERT_TRUE(chain.addCIFXNamed("Bright"));
  auto* bright = static_cast<LayerFXObject*>(chain.fxArray()[0].get());
  bright->wetDrySlider()->setValue(0.5f);
  EXPECT_TRUE(chain.insertEffectData(LayerFXChain::dragDataFor(*bright), 0));
  ASSERT_EQ(chain.count(), 2);
  auto* copy = static_cast<LayerFXObject*>(chain.fxArray()[0].get());
  EXPECT_EQ(copy->filterName(), QStringLiteral("Bright"));
  EXPECT_FLOAT_EQ(copy->wetDrySliderValue(), 0.5f);

  const QByteArray bad[] = {
      QByteArray("not a property list"),
      PropertyList::toXml(QVariantList{1, 2}),
      PropertyList::toXml(QVariantMap{{"filterType", 3}, {"filterName", "Bright"}}),
      PropertyList::toXml(QVariantMap{{"filterType", "Other"}, {"filterName", "Bright"}}),
      PropertyList::toXml(QVariantMap{{"filterType", "CIFilter"}, {"filterName", "Nope"}}),
  };
  for (const QByteArray& data : bad) EXPECT_FALSE(chain.insertEffectData(data, 0));
  EXPECT_EQ(chain.count(), 2);
}

TEST(CIFXLoaderTest, AcceptsFiltersThatTakeAndGiveAnImage) {
  LogCapture quiet;
  CustomFilters::initialize();
  EXPECT_TRUE(CIFXLoader::accepts("Bright"));
  EXPECT_TRUE(CIFXLoader::accepts("CIGaussianBlur"));
  EXPECT_FALSE(CIFXLoader::accepts("NoSuchFilter"));
  EXPECT_FALSE(CIFXLoader::accepts("CIConstantColorGenerator"));  // no input image
  auto effect = CIFXLoader::create("FadeToBlack", QRectF(0, 0, 10, 10));
  ASSERT_TRUE(effect);
  EXPECT_EQ(effect->filterName(), QStringLiteral("FadeToBlack"));
  EXPECT_EQ(effect->myName(), QStringLiteral("Fade To Black"));
  EXPECT_EQ(effect->className(), QStringLiteral("CIFXLoader"));
}

class QCFXLoaderTest : public ::testing::Test {
 protected:
  QString writeComposition(const QString& name, const QStringList& inputs, bool video = false) {
    QVariantList ports, nodes;
    for (const QString& key : inputs) {
      ports << QVariantMap{{"key", key}, {"node", key + "_split"}, {"port", "input"}};
      nodes << QVariantMap{{"key", key + "_split"},
                           {"class", "QCSplitter"},
                           {"state", QVariantMap{{"portClass", "QCGLImagePort"}}}};
    }
    if (video) nodes << QVariantMap{{"key", "video"}, {"class", "QCVideoInput"}};
    const QVariantMap file{
        {"rootPatch",
         QVariantMap{{"state", QVariantMap{{"publishedInputPorts", ports}, {"nodes", nodes}}}}}};
    const QString path = dir.filePath(name);
    EXPECT_EQ(PropertyList::write(file, path), QString());
    return path;
  }
  QTemporaryDir dir;
};

TEST_F(QCFXLoaderTest, ImageInputByTheNineNamesInPublishedOrder) {
  EXPECT_EQ(QCFXLoader::imageInputPortName({"amount", "Input Image", "inputImage"}),
            QStringLiteral("Input Image"));
  EXPECT_EQ(QCFXLoader::imageInputPortName({"_protocolInput_Image"}),
            QStringLiteral("_protocolInput_Image"));
  EXPECT_EQ(QCFXLoader::imageInputPortName({"protocolInput_Image"}),
            QStringLiteral("protocolInput_Image"));
  EXPECT_EQ(QCFXLoader::imageInputPortName({"image", "amount"}), QString());

  LogCapture log;
  auto accepted = QCFXLoader::createWithPath(
      writeComposition("good.qtz", {"amount", "Input Image"}), QRectF(0, 0, 8, 8));
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->inputImagePortName(), QStringLiteral("Input Image"));
  EXPECT_EQ(accepted->myName(), QStringLiteral("good.qtz"));
  EXPECT_FALSE(QCFXLoader::createWithPath(writeComposition("none.qtz", {"image"}), QRectF()));
  EXPECT_TRUE(log.contains(QStringLiteral("failed to load qcfx")));
}

TEST_F(QCFXLoaderTest, AVideoInputIsRefusedWithTheAlertUnlessFullscreenHidesIt) {
  LogCapture log;
  const QString path = writeComposition("video.qtz", {"inputImage"}, true);
  Alert::clearRecorded();
  EXPECT_FALSE(QCFXLoader::createWithPath(path, QRectF()));
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, QCFXLoader::kAlertTitle);
  EXPECT_EQ(Alert::recorded()[0].buttons, QStringList{QStringLiteral("Okay")});
  FakeHost fullscreen;
  fullscreen.fullscreenHides = true;
  EXPECT_FALSE(QCFXLoader::createWithPath(path, QRectF(), &fullscreen));
  EXPECT_EQ(Alert::recorded().size(), 1u);
}

TEST_F(QCFXLoaderTest, AnUnreadablePathIsTriedInTheEffectsFolder) {
  LogCapture log;
  auto effect = QCFXLoader::createWithPath("Tint.qtz", QRectF(0, 0, 8, 8));
  ASSERT_TRUE(effect);
  EXPECT_TRUE(effect->qtzPath().endsWith("qcFX/Tint.qtz"));
  EXPECT_FALSE(QCFXLoader::create("NotThere.qtz", QRectF()));
  EXPECT_TRUE(log.contains(QStringLiteral("couldn't create qcfx at path NotThere.qtz")));
}

TEST_F(QCFXLoaderTest, TheLayerFilePathIsHandedOverOncePerChange) {
  LogCapture log;
  auto effect = QCFXLoader::create("Tint.qtz", QRectF(0, 0, 8, 8));
  ASSERT_TRUE(effect);
  EXPECT_FALSE(effect->takeLayerFilePath());
  effect->setLayerFilePath("/movies/a.mov");
  EXPECT_EQ(effect->takeLayerFilePath(), QStringLiteral("/movies/a.mov"));
  EXPECT_FALSE(effect->takeLayerFilePath());
  effect->setLayerFilePath("/movies/b.mov");
  EXPECT_EQ(effect->takeLayerFilePath(), QStringLiteral("/movies/b.mov"));
}

}  // namespace
