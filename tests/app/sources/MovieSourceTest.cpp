#include "tests/app/sources/MovieSourceFixture.h"

#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/media/QKWarpMarker.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <thread>

namespace {

TEST_F(MovieSourceFixture, ALoadFinishesOnTheMainThreadWithTheWholeMovieAsRange) {
  LogCapture log;
  auto file = clip();
  file->removeMovieProp(MovieProps::kActive);
  trigger(file);
  ASSERT_TRUE(loaded(file));
  EXPECT_EQ(source().currentFile(), file);
  EXPECT_EQ(file->currentSource().get(), static_cast<QKFileSource*>(&source()));
  EXPECT_TRUE(log.contains("rangeAsValue was nil A"));
  const QKTimeRange range = source().movie()->selection();
  EXPECT_EQ(range.duration, source().movie()->duration());
  EXPECT_FLOAT_EQ(time().rangedMaxEnv(), 1.0f);
  EXPECT_FALSE(source().qtFile()->movieFile()->isLocked());
  EXPECT_TRUE(world.dsc.dataSourceForKeyArray({"ZAPH", layer->layerName() + " moviePos"}) !=
              nullptr);
}

TEST_F(MovieSourceFixture, ASecondLoadWinsWhicheverWayTheLoadsInterleave) {
  for (bool firstReachedTheMainThread : {false, true}) {
    LogCapture log;
    auto first = clip();
    auto second = clip();
    std::vector<std::shared_ptr<std::promise<void>>> gates;
    if (!firstReachedTheMainThread) gates = holdWorkers();
    source().loadThisFile(first);
    if (firstReachedTheMainThread) {
      ASSERT_TRUE(waitFor([&] { return !source().loading(); }));  // its worker holds the lock
    }
    source().loadThisFile(second);
    for (auto& gate : gates) gate->set_value();
    ASSERT_TRUE(loaded(second));
    MainThread::processUntil([] { return false; }, 0.2);
    EXPECT_EQ(source().currentFile(), second);
    EXPECT_TRUE(log.contains("skipped final load on main thread"));
    // No orphan: the first movie rests (or is gone), with no source.
    if (const auto rest = first->movieFile()) {
      EXPECT_TRUE(rest->isLocked());
      EXPECT_EQ(rest->subscriber(), nullptr);
    }
    EXPECT_EQ(first->currentSource(), nullptr);
  }
}

TEST_F(MovieSourceFixture, SpeedZeroStandsAtTheFirstFrameAndANegativeSpeedStartsAtTheEnd) {
  auto standing = clip({{"useMovieSpeed", 1}, {"speed", 0.0}});
  trigger(standing);
  ASSERT_TRUE(loaded(standing));
  idle();
  EXPECT_EQ(source().movie()->rate(), 0.0);
  EXPECT_EQ(source().movie()->currentTime().value, 0);

  auto backward = clip({{"useMovieSpeed", 1}, {"speed", -1.0}});
  trigger(backward);
  ASSERT_TRUE(loaded(backward));
  idle();
  const auto movie = source().movie();
  EXPECT_NEAR(movie->currentTime().seconds(), movie->duration().seconds(), 1.0 / 30);
  EXPECT_LT(movie->rate(), 0.0);
}

TEST_F(MovieSourceFixture, EjectResetsTheEnvelopesAndShowsBlack) {
  auto file = clip({{"active", QVariant::fromValue(range(0.25, 0.5))}});
  trigger(file);
  ASSERT_TRUE(loaded(file));
  EXPECT_NEAR(time().rangedMinEnv(), 0.25, 0.02);
  source().eject();
  EXPECT_FLOAT_EQ(time().minEnv(), 0.0f);
  EXPECT_FLOAT_EQ(time().maxEnv(), 1.0f);
  EXPECT_TRUE(source().blackFrame());
  EXPECT_EQ(source().currentFile(), nullptr);
  EXPECT_EQ(file->currentSource(), nullptr);
  if (const auto rest = file->movieFile()) {
    EXPECT_TRUE(rest->isLocked());
  }
}

TEST_F(MovieSourceFixture, ABadFileLeavesTheSourceEmptyAndBlack) {
  auto invalid = std::make_shared<QKQTFile>(QStringLiteral("gone.mov"), world.compositor.get());
  auto file = clip();
  trigger(file);
  ASSERT_TRUE(loaded(file));
  source().loadThisFile(invalid);
  EXPECT_EQ(source().currentFile(), nullptr);
  EXPECT_TRUE(source().blackFrame());
}

TEST_F(MovieSourceFixture, PropertiesOfTheWrongTypeAreIgnored) {
  QKTimeRange zero{QKTime{0, 600, 0}, QKTime{0, 600, 0}};
  auto file = clip({{"useMovieSpeed", 1},
                    {"speed", QStringLiteral("fast")},
                    {"useMovieVolume", 1},
                    {"volume", QStringLiteral("loud")},
                    {"duration", QVariant::fromValue(QKTime{0, 600, 0})},
                    {"active", QStringLiteral("all of it")},
                    {"originalFrameRate", 0.0}});
  trigger(file);
  ASSERT_TRUE(loaded(file));
  EXPECT_FLOAT_EQ(source().speedSlider()->cell()->rangedValue(), 1.0f);
  EXPECT_FLOAT_EQ(source().volumeSlider()->cell()->rangedValue(), 1.0f);
  for (float v : {time().rangedMinEnv(), time().rangedMaxEnv(), time().maxRange()})
    EXPECT_TRUE(std::isfinite(v));
  EXPECT_GT(time().maxRange(), 0.0f);
  EXPECT_DOUBLE_EQ(source().frameRate(), 30.0);
  (void)zero;
}

// --- Own looping on the hand-moved clock (a 1 s clip, range 0.25 … 0.75 s) ---

class OwnLoopingTest : public MovieSourceFixture {
 protected:
  void SetUp() override {
    MovieSourceFixture::SetUp();
    MovieSource::setUseQTMovieLooping(false);
    file = clip({{"active", QVariant::fromValue(range(0.25, 0.5))}});
    trigger(file);
    ASSERT_TRUE(loaded(file));
    idle();
  }
  void TearDown() override {
    MovieSource::setUseQTMovieLooping(true);
    MovieSourceFixture::TearDown();
  }
  void chooseLoopMode(int mode) {
    source().loopButton(mode)->setIntValue(1, true);
    idle();
  }
  // From the in point, the clock runs `seconds` at speed 1.
  void playFromIn(double seconds) {
    source().setTimeMainThread(0.25f);
    idle();
    source().loopCheckPing();
    clock.advance(seconds);
    idle();
  }
  double now() { return source().movie()->currentTime().seconds(); }
  std::shared_ptr<QKQTFile> file;
};

TEST_F(OwnLoopingTest, LoopLandsAsFarPastTheInPointAsItRanPastTheOut) {
  chooseLoopMode(MovieSource::kLoop);
  playFromIn(0.7);
  EXPECT_NEAR(now(), 0.45, 0.02);
  EXPECT_NEAR(source().currentTimeInSeconds(), 0.45, 0.02);
}

TEST_F(OwnLoopingTest, BackAndForthReflectsAtTheOutPointAndTurns) {
  chooseLoopMode(MovieSource::kBackAndForth);
  playFromIn(0.7);
  EXPECT_NEAR(now(), 0.55, 0.02);
  EXPECT_TRUE(source().goingBackwards());
  EXPECT_LT(source().movie()->rate(), 0.0);
}

TEST_F(OwnLoopingTest, OnceStopsAndAnnouncesTheEndOnce) {
  NotificationCounter ends(MovieSource::kDidEndNotification);
  chooseLoopMode(MovieSource::kOnce);
  playFromIn(0.7);
  clock.advance(0.3);
  idle();
  EXPECT_TRUE(source().stopped());
  EXPECT_EQ(ends.count(), 1);
}

TEST_F(OwnLoopingTest, FrameSteppingWrapsAtTheEnvelopes) {
  source().pauseToggle()->setIntValue(0, true);
  idle();
  source().setTimeMainThread(0.25f);
  source().gotoPrevFrame();
  idle();
  EXPECT_NEAR(now(), 0.75, 0.02);
  source().gotoNextFrame();
  idle();
  EXPECT_NEAR(now(), 0.25, 0.02);
  source().gotoNextFrame();
  idle();
  EXPECT_NEAR(now(), 0.25 + 1.0 / 30, 0.01);
}

TEST_F(OwnLoopingTest, PausingStandsAndResumingPlaysAtTheSpeedSlider) {
  source().pauseToggle()->setIntValue(0, true);
  QCoreApplication::processEvents();
  EXPECT_TRUE(source().paused());
  EXPECT_EQ(source().movie()->rate(), 0.0);
  source().speedSlider()->setValueWithRangedValue(2.0f, true);
  idle();
  EXPECT_EQ(source().movie()->rate(), 0.0);
  source().pauseToggle()->setIntValue(1, true);
  idle();
  EXPECT_NEAR(source().movie()->rate(), 2.0, 0.01);
}

TEST_F(OwnLoopingTest, MuteHoldsTheVolumeAtZero) {
  source().muteButton()->setIntValue(1, true);
  source().volumeSlider()->setValueWithRangedValue(0.8f, true);
  QCoreApplication::processEvents();
  EXPECT_EQ(source().movie()->volume(), 0.0f);
  source().muteButton()->setIntValue(0, true);
  QCoreApplication::processEvents();
  EXPECT_NEAR(source().movie()->volume(), 0.8f, 0.01f);
}

TEST_F(OwnLoopingTest, JumpsLandWithinTheEnvelopes) {
  source().pauseToggle()->setIntValue(0, true);
  for (auto [asked, landed] :
       std::vector<std::pair<float, double>>{{0.1f, 0.25}, {0.9f, 0.75}, {0.5f, 0.5}}) {
    source().setTime(asked);
    idle();
    EXPECT_NEAR(now(), landed, 0.02) << asked;
  }
}

TEST_F(OwnLoopingTest, TwoQuickPreviousMarkerPressesGoBackTwoMarkers) {
  for (double at : {0.3, 0.4, 0.5}) file->addWarpMarkerAtTime(QKTime{int64_t(at * 600), 600, 0});
  source().setTimeMainThread(0.6f);
  idle();
  source().gotoPrevMarker();
  idle();
  EXPECT_NEAR(now(), 0.5, 0.02);
  source().gotoPrevMarker();
  idle();
  EXPECT_NEAR(now(), 0.3, 0.02);
}

// --- The scratch and time sliders bound to data sources ---

class BoundSliderTest : public OwnLoopingTest {
 protected:
  // The slider manager gives the panel's sliders the data-source controller.
  void SetUp() override {
    OwnLoopingTest::SetUp();
    sliders_.setDataSourceController(&world.dsc);
    for (QKSliderControl* slider : {source().scratchSlider(), source().timeSlider()})
      slider->cell()->setSliderManager(&sliders_);
  }
  void TearDown() override {
    for (QKSliderControl* slider : {source().scratchSlider(), source().timeSlider()}) {
      slider->cell()->setSyncFlag(false);
      slider->cell()->setSliderManager(nullptr);
    }
    OwnLoopingTest::TearDown();
  }
  std::shared_ptr<DataSource> place(const QString& name, int32_t type) {
    std::shared_ptr<DataSource> made;
    if (type == DSType::FloatInfrequent)
      made = DSFloatInfrequent::createWithName(name);
    else
      made = DSFloatFrequent::createWithName(name, type);
    world.dsc.setDataSource(made, {"ZAPH", name});
    return made;
  }
  void bind(QKSliderControl& slider, const QString& name) {
    slider.cell()->useThisSource(KeyPath{"ZAPH", name});
    slider.cell()->setSyncFlag(true);
    idle();
  }
  void release(QKSliderControl& slider) {
    slider.cell()->setSyncFlag(false);
    idle();
  }
  void push(DataSource& source, float value) {
    source.setValue(value);
    world.dsc.threadProc();
    idle();
  }
  void pause(bool paused) {
    source().pauseToggle()->setIntValue(paused ? 0 : 1, true);
    idle();
  }

 private:
  QKSliderManager sliders_;
};

TEST_F(BoundSliderTest, ABoundScratchSliderScratchesAndItsReleaseResumesOnlyWhatItPaused) {
  for (bool pausedBefore : {false, true}) {
    SCOPED_TRACE(pausedBefore ? "paused before" : "playing before");
    pause(pausedBefore);
    source().setTimeMainThread(0.3f);
    auto knob = place(QStringLiteral("knob%1").arg(pausedBefore), DSType::FloatFrequent);
    knob->setValue(0.5f);  // the strip's middle, where the slider stands
    bind(*source().scratchSlider(), QStringLiteral("knob%1").arg(pausedBefore));
    EXPECT_TRUE(source().scratching());
    EXPECT_TRUE(source().paused());
    EXPECT_EQ(source().movie()->rate(), 0.0);
    // The strip spans -60 … 60 frames: 0.5 is its middle, 0.55 six frames on.
    push(*knob, 0.5f);
    const double before = now();
    push(*knob, 0.55f);
    EXPECT_NEAR(now() - before, 6.0 / 30, 0.02);
    push(*knob, 0.5f);
    EXPECT_NEAR(now(), before, 0.02);
    release(*source().scratchSlider());
    EXPECT_FALSE(source().scratching());
    EXPECT_EQ(source().paused(), pausedBefore);
    EXPECT_EQ(source().movie()->rate() != 0.0, !pausedBefore);
  }
}

TEST_F(BoundSliderTest, ATimeSliderFollowingAFrequentSourceStandsTheMovie) {
  struct Case {
    const char* name;
    int32_t type;
    bool pausedBefore;
    bool standsWhileBound;
  };
  const Case cases[] = {{"frequent", DSType::FloatFrequent, false, true},
                        {"frequent, no repeats", DSType::FloatFreqNonRepeat, false, true},
                        {"frequent, paused before", DSType::FloatFrequent, true, true},
                        {"infrequent", DSType::FloatInfrequent, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pause(c.pausedBefore);
    auto fader = place(c.name, c.type);
    bind(*source().timeSlider(), c.name);
    EXPECT_EQ(source().paused(), c.standsWhileBound);
    // The source moves the play head (0.5 of the 1 s slider is 0.5 s).
    push(*fader, 0.5f);
    EXPECT_NEAR(now(), 0.5, 0.02);
    release(*source().timeSlider());
    EXPECT_EQ(source().paused(), c.pausedBefore);
  }
}

TEST(MovieSourceUnits, TheJumpUnitTable) {
  struct Case {
    int unit;
    double fps;
    double frames;
    float jumpMax;
    float scratchMin;
  };
  const std::vector<Case> cases{{MovieSource::kFrames, 0.0, 1.0, 60.0f, -60.0f},
                                {MovieSource::kFrames, 25.0, 1.0, 50.0f, -50.0f},
                                {MovieSource::kSeconds, -3.0, 30.0, 16.0f, -4.0f},
                                {MovieSource::kBeats, 24.0, 24.0 * 2.0 / 4, 8.0f, -8.0f}};
  for (const Case& c : cases) {
    const auto ranges = MovieSource::unitRanges(c.unit, c.fps, 4, 2.0);
    EXPECT_DOUBLE_EQ(ranges.framesPerUnit, c.frames) << c.unit << " " << c.fps;
    EXPECT_FLOAT_EQ(ranges.jumpMax, c.jumpMax);
    EXPECT_FLOAT_EQ(ranges.scratchMin, c.scratchMin);
  }
  EXPECT_EQ(MovieSource::unitRanges(MovieSource::kFrames, 0.0, 4, 2.0).jumpMarks,
            QList<float>({2.0f, 7.5f, 10.0f, 15.0f, 30.0f}));
}

// --- Persistence and sync ---

TEST(MovieSourceTempo, TheClocksTempoOverTheFilesGivesTheSpeed) {
  EXPECT_DOUBLE_EQ(MovieSource::tempoSpeed(4, 2.0, 120.0), 1.0);
  EXPECT_DOUBLE_EQ(MovieSource::tempoSpeed(4, 1.0, 120.0), 2.0);
  EXPECT_DOUBLE_EQ(MovieSource::tempoSpeed(4, 0.0, 120.0), 1.0);
  EXPECT_DOUBLE_EQ(MovieSource::tempoSpeed(4, 2.0, 0.0), 1.0);
}

TEST_F(MovieSourceFixture, OnlyAFileSyncedOnTempoChangesFollowsTheClock) {
  for (int sync : {1, 2}) {
    auto file = clip({{"bpmSyncOnOff", sync}, {"beatsPerMinute", 120.0}});
    masterClock.duration = 2.0f;
    trigger(file);
    ASSERT_TRUE(loaded(file));
    EXPECT_NEAR(source().speedSlider()->cell()->rangedValue(), 1.0f, 0.01f);
    masterClock.duration = 1.0f;
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(MasterClockInterface::kMeasureDurationChangedNotification));
    QCoreApplication::processEvents();
    EXPECT_NEAR(source().speedSlider()->cell()->rangedValue(), sync == 1 ? 2.0f : 1.0f, 0.02f)
        << sync;
  }
}

TEST_F(MovieSourceFixture, ASnapshotRestoresTheControlsAndTriggersItsFile) {
  auto file = clip();
  trigger(file);
  ASSERT_TRUE(loaded(file));
  source().speedSlider()->setValueWithRangedValue(2.0f, true);
  source().loopButton(MovieSource::kBackAndForth)->setIntValue(1, true);
  source().muteButton()->setIntValue(1, true);
  source().volumeSlider()->setValueWithRangedValue(0.5f, true);
  source().setJumpUnit(MovieSource::kSeconds);
  const QVariantMap snapshot = source().createSnapshot();
  EXPECT_EQ(snapshot.value("sourceType"), "movieSource");
  EXPECT_EQ(snapshot.value("sourceFileID").toLongLong(), file->uniqueFileId());

  auto other = world.compositor->createNewLayer();
  other->useSourceNamed(Layer::kMovie);
  auto& restored = static_cast<MovieSource&>(*other->currentSource());
  files[file->uniqueFileId()] = file;
  restored.loadSnapshot(snapshot);
  ASSERT_TRUE(MainThread::processUntil([&] { return restored.movie() != nullptr; }, 5.0));
  EXPECT_EQ(restored.currentFile(), file);
  EXPECT_EQ(source().currentFile(), nullptr);  // it played on the first layer
  EXPECT_NEAR(restored.speedSlider()->cell()->rangedValue(), 2.0f, 0.01f);
  EXPECT_EQ(restored.loopModeVar(), MovieSource::kBackAndForth);
  EXPECT_EQ(restored.muteButton()->intValue(), 1);
  EXPECT_NEAR(restored.volumeSlider()->cell()->rangedValue(), 0.5f, 0.01f);
  EXPECT_EQ(restored.jumpUnit(), MovieSource::kSeconds);
}

TEST_F(MovieSourceFixture, ASnapshotWithoutAFileRestoresTheControlsOnly) {
  source().speedSlider()->setValueWithRangedValue(-3.0f, true);
  QVariantMap snapshot = source().createSnapshot();
  EXPECT_FALSE(snapshot.contains("sourceFileID"));
  auto file = clip();
  trigger(file);
  ASSERT_TRUE(loaded(file));
  snapshot.insert("sourceFileID", 987654);
  snapshot.insert("trigger", 1);
  source().loadSnapshot(snapshot);
  EXPECT_EQ(source().currentFile(), file);
  EXPECT_NEAR(source().speedSlider()->cell()->rangedValue(), -3.0f, 0.05f);
}

TEST_F(MovieSourceFixture, LiveUpdatingDecidesWhatAnEjectWritesBack) {
  for (bool live : {false, true}) {
    auto file = clip({{"allowLiveUpdating", live}, {"useMovieVolume", 1}, {"useMovieLoopMode", 1}});
    trigger(file);
    ASSERT_TRUE(loaded(file));
    source().volumeSlider()->setValueWithRangedValue(0.3f, true);
    source().loopButton(MovieSource::kOnce)->setIntValue(1, true);
    const QVariantMap before = file->movieProps();
    source().eject();
    const QVariantMap after = file->movieProps();
    if (!live) {
      EXPECT_EQ(after, before);
    } else {
      EXPECT_TRUE(after.contains("volumeSlider"));
      EXPECT_EQ(after.value("loopMode").toInt(), MovieSource::kOnce);
    }
  }
}

TEST_F(MovieSourceFixture, MarksAndWarpMarkersFollowEachOtherWithoutEcho) {
  auto file = clip();
  trigger(file);
  ASSERT_TRUE(loaded(file));
  file->addWarpMarkerAtTime(QKTime{300, 600, 0});  // 0.5 s of 1 s
  QCoreApplication::processEvents();
  ASSERT_EQ(time().interestingPoints().size(), 1);
  EXPECT_NEAR(time().interestingPoints()[0], 0.5f, 0.01f);

  // A mark the performer moves: one marker goes, one comes.
  source().timeSlider()->setValueForInterestingPointAtIndex(0.25f, 0);
  source().sliderInterestingPointsChanged();  // the slider's notice at the end of the drag
  QCoreApplication::processEvents();
  ASSERT_EQ(file->warpMarkers().size(), 1u);
  EXPECT_NEAR(file->warpMarkers()[0]->originalTime().seconds(), 0.25, 0.01);
  ASSERT_EQ(time().interestingPoints().size(), 1);
  EXPECT_NEAR(time().interestingPoints()[0], 0.25f, 0.01f);

  // A mark added on the slider reaches the file.
  source().timeSlider()->addInterestingPoint(0.75f);
  QCoreApplication::processEvents();
  EXPECT_EQ(file->warpMarkers().size(), 2u);
  EXPECT_EQ(time().interestingPoints().size(), 2);
}

// --- Threads ---

TEST_F(MovieSourceFixture, TheLastReferenceToAFileIsNeverDroppedOffTheMainThread) {
  auto file = clip();
  trigger(file);
  ASSERT_TRUE(loaded(file));
  std::weak_ptr<QKQTFile> weak = file;
  files.clear();
  made.clear();
  file.reset();
  // Only the source (and perhaps the load worker, just finishing) holds it
  // now; it is ejected from another thread. Whoever lets go last, the file
  // outlives them until the main thread runs.
  std::thread([&] { source().eject(); }).join();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(weak.expired());
  EXPECT_TRUE(MainThread::processUntil([&] { return weak.expired(); }, 2.0));
}

TEST_F(MovieSourceFixture, TheFrameSkipsWhileALoadHoldsTheLockAndNeverWaits) {
  auto file = clip();
  auto gates = holdWorkers();
  trigger(file);
  // The load waits for a worker; a second clip's load will hold the lock
  // while its last step waits for the main thread.
  for (auto& gate : gates) gate->set_value();
  ASSERT_TRUE(waitFor([&] { return !source().loading(); }));
  std::atomic<bool> rendered{false};
  std::thread render([&] {
    source().skippedRenderTask({});
    rendered = true;
  });
  EXPECT_TRUE(waitFor([&] { return rendered.load(); }, 2.0));
  render.join();
  ASSERT_TRUE(loaded(file));
}

}  // namespace
