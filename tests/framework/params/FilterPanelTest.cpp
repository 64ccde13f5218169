#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/params/CIColorElement.h"
#include "framework/params/CIPositionElement.h"
#include "framework/params/CIRectangleElement.h"
#include "framework/params/CITapElement.h"
#include "framework/params/QCButtonElement.h"
#include "framework/params/QCElementHandOff.h"
#include "framework/params/QCSliderElement.h"
#include "framework/params/QKCIGLAttrContext.h"
#include "framework/params/QKPositionUI.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "tests/framework/controls/SliderFakes.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

#include <QApplication>
#include <QVector2D>
#include <QVector4D>

#include <thread>
#include <gtest/gtest.h>

using namespace FilterKeys;
using Kind = CIAttributeLoader::ElementKind;

namespace {

// A filter that keeps what it is given and, as its output, shows its input
// image (or, with `dot`, a 2 × 2 red dot at its centre).
class ProbeFilter : public image::Filter {
 public:
  using image::Filter::Filter;
  image::Image outputImage() override {
    const QVariant centre = input(QStringLiteral("inputCenter"));
    if (dot.load() && centre.isValid()) {
      const QVector2D c = centre.value<QVector2D>();
      return image::ImageContext::constantColor(Qt::red).byCropping(
          QRectF(c.x() - 1, c.y() - 1, 2, 2));
    }
    return imageInput(kInputImage);
  }
  QVariant given(const QString& key) const { return input(key); }
  std::atomic<bool> dot{false};
};

QVariantMap scalar(double min, double max, QVariantMap extra = {}) {
  QVariantMap attribute{{kType, kTypeScalar},
                        {kClass, kClassNumber},
                        {kMin, min},
                        {kMax, max},
                        {kDefault, (min + max) / 2}};
  for (auto it = extra.cbegin(); it != extra.cend(); ++it) attribute.insert(it.key(), it.value());
  return attribute;
}

// One filter of every kind of attribute, declared in this order.
const QStringList kProbeKeys = {"inputRadius", "inputHidden", "inputOn",
                                "inputCenter", "inputCrop",   "inputTint",
                                "inputWash",   "inputImage",  "inputMatrix"};

QVariantMap probeAttributes() {
  return {
      {"inputRadius",
       scalar(-100, 100, {{kSliderMin, 0}, {kSliderMax, 10}, {kUIParameterSet, kUISetBasic}})},
      {"inputHidden", scalar(0, 1)},
      {"inputOn", QVariantMap{{kType, kTypeBoolean}, {kClass, kClassNumber}, {kDefault, true}}},
      {"inputCenter", QVariantMap{{kType, kTypePosition}, {kClass, kClassVector}}},
      {"inputCrop", QVariantMap{{kType, kTypeRectangle}, {kClass, kClassVector}}},
      {"inputTint",
       QVariantMap{
           {kType, kTypeOpaqueColor}, {kClass, kClassColor}, {kDefault, QColor(255, 0, 0)}}},
      {"inputWash", QVariantMap{{kType, kTypeColor}, {kClass, kClassColor}}},
      {"inputImage", QVariantMap{{kType, kTypeImage}, {kClass, kClassImage}}},
      {"inputMatrix", QVariantMap{{kType, kTypeTransform}, {kClass, kClassTransform}}},
  };
}

std::shared_ptr<ProbeFilter> makeProbe(image::FilterRegistry& registry) {
  if (!registry.contains("ZAPHProbe"))
    registry.registerFilterName(
        "ZAPHProbe",
        [](const QString& name) { return std::make_shared<ProbeFilter>(name, kProbeKeys); },
        probeAttributes());
  auto filter = std::dynamic_pointer_cast<ProbeFilter>(registry.filterWithName("ZAPHProbe"));
  filter->setDefaults();
  return filter;
}

TEST(FilterPanelTest, AttributeTable) {
  const struct {
    QVariantMap attribute;
    Kind kind;
  } cases[] = {
      {scalar(0, 1), Kind::None},
      {scalar(0, 1, {{kUIParameterSet, kUISetBasic}}), Kind::Slider},
      {QVariantMap{{kType, kTypeAngle}, {kUIParameterSet, kUISetBasic}}, Kind::Slider},
      {QVariantMap{{kType, kTypeTime}}, Kind::None},
      {QVariantMap{{kType, kTypeBoolean}}, Kind::Button},
      {QVariantMap{{kType, kTypePosition}}, Kind::Position},
      {QVariantMap{{kType, kTypeRectangle}}, Kind::Rectangle},
      {QVariantMap{{kType, kTypeOpaqueColor}}, Kind::Color},
      {QVariantMap{{kType, kTypeColor}, {kClass, kClassColor}}, Kind::Color},
      {QVariantMap{{kType, kTypeImage}, {kClass, kClassImage}}, Kind::Tap},
      {QVariantMap{{kClass, kClassImage}}, Kind::Tap},
      {QVariantMap{{kType, kTypeTransform}, {kClass, kClassTransform}}, Kind::Unrecognized},
      {QVariantMap{{kType, kTypeInteger}}, Kind::Unrecognized},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CIAttributeLoader::classify(c.attribute), c.kind)
        << c.attribute.value(kType).toString().toStdString();
  EXPECT_EQ(CIAttributeLoader::startingPoint({}), QPointF(80, 60));
  EXPECT_EQ(CIAttributeLoader::startingPoint({{kDefault, QVariant::fromValue(QVector2D(5, 6))}}),
            QPointF(5, 6));
  EXPECT_EQ(CIAttributeLoader::startingPoint({{kDefault, QVariantList{7, 8}}}), QPointF(7, 8));
}

class FilterPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    loader.resize(300, 10);
    loader.setCanvasSize(QSizeF(320, 240));
    filter = makeProbe(registry);
    loader.loadAttributesForFilter(filter);
  }
  template <class T>
  std::shared_ptr<T> element(const QString& key) {
    return std::dynamic_pointer_cast<T>(loader.findElementWithKey(key));
  }
  // What the next frame hands the filter.
  void frame() { loader.dumpToFilter(); }

  image::FilterRegistry registry;
  std::shared_ptr<ProbeFilter> filter;
  LogCapture log;  // before the loader: its messages are caught
  CIAttributeLoader loader;
};

TEST_F(FilterPanel, BuildsOneElementPerAttributeInDeclaredOrder) {
  QStringList keys;
  for (const auto& made : loader.elementArray()) keys << made->key();
  EXPECT_EQ(keys, QStringList({"inputRadius", "inputOn", "inputCenter", "inputCrop", "inputTint",
                               "inputWash", "inputImage"}));
  EXPECT_TRUE(log.contains("\t\terr: unrecognized ci attr type: {"));
  EXPECT_TRUE(log.contains(kTypeTransform));
  ASSERT_EQ(loader.tapArray().size(), 1u);
  EXPECT_EQ(loader.tapArray()[0]->key(), "inputImage");

  auto radius = element<QCSliderElement>("inputRadius");
  ASSERT_TRUE(radius);
  EXPECT_FLOAT_EQ(radius->slider()->minRange(), 0);
  EXPECT_FLOAT_EQ(radius->slider()->maxRange(), 10);
  EXPECT_EQ(radius->slider()->sliderName(), "inputRadius");
  EXPECT_EQ(element<QCButtonElement>("inputOn")->button()->intValue(), 1);
  EXPECT_EQ(element<CIPositionElement>("inputCenter")->pointValue(), QPointF(80, 60));
  EXPECT_EQ(element<CIColorElement>("inputTint")->returnCIColor(), QColor(255, 0, 0));
  EXPECT_TRUE(element<CITapElement>("inputImage"));
  // The rows: slider 20, button 30, position 48, rectangle 90, two colours
  // 90, tap 34 (inset by 10), 4 between them.
  EXPECT_EQ(loader.height(), 20 + 30 + 48 + 90 + 90 + 90 + 34 + 6 * 4);
  EXPECT_EQ(loader.findElementWithKey("inputImage")->view()->geometry(),
            QRect(10, loader.height() - 34, 280, 34));
  EXPECT_EQ(loader.findElementWithKey("inputTint")->view()->height(), 90);
}

TEST_F(FilterPanel, ElementsReachTheFilterUnderTheirKeys) {
  frame();  // what the panel queued while it was made
  element<QCSliderElement>("inputRadius")->slider()->setValueWithRangedValue(7.5f, true);
  element<QCButtonElement>("inputOn")->button()->setIntValue(0, true);
  element<CIColorElement>("inputTint")->slider(1)->setValue(1.0f, true);
  auto center = element<CIPositionElement>("inputCenter");
  center->pad()->setXVal(0.25f);
  center->pad()->setYVal(0.75f);
  center->posnControlUsed();
  auto crop = element<CIRectangleElement>("inputCrop");
  crop->slider(CIRectangleElement::Right)->setValue(0.5f, true);
  QApplication::processEvents();  // the colour is told on the main thread
  frame();
  EXPECT_DOUBLE_EQ(filter->given("inputRadius").toDouble(), 7.5);
  EXPECT_EQ(filter->given("inputOn"), QVariant(false));
  EXPECT_EQ(filter->given("inputTint").value<QColor>(), QColor(255, 255, 0));
  // In the image plane, y upward: 0.75 of 240 from the bottom.
  EXPECT_EQ(filter->given("inputCenter").value<QVector2D>(), QVector2D(80, 180));
  EXPECT_EQ(filter->given("inputCrop").value<QVector4D>(), QVector4D(0, 0, 160, 240));
  EXPECT_FALSE(filter->given("inputImage").isValid());  // images come with the frame
}

TEST_F(FilterPanel, SnapshotsMatchSlidersByNameAndOthersByTitle) {
  auto radius = element<QCSliderElement>("inputRadius");
  radius->slider()->setValueWithRangedValue(2.0f, false);
  auto tint = element<CIColorElement>("inputTint");
  tint->setColorWithRed(0, 0, 1);
  const QVariantMap snapshot = loader.createSnapshot();
  ASSERT_TRUE(snapshot.contains("inputRadius") && snapshot.contains("inputTint"));

  radius->slider()->setValueWithRangedValue(9.0f, false);
  tint->setColorWithRed(1, 1, 1);
  // The entries' own keys do not matter: "sliderName" and "title" do.
  QVariantMap renamed;
  renamed.insert("a", snapshot.value("inputRadius"));
  renamed.insert("b", snapshot.value("inputTint"));
  loader.loadSnapshot(renamed);
  EXPECT_FLOAT_EQ(radius->slider()->rangedValue(), 2.0f);
  EXPECT_EQ(tint->returnCIColor(), QColor(0, 0, 255));

  radius->slider()->setValueWithRangedValue(9.0f, false);
  loader.deprecatedLoadSnapshot(snapshot);
  EXPECT_FLOAT_EQ(radius->slider()->rangedValue(), 2.0f);

  CIAttributeLoader empty;
  EXPECT_TRUE(empty.createSnapshot().isEmpty());
}

TEST_F(FilterPanel, ANullFilterOrADeletedPanelDoNothing) {
  loader.loadAttributesForFilter(nullptr);
  EXPECT_TRUE(log.contains("err:filter was nil on loadAttributesForFiter"));
  EXPECT_FALSE(loader.hasAttributes());
  EXPECT_FALSE(loader.dumpToFilter());
  loader.prepareToBeDeleted();
  loader.resizeAndReposition();
  EXPECT_TRUE(log.contains("err: attribute loader called resize and position after being deleted"));
}

// A slider bound to a source that MIDI or OSC sets on its own input thread
// drives the filter.
TEST_F(FilterPanel, ABoundSourceDrivesTheFilter) {
  FakeSliderManager manager;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  manager.controller = &dsc;
  dsc.setSliderManager(&manager);
  const KeyPath path{"OSC", "/radius"};
  auto source = DSFloatInfrequent::createWithName(path.last());
  ASSERT_TRUE(dsc.setDataSource(source, path));
  auto radius = element<QCSliderElement>("inputRadius");
  manager.add(radius->slider()->cellPtr());
  radius->slider()->useThisSource(path);
  radius->slider()->setSyncFlag(true);
  ASSERT_TRUE(radius->slider()->syncFlag());
  frame();
  std::thread input([&] { source->setValue(0.8f); });
  input.join();
  frame();
  EXPECT_NEAR(filter->given("inputRadius").toDouble(), 8.0, 1e-4);
  // The sliders leave the manager while it lives.
  loader.removeAllExistingElements();
  dsc.setSliderManager(nullptr);
}

// --- On the render thread -----------------------------------------------------------

gl::GLContext* mainContext() { return gl::RenderThread::instance().mainContext(); }

class FilterContextTest : public GLTest {
 protected:
  static constexpr int kWidth = 16;
  static constexpr int kHeight = 12;

  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    makeProbe(image::FilterRegistry::shared());
    gl::GLContext* shared = nullptr;
    onRenderThread([&] {
      shared = mainContext();
      buffer = QKBufferHolder::create(QSizeF(kWidth, kHeight));
      input = solidTexture(QSize(kWidth, kHeight), Qt::blue);
    });
    context = QKCIGLAttrContext::create(shared, &gl::TexturePool::shared(), QSizeF(kWidth, kHeight),
                                        "ZAPHProbe");
    ASSERT_TRUE(context);
    context->attributeLoader()->resize(300, 10);
  }
  void TearDown() override {
    if (context) {
      context->prepareToBeDeleted();
      onRenderThread([&] {
        context.reset();
        buffer.reset();
        input.reset();
      });
    }
    for (auto& source : sources) source->prepareToBeDeleted();
    GLTest::TearDown();
  }
  // One frame on `input`, read back top row first.
  QImage drawFrame() {
    QImage picture;
    onRenderThread([&] {
      context->setPBufferRef(buffer->bufferRef());
      context->render();
      context->drawImage(
          image::Image::withTexture(input, QSizeF(kWidth, kHeight), !input.isFlipped()));
      picture = read(context->textureRef());
    });
    return picture;
  }
  ProbeFilter& probe() { return dynamic_cast<ProbeFilter&>(*context->attributeLoader()->filter()); }
  // A source tap of that name showing `colour`, chosen by the tap element.
  void feedTap(const QString& key, const QString& name, const QColor& colour) {
    sources.push_back(InputTap::create(name));
    auto tap = std::dynamic_pointer_cast<CITapElement>(
        context->attributeLoader()->findElementWithKey(key));
    ASSERT_TRUE(tap);
    tap->menuController()->setLastSelectedName(name);
    tap->tapSourceChanged();
    auto stub = sources.back()->stub();
    ASSERT_TRUE(stub);
    onRenderThread([&] { stub->setTextureRef(solidTexture(QSize(kWidth, kHeight), colour)); });
  }

  QKTapManager tapManager;
  std::vector<std::shared_ptr<QKSTap>> sources;
  std::shared_ptr<QKCIGLAttrContext> context;
  QKBufferHolderPtr buffer;
  gl::TextureHandle input;
};

TEST_F(FilterContextTest, ATapWinsOverTheInputImageEvenForInputImage) {
  // No tap chosen: the input.
  EXPECT_TRUE(near(drawFrame().pixelColor(3, 3), Qt::blue));
  feedTap("inputImage", "Green", Qt::green);
  EXPECT_TRUE(near(drawFrame().pixelColor(3, 3), Qt::green));
  // Back to "<none>": the input again.
  auto tap = std::dynamic_pointer_cast<CITapElement>(
      context->attributeLoader()->findElementWithKey("inputImage"));
  tap->menuController()->setLastSelectedName(QString());
  tap->tapSourceChanged();
  EXPECT_FALSE(tap->getTexture());
  EXPECT_TRUE(near(drawFrame().pixelColor(3, 3), Qt::blue));
}

TEST_F(FilterContextTest, APositionAtThePadsTopLeftMarksThePicturesTopLeft) {
  auto center = std::dynamic_pointer_cast<CIPositionElement>(
      context->attributeLoader()->findElementWithKey("inputCenter"));
  ASSERT_TRUE(center);
  probe().dot.store(true);
  const struct {
    float x, y;    // on the pad, y from the bottom
    QPoint pixel;  // in the picture, top row first
  } cases[] = {
      {0, 1, {0, 0}},
      {1, 0, {kWidth - 1, kHeight - 1}},
      {0, 0, {0, kHeight - 1}},
  };
  for (const auto& c : cases) {
    center->pad()->setXVal(c.x);
    center->pad()->setYVal(c.y);
    center->posnControlUsed();
    const QImage picture = drawFrame();
    EXPECT_TRUE(near(picture.pixelColor(c.pixel), Qt::red)) << c.x << "," << c.y;
    EXPECT_EQ(picture.pixelColor(kWidth / 2, kHeight / 2).alpha(), 0);
  }
}

}  // namespace
