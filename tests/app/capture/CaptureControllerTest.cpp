#include "app/capture/QKSGController.h"
#include "app/capture/QKSGSTap.h"
#include "app/capture/QKSGVideoChannel.h"
#include "app/capture/QKSeqGrabber.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKNSOutlineView.h"
#include "framework/media/MediaNotifications.h"
#include "platform/capture/CaptureInput.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/app/sources/SourceFixture.h"
#include "tests/support/CaptureTestSupport.h"
#include "tests/support/Eventually.h"
#include "tests/support/GLTest.h"
#include "framework/toolkit/QKPaletteWindow.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <thread>

namespace {

// The real controller over a compositor, its inputs on FFmpeg's test
// sources; recordings go into a fresh folder.
class CaptureControllerTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    world_ = std::make_unique<SourceWorld>();
    folder_ = TestEnvironment::makeTempDir();
    UserDefaults::standard().setValue(QStringLiteral("UserVideoCaptureDirectoryPath"), folder_);
    QKSGController::MediaBinServices services;
    services.firstPageId = [] { return 7L; };
    controller_ = std::make_unique<QKSGController>(world_->compositor.get(), services);
    controller_->setDeviceChooser([] { return CaptureTestSupport::countingPattern(64, 48, 25); });
    world_->compositor->setCaptureRenderer(controller_.get());
    observers_.observe(MediaNotifications::kExportDone, nullptr, [this](const Notification& n) {
      exports_.push_back(n.userInfo);
      events_.push_back("export");
    });
    for (const QString& name :
         {QKSGController::kStartRecordingNotification, QKSGController::kStopRecordingNotification})
      observers_.observe(name, nullptr, [this](const Notification& n) {
        events_.push_back(n.name == QKSGController::kStartRecordingNotification ? "start" : "stop");
      });
    Alert::clearRecorded();
  }
  void TearDown() override {
    observers_.clear();
    if (controller_) world_->compositor->setCaptureRenderer(nullptr);
    controller_.reset();
    world_.reset();
    GLTest::TearDown();
  }

  QImage frame() {
    QImage pixels;
    onRenderThread([&] { pixels = drawCanvasFrame(*world_->compositor, QSize(640, 480)); });
    return pixels;
  }
  void settle(double seconds = 0.05) {
    MainThread::processUntil([] { return false; }, seconds);
  }
  static bool picturesArrive(QKSeqGrabber& input, uint64_t count = 3) {
    const uint64_t before = input.captureInput()->framesDecoded();
    return waitFor([&] { return input.captureInput()->framesDecoded() >= before + count; }, 5);
  }
  void setToggle(int value) {
    controller_->recordToggleButton()->setIntValue(value, false);
    controller_->recordToggleUsed();
  }

  std::unique_ptr<SourceWorld> world_;
  std::unique_ptr<QKSGController> controller_;
  QString folder_;
  std::vector<QVariantMap> exports_;
  std::vector<std::string> events_;
  NotificationObservers observers_;
};

TEST_F(CaptureControllerTest, InputsAreNamedByTheFirstFreeNumber) {
  auto first = controller_->addInputButtonClicked();
  auto second = controller_->addInputButtonClicked();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->tapName(), "VidIn 1");
  EXPECT_EQ(second->tapName(), "VidIn 2");
  EXPECT_TRUE(first->running());
  EXPECT_TRUE(world_->compositor->tapManager()->sTapKeyArray().contains("VidIn 2"));

  controller_->selectInput(first);
  controller_->deleteSelectedSequenceGrabber();
  EXPECT_EQ(controller_->inputs().size(), 1u);
  auto third = controller_->addInputButtonClicked();
  ASSERT_TRUE(third);
  EXPECT_EQ(third->tapName(), "VidIn 1");
}

TEST_F(CaptureControllerTest, DeleteWithoutSelectionChangesNothingAndFramesGoOn) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  controller_->outlineView()->clearSelection();
  controller_->deleteSelectedSequenceGrabber();
  EXPECT_EQ(controller_->inputs().size(), 1u);
  ASSERT_TRUE(picturesArrive(*input));
  frame();
  EXPECT_GE(input->videoChannel()->uploads(), 1u);
}

TEST_F(CaptureControllerTest, AMissingDeviceGivesTheAlertAndNoInput) {
  CaptureSettings missing;
  missing.devicePath = QStringLiteral("/dev/video9");
  EXPECT_FALSE(controller_->addInput(missing));
  EXPECT_TRUE(controller_->inputs().empty());
  const auto alerts = Alert::recorded();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].message, QKSeqGrabber::kNoChannelAlert);
}

TEST_F(CaptureControllerTest, ALayersTapShowsTheInputAndQuarterSizeHalvesIt) {
  CaptureSettings pattern = CaptureSettings::testPattern(QSize(64, 48), 30);
  auto input = controller_->addInput(pattern);
  ASSERT_TRUE(input);
  auto layer = world_->layer();
  layer->useSourceNamed(Layer::kVideoTap);
  ASSERT_TRUE(SourceWorld::tap(*layer).useTapNamed("VidIn 1"));
  ASSERT_TRUE(picturesArrive(*input));
  frame();
  frame();
  EXPECT_EQ(input->videoChannel()->sTap()->imageSize(), QSizeF(64, 48));
  const QImage pixels = frame();
  ASSERT_FALSE(pixels.isNull());
  int lit = 0;
  for (int x = 0; x < 640; x += 8)
    for (int y = 0; y < 480; y += 8)
      if (pixels.pixelColor(x, y).lightness() > 40) ++lit;
  EXPECT_GT(lit, 100) << "the test picture does not show";

  input->videoChannel()->setQuarterSizeState(true);
  EXPECT_TRUE(input->running());
  ASSERT_TRUE(picturesArrive(*input));
  frame();
  EXPECT_EQ(input->videoChannel()->sTap()->imageSize(), QSizeF(32, 24));
}

TEST_F(CaptureControllerTest, ACapturedPictureReachesTheTapWithinOneOutputFrame) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input && picturesArrive(*input));
  int late = 0;
  for (int i = 0; i < 20; ++i) {
    const auto decoded = input->captureInput()->newestFrame();
    frame();
    if (input->videoChannel()->publishedSerial() < decoded->serial()) ++late;
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  EXPECT_EQ(late, 0);
}

TEST_F(CaptureControllerTest, ABusyInputNeverMakesTheFrameWait) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input && picturesArrive(*input));
  frame();
  const uint64_t uploads = input->videoChannel()->uploads();
  std::atomic<bool> held{false}, release{false};
  std::thread holder([&] {
    std::lock_guard<std::recursive_mutex> lock(input->componentLock());
    held.store(true);
    while (!release.load()) std::this_thread::yield();
  });
  ASSERT_TRUE(waitFor([&] { return held.load(); }));
  ASSERT_TRUE(picturesArrive(*input));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(frame().isNull());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  EXPECT_EQ(input->videoChannel()->uploads(), uploads);  // published, not idled
  release.store(true);
  holder.join();
}

TEST_F(CaptureControllerTest, TheToggleStopsAnnouncesAndRestartsInOrder) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  setToggle(1);
  EXPECT_TRUE(controller_->recording());
  EXPECT_TRUE(controller_->recordingStartedFromMainButton());
  const QString path = input->recordedFilePath();
  EXPECT_TRUE(path.startsWith(folder_)) << path.toStdString();
  ASSERT_TRUE(picturesArrive(*input, 25));
  setToggle(0);
  EXPECT_EQ(events_, (std::vector<std::string>{"start", "export", "stop"}));
  ASSERT_EQ(exports_.size(), 1u);
  EXPECT_EQ(exports_[0].value("path").toString(), path);
  EXPECT_EQ(exports_[0].value("tapName").toString(), "VidIn 1");
  EXPECT_EQ(exports_[0].value("autoAddTagVal").toLongLong(), 7);
  EXPECT_EQ(exports_[0].value("autoAddBinName").toString(), "<none>");
  EXPECT_TRUE(exports_[0].value("autoAddState").toBool());
  EXPECT_TRUE(input->running());
  const auto probe = CaptureTestSupport::probe(path, 25);
  EXPECT_TRUE(probe.error.isEmpty());
  EXPECT_GE(probe.pts.size(), 25u);
}

TEST_F(CaptureControllerTest, AQuarterSizeChangeWhileRecordingSplitsTheFile) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  setToggle(1);
  ASSERT_TRUE(picturesArrive(*input, 5));
  input->videoChannel()->setQuarterSizeState(true);
  ASSERT_TRUE(picturesArrive(*input, 5));
  setToggle(0);
  ASSERT_EQ(exports_.size(), 2u);
  EXPECT_NE(exports_[0].value("path"), exports_[1].value("path"));
  EXPECT_EQ(CaptureTestSupport::probe(exports_[0].value("path").toString(), 25).width, 64);
  EXPECT_EQ(CaptureTestSupport::probe(exports_[1].value("path").toString(), 25).width, 32);
}

TEST_F(CaptureControllerTest, RightClickRecordingStartsOnlyWhileTheToggleIsOff) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  controller_->startRecordingFromRightClick();
  EXPECT_TRUE(controller_->recording());
  EXPECT_FALSE(controller_->recordingStartedFromMainButton());
  EXPECT_EQ(controller_->recordToggleButton()->intValue(), 1);
  ASSERT_TRUE(picturesArrive(*input, 3));
  controller_->stopRecordingFromExternalSource();
  ASSERT_EQ(exports_.size(), 1u);
  EXPECT_FALSE(exports_[0].value("autoAddState").toBool());
  EXPECT_FALSE(controller_->recording());

  setToggle(1);
  events_.clear();
  controller_->startRecordingFromRightClick();
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(controller_->recordingStartedFromMainButton());
  setToggle(0);
}

TEST_F(CaptureControllerTest, AnInputWithoutTheRecordFlagWritesNothing) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  input->setRecordFlag(false);
  setToggle(1);
  EXPECT_TRUE(input->recordedFilePath().isEmpty());
  setToggle(0);
  EXPECT_TRUE(exports_.empty());
  EXPECT_TRUE(QDir(folder_).entryList(QDir::Files).isEmpty());
}

TEST_F(CaptureControllerTest, AnUnwritableFolderIsReportedAndRecordsNothing) {
  UserDefaults::standard().setValue(QStringLiteral("UserVideoCaptureDirectoryPath"),
                                    QStringLiteral("/proc/no-such-folder"));
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  setToggle(1);
  EXPECT_TRUE(input->running());
  EXPECT_TRUE(input->recordedFilePath().isEmpty());
  setToggle(0);
  EXPECT_TRUE(exports_.empty());
  settle();
  EXPECT_FALSE(Alert::recorded().empty());
}

TEST_F(CaptureControllerTest, SnapshotsRestoreInputsAndNeverRecording) {
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  input->setRecordFlag(false);
  input->setAutoAddTagVal(-1);
  input->setAutoAddBinName("Media Bin");
  input->videoChannel()->setQuarterSizeState(true);
  setToggle(1);
  const QVariantMap saved = controller_->createSnapshot();
  setToggle(0);

  controller_->loadSnapshot(saved);
  EXPECT_FALSE(controller_->recording());
  EXPECT_EQ(controller_->recordToggleButton()->intValue(), 0);
  ASSERT_EQ(controller_->inputs().size(), 1u);
  auto restored = controller_->inputs()[0];
  EXPECT_EQ(restored->tapName(), "VidIn 1");
  EXPECT_FALSE(restored->recordFlag());
  EXPECT_EQ(restored->destination().tag, -1);
  EXPECT_EQ(restored->destination().binName, "Media Bin");
  EXPECT_TRUE(restored->videoChannel()->quarterSizeState());
  EXPECT_TRUE(restored->running());
  EXPECT_TRUE(restored->recordedFilePath().isEmpty());

  // No "seqSnapArray": no inputs, none running.
  controller_->loadSnapshot({});
  EXPECT_TRUE(controller_->inputs().empty());
}

TEST_F(CaptureControllerTest, AnInputThatCannotOpenStaysListedWithItsSettings) {
  CaptureSettings missing;
  missing.devicePath = QStringLiteral("/dev/video9");
  missing.format = QStringLiteral("mjpeg");
  const QVariantMap stored{{"seqGrabberSettings", missing.toPropertyList()},
                           {"channelName", "VidIn 3"},
                           {"recordFlag", true}};
  controller_->loadSnapshot({{"seqSnapArray", QVariantList{stored}}});
  ASSERT_EQ(controller_->inputs().size(), 1u);
  auto input = controller_->inputs()[0];
  EXPECT_FALSE(input->online());
  EXPECT_FALSE(input->running());
  EXPECT_EQ(input->tapName(), "VidIn 3");
  const QVariantMap back = controller_->createSnapshot()["seqSnapArray"].toList()[0].toMap();
  EXPECT_EQ(back["seqGrabberSettings"], stored["seqGrabberSettings"]);
  frame();  // an offline input renders nothing
}

TEST_F(CaptureControllerTest, OldUnreadableSettingsTakeTheFirstFreeDevice) {
  const QVariantMap stored{{"seqGrabberSettings", QByteArray("\x00\x01qtsettings", 13)},
                           {"channelName", "VidIn 1"}};
  controller_->loadSnapshot({{"seqSnapArray", QVariantList{stored}}});
  ASSERT_EQ(controller_->inputs().size(), 1u);
  EXPECT_TRUE(controller_->inputs()[0]->online());
  EXPECT_TRUE(controller_->inputs()[0]->running());
}

}  // namespace

namespace {

TEST_F(CaptureControllerTest, ASourceThatFailsStopsOnTheMainThreadAndAnnouncesItsFile) {
  const QString source = QDir(folder_).filePath("short.mov");
  ASSERT_EQ(CaptureTestSupport::writeMjpegFile(source, 12, 64, 48, 25), QString());
  CaptureSettings file;
  file.backend = CaptureSettings::Backend::File;
  file.devicePath = source;
  auto input = controller_->addInput(file);
  ASSERT_TRUE(input);
  setToggle(1);
  // The file ends after half a second, as an unplugged camera would.
  ASSERT_TRUE(waitFor(
      [&] {
        settle(0.01);
        return !exports_.empty();
      },
      5));
  EXPECT_FALSE(input->running());
  EXPECT_EQ(exports_.size(), 1u);
  settle();
  bool told = false;
  for (const auto& alert : Alert::recorded()) told |= alert.message.contains("VidIn 1");
  EXPECT_TRUE(told);
  const auto probe = CaptureTestSupport::probe(exports_[0].value("path").toString(), 25);
  EXPECT_EQ(probe.pts.size(), 12u);
  setToggle(0);
  EXPECT_EQ(exports_.size(), 1u);
}

TEST_F(CaptureControllerTest, LookOfThePalette) {
  controller_->awakeFromNib();
  auto input = controller_->addInputButtonClicked();
  ASSERT_TRUE(input);
  controller_->window()->show();
  settle(0.3);
  const QString path = QDir(TestEnvironment::rootDir()).filePath("capture-palette.png");
  controller_->window()->grab().save(path);
  if (qEnvironmentVariableIsSet("ZAPH_SCREENSHOT_DIR"))
    controller_->window()->grab().save(
        QDir(qEnvironmentVariable("ZAPH_SCREENSHOT_DIR")).filePath("capture-palette.png"));
  EXPECT_TRUE(QFileInfo::exists(path));
}

}  // namespace
