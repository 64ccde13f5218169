#include "platform/capture/CaptureInput.h"
#include "platform/capture/CaptureSettings.h"
#include "tests/support/CaptureTestSupport.h"
#include "tests/support/Eventually.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {
int step(int luma) { return CaptureTestSupport::stepOfFullRangeLuma(luma); }

// Every recorded picture follows the one before by one frame of the pattern.
void expectConsecutive(const CaptureTestSupport::Probe& probe) {
  for (size_t i = 0; i < probe.pts.size(); ++i) EXPECT_EQ(probe.pts[i], int64_t(i)) << i;
  for (size_t i = 1; i < probe.lumas.size(); ++i)
    EXPECT_EQ(step(probe.lumas[i]), (step(probe.lumas[i - 1]) + 1) % CaptureTestSupport::kSteps)
        << i << ": " << probe.lumas[i - 1] << " then " << probe.lumas[i];
}
}  // namespace

TEST(CaptureSettingsTest, QuarterSizeHalvesToEvenSizes) {
  struct Case {
    QSize size, quarter;
  } cases[] = {{{640, 480}, {320, 240}},
               {{1280, 720}, {640, 360}},
               {{642, 482}, {320, 240}},
               {{3, 3}, {2, 2}}};
  for (const Case& c : cases) EXPECT_EQ(CaptureSettings::quarterSize(c.size), c.quarter);
}

TEST(CaptureSettingsTest, PropertyListRoundTripsAndRefusesBadValues) {
  CaptureSettings settings;
  settings.devicePath = QStringLiteral("/dev/video0");
  settings.deviceName = QStringLiteral("Cam");
  settings.format = QStringLiteral("mjpeg");
  settings.size = QSize(1280, 720);
  settings.frameRate = 29.97;
  const auto back = CaptureSettings::fromPropertyList(settings.toPropertyList());
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, settings);

  QVariantMap noPath = settings.toPropertyList();
  noPath.remove(QStringLiteral("devicePath"));
  EXPECT_FALSE(CaptureSettings::fromPropertyList(noPath));
  QVariantMap wrongType = settings.toPropertyList();
  wrongType.insert(QStringLiteral("width"), QStringLiteral("wide"));
  EXPECT_FALSE(CaptureSettings::fromPropertyList(wrongType));
  EXPECT_FALSE(CaptureSettings::fromPropertyList({{"backend", "tape"}, {"devicePath", "x"}}));
}

TEST(CaptureSettingsTest, TheUnpacedTestModeIsNeverStored) {
  CaptureSettings settings;
  settings.backend = CaptureSettings::Backend::File;
  settings.devicePath = QStringLiteral("/tmp/clip.mov");
  settings.unpaced = true;
  const QVariantMap stored = settings.toPropertyList();
  for (const QVariant& value : stored) EXPECT_NE(value.typeId(), QMetaType::Bool);
  const auto back = CaptureSettings::fromPropertyList(stored);
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->unpaced) << "a project opens its files paced";
}

TEST(CaptureInputTest, MissingDeviceFailsWithTheReason) {
  CaptureSettings settings;
  settings.devicePath = QStringLiteral("/dev/video9");
  QString error;
  EXPECT_FALSE(CaptureInput::open(settings, &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST(CaptureInputTest, TestPatternDeliversPicturesAtTheChosenSize) {
  QString error;
  auto input = CaptureInput::open(CaptureSettings::testPattern(QSize(64, 48), 30), &error);
  ASSERT_TRUE(input) << error.toStdString();
  EXPECT_EQ(input->sourceSize(), QSize(64, 48));
  ASSERT_TRUE(input->start({}, &error, nullptr));
  ASSERT_TRUE(waitFor([&] { return input->framesDecoded() >= 2; }));
  EXPECT_EQ(input->newestFrame()->width(), 64);
  input->stop();

  input->setOutputSize(CaptureSettings::quarterSize(input->sourceSize()));
  ASSERT_TRUE(input->start({}, &error, nullptr));
  const uint64_t before = input->framesDecoded();
  ASSERT_TRUE(waitFor([&] { return input->framesDecoded() >= before + 2; }));
  EXPECT_EQ(input->newestFrame()->width(), 32);
  EXPECT_EQ(input->newestFrame()->height(), 24);
  input->stop();
}

TEST(CaptureInputTest, BusyHandOverNeverMakesTheReaderWait) {
  QString error;
  auto input = CaptureInput::open(CaptureTestSupport::countingPattern(), &error);
  ASSERT_TRUE(input) << error.toStdString();
  std::atomic<bool> held{false};
  std::atomic<bool> release{false};
  input->setHandOverHook([&] {
    held.store(true);
    while (!release.load()) std::this_thread::yield();
  });
  ASSERT_TRUE(input->start({}, &error, nullptr));
  ASSERT_TRUE(waitFor([&] { return held.load(); }));
  std::shared_ptr<const VideoFrame> frame;
  EXPECT_FALSE(input->tryNewestFrame(&frame));
  release.store(true);
  input->stop();
  EXPECT_TRUE(input->tryNewestFrame(&frame));
}

TEST(CaptureInputTest, AnUnpacedFileGivesOnePicturePerRequestInOrderAndStartsOver) {
  constexpr int kFileFrames = 10;
  constexpr int kAsked = 50;  // two seconds of the clip at its own rate
  const QString dir = TestEnvironment::makeTempDir();
  const QString source = QDir(dir).filePath(QStringLiteral("source.mov"));
  ASSERT_EQ(CaptureTestSupport::writeMjpegFile(source, kFileFrames, 64, 48, 25), QString());
  CaptureSettings settings;
  settings.backend = CaptureSettings::Backend::File;
  settings.devicePath = source;
  settings.unpaced = true;
  QString error;
  auto input = CaptureInput::open(settings, &error);
  ASSERT_TRUE(input) << error.toStdString();
  ASSERT_TRUE(input->start({}, &error, nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(input->framesDecoded(), 0u) << "nothing is read before it is asked for";

  const auto started = std::chrono::steady_clock::now();
  std::vector<int> steps;
  for (int i = 0; i < kAsked; ++i) {
    input->requestFrame();
    ASSERT_TRUE(waitFor([&] { return input->framesDecoded() >= uint64_t(i + 1); }, 5)) << i;
    const QImage picture = input->newestFrame()->toImage();
    steps.push_back(step(qGray(picture.pixel(picture.width() / 2, picture.height() / 2))));
  }
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_LT(took, std::chrono::seconds(1)) << "as fast as asked, not at the clip's rate";
  for (int i = 0; i < kAsked; ++i) EXPECT_EQ(steps[size_t(i)], i % kFileFrames) << i;

  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(input->framesDecoded(), uint64_t(kAsked)) << "no picture beyond those asked for";
  const auto stopping = std::chrono::steady_clock::now();
  input->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(500))
      << "a stop ends the wait for a request";
}

TEST(CaptureRecordingTest, EncodedRecordingHoldsExactlyTheFramesRead) {
  const QString dir = TestEnvironment::makeTempDir();
  const QString path = QDir(dir).filePath(QStringLiteral("enc.mov"));
  QString error, recordError;
  auto input = CaptureInput::open(CaptureTestSupport::countingPattern(), &error);
  ASSERT_TRUE(input) << error.toStdString();
  ASSERT_TRUE(input->start(path, &error, &recordError));
  EXPECT_TRUE(recordError.isEmpty()) << recordError.toStdString();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const CaptureInput::Recording recording = input->stop();
  EXPECT_EQ(recording.path, path);
  EXPECT_TRUE(recording.error.isEmpty()) << recording.error.toStdString();
  EXPECT_EQ(recording.frames, int64_t(input->framesDecoded()));
  EXPECT_GE(recording.frames, 60);

  const auto probe = CaptureTestSupport::probe(path, 25);
  ASSERT_TRUE(probe.error.isEmpty()) << probe.error.toStdString();
  EXPECT_EQ(probe.codec, QStringLiteral("mjpeg"));
  EXPECT_EQ(int64_t(probe.pts.size()), recording.frames);
  EXPECT_EQ(int64_t(probe.lumas.size()), recording.frames);
  EXPECT_EQ(step(probe.lumas.front()), 0);
  expectConsecutive(probe);
}

TEST(CaptureRecordingTest, CompressedPicturesAreCopiedUnchanged) {
  const QString dir = TestEnvironment::makeTempDir();
  const QString source = QDir(dir).filePath(QStringLiteral("source.mov"));
  ASSERT_EQ(CaptureTestSupport::writeMjpegFile(source, 100, 160, 120, 25), QString());
  CaptureSettings settings;
  settings.backend = CaptureSettings::Backend::File;
  settings.devicePath = source;
  const QString path = QDir(dir).filePath(QStringLiteral("copy.mov"));
  QString error, recordError;
  auto input = CaptureInput::open(settings, &error);
  ASSERT_TRUE(input) << error.toStdString();
  ASSERT_TRUE(input->start(path, &error, &recordError));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const CaptureInput::Recording recording = input->stop();
  EXPECT_EQ(recording.frames, int64_t(input->framesDecoded()));
  const auto probe = CaptureTestSupport::probe(path, 25);
  EXPECT_EQ(probe.codec, QStringLiteral("mjpeg"));
  EXPECT_EQ(probe.width, 160);
  EXPECT_EQ(int64_t(probe.pts.size()), recording.frames);
  expectConsecutive(probe);
}

TEST(CaptureRecordingTest, AnExistingFileIsNeverWrittenOver) {
  const QString dir = TestEnvironment::makeTempDir();
  const QString path = QDir(dir).filePath(QStringLiteral("taken.mov"));
  QFile taken(path);
  ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
  taken.write("earlier recording");
  taken.close();
  QString error, recordError;
  auto input = CaptureInput::open(CaptureTestSupport::countingPattern(), &error);
  ASSERT_TRUE(input);
  ASSERT_TRUE(input->start(path, &error, &recordError));
  EXPECT_FALSE(recordError.isEmpty());
  ASSERT_TRUE(waitFor([&] { return input->framesDecoded() >= 2; }));
  const CaptureInput::Recording recording = input->stop();
  EXPECT_TRUE(recording.path.isEmpty());
  ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
  EXPECT_EQ(taken.readAll(), QByteArray("earlier recording"));
}

TEST(CaptureRecordingTest, ARecordingCutOffMidwayStillOpens) {
  const QString dir = TestEnvironment::makeTempDir();
  const QString path = QDir(dir).filePath(QStringLiteral("cut.mov"));
  QString error, recordError;
  auto input = CaptureInput::open(CaptureTestSupport::countingPattern(), &error);
  ASSERT_TRUE(input);
  ASSERT_TRUE(input->start(path, &error, &recordError));
  ASSERT_TRUE(waitFor([&] { return input->framesDecoded() >= 60; }, 10));
  // What a crash leaves: the file as it stands while the recording runs.
  const QString copy = QDir(dir).filePath(QStringLiteral("crash.mov"));
  ASSERT_TRUE(QFile::copy(path, copy));
  input->stop();
  const auto probe = CaptureTestSupport::probe(copy, 25);
  ASSERT_TRUE(probe.error.isEmpty()) << probe.error.toStdString();
  EXPECT_GE(probe.pts.size(), 25u);
  expectConsecutive(probe);
}
