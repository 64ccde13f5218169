// The inspector's preview on generated clips (frame numbers in the
// pixels): range, steps, marker jumps, scrubbing, volume, snap points.
#include "app/inspector/MICheckBox.h"
#include "app/inspector/MIMovieView.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/QKWarpMarker.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/support/LogCapture.h"

#include <QFile>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

namespace P = MovieProps;
constexpr int kUnits = 512;          // per frame
constexpr int kScale = kUnits * 30;  // 30 frames per second

struct PreviewFixture : ::testing::Test {
  PreviewFixture() : inspector(&host) {
    inspector.awakeFromNib();
    inspector.window()->contentView()->expand();
    preview = inspector.rangeSelector();
  }
  ~PreviewFixture() override { inspector.selectTheseFiles({}); }

  // A 30-frame clip, 1 s long, shown in the preview.
  void show(int frames = 30) {
    TestClipSpec spec;
    spec.frames = frames;
    file = files.movie(spec);
    ASSERT_TRUE(file && file->validFile());
    ASSERT_EQ(P::time(file->movieProp(P::kOriginalDuration)).scale, kScale);
    inspector.selectTheseFiles({entry(file)});
    ASSERT_TRUE(MainThread::processUntil(
        [&] { return preview->currentMovie() && !preview->loading(); }, 5.0));
  }
  void at(int frame) { preview->setTimeMainThread(double(frame) / 30.0); }
  int64_t now() const { return preview->currentMovie()->movie().currentTime().value; }
  // Where the play head was sent (the slider's value, in frames).
  double target() const { return double(preview->timeSlider()->cell()->rangedValue()) * 30.0; }
  // The frame number the preview paints once it has settled on `frame`.
  int shownFrame(int frame) {
    MainThread::processUntil(
        [&] {
          preview->movieView()->refresh();
          return TestClip::frameNumberIn(preview->movieView()->picture()) == frame;
        },
        3.0);
    return TestClip::frameNumberIn(preview->movieView()->picture());
  }
  QVariantMap& pending() { return *inspector.pendingPropsFor(*file); }

  FakeInspectorHost host;
  InspectorFiles files;
  MediaInspector inspector;
  QKMIRangeSelectorController* preview = nullptr;
  std::shared_ptr<QKQTFile> file;
};

TEST_F(PreviewFixture, LoadsTheRangeIntoTheSliderAndFields) {
  TestClipSpec spec;
  file = files.movie(spec);
  file->setMovieProp(P::kActive, range(6 * kUnits, 12 * kUnits, kScale));
  file->setMovieProp(P::kDurationInMeasures, 2.0);
  inspector.selectTheseFiles({entry(file)});
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return preview->currentMovie() && !preview->loading(); }, 5.0));
  EXPECT_FLOAT_EQ(preview->timeSlider()->cell()->minEnv(), 0.2f);
  EXPECT_FLOAT_EQ(preview->timeSlider()->cell()->maxEnv(), 0.6f);
  EXPECT_EQ(preview->inpointText()->text(), QStringLiteral("0.200000"));
  EXPECT_EQ(preview->outpointText()->text(), QStringLiteral("0.600000"));
  EXPECT_EQ(preview->selectionDurationInMeasuresText()->text(), QStringLiteral("0.800000"));
  EXPECT_EQ(preview->lastVolume(), 0.0f) << "the preview starts muted";
}

TEST_F(PreviewFixture, NothingOrABrokenFileClearsThePreview) {
  TestClipSpec spec;
  file = files.movie(spec);
  inspector.selectTheseFiles({entry(file)});
  ASSERT_TRUE(MainThread::processUntil([&] { return preview->currentMovie() != nullptr; }, 5.0));
  ASSERT_TRUE(QFile::remove(file->fullPath()));
  LogCapture log;
  inspector.selectTheseFiles({});
  inspector.selectTheseFiles({entry(file)});
  settle(0.1);
  EXPECT_TRUE(log.contains(QStringLiteral("err: inspector unable to load mov file from path")));
  EXPECT_FALSE(preview->currentMovie());
  EXPECT_FALSE(preview->timeSlider()->isEnabled());
  EXPECT_EQ(preview->inpointText()->text(), QStringLiteral("xx"));
  EXPECT_EQ(preview->outpointText()->text(), QStringLiteral("xx"));
}

TEST_F(PreviewFixture, FrameStepsWrapAtTheInAndOutPoints) {
  show();
  pending().insert(P::kActive, range(5 * kUnits, 15 * kUnits, kScale));
  preview->timeSlider()->setMinEnv(5.0f / 30.0f);
  preview->timeSlider()->setMaxEnv(20.0f / 30.0f);
  at(7);
  preview->gotoNextFrameButtonUsed();
  settle();
  EXPECT_EQ(now(), 8 * kUnits);
  EXPECT_EQ(shownFrame(8), 8);

  at(5);
  preview->gotoPrevFrameButtonUsed();
  settle();
  EXPECT_EQ(now(), 20 * kUnits) << "back past the in point lands on the out point";
  at(19);
  preview->gotoNextFrameButtonUsed();
  settle();
  EXPECT_EQ(now(), 5 * kUnits) << "on past the out point lands on the in point";
  EXPECT_EQ(shownFrame(5), 5);
}

TEST_F(PreviewFixture, MarkerJumps) {
  show();
  file->addWarpMarkerAtTime({6 * kUnits, kScale, 0});
  file->addWarpMarkerAtTime({15 * kUnits, kScale, 0});
  settle();
  struct Case {
    const char* name;
    int from;
    bool next;
    int loopSegment;
    double to;  // frames
  };
  const Case cases[] = {
      {"none before: the start", 3, false, 0, 0},
      {"the one before", 20, false, 0, 15},
      {"a marker one frame back does not count", 16, false, 0, 6},
      {"the one after", 10, true, 0, 15},
      {"none after: one frame before the out point", 20, true, 0, 29},
      {"near the end while looping: the in point", 27, true, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    preview->loopModeControl()->setSelectedSegment(c.loopSegment);
    at(c.from);
    if (c.next)
      preview->gotoNextMarkerButtonUsed();
    else
      preview->gotoPrevMarkerButtonUsed();
    EXPECT_NEAR(target(), c.to, 1e-3);
    settle();
  }
}

TEST_F(PreviewFixture, ASecondPressWhilePlayingPassesAMarkerOver) {
  show();
  for (int frame : {6, 12, 18}) file->addWarpMarkerAtTime({frame * kUnits, kScale, 0});
  double clock = 100.0;
  preview->setPressClock([&] { return clock; });
  at(24);
  preview->playPauseButton()->setIntValue(1, false);
  preview->playPauseButtonUsed();
  ASSERT_FALSE(preview->paused());
  preview->gotoPrevMarkerButtonUsed();
  EXPECT_NEAR(target(), 18, 1e-3);
  clock += 0.2;
  preview->gotoPrevMarkerButtonUsed();
  EXPECT_NEAR(target(), 12, 1e-3) << "the marker the first press reached is passed over";
  clock += 1.0;
  preview->gotoPrevMarkerButtonUsed();
  EXPECT_NEAR(target(), 18, 1e-3) << "a slow press does not skip";
  preview->playPauseButton()->setIntValue(0, false);
  preview->playPauseButtonUsed();
}

TEST_F(PreviewFixture, RangeEditsGoToThePendingPropertiesAndClampScrubs) {
  show();
  file->setMovieProp(P::kDurationInMeasures, 4.0);
  preview->timeSlider()->setMinEnv(0.25f);
  preview->timeSlider()->setMaxEnv(0.75f);
  const QKTimeRange expected{{kScale / 4, kScale, 0}, {kScale / 2, kScale, 0}};
  EXPECT_EQ(P::range(pending().value(P::kActive)), expected);
  EXPECT_EQ(P::range(pending().value(P::kOriginalActive)), expected);
  EXPECT_EQ(P::range(file->movieProp(P::kActive)).start.value, 0) << "stored only on apply";
  EXPECT_EQ(preview->selectionDurationInMeasuresText()->text(), QStringLiteral("2.000000"));
  preview->setTimeMainThread(0.9);
  EXPECT_EQ(now(), 3 * kScale / 4);
  preview->setTimeMainThread(0.1);
  EXPECT_EQ(now(), kScale / 4);

  preview->resetInpoint();
  preview->resetOutpoint();
  EXPECT_EQ(preview->inpointText()->text(), QStringLiteral("0.000000"));
  EXPECT_EQ(preview->outpointText()->text(), QStringLiteral("1.000000"));
  inspector.applyChanges();
  EXPECT_EQ(P::range(file->movieProp(P::kActive)).duration.value, kScale);
}

TEST_F(PreviewFixture, VolumeRule) {
  show();
  preview->volumeSlider()->setValueWithRangedValue(0.3f, false);
  struct Case {
    int mute;
    int useVolume;
    float expected;
  };
  for (const Case& c : {Case{1, 1, 0.0f}, Case{0, 0, 1.0f}, Case{0, 1, 0.3f}, Case{1, 0, 0.0f}}) {
    preview->mutePreviewButton()->setIntValue(c.mute, false);
    preview->useVolumeButton()->setState(c.useVolume);
    preview->mutePreviewButtonUsed();
    settle();
    EXPECT_FLOAT_EQ(preview->lastVolume(), c.expected) << c.mute << c.useVolume;
  }
}

TEST_F(PreviewFixture, ScrubsFromAnotherThreadLeaveOnePendingSeek) {
  show();
  const int before = preview->seeksPosted();
  std::thread tick([&] {
    for (int i = 0; i < 500; ++i)
      preview->timeSlider()->cell()->setValue(float(i % 30) / 30.0f, true);
    preview->timeSlider()->cell()->setValue(12.0f / 30.0f, true);
  });
  tick.join();
  EXPECT_LE(preview->seeksPosted() - before, 1);
  settle();
  EXPECT_EQ(now(), 12 * kUnits) << "the one seek takes the latest value";
}

TEST_F(PreviewFixture, SnapPointsAddAndDeleteMarkers) {
  show();
  file->addWarpMarkerAtTime({6 * kUnits, kScale, 0});
  // Frame 17's mark times the duration truncates to a unit short of it.
  file->addWarpMarkerAtTime({17 * kUnits, kScale, 0});
  settle();
  QKSliderControl* slider = preview->timeSlider();
  ASSERT_EQ(slider->interestingPoints().size(), 2);
  // The mark went through single precision; the marker nearest it goes.
  slider->removeInterestingPoint(slider->interestingPoints().at(1));
  settle();
  ASSERT_EQ(file->warpMarkers().size(), 1u);
  EXPECT_EQ(file->warpMarkers()[0]->originalTime().value, 6 * kUnits);
  slider->addInterestingPoint(0.75f);
  settle();
  ASSERT_EQ(file->warpMarkers().size(), 2u);
  EXPECT_EQ(file->warpMarkers()[1]->originalTime().value, 3 * kScale / 4);
}

TEST_F(PreviewFixture, PosterFrameStaysInTheProject) {
  show();
  at(9);
  LogCapture log;
  const QByteArray before = [&] {
    QFile movie(file->fullPath());
    return movie.open(QIODevice::ReadOnly) ? movie.readAll() : QByteArray();
  }();
  preview->setPosterFrameButtonUsed();
  preview->setPosterFrameButtonUsed();
  EXPECT_EQ(P::time(file->movieProp(P::kInstancePosterTime)).value, 9 * kUnits);
  EXPECT_FALSE(file->posterImage().isNull());
  int lines = 0;
  for (const QString& line : log.lines()) lines += line.contains(QStringLiteral("poster frame"));
  EXPECT_EQ(lines, 1) << "said once per file";
  QFile movie(file->fullPath());
  ASSERT_TRUE(movie.open(QIODevice::ReadOnly));
  EXPECT_EQ(movie.readAll(), before) << "the movie file is never rewritten";
}

TEST_F(PreviewFixture, AMovieThatEndsOnceTurnsThePlayButtonOff) {
  show();
  file->setMovieProp(P::kLoopMode, 0);
  preview->timeSlider()->setMinEnv(25.0f / 30.0f);
  preview->loopModeControl()->setSelectedSegment(0);
  preview->loopModeControlUsed(preview->loopModeControl());
  preview->playPauseButton()->setIntValue(1, false);
  preview->playPauseButtonUsed();
  EXPECT_TRUE(MainThread::processUntil([&] { return preview->paused(); }, 5.0));
  EXPECT_EQ(preview->playPauseButton()->intValue(), 0);
}

}  // namespace
