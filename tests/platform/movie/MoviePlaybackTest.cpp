#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieFrameReader.h"
#include "platform/movie/QKTimeMath.h"
#include "tests/support/Eventually.h"
#include "tests/support/TestMovie.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>

// Test names and messages show the kind of GOP (found beside the type).
void PrintTo(TestClipSpec::Gop gop, std::ostream* os) {
  *os << (gop == TestClipSpec::Gop::AllIntra ? "AllIntra" : "LongGop");
}

namespace {
constexpr int kFrames = 60;  // two seconds at 30 frames per second

// A 60-frame clip on a hand-moved clock, watched through a render reader.
class MoviePlayback : public ::testing::TestWithParam<TestClipSpec::Gop> {
 protected:
  void SetUp() override {
    TestClipSpec spec;
    spec.frames = kFrames;
    spec.gop = GetParam();
    spec.gopSize = 10;
    movie = TestMovie::open(spec, &clock);
    ASSERT_TRUE(movie);
    reader.setMovie(movie);
  }

  QKTime frameTime(double frames) const {
    return QKTime{int64_t(std::llround(frames * 512)), 15360, 0};
  }
  void advanceFrames(double frames) { clock.advance(frames / 30.0); }

  // The frame the render thread shows now, once it is decoded. The render
  // thread never waits: while the decoder holds the store it keeps its frame
  // and tries again at the next display frame, as here.
  int shown() {
    if (!movie->preroll(5.0)) return -2;
    updateReader();
    if (!reader.frame()) return -3;
    EXPECT_EQ(TestClip::frameNumberIn(reader.frame()->toImage()), reader.frame()->index());
    return int(reader.frame()->index());
  }
  bool updateReader() {
    const int64_t due = movie->frameIndexAt(clock.nowNanos());
    bool changed = false;
    waitFor([&] {
      changed = reader.update(clock.nowNanos()) || changed;
      return reader.frame() && reader.frame()->index() == due;
    });
    return changed;
  }
  int currentFrame() { return int(movie->currentTime().value / movie->frameDuration().value); }

  ManualMovieClock clock;
  std::shared_ptr<Movie> movie;
  MovieFrameReader reader;
};
}  // namespace

TEST_P(MoviePlayback, FrameShownFollowsTheRate) {
  ASSERT_EQ(movie->timeScale(), 15360);
  for (double rate : {1.0, 2.0, -1.0, 0.5}) {
    movie->setRate(0.0);
    movie->setCurrentTime(frameTime(30));
    movie->setRate(rate);
    EXPECT_EQ(movie->rate(), rate);
    // Display frames at 60 per second, an eighth of a movie frame off the
    // frame boundaries.
    double elapsed = 0.0;
    for (int k = 0; k < 24; ++k) {
      const double step = k == 0 ? 0.125 : 0.5;  // in movie frames
      advanceFrames(step);
      elapsed += step;
      const int expected = int(std::floor(30.0 + rate * elapsed));
      EXPECT_EQ(shown(), expected) << "rate " << rate << " after " << elapsed << " frames";
    }
  }
}

TEST_P(MoviePlayback, PlayingOnceStopsAtTheEndAndTellsIdle) {
  int ended = 0;
  movie->setDidEndHandler([&] { ++ended; });
  movie->setCurrentTime(frameTime(55));
  movie->play();
  advanceFrames(10.5);
  EXPECT_EQ(shown(), kFrames - 1);
  EXPECT_EQ(movie->rate(), 0.0);
  EXPECT_EQ(QKTimeMath::compare(movie->currentTime(), movie->duration()), 0);
  movie->setIdling(false);
  movie->idle();
  EXPECT_EQ(ended, 0);
  movie->setIdling(true);
  movie->idle();
  movie->idle();
  EXPECT_EQ(ended, 1);
}

TEST_P(MoviePlayback, SelectionPlaysAloneAndLoopsAtItsEnds) {
  movie->setSelection(QKTimeRange{frameTime(10), frameTime(10)});  // frames 10..19
  movie->setPlaysSelectionOnly(true);
  struct Case {
    const char* name;
    bool loops;
    bool backAndForth;
    double rate;
    double startFrame;
    double elapsedFrames;
    int expected;
    bool stillPlaying;
  };
  const Case cases[] = {
      {"once, stops at the out point", false, false, 1.0, 10, 12.125, 19, false},
      {"once backwards, stops at the in point", false, false, -1.0, 15, 8.125, 10, false},
      {"loop wraps to the in point", true, false, 1.0, 10, 12.125, 12, true},
      {"loop wraps twice", true, false, 1.0, 10, 25.125, 15, true},
      {"loop backwards wraps to the out point", true, false, -1.0, 10, 0.125, 19, true},
      {"back and forth before the turn", false, true, 1.0, 10, 5.125, 15, true},
      {"back and forth turns at the out point", false, true, 1.0, 10, 12.125, 17, true},
      {"back and forth turns again at the in point", false, true, 1.0, 10, 22.125, 12, true},
      {"back and forth backwards turns at the in point", false, true, -1.0, 12, 4.125, 12, true},
      {"a time set outside the selection plays inside it", false, false, 0.0, 40, 1.0, 19, false},
  };
  for (const Case& c : cases) {
    movie->setRate(0.0);
    movie->setLoops(c.loops);
    movie->setLoopsBackAndForth(c.backAndForth);
    movie->setCurrentTime(frameTime(c.startFrame));
    movie->setRate(c.rate);
    advanceFrames(c.elapsedFrames);
    EXPECT_EQ(shown(), c.expected) << c.name;
    EXPECT_EQ(movie->rate() != 0.0, c.stillPlaying) << c.name;
  }
}

TEST_P(MoviePlayback, BackAndForthKeepsItsDirectionAcrossARateChange) {
  movie->setSelection(QKTimeRange{frameTime(10), frameTime(10)});
  movie->setPlaysSelectionOnly(true);
  movie->setLoopsBackAndForth(true);
  movie->setCurrentTime(frameTime(10));
  movie->setRate(1.0);
  advanceFrames(12.125);  // on the way back, at 17.875
  movie->setRate(2.0);
  advanceFrames(1.0);  // two frames further back
  EXPECT_EQ(shown(), 15);
}

// Every transport call keeps the frame on screen, whichever way the movie
// runs and however it loops; afterwards it goes on from there.
TEST_P(MoviePlayback, TransportCallsKeepTheFrameOnScreen) {
  enum class Mode { Once, Loop, BackAndForth };
  struct Leg {
    const char* name;
    Mode mode;
    double rate;
    double startFrame;
    double elapsedFrames;  // to 50.375 frames
    int heading;           // which way the frames run there
  };
  const Leg legs[] = {
      {"once forward", Mode::Once, 1.0, 40, 10.375, 1},
      {"once backward", Mode::Once, -1.0, 60, 9.625, -1},
      {"loop forward, wrapped", Mode::Loop, 1.0, 40, 70.375, 1},
      {"loop backward, wrapped", Mode::Loop, -1.0, 0, 9.625, -1},
      {"back and forth, going", Mode::BackAndForth, 1.0, 40, 10.375, 1},
      {"back and forth, returning", Mode::BackAndForth, 1.0, 40, 29.625, -1},
      {"back and forth backward, turned at the start", Mode::BackAndForth, -1.0, 0, 50.375, 1},
  };
  struct Call {
    const char* name;
    std::function<void(double rate)> call;
    int shownNow;  // relative to the frame before the call
    // One frame of time later, relative to the frame just after the call, in
    // steps along the heading (nullopt: not checked).
    std::optional<int> shownLater;
  };
  const Call calls[] = {
      {"stop", [&](double) { movie->setRate(0.0); }, 0, 0},
      {"twice as fast", [&](double rate) { movie->setRate(2.0 * rate); }, 0, 2},
      {"reverse", [&](double rate) { movie->setRate(-rate); }, 0, -1},
      {"back and forth toggled",
       [&](double) { movie->setLoopsBackAndForth(!movie->loopsBackAndForth()); },
       0,
       {}},
      {"loop toggled", [&](double) { movie->setLoops(!movie->loops()); }, 0, {}},
      {"selection plays alone", [&](double) { movie->setPlaysSelectionOnly(true); }, 0, {}},
      {"step forward", [&](double) { movie->stepForward(); }, 1, 0},
      {"step backward", [&](double) { movie->stepBackward(); }, -1, 0},
  };
  movie->setSelection(QKTimeRange{frameTime(30), frameTime(30)});
  for (const Leg& leg : legs) {
    for (const Call& c : calls) {
      SCOPED_TRACE(std::string(leg.name) + ": " + c.name);
      movie->setRate(0.0);
      movie->setPlaysSelectionOnly(false);
      movie->setLoops(leg.mode == Mode::Loop);
      movie->setLoopsBackAndForth(leg.mode == Mode::BackAndForth);
      movie->setCurrentTime(frameTime(leg.startFrame));
      movie->setRate(leg.rate);
      advanceFrames(leg.elapsedFrames);
      ASSERT_EQ(shown(), 50);
      c.call(leg.rate);
      const int now = 50 + c.shownNow;
      EXPECT_EQ(shown(), now);
      if (!c.shownLater) continue;
      advanceFrames(1.0);
      EXPECT_EQ(shown(), now + *c.shownLater * leg.heading);
    }
  }
}

// A stopped movie on the way back resumes the way back.
TEST_P(MoviePlayback, BackAndForthResumesItsLegAfterAStop) {
  movie->setLoopsBackAndForth(true);
  movie->setCurrentTime(frameTime(40));
  movie->play();
  advanceFrames(29.625);  // on the way back, at 50.375
  movie->stop();
  advanceFrames(3.0);
  EXPECT_EQ(shown(), 50);
  movie->play();
  advanceFrames(2.0);
  EXPECT_EQ(shown(), 48);
}

TEST_P(MoviePlayback, GoingToTheEndsRespectsTheSelection) {
  movie->gotoEnd();
  EXPECT_EQ(QKTimeMath::compare(movie->currentTime(), movie->duration()), 0);
  EXPECT_EQ(shown(), kFrames - 1);
  movie->gotoBeginning();
  EXPECT_EQ(movie->currentTime().value, 0);
  movie->setSelection(QKTimeRange{frameTime(20), frameTime(5)});
  movie->setPlaysSelectionOnly(true);
  movie->gotoEnd();
  EXPECT_EQ(QKTimeMath::compare(movie->currentTime(), frameTime(25)), 0);
  EXPECT_EQ(shown(), 24);
  movie->gotoBeginning();
  EXPECT_EQ(QKTimeMath::compare(movie->currentTime(), frameTime(20)), 0);
  EXPECT_EQ(shown(), 20);
  movie->setPlaysSelectionOnly(false);
  movie->gotoBeginning();
  EXPECT_EQ(shown(), 0);
}

TEST_P(MoviePlayback, SteppingMovesOneFrameAndStops) {
  movie->setCurrentTime(frameTime(10.5));
  movie->play();
  movie->stepForward();
  EXPECT_EQ(movie->rate(), 0.0);
  EXPECT_EQ(currentFrame(), 11);
  EXPECT_EQ(shown(), 11);
  movie->stepBackward();
  movie->stepBackward();
  EXPECT_EQ(shown(), 9);
  movie->gotoBeginning();
  movie->stepBackward();
  EXPECT_EQ(shown(), 0);
  movie->gotoEnd();
  movie->stepForward();
  EXPECT_EQ(shown(), kFrames - 1);
  // Stepping back frame by frame across key frames shows every frame.
  for (int expected = kFrames - 2; expected >= kFrames - 25; --expected) {
    movie->stepBackward();
    EXPECT_EQ(shown(), expected);
  }
  movie->setSelection(QKTimeRange{frameTime(30), frameTime(3)});
  movie->setPlaysSelectionOnly(true);
  movie->setCurrentTime(frameTime(32));
  movie->stepForward();
  EXPECT_EQ(shown(), 32);
  movie->setCurrentTime(frameTime(30));
  movie->stepBackward();
  EXPECT_EQ(shown(), 30);
}

TEST_P(MoviePlayback, PosterIsItsOwnFrame) {
  EXPECT_EQ(TestClip::frameNumberIn(movie->posterImage()), 0);
  movie->setPosterTime(QKTime{7, 30, 0});
  EXPECT_EQ(QKTimeMath::compare(movie->posterTime(), QKTime{7, 30, 0}), 0);
  EXPECT_EQ(TestClip::frameNumberIn(movie->posterImage()), 7);
  EXPECT_FALSE(movie->canUpdateMovieFile());
}

TEST_P(MoviePlayback, ReaderKeepsItsFrameUntilANewOneIsDue) {
  movie->setCurrentTime(frameTime(4));
  ASSERT_EQ(shown(), 4);
  const uint64_t serial = reader.frame()->serial();
  advanceFrames(0.5);  // paused: nothing new
  EXPECT_FALSE(reader.update(clock.nowNanos()));
  EXPECT_EQ(reader.frame()->serial(), serial);
  movie->play();
  advanceFrames(1.25);
  ASSERT_TRUE(movie->preroll(5.0));
  EXPECT_TRUE(updateReader());
  EXPECT_EQ(reader.frame()->index(), 5);
}

// A coarse time scale (one unit a frame): no number of transport calls moves
// the play head, although each lands between two units.
TEST(MovieCoarseScale, RateCallsDoNotMoveThePlayHead) {
  ManualMovieClock clock;
  TestClipSpec spec;
  spec.frames = 60;
  spec.timeScale = 30;
  std::shared_ptr<Movie> movie = TestMovie::open(spec, &clock);
  ASSERT_TRUE(movie);
  ASSERT_EQ(movie->timeScale(), 30);
  movie->setLoops(true);
  movie->play();
  for (int k = 0; k < 90; ++k) {
    clock.advance(0.37 / 30.0);
    movie->setRate(1.0);
  }
  EXPECT_EQ(movie->frameIndexAt(clock.nowNanos()), 33);  // 90 × 0.37 frames
  clock.advance(50.0 / 30.0);
  EXPECT_EQ(movie->frameIndexAt(clock.nowNanos()), 23);  // 83.3, looped once
}

INSTANTIATE_TEST_SUITE_P(Gops, MoviePlayback,
                         ::testing::Values(TestClipSpec::Gop::AllIntra, TestClipSpec::Gop::Long),
                         ::testing::PrintToStringParamName());
