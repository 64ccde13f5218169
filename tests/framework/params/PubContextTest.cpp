// The publishing composition context with recording renderers: the panel and
// the published sources follow the file, the outputs that step the text
// element and set the tempo, the form beside a composition, and the buffer
// variant.
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCAttributePublisher.h"
#include "framework/params/QCSliderElement.h"
#include "framework/params/QKQCGLAttrPubBuffContext.h"
#include "framework/params/QKQCGLAttrPubContext.h"
#include "framework/params/QKTextUI.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/framework/params/PubContextFixtures.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

using composition::PortType;
using Kind = QCElementFactories::Kind;
using ParamsFixtures::Input;
using ParamsFixtures::Output;

namespace {

class PubContextTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    QCElementFactories::registerFactory(Kind::Text, [this](const QCElementFactories::Request& r) {
      text = std::make_shared<FakeTextElement>(r.key);
      return text;
    });
  }
  void TearDown() override {
    context.reset();
    QCElementFactories::registerFactory(
        Kind::Text, [](const QCElementFactories::Request& r) { return QKTextUI::create(r); });
    GLTest::TearDown();
  }

  QString write(const QString& name, const std::vector<Input>& inputs,
                const std::vector<Output>& outputs = {}) {
    return ParamsFixtures::writeComposition(dir, name, inputs, outputs);
  }
  template <class Context = QKQCGLAttrPubContext>
  std::shared_ptr<Context> make(const QString& path, bool publish = false) {
    auto made = Context::create(path, gl::RenderThread::instance().mainContext(),
                                &gl::TexturePool::shared(), QSizeF(4, 4), publish, factory,
                                [] { return 10.0; });
    EXPECT_TRUE(made);
    return made;
  }
  // One frame: render, the outputs the renderer is to answer, then draw.
  void frame(QKQCGLAttrPubContext& target, const QVariantMap& outputs = {}) {
    onRenderThread([&] {
      target.setPBufferRef(buffer->bufferRef());
      target.render();
      if (auto renderer = factory->latest())
        for (auto it = outputs.cbegin(); it != outputs.cend(); ++it)
          renderer->setOutput(it.key(), it.value());
      target.draw();
    });
  }
  // Lets the steps posted to the main thread run.
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  // Made before the contexts, which find them, and gone after them.
  QKTapManager taps;
  DataSourceController controller{DataSourceController::TickThread::Manual};
  QString dir = TestEnvironment::makeTempDir(QStringLiteral("pub"));
  std::shared_ptr<RecordingFactory> factory = std::make_shared<RecordingFactory>();
  QKBufferHolderPtr buffer = QKBufferHolder::create(QSizeF(4, 4));
  std::shared_ptr<FakeTextElement> text;
  std::shared_ptr<QKQCGLAttrPubContext> context;
};

struct StepCase {
  const char* name;
  const char* output;
  const char* portClass;
  std::vector<QVariant> values;
  bool synced;
  int forward;
  int back;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class TextStepTest : public PubContextTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(TextStepTest, NextStepsOnAFallAndPrevOnARise) {
  const StepCase& c = GetParam();
  context = make(write("text.qtz", {{"FileInput", "QCStringPort"}}, {{c.output, c.portClass}}));
  ASSERT_TRUE(text);
  text->synced = c.synced;
  for (const QVariant& value : c.values) frame(*context, {{c.output, value}});
  settle();
  EXPECT_EQ(text->forward.load(), c.forward);
  EXPECT_EQ(text->back.load(), c.back);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, TextStepTest,
    ::testing::Values(
        StepCase{"NextFallsOnce", "next", "QCNumberPort", {1.0, 1.0, 0.0}, false, 1, 0},
        StepCase{"NextAsABoolean", "next", "QCBooleanPort", {true, true, false}, false, 1, 0},
        StepCase{"NextRisingDoesNotStep", "next", "QCNumberPort", {0.0, 1.0}, false, 0, 0},
        StepCase{"PrevRisesOnce", "prev", "QCNumberPort", {0.0, 1.0, 1.0}, false, 0, 1},
        StepCase{"PrevFallingDoesNotStep", "prev", "QCNumberPort", {1.0, 0.0}, false, 0, 1},
        StepCase{"ASyncedButtonKeepsNextStill", "next", "QCNumberPort", {1.0, 0.0}, true, 0, 0},
        StepCase{"ASyncedButtonKeepsPrevStill", "prev", "QCNumberPort", {0.0, 1.0}, true, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PubContextTest, ATempoOutputSetsTheClockOncePerChange) {
  RecordingClock clock;
  context = make(write("bpm.qtz", {}, {{"BPMOut", "QCNumberPort"}}));
  context->setMasterClock(&clock);
  for (double bpm : {120.0, 120.0, 120.0, 90.0}) frame(*context, {{"BPMOut", bpm}});
  EXPECT_EQ(clock.tempos(), (std::vector<double>{120.0, 90.0}));
}

TEST_F(PubContextTest, AStringTempoOutputIsNotATempo) {
  RecordingClock clock;
  context = make(write("bpm.qtz", {}, {{"BPMOut", "QCStringPort"}}));
  context->setMasterClock(&clock);
  frame(*context, {{"BPMOut", QStringLiteral("120")}});
  EXPECT_TRUE(clock.tempos().empty());
}

TEST_F(PubContextTest, CreationFindsTheControllerAndTheClock) {
  RecordingClock clock;
  NotificationObservers observers;
  observers.observe(QString::fromLatin1(MasterClockInterface::kFinderNotification), nullptr,
                    [&clock](const Notification& n) {
                      static_cast<MasterClockClient*>(n.object)->setMasterClock(&clock);
                    });
  context = make(QString(), true);
  EXPECT_EQ(context->dataSourceController(), &controller);
  EXPECT_EQ(context->masterClock(), &clock);
  EXPECT_EQ(context->attributeLoader()->masterClock(), &clock);
  EXPECT_EQ(context->attributeLoader()->dataSourceController(), &controller);
  EXPECT_TRUE(context->attributePublisher());
}

TEST_F(PubContextTest, UseFileRebuildsThePanelAndThePublishedSources) {
  const QString first = write("first.qtz", {{"amount", "QCNumberPort"}},
                              {{"level", "QCNumberPort"}, {"frame", "QCGLImagePort"}});
  const QString second = write("second.qtz", {{"gain", "QCNumberPort"}, {"on", "QCBooleanPort"}},
                               {{"hit", "QCBooleanPort"}});
  context = make(QString(), true);
  context->setPublisherCatName("CompA");
  context->useFile(first);
  QCAttributeLoader& loader = *context->attributeLoader();
  ASSERT_EQ(loader.elementArray().size(), 1u);
  EXPECT_EQ(loader.elementArray()[0]->key(), "amount");
  EXPECT_TRUE(controller.dataSourceForKeyArray({"CompA", "level"}));
  ASSERT_EQ(context->attributePublisher()->tapArray().size(), 1u);

  // A move of the slider reaches the renderer at the next frame.
  auto slider = std::dynamic_pointer_cast<QCSliderElement>(loader.elementArray()[0]);
  ASSERT_TRUE(slider);
  slider->slider()->setValueWithRangedValue(0.75f, true);
  frame(*context);
  EXPECT_EQ(factory->latest()->setsOf("amount"), QVariantList{0.75});

  context->useFile(second);
  QStringList keys;
  for (const auto& element : loader.elementArray()) keys << element->key();
  EXPECT_EQ(keys, QStringList({"gain", "on"}));
  EXPECT_FALSE(controller.dataSourceForKeyArray({"CompA", "level"}));
  EXPECT_TRUE(controller.dataSourceForKeyArray({"CompA", "hit"}));
  EXPECT_TRUE(context->attributePublisher()->tapArray().empty());
  ASSERT_FALSE(context->createSnapshot().isEmpty());
  EXPECT_EQ(context->createSnapshot().value("attributeDicts").toMap().keys(),
            QStringList({"gain", "on"}));
}

TEST_F(PubContextTest, WithoutPublishingOrAttributesThereIsNothingToRemoveOrSave) {
  context = make(write("empty.qtz", {}, {{"level", "QCNumberPort"}}));
  EXPECT_FALSE(context->attributePublisher());
  context->removeAllPublishedSources();
  EXPECT_FALSE(context->hasAttributes());
  EXPECT_TRUE(context->createSnapshot().isEmpty());
  EXPECT_FALSE(controller.dataSourceForKeyArray({"level"}));
}

TEST_F(PubContextTest, ADeletedContextNeitherRendersNorDraws) {
  context = make(write("a.qtz", {{"amount", "QCNumberPort"}}));
  context->prepareToBeDeleted();
  frame(*context);
  EXPECT_EQ(factory->made.load(), 0);
  EXPECT_TRUE(context->textureRef().isNull());
}

TEST_F(PubContextTest, AFormIsFoundBesideTheCompositionByItsName) {
  const QString path = write("Glow.qtz", {{"amount", "QCNumberPort"}});
  EXPECT_TRUE(QKQCGLAttrPubContext::formPathForComposition(path).isEmpty());
  for (const char* other : {"Glow.nib", "Glow.qtz.ui", "glow.ui"}) {
    QFile file(dir + "/" + other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  EXPECT_TRUE(QKQCGLAttrPubContext::formPathForComposition(path).isEmpty());
  QFile form(dir + "/Glow.ui");
  ASSERT_TRUE(form.open(QIODevice::WriteOnly));
  form.close();
  EXPECT_EQ(QKQCGLAttrPubContext::formPathForComposition(path), dir + "/Glow.ui");
  // Through a link, the form beside the file it points to.
  const QString linkDir = TestEnvironment::makeTempDir(QStringLiteral("link"));
  ASSERT_TRUE(QFile::link(path, linkDir + "/Other.qtz"));
  EXPECT_EQ(QKQCGLAttrPubContext::formPathForComposition(linkDir + "/Other.qtz"),
            QFileInfo(dir + "/Glow.ui").canonicalFilePath());
}

TEST_F(PubContextTest, AFormThatDoesNotLoadLeavesTheGeneratedPanel) {
  const QString path = write("Broken.qtz", {{"amount", "QCNumberPort"}});
  QFile form(dir + "/Broken.ui");
  ASSERT_TRUE(form.open(QIODevice::WriteOnly));
  form.write("<ui version=\"4.0\"><widget class=");
  form.close();
  LogCapture log;
  context = make(path);
  EXPECT_FALSE(context->attributeLoader()->topNibView());
  ASSERT_EQ(context->attributeLoader()->elementArray().size(), 1u);
  EXPECT_TRUE(context->attributeLoader()->elementArray()[0]->view());
  EXPECT_EQ(log.lines().filter("Broken.ui").size(), 1) << log.lines().join('\n').toStdString();
}

TEST_F(PubContextTest, TheBufferVariantMakesANewBufferAfterASizeChange) {
  auto buffered = make<QKQCGLAttrPubBuffContext>(write("b.qtz", {{"amount", "QCNumberPort"}}));
  const auto drawn = [&] {
    std::shared_ptr<QKBufferHolder> used;
    onRenderThread([&] {
      buffered->render();
      buffered->draw();
      used = buffered->buffer();
      EXPECT_TRUE(buffered->pBufferRef().isNull()) << "the buffer is set only for the draw";
    });
    return used;
  };
  const auto first = drawn();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->bufferRef().size(), QSize(4, 4));
  EXPECT_EQ(drawn(), first);
  buffered->setSize(QSizeF(4, 4));
  EXPECT_EQ(drawn(), first) << "the same size keeps the buffer";
  buffered->setSize(QSizeF(8, 6));
  const auto second = drawn();
  ASSERT_TRUE(second);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->bufferRef().size(), QSize(8, 6));

  LogCapture log;
  buffered->setSize(QSizeF(0, 6));
  EXPECT_FALSE(drawn()) << "no buffer: the frame is skipped";
  EXPECT_EQ(log.lines().filter("QKMIQCC creating buffer").size(), 1);
  buffered->setSize(QSizeF(2, 2));
  ASSERT_TRUE(drawn()) << "tried again at the next draw";
  buffered.reset();
}

}  // namespace
