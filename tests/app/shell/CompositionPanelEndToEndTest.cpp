// Composition panels in ZAPH's process: "Tint.qtz" played by a publishing
// context whose amount slider follows an OSC address over loopback, a
// composition's outputs reaching the data-source tree, the menus and a tap
// receiver, and a panel shown in a palette.
#include "app/shell/AppController.h"

#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCSliderElement.h"
#include "framework/params/QKQCGLAttrPubContext.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/RenderThread.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/GLTest.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QTest>

#include <functional>

namespace {

class CompositionPanelInZaph : public testing::Test {
 protected:
  CompositionPanelInZaph() { UserDefaults::standard().resetForTesting(); }

  std::shared_ptr<QKQCGLAttrPubContext> makeContext(const QString& path, bool publish,
                                                    const QString& category = {}) {
    auto context =
        QKQCGLAttrPubContext::create(QString(), gl::RenderThread::instance().mainContext(),
                                     &gl::TexturePool::shared(), QSizeF(8, 8), publish);
    if (!context) return nullptr;
    context->setPublisherCatName(category);
    context->useFile(path);
    return context;
  }
  // One frame of the context, with `before` run between its render and its
  // draw (as an owner sets its image inputs); the picture drawn.
  QImage frame(QKQCGLAttrPubContext& context,
               const std::function<void(composition::QCRenderer&)>& before = {}) {
    QImage picture;
    gl::RenderThread::instance().invokeAndWait([&] {
      context.setPBufferRef(buffer->bufferRef());
      context.render();
      if (before && context.renderer()) before(*context.renderer());
      context.draw();
      if (context.textureRef()) picture = GLTest::read(context.textureRef());
    });
    return picture;
  }

  AppController controller;
  QKBufferHolderPtr buffer = QKBufferHolder::create(QSizeF(8, 8));
};

void send(int port, const QString& address, float value) {
  OSCOutPort out(QStringLiteral("127.0.0.1"), port, QStringLiteral("console"));
  auto message = OSCMessage::createWithAddress(address);
  message->addFloat(value);
  ASSERT_TRUE(out.sendThisMessage(*message));
}

TEST_F(CompositionPanelInZaph, AnOSCBoundSliderChangesTheNextFramesPixels) {
  auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  const QString path = QCUtils::pathForQCFXNamed(QStringLiteral("Tint.qtz"));
  ASSERT_FALSE(path.isEmpty());
  auto context = makeContext(path, false);
  ASSERT_TRUE(context);
  EXPECT_EQ(context->dataSourceController(), controller.dataSourceController());
  EXPECT_EQ(context->masterClock(), controller.masterClock());
  auto amount = std::dynamic_pointer_cast<QCSliderElement>(
      context->attributeLoader()->findElementWithKey(QStringLiteral("amount")));
  ASSERT_TRUE(amount);
  QKSliderControl& slider = *amount->slider();
  slider.useThisSource(KeyPath{"OSC", "/tint/amount"});
  slider.setSyncFlag(true);
  ASSERT_TRUE(slider.syncFlag());

  gl::TextureHandle white;
  gl::RenderThread::instance().invokeAndWait(
      [&] { white = GLTest::solidTexture(QSize(8, 8), Qt::white); });
  const auto whiteInput = [&](composition::QCRenderer& renderer) {
    renderer.setImage(QStringLiteral("inputImage"), white);
  };
  const auto sendAndWait = [&](float value) {
    send(in->port(), QStringLiteral("/tint/amount"), value);
    ASSERT_TRUE(MainThread::processUntil([&] { return slider.rangedValue() == value; }, 5.0));
  };

  sendAndWait(0.0f);
  const QImage untinted = frame(*context, whiteInput);
  ASSERT_FALSE(untinted.isNull());
  EXPECT_TRUE(GLTest::near(untinted.pixelColor(4, 4), Qt::white));

  sendAndWait(1.0f);
  const QImage tinted = frame(*context, whiteInput);
  ASSERT_FALSE(tinted.isNull());
  // White tinted by (1, 0.5, 0): red stays, green halves or a little less
  // (the pulse of the measure), blue goes.
  EXPECT_GT(tinted.pixelColor(4, 4).red(), 250);
  EXPECT_LT(tinted.pixelColor(4, 4).green(), 200);
  EXPECT_LT(tinted.pixelColor(4, 4).blue(), 130);
  slider.setSyncFlag(false);
}

// Outputs level 0.7, hit (true), tint (1, 0.5, 0), handXY (0.25, 0.75) and
// the image frame (green), each through a splitter.
QString writeOutputsComposition() {
  const auto splitter = [](const QString& key, const QString& portClass, const QVariant& value) {
    QVariantMap state{{"portClass", portClass}};
    if (value.isValid()) state.insert("value", value);
    return QVariantMap{{"key", key}, {"class", "QCSplitter"}, {"state", state}};
  };
  const auto port = [](const QString& key) {
    return QVariantMap{{"key", key}, {"node", key}, {"port", "output"}};
  };
  const QVariantList nodes{
      splitter("level", "QCNumberPort", 0.7),
      splitter("hit", "QCBooleanPort", true),
      splitter("tint", "QCColorPort", QVariantMap{{"red", 1.0}, {"green", 0.5}, {"blue", 0.0}}),
      splitter("handXY", "QCStructurePort", QVariantList{0.25, 0.75}),
      splitter("frame", "QCGLImagePort", {}),
      QVariantMap{
          {"key", "green"},
          {"class", "QCGLSLShader"},
          {"state", QVariantMap{{"fragmentSource",
                                 "vec4 shaderMain() { return vec4(0.0, 1.0, 0.0, 1.0); }"}}}}};
  const QVariantList connections{QVariantMap{{"sourceNode", "green"},
                                             {"sourcePort", "outputImage"},
                                             {"destinationNode", "frame"},
                                             {"destinationPort", "input"}}};
  const QVariantMap state{
      {"nodes", nodes},
      {"connections", connections},
      {"publishedInputPorts", QVariantList{}},
      {"publishedOutputPorts",
       QVariantList{port("level"), port("hit"), port("tint"), port("handXY"), port("frame")}}};
  const QString path = TestEnvironment::makeTempDir() + QStringLiteral("/Outputs.qtz");
  EXPECT_EQ(PropertyList::write(QVariantMap{{"rootPatch", QVariantMap{{"state", state}}}}, path),
            QString());
  return path;
}

void collectPaths(const DataSourceMenu& menu, QList<KeyPath>& paths) {
  for (const DataSourceMenuItem& item : menu.items) {
    if (item.enabled) paths << item.keyPath;
    if (item.submenu) collectPaths(*item.submenu, paths);
  }
}

TEST_F(CompositionPanelInZaph, OutputsReachTheDataSourceTreeTheMenusAndATapReceiver) {
  DataSourceController& sources = *controller.dataSourceController();
  auto context = makeContext(writeOutputsComposition(), true, QStringLiteral("Fixture"));
  ASSERT_TRUE(context);
  auto receiver = QKRTap::create();
  receiver->useTapNamed(QStringLiteral("Fixture:frame"));

  const auto valueAt = [&](const KeyPath& path) {
    auto source = sources.dataSourceForKeyArray(path);
    return source ? source->value() : -1.0f;
  };
  const auto arrived = [&] {
    frame(*context);
    return std::abs(valueAt({"Fixture", "level"}) - 0.7f) < 1e-4f &&
           valueAt({"Fixture", "hit"}) == 1.0f &&
           std::abs(valueAt({"Fixture", "handXY", "Y"}) - 0.75f) < 1e-4f &&
           std::abs(valueAt({"Fixture", "tint", "G"}) - 0.5f) < 1e-4f;
  };
  ASSERT_TRUE(MainThread::processUntil(arrived, 5.0))
      << valueAt({"Fixture", "level"}) << " " << valueAt({"Fixture", "hit"});
  EXPECT_FLOAT_EQ(valueAt({"Fixture", "tint", "R"}), 1.0f);
  EXPECT_FLOAT_EQ(valueAt({"Fixture", "handXY", "X"}), 0.25f);

  QList<KeyPath> leaves, colours, points;
  collectPaths(sources.getDataSourcesMenu(), leaves);
  collectPaths(sources.getColorDataSourcesMenu(), colours);
  collectPaths(sources.getPointDataSourcesMenu(), points);
  EXPECT_TRUE(leaves.contains(KeyPath{"Fixture", "level"}));
  EXPECT_TRUE(leaves.contains(KeyPath{"Fixture", "hit"}));
  EXPECT_TRUE(colours.contains(KeyPath{"Fixture", "tint"}));
  EXPECT_TRUE(points.contains(KeyPath{"Fixture", "handXY"}));

  bool listed = false;
  for (const QKTapMenuItem& item : controller.tapManager()->sortedSTapMenu())
    listed |= item.tapName == QLatin1String("Fixture:frame");
  EXPECT_TRUE(listed) << "the image output is in the tap menu";
  QImage received;
  gl::RenderThread::instance().invokeAndWait([&] {
    if (gl::TextureHandle texture = receiver->getTextureRef()) received = GLTest::read(texture);
  });
  ASSERT_FALSE(received.isNull());
  EXPECT_TRUE(
      GLTest::near(received.pixelColor(received.width() / 2, received.height() / 2), Qt::green));
  receiver->prepareToBeDeleted();
  context->removeAllPublishedSources();
  EXPECT_FALSE(sources.dataSourceForKeyArray({"Fixture"}));
}

TEST_F(CompositionPanelInZaph, APanelInAPalette) {
  const QString path = QCUtils::pathForQCFXNamed(QStringLiteral("Tint.qtz"));
  auto context = makeContext(path, false);
  ASSERT_TRUE(context);
  QKWindow palette(QRectF(200, 200, 280, 160));
  palette.setTitle(QStringLiteral("Tint"));
  palette.setContentView(new QKWindowContentView);
  QWidget* body = palette.contentView()->body();
  auto* scroll = new QKQCScrollView(body);
  scroll->setFrame(body->rect());
  context->setParentScrollView(scroll);
  palette.show();
  palette.awakeFromNib();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&palette));
  scroll->setFrame(body->rect());
  MainThread::processUntil([] { return false; }, 0.2);
  QCAttributeLoader& loader = *context->attributeLoader();
  EXPECT_EQ(loader.parentWidget(), scroll->viewport());
  EXPECT_EQ(loader.width(), scroll->viewport()->width());
  ASSERT_FALSE(loader.elementArray().empty());
  EXPECT_TRUE(loader.elementArray().front()->view()->isVisible());
  EXPECT_FALSE(saveScreenshot(palette.grab().toImage(), "composition-panel-palette").isEmpty());
}

}  // namespace
