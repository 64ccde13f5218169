// Compositions from the "plugins" folder played as plug-ins: which files
// become types, making, naming and renaming them, the refresh button, the
// snapshot, the video-input warning, the frames and their end, and the
// outputs reaching the data-source tree, a slider and a tap receiver.
#include "tests/app/qcplugin/QCPluginFixture.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSource.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCFormLoader.h"
#include "framework/params/QCSliderElement.h"
#include "framework/params/QKQCGLAttrPubBuffContext.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/taps/QKRTap.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/gl/RenderThread.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QFile>
#include <QTest>

#include <atomic>
#include <thread>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

std::shared_ptr<QCSliderElement> sliderElement(const QKGenericQCPlugin& plugin, int index) {
  const auto& elements = plugin.contextHolder()->attributeLoader()->elementArray();
  if (index >= int(elements.size())) return {};
  return std::dynamic_pointer_cast<QCSliderElement>(elements[size_t(index)]);
}

TEST_F(QCPluginTest, OnlyAPropertyListDictionaryIsAType) {
  const QString folder = userPluginsFolder();
  const struct {
    const char* file;
    QByteArray bytes;
    bool valid;
  } cases[] = {
      {"Text.qtz", "not a property list at all", false},
      {"Array.qtz",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
       "<string>rootPatch</string></array></plist>\n",
       false},
      {"Dict.qtz",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
       "<key>category</key><string>Test</string></dict></plist>\n",
       true},
  };
  for (const auto& c : cases) {
    writeBytes(folder + "/" + c.file, c.bytes);
    EXPECT_EQ(QKGenericQCPlugin::isValidQCPluginAtPath(folder + "/" + c.file), c.valid) << c.file;
  }
  manager->reloadPluginClasses();
  for (const auto& c : cases) EXPECT_EQ(manager->registry().contains(c.file), c.valid) << c.file;
}

TEST_F(QCPluginTest, AFileGoneSinceTheListingMakesNothing) {
  const QString path = writePluginComposition("Gone.qtz", {});
  manager->reloadPluginClasses();
  ASSERT_TRUE(QFile::remove(path));
  LogCapture log;
  EXPECT_EQ(manager->instantiatePluginType("Gone.qtz"), nullptr);
  EXPECT_TRUE(log.lines().contains("\t\terror: newPlugin is nil"))
      << log.lines().join("|").toStdString();
  EXPECT_TRUE(manager->pluginArray().isEmpty());
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(QCPluginTest, TheTypeIsTheFileNameAndThePaletteIsAnnounced) {
  QStringList announced;
  NotificationObservers observers;
  observers.observe(
      QString::fromLatin1(PaletteNotifications::AddPluginWindow), nullptr,
      [&](const Notification& n) { announced << static_cast<QKWindow*>(n.object)->title(); });
  QKGenericQCPlugin* plugin = make("Glow.qtz", {{"amount"}});
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->name(), "Glow.qtz");
  EXPECT_EQ(plugin->windowTitle(), "Glow.qtz 1");
  EXPECT_TRUE(manager->sortedPluginClassKeys().contains("Glow.qtz"));
  EXPECT_EQ(announced, QStringList{"Glow.qtz 1"});
  ASSERT_TRUE(plugin->contextHolder());
  EXPECT_EQ(plugin->contextHolder()->size(), QSizeF(320, 240));
  EXPECT_EQ(plugin->contextHolder()->publisherCatName(), "Glow.qtz 1");
  EXPECT_EQ(inputKeys(*plugin), QStringList{"amount"});
  EXPECT_EQ(plugin->scrollView()->documentView(), plugin->contextHolder()->attributeLoader());
  EXPECT_TRUE(Alert::recorded().empty());
  EXPECT_EQ(manager->instantiatePluginType("Glow.qtz")->windowTitle(), "Glow.qtz 2");
}

TEST_F(QCPluginTest, RenamingMovesThePublishedSourcesAndTheTap) {
  QKGenericQCPlugin* plugin = make("Glow.qtz");
  ASSERT_NE(plugin, nullptr);
  frame();
  EXPECT_NEAR(valueAt({"Glow.qtz 1", "level"}), 0.7f, 1e-4f);
  ASSERT_TRUE(manager->renamePlugin(plugin, "Halo"));
  EXPECT_FALSE(dsc.dataSourceForKeyArray({"Glow.qtz 1"}));
  frame();
  EXPECT_NEAR(valueAt({"Halo", "level"}), 0.7f, 1e-4f);
  bool listed = false;
  for (const QKTapMenuItem& item : compositor->tapManager()->sortedSTapMenu())
    listed |= item.tapName == QLatin1String("Halo:frame");
  EXPECT_TRUE(listed);
}

TEST_F(QCPluginTest, RefreshReadsTheEditedFile) {
  QKGenericQCPlugin* plugin = make("Glow.qtz", {{"amount"}});
  ASSERT_NE(plugin, nullptr);
  plugin->window();
  writePluginComposition("Glow.qtz", {{"amount", "gain"}});
  EXPECT_EQ(inputKeys(*plugin), QStringList{"amount"});
  plugin->refreshButton()->setIntValue(1, true);
  plugin->refreshButton()->setIntValue(0, true);
  settle();
  EXPECT_EQ(inputKeys(*plugin), QStringList({"amount", "gain"}));
  EXPECT_EQ(plugin->scrollView()->documentView(), plugin->contextHolder()->attributeLoader());
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(QCPluginTest, TheSnapshotHoldsThePanelOnlyWhenThereIsOne) {
  const struct {
    const char* file;
    QStringList inputs;
    bool panel;
  } cases[] = {{"Plain.qtz", {}, false}, {"Knob.qtz", {"amount"}, true}};
  for (const auto& c : cases) {
    QKGenericQCPlugin* plugin = make(c.file, {c.inputs});
    ASSERT_NE(plugin, nullptr);
    const QVariantMap snapshot = plugin->createSnapshot();
    const QVariantMap super = snapshot.value("superSnap").toMap();
    EXPECT_EQ(super.value("name"), c.file);
    EXPECT_EQ(super.value("windowTitle"), QString(c.file) + " 1");
    EXPECT_EQ(snapshot.contains("QCAttributeSnapshot"), c.panel) << c.file;
  }
}

TEST_F(QCPluginTest, APanelValueComesBackFromTheSnapshotAndAPresetMakesThePluginAgain) {
  QKGenericQCPlugin* plugin = make("Knob.qtz", {{"amount"}});
  ASSERT_NE(plugin, nullptr);
  ASSERT_TRUE(sliderElement(*plugin, 0));
  sliderElement(*plugin, 0)->slider()->setValue(0.75f, true);
  const QVariantMap snapshot = plugin->createSnapshot();
  sliderElement(*plugin, 0)->slider()->setValue(0.1f, true);
  plugin->loadSnapshot(snapshot);
  EXPECT_FLOAT_EQ(sliderElement(*plugin, 0)->slider()->value(), 0.75f);

  // A snapshot without a panel leaves the panel as it is.
  plugin->loadSnapshot({{"superSnap", snapshot.value("superSnap")}});
  EXPECT_FLOAT_EQ(sliderElement(*plugin, 0)->slider()->value(), 0.75f);

  // Through the manager's part of a preset.
  const QVariantList preset = manager->createSnapshot();
  manager->deleteAllPlugins();
  manager->loadSnapshot(preset);
  ASSERT_EQ(manager->pluginArray().size(), 1);
  auto* restored = qobject_cast<QKGenericQCPlugin*>(manager->pluginArray().front());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->windowTitle(), "Knob.qtz 1");
  EXPECT_FLOAT_EQ(sliderElement(*restored, 0)->slider()->value(), 0.75f);
}

TEST_F(QCPluginTest, AVideoInputLeavesAnEmptyPanelAndOneWarning) {
  Alert::scriptAnswers({"Okay"});
  QKGenericQCPlugin* plugin = make("Camera.qtz", {{"amount"}, true, true});
  ASSERT_NE(plugin, nullptr);
  EXPECT_FALSE(plugin->contextHolder()->composition());
  EXPECT_TRUE(inputKeys(*plugin).isEmpty());
  const auto alerts = Alert::recorded();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Hang on a second....");
  EXPECT_EQ(alerts[0].buttons, QStringList{"Okay"});
  EXPECT_TRUE(alerts[0].message.contains("composition")) << alerts[0].message.toStdString();
  EXPECT_TRUE(alerts[0].message.contains("video input"));
  EXPECT_FALSE(alerts[0].message.contains("Quartz"));
  frame();  // nothing to play, nothing breaks
  EXPECT_EQ(plugin->drawCount(), 1);

  // Hidden behind fullscreen output: no warning, the plug-in all the same.
  Alert::clearRecorded();
  compositor->setModalHiddenTest([] { return true; });
  EXPECT_NE(manager->instantiatePluginType("Camera.qtz"), nullptr);
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(QCPluginTest, TheWarningFromAnotherThreadIsQueuedNotAwaited) {
  QKGenericQCPlugin* plugin = make("Glow.qtz");
  ASSERT_NE(plugin, nullptr);
  Alert::scriptAnswers({"Okay"});
  std::atomic<bool> returned{false};
  std::thread caller([&] {
    plugin->openVideoInputQCWarning();
    returned = true;
  });
  // The main thread runs no event meanwhile: a caller waiting for it would
  // still be waiting.
  for (int i = 0; i < 200 && !returned; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(returned);
  EXPECT_TRUE(Alert::recorded().empty());
  settle();
  caller.join();
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].buttons, QStringList{"Okay"});
}

TEST_F(QCPluginTest, NoFrameAfterPrepareToBeDeletedAndTheContextGoesAfterTheFrame) {
  QKGenericQCPlugin* plugin = make("Glow.qtz");
  ASSERT_NE(plugin, nullptr);
  std::weak_ptr<QKQCGLAttrPubBuffContext> context = plugin->contextHolder();
  const std::size_t pending = DeferredReleaseArrays::shared().pendingRenderers();

  // Frames run back to back on the render thread while the plug-in goes.
  std::atomic<bool> running{true};
  std::atomic<int> frames{0};
  std::function<void()> loop = [&] {
    compositor->lockForRender();
    compositor->drawPreviews();
    compositor->unlockRender();
    frames.fetch_add(1);
    if (running) gl::RenderThread::instance().post(loop);
  };
  gl::RenderThread::instance().post(loop);
  ASSERT_TRUE(MainThread::processUntil([&] { return plugin->drawCount() > 3; }, 5.0));
  plugin->prepareToBeDeleted();
  const long drawn = plugin->drawCount();
  EXPECT_FALSE(context.expired()) << "held for the render thread to let go";
  EXPECT_EQ(DeferredReleaseArrays::shared().pendingRenderers(), pending + 1);
  const int framesAtDeletion = frames.load();
  ASSERT_TRUE(MainThread::processUntil([&] { return frames.load() > framesAtDeletion + 5; }, 5.0));
  EXPECT_EQ(plugin->drawCount(), drawn);
  running = false;
  onRenderThread([] { DeferredReleaseArrays::shared().purgeRenderers(); });
  EXPECT_TRUE(context.expired());
  manager->deleteAllPlugins();
}

TEST_F(QCPluginTest, OutputsReachTheTreeASliderAndATapReceiver) {
  QKGenericQCPlugin* plugin = make("Glow.qtz");
  ASSERT_NE(plugin, nullptr);
  auto receiver = QKRTap::create();
  receiver->useTapNamed("Glow.qtz 1:frame");
  QKSliderControl slider;
  ASSERT_TRUE(slider.useThisSource(KeyPath{"Glow.qtz 1", "level"}));
  slider.setSyncFlag(true);
  ASSERT_TRUE(MainThread::processUntil(
      [&] {
        frame();
        return std::abs(valueAt({"Glow.qtz 1", "level"}) - 0.7f) < 1e-4f &&
               std::abs(slider.value() - 0.7f) < 1e-3f;
      },
      5.0))
      << valueAt({"Glow.qtz 1", "level"}) << " slider " << slider.value();
  QImage received;
  onRenderThread([&] {
    if (gl::TextureHandle texture = receiver->getTextureRef()) received = read(texture);
  });
  ASSERT_FALSE(received.isNull());
  EXPECT_EQ(received.size(), QSize(320, 240));
  EXPECT_TRUE(near(received.pixelColor(160, 120), Qt::green));
  slider.setSyncFlag(false);
  receiver->prepareToBeDeleted();
}

const char kForm[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Panel</class>
 <widget class="QWidget" name="Panel">
  <property name="geometry"><rect><x>0</x><y>0</y><width>260</width><height>60</height></rect></property>
  <widget class="QKSliderControl" name="amountSlider">
   <property name="geometry"><rect><x>10</x><y>20</y><width>240</width><height>20</height></rect></property>
   <property name="key" stdset="0"><string>amount</string></property>
  </widget>
 </widget>
 <customwidgets>
  <customwidget><class>QKSliderControl</class><extends>QWidget</extends><header>QKSliderControl.h</header></customwidget>
 </customwidgets>
</ui>
)";

TEST_F(QCPluginTest, AFormBesideTheCompositionLaysOutThePanel) {
  if (!QCFormLoader::available()) GTEST_SKIP() << "this build reads no Designer forms";
  writeBytes(userPluginsFolder() + "/Knob.ui", kForm);
  QKGenericQCPlugin* plugin = make("Knob.qtz", {{"amount"}});
  ASSERT_NE(plugin, nullptr);
  QCAttributeLoader* loader = plugin->contextHolder()->attributeLoader();
  ASSERT_TRUE(loader->topNibView());
  EXPECT_EQ(loader->topNibViewNativeSize(), QSizeF(260, 60));
  ASSERT_EQ(inputKeys(*plugin), QStringList{"amount"});
  EXPECT_TRUE(qobject_cast<QKSliderControl*>(loader->elementArray()[0]->view()));
}

TEST_F(QCPluginTest, ThePaletteShowsThePanel) {
  QKGenericQCPlugin* plugin = make("Glow.qtz", {{"amount", "gain", "speed"}});
  ASSERT_NE(plugin, nullptr);
  QKWindow* window = plugin->window();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  settle(0.2);
  EXPECT_TRUE(plugin->scrollView()->isVisible());
  EXPECT_TRUE(
      plugin->contextHolder()->attributeLoader()->elementArray().front()->view()->isVisible());
  EXPECT_FALSE(saveScreenshot(window->grab().toImage(), "composition-plugin-palette").isEmpty());
}

}  // namespace
