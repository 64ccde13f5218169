#include "tests/platform/composition/CompositionFixture.h"

#include "platform/composition/CompositionFormat.h"
#include "platform/composition/GraphRenderer.h"
#include "platform/composition/ProgramCache.h"
#include "platform/foundation/PropertyList.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "tests/support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

using namespace composition;
using namespace plist;

namespace {

const char* kTintSource = R"(
uniform vec4 colour;
uniform float amount;
vec4 shaderMain() { return vec4(colour.rgb * amount, colour.a); }
)";

}  // namespace

TEST_F(CompositionFixture, TypedInputsReachUniforms) {
  const auto doc = document(file(
      state({splitter("c", "QCColorPort"), splitter("a", "QCNumberPort", 1.0),
             shader("s", kTintSource)},
            {connection("c", "output", "s", "colour"), connection("a", "output", "s", "amount")},
            {port("colour", "c", "input"), port("amount", "a", "input")}),
      "s"));
  ASSERT_TRUE(doc);
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  EXPECT_EQ(renderer->inputKeys(), (QStringList{"colour", "amount"}));
  EXPECT_TRUE(renderer->setColor("colour", QColor(200, 100, 50)));
  EXPECT_TRUE(renderer->setNumber("amount", 0.5));
  const QImage out = render(*renderer);
  ASSERT_FALSE(out.isNull());
  EXPECT_TRUE(near(out.pixelColor(1, 1), QColor(100, 50, 25)));
}

namespace {

const char* kShowSource = R"(
uniform sampler2D picture;
vec4 shaderMain() { return picture_sample(texCoord); }
)";

// Published image "picture" drawn as it is.
std::shared_ptr<const CompositionDocument> showDocument() {
  return CompositionDocument::fromPropertyList(
      file(state({splitter("p", "QCGLImagePort"), shader("s", kShowSource)},
                 {connection("p", "output", "s", "picture")}, {port("picture", "p", "input")}),
           "s"),
      QString());
}

// 2×2: red over blue (top row first).
QImage redOverBlue() {
  QImage picture(2, 2, QImage::Format_RGBA8888);
  picture.setPixelColor(0, 0, Qt::red);
  picture.setPixelColor(1, 0, Qt::red);
  picture.setPixelColor(0, 1, Qt::blue);
  picture.setPixelColor(1, 1, Qt::blue);
  return picture;
}

struct ImageKind {
  const char* name;
  // The value, made on the render thread.
  std::function<PortValue()> make;
};

void PrintTo(const ImageKind& kind, std::ostream* out) { *out << kind.name; }

const ImageKind kImageKinds[] = {
    {"CpuImage", [] { return PortValue::cpuImage(redOverBlue()); }},
    {"UploadedTexture", [] { return PortValue::texture(GLTest::imageTexture(redOverBlue())); }},
    // The same rows read as a framebuffer's (first row at the bottom).
    {"TextureRowsBottomUp",
     [] {
       return PortValue::texture(
           GLTest::imageTexture(redOverBlue().mirrored(false, true)).withFlipped(false));
     }},
    {"FilterImage",
     [] {
       return PortValue::filterImage(
           image::Image::fromTexture(GLTest::imageTexture(redOverBlue())));
     }},
};

class ImageInput : public CompositionFixture, public ::testing::WithParamInterface<ImageKind> {};

}  // namespace

TEST_P(ImageInput, IsSampledUpright) {
  auto renderer = rendererOf(showDocument());
  ASSERT_TRUE(renderer);
  const QImage out = render(*renderer, QSize(2, 2), 0,
                            [&] { EXPECT_TRUE(renderer->setValue("picture", GetParam().make())); });
  ASSERT_FALSE(out.isNull());
  EXPECT_TRUE(near(out.pixelColor(0, 0), Qt::red));
  EXPECT_TRUE(near(out.pixelColor(1, 1), Qt::blue));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImageInput, ::testing::ValuesIn(kImageKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CompositionFixture, AnUnsetOrClearedImageSamplesTransparentBlack) {
  auto renderer = rendererOf(showDocument());
  ASSERT_TRUE(renderer);
  EXPECT_TRUE(near(render(*renderer).pixelColor(0, 0), QColor(0, 0, 0, 0)));
  render(*renderer, QSize(4, 4), 0,
         [&] { renderer->setImage("picture", solidTexture(QSize(4, 4), Qt::green)); });
  EXPECT_TRUE(renderer->clearImage("picture"));
  EXPECT_TRUE(near(render(*renderer).pixelColor(0, 0), QColor(0, 0, 0, 0)));
}

TEST_F(CompositionFixture, OutputsGiveTheirValuesAfterARender) {
  const auto doc = document(
      file(state({splitter("n", "QCNumberPort", 0.25), value("b", "QCBoolean", true),
                  value("c", "QCColor", QVariantMap{{"red", 1.0}, {"green", 0.5}, {"blue", 0.0}}),
                  value("p", "QCPoint"), splitter("idx", "QCIndexPort", 3),
                  shader("s", "vec4 shaderMain() { return vec4(0.0, 1.0, 0.0, 1.0); }")},
                 {}, {port("point", "p", "value")},
                 {port("number", "n", "output"), port("flag", "b", "outputValue"),
                  port("colour", "c", "outputValue"), port("xy", "p", "outputValue"),
                  port("index", "idx", "output"), port("image", "s", "outputImage")})));
  ASSERT_TRUE(doc);
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  EXPECT_FALSE(renderer->valueForOutputKey("number").isValid());  // nothing rendered yet
  EXPECT_TRUE(renderer->setPoint("point", QPointF(0.5, -2)));
  EXPECT_TRUE(renderer->setValue("point", QVariant(QVariantList{0.5, -2.0})));
  QImage image;
  render(*renderer, QSize(4, 4), 0, [&] {});
  onRenderThread([&] { image = read(renderer->imageForOutputKey("image")); });
  EXPECT_EQ(renderer->valueForOutputKey("number"), QVariant(0.25));
  EXPECT_EQ(renderer->valueForOutputKey("flag"), QVariant(true));
  EXPECT_EQ(renderer->valueForOutputKey("colour").value<QColor>(), QColor::fromRgbF(1, 0.5, 0));
  EXPECT_EQ(renderer->valueForOutputKey("xy").toPointF(), QPointF(0.5, -2));
  EXPECT_EQ(renderer->valueForOutputKey("index"), QVariant(3));
  EXPECT_FALSE(renderer->valueForOutputKey("image").isValid());
  ASSERT_EQ(image.size(), QSize(4, 4));
  EXPECT_TRUE(near(image.pixelColor(2, 2), Qt::green));
  EXPECT_EQ(renderer->outputType("xy"), PortType::Structure);
  EXPECT_TRUE(renderer->setRect("point", QRectF(1, 2, 3, 4)));
  render(*renderer);
  EXPECT_EQ(renderer->valueForOutputKey("xy").toRectF(), QRectF(1, 2, 3, 4));
}

TEST_F(CompositionFixture, EachKeyNamesItsOwnPortAndAKeyPublishedTwiceItsFirst) {
  QVariantList nodes, inputs, outputs;
  for (int i = 0; i < 12; ++i) {
    const QString key = QStringLiteral("n%1").arg(i);
    nodes << splitter(key, "QCNumberPort", i / 100.0);
    inputs << port(QStringLiteral("in%1").arg(i), key, "input");
    outputs << port(QStringLiteral("out%1").arg(i), key, "output");
  }
  inputs << port("in3", "n4", "input");
  outputs << port("out3", "n4", "output");
  const auto doc = document(file(state(nodes, {}, inputs, outputs)));
  ASSERT_TRUE(doc);
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  for (int i = 0; i < 12; ++i)
    EXPECT_TRUE(renderer->setNumber(QStringLiteral("in%1").arg(i), 0.5 + i / 100.0));
  EXPECT_TRUE(renderer->setNumber("in3", 0.9));
  EXPECT_FALSE(renderer->setNumber("in12", 1));
  EXPECT_EQ(renderer->inputType("in11"), PortType::Number);
  EXPECT_FALSE(renderer->inputType("in12"));
  EXPECT_FALSE(renderer->outputType("out12"));
  render(*renderer);
  for (int i = 0; i < 12; ++i)
    EXPECT_NEAR(renderer->valueForOutputKey(QStringLiteral("out%1").arg(i)).toDouble(),
                i == 3 ? 0.9 : 0.5 + i / 100.0, 1e-6)
        << i;
  EXPECT_FALSE(renderer->valueForOutputKey("out12").isValid());
}

TEST_F(CompositionFixture, ValuesOfTheWrongTypeAreIgnoredWithALog) {
  const auto doc = document(file(
      state({splitter("c", "QCColorPort"), splitter("a", "QCNumberPort", 1.0),
             shader("s", kTintSource)},
            {connection("c", "output", "s", "colour"), connection("a", "output", "s", "amount")},
            {port("colour", "c", "input"), port("amount", "a", "input")}),
      "s", {{"colour", QVariantMap{{"red", 0.0}, {"green", 1.0}, {"blue", 0.0}}}}));
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  LogCapture log;
  Log::resetLimits();
  EXPECT_FALSE(renderer->setString("amount", "lots"));
  EXPECT_FALSE(renderer->setNumber("amount", std::nan("")));
  EXPECT_FALSE(renderer->setNumber("amount", INFINITY));
  EXPECT_FALSE(renderer->setNumber("colour", 1));
  EXPECT_FALSE(renderer->setNumber("nothing", 1));
  EXPECT_FALSE(log.lines().isEmpty());
  EXPECT_LT(log.lines().size(), 5);  // rate-limited
  // The default from inputParameters and the number set earlier stay.
  EXPECT_TRUE(near(render(*renderer).pixelColor(0, 0), Qt::green));
}

TEST_F(CompositionFixture, ShadersReceiveTheTimeInSeconds) {
  const auto doc = document(file(
      state({shader(
          "s", "uniform float time;\nvec4 shaderMain() { return vec4(time / 10.0, 0, 0, 1); }")}),
      "s"));
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  EXPECT_TRUE(near(render(*renderer, QSize(2, 2), 5).pixelColor(0, 0), QColor(128, 0, 0)));
}

TEST_F(CompositionFixture, PortsLeadThroughNestedStates) {
  // The outer published "amount" reaches a splitter two states down, whose
  // value comes back out of the macro into the shader.
  const QVariantMap inner = state({splitter("deep", "QCNumberPort")}, {},
                                  {port("in", "deep", "input")}, {port("out", "deep", "output")});
  const QVariantMap macro = state({node("inner", "QCPatch", inner)}, {},
                                  {port("in", "inner", "in")}, {port("out", "inner", "out")});
  const auto doc = document(file(
      state({node("m", "QCPatch", macro), value("c", "QCColor"), shader("s", kTintSource)},
            {connection("m", "out", "s", "amount"), connection("c", "outputValue", "s", "colour")},
            {port("amount", "m", "in"), port("colour", "c", "value")}),
      "s"));
  ASSERT_TRUE(doc);
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  renderer->setColor("colour", Qt::white);
  renderer->setNumber("amount", 0.5);
  EXPECT_TRUE(near(render(*renderer).pixelColor(0, 0), QColor(128, 128, 128)));
}

TEST_F(CompositionFixture, ShadersAreCompiledOncePerSource) {
  const auto doc = showDocument();
  std::size_t before = 0, after = 0;
  auto first = rendererOf(doc);
  onRenderThread([&] { before = ProgramCache::forCurrentContext()->size(); });
  auto second = rendererOf(doc);
  onRenderThread([&] { after = ProgramCache::forCurrentContext()->size(); });
  ASSERT_TRUE(first && second);
  EXPECT_EQ(before, after);
}

TEST_F(CompositionFixture, IntermediateImagesFeedLaterShaders) {
  const auto doc = document(
      file(state({shader("a", "vec4 shaderMain() { return vec4(1.0, 0.0, 0.0, 1.0); }"),
                  shader("b",
                         "uniform sampler2D picture;\nvec4 shaderMain() {\n"
                         "  return picture_sample(texCoord) * vec4(0.5, 1.0, 1.0, 1.0);\n}")},
                 {connection("a", "outputImage", "b", "picture")}),
           "b"));
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  EXPECT_TRUE(near(render(*renderer).pixelColor(3, 3), QColor(128, 0, 0)));
}

TEST_F(CompositionFixture, OverBlendsOntoTheTargetAndReplaceWritesStraightAlpha) {
  const auto doc = document(
      file(state({shader("s", "vec4 shaderMain() { return vec4(1.0, 0.0, 0.0, 0.5); }")}), "s"));
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  struct Case {
    QCRenderer::Compositing compositing;
    QVector4D clear;
    QColor expected;
  };
  const Case cases[] = {
      {QCRenderer::Compositing::Over, QVector4D(0, 0, 0, 1), QColor(128, 0, 0, 255)},
      {QCRenderer::Compositing::Replace, QVector4D(0, 0, 0, 0), QColor(255, 0, 0, 128)},
  };
  for (const Case& c : cases) {
    QImage out;
    onRenderThread([&] {
      gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(2, 2));
      gl::RenderTarget target;
      ASSERT_TRUE(target.bind(texture));
      target.clear(c.clear);
      ASSERT_TRUE(renderer->renderAtTime(0, c.compositing));
      // The target's own blending is back in place.
      EXPECT_FALSE(gl::GLContext::current()->blend().enabled);
      out = read(texture);
    });
    EXPECT_TRUE(near(out.pixelColor(0, 0), c.expected));
  }
}

TEST_F(CompositionFixture, TextIsDrawnCentredAndRedrawnWhenItChanges) {
  const auto doc = document(file(
      state(
          {node("t", "QCText", {{"string", "HH"}, {"size", 24.0}}), splitter("in", "QCStringPort")},
          {connection("in", "output", "t", "string")}, {port("string", "in", "input")}),
      "t", {{"string", "HH"}}));
  ASSERT_TRUE(doc);
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  const auto inked = [](const QImage& image, QRect area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        count += image.pixelColor(x, y).alpha() > 128;
    return count;
  };
  const QImage text = render(*renderer, QSize(64, 32));
  ASSERT_FALSE(text.isNull());
  EXPECT_GT(inked(text, QRect(16, 4, 32, 24)), 20);  // white ink in the middle …
  EXPECT_EQ(inked(text, QRect(0, 0, 8, 32)), 0);     // … none at the edges
  EXPECT_TRUE(near(text.pixelColor(0, 0), QColor(0, 0, 0, 0)));
  renderer->setString("string", "");
  EXPECT_EQ(inked(render(*renderer, QSize(64, 32)), QRect(0, 0, 64, 32)), 0);
}

TEST_F(CompositionFixture, ImageFilesAreReadWithTheFileAndDrawnUpright) {
  QTemporaryDir dir;
  QImage picture(2, 2, QImage::Format_RGBA8888);
  picture.fill(Qt::blue);
  picture.setPixelColor(0, 0, Qt::red);
  picture.setPixelColor(1, 0, Qt::red);
  ASSERT_TRUE(picture.save(dir.filePath("picture.png")));
  const QString path = dir.filePath("picture.qtz");
  ASSERT_TRUE(PropertyList::write(
                  file(state({node("i", "QCImageFile", {{"file", "picture.png"}})}), "i"), path)
                  .isEmpty());
  QString error;
  auto doc = CompositionDocument::load(path, &error);
  ASSERT_TRUE(doc) << error.toStdString();
  QFile::remove(dir.filePath("picture.png"));  // read with the composition, not later
  auto renderer = rendererOf(doc);
  ASSERT_TRUE(renderer);
  const QImage out = render(*renderer, QSize(2, 2));
  EXPECT_TRUE(near(out.pixelColor(1, 0), Qt::red));
  EXPECT_TRUE(near(out.pixelColor(0, 1), Qt::blue));
}

TEST_F(CompositionFixture, ACpuImageSetAgainUnchangedIsNotUploadedAgain) {
  auto renderer = rendererOf(showDocument());
  ASSERT_TRUE(renderer);
  QImage picture = redOverBlue();
  for (int frame = 0; frame < 3; ++frame)
    render(*renderer, QSize(2, 2), 0, [&] { renderer->setImage("picture", picture); });
  auto* graph = dynamic_cast<GraphRenderer*>(renderer.get());
  ASSERT_TRUE(graph);
  EXPECT_EQ(graph->uploadCount(), 1u);
  picture.setPixelColor(0, 0, Qt::green);
  const QImage out =
      render(*renderer, QSize(2, 2), 0, [&] { renderer->setImage("picture", picture); });
  EXPECT_EQ(graph->uploadCount(), 2u);
  EXPECT_TRUE(near(out.pixelColor(0, 0), Qt::green));
}
