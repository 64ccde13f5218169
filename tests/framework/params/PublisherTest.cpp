#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/params/QCAttributePublisher.h"
#include "framework/params/QKQCSTap.h"
#include "framework/render/QKQCComposition.h"
#include "framework/taps/QKTapManager.h"
#include "platform/threading/RWTryLock.h"
#include "tests/framework/params/ParamsFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

using composition::PortType;

namespace {

struct Owner : QCAttributePublisher::Delegate {
  RWTryLock& renderLock() override { return lock; }
  QSizeF renderSize() const override { return {64, 48}; }
  RWTryLock lock;
};

// Outputs level (number), hit (boolean), tint (colour), handXY and rect
// (structures) and frame (image), published under CompA.
class PublisherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    composition = QKQCComposition::compositionWithFile(
        ParamsFixtures::writeComposition(TestEnvironment::makeTempDir(), "out.qtz", {},
                                         {{"level", "QCNumberPort"},
                                          {"hit", "QCBooleanPort"},
                                          {"tint", "QCColorPort"},
                                          {"handXY", "QCStructurePort"},
                                          {"rect", "QCStructurePort"},
                                          {"frame", "QCGLImagePort"}}));
    ASSERT_TRUE(composition);
    publisher->setDelegate(&owner);
    publisher->setDataSourceController(&dsc);
  }
  void TearDown() override { publisher->prepareToBeDeleted(); }
  std::shared_ptr<DataSource> source(const KeyPath& path) const {
    return dsc.dataSourceForKeyArray(path);
  }
  float valueAt(const KeyPath& path) const {
    auto found = source(path);
    return found ? found->value() : -1.0f;
  }
  void frame(const QVariantMap& outputs) {
    for (auto it = outputs.cbegin(); it != outputs.cend(); ++it)
      renderer->setOutput(it.key(), it.value());
    std::thread render([this] { publisher->publishValsForRenderer(renderer); });
    render.join();
    dsc.threadProc();
  }

  QKTapManager tapManager;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  Owner owner;
  std::shared_ptr<QCAttributePublisher> publisher = QCAttributePublisher::create();
  std::shared_ptr<QKQCComposition> composition;
  std::shared_ptr<RecordingRenderer> renderer = std::make_shared<RecordingRenderer>(
      RecordingRenderer::Ports{},
      RecordingRenderer::Ports{{"level", PortType::Number}, {"hit", PortType::Boolean}});
};

TEST_F(PublisherTest, EachKindOfOutputBecomesItsSource) {
  publisher->setPublisherCatName("CompA");
  publisher->publishAttributesForComposition(composition);
  const struct {
    const char* key;
    int type;
  } kinds[] = {{"level", DSType::FloatFrequent},
               {"hit", DSType::ButtonFloat},
               {"tint", DSType::ColorHolder},
               {"handXY", DSType::PointHolder}};
  for (const auto& kind : kinds) {
    auto made = source({"CompA", kind.key});
    ASSERT_TRUE(made) << kind.key;
    EXPECT_EQ(made->sourceType(), kind.type) << kind.key;
  }
  EXPECT_FALSE(source({"CompA", "rect"}));
  EXPECT_FALSE(source({"CompA", "frame"}));
  ASSERT_EQ(publisher->tapArray().size(), 1u);
  EXPECT_EQ(publisher->tapArray()[0]->tapName(), QStringLiteral("CompA:frame"));
  EXPECT_EQ(publisher->tapArray()[0]->imageSize(), QSizeF(64, 48));
}

TEST_F(PublisherTest, NumbersAreClampedAndComponentsPassAsTheyAre) {
  publisher->setPublisherCatName("CompA");
  publisher->publishAttributesForComposition(composition);
  frame({{"level", 1.7},
         {"tint", QColor::fromRgbF(0.25f, 0.5f, 0.75f)},
         {"handXY", QPointF(0.3, 1.4)}});
  EXPECT_FLOAT_EQ(valueAt({"CompA", "level"}), 1.0f);
  EXPECT_NEAR(valueAt({"CompA", "tint", "G"}), 0.5f, 1e-3);
  EXPECT_NEAR(valueAt({"CompA", "handXY", "Y"}), 1.4f, 1e-6);
  frame({{"level", -0.2}});
  EXPECT_FLOAT_EQ(valueAt({"CompA", "level"}), 0.0f);
}

TEST_F(PublisherTest, ABooleanReachesItsSourceOnTheTickNotTheRenderThread) {
  publisher->setPublisherCatName("CompA");
  publisher->publishAttributesForComposition(composition);
  renderer->setOutput("hit", true);
  std::thread render([this] { publisher->publishValsForRenderer(renderer); });
  render.join();
  EXPECT_FLOAT_EQ(valueAt({"CompA", "hit"}), 0.0f);
  dsc.threadProc();
  EXPECT_FLOAT_EQ(valueAt({"CompA", "hit"}), 1.0f);
  frame({{"hit", false}});
  EXPECT_FLOAT_EQ(valueAt({"CompA", "hit"}), 0.0f);
}

TEST_F(PublisherTest, StoringSkipsAFrameWhileTheLockIsBusy) {
  publisher->setPublisherCatName("CompA");
  publisher->publishAttributesForComposition(composition);
  renderer->setOutput("level", 0.5);
  owner.lock.readLock();
  std::thread render([this] { publisher->publishValsForRenderer(renderer); });
  render.join();  // returned without waiting
  owner.lock.readUnlock();
  dsc.threadProc();
  EXPECT_FLOAT_EQ(valueAt({"CompA", "level"}), 0.0f);
  frame({});
  EXPECT_FLOAT_EQ(valueAt({"CompA", "level"}), 0.5f);
}

TEST_F(PublisherTest, RenamingMovesTheGroupAndTheTapsAndAnEmptyNameIsIgnored) {
  publisher->setPublisherCatName("CompA");
  publisher->publishAttributesForComposition(composition);
  publisher->setPublisherCatName("CompB");
  EXPECT_FALSE(source({"CompA"}));
  EXPECT_TRUE(source({"CompB", "level"}));
  EXPECT_EQ(publisher->tapArray()[0]->tapName(), QStringLiteral("CompB:frame"));
  publisher->setPublisherCatName(QString());
  EXPECT_EQ(publisher->publisherCatName(), QStringLiteral("CompB"));
  EXPECT_EQ(publisher->tapArray()[0]->tapName(), QStringLiteral("CompB:frame"));
  publisher->removeAllPublishedSources();
  EXPECT_FALSE(source({"CompB"}));
  EXPECT_TRUE(publisher->tapArray().empty());
}

TEST_F(PublisherTest, WithoutACategoryNothingIsPublished) {
  LogCapture log;
  publisher->publishAttributesForComposition(composition);
  EXPECT_TRUE(log.contains("bailing on publish because cat is nil"));
  EXPECT_TRUE(publisher->tapArray().empty());
  EXPECT_FALSE(source({"level"}));
}

}  // namespace
