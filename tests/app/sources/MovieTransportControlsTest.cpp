#include "app/sources/MovieSourceScratchView.h"
#include "app/sources/MovieSourceSpeedSliderControl.h"
#include "app/sources/MovieSourceTimeSliderControl.h"
#include "framework/controls/SliderColorDict.h"
#include "platform/display/PointerControl.h"
#include "tests/app/sources/MovieSourceFixture.h"
#include "tests/framework/controls/SliderViewFixture.h"
#include "tests/support/Screenshot.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

bool near(QRgb pixel, const QColor& color, int tolerance = 3) {
  return std::abs(qRed(pixel) - color.red()) <= tolerance &&
         std::abs(qGreen(pixel) - color.green()) <= tolerance &&
         std::abs(qBlue(pixel) - color.blue()) <= tolerance;
}

SliderPainter::Colors builtInColors(bool selected, bool sync, bool learn) {
  return SliderPainter::colorsFromLeaf(
      SliderColorDict::leaf(SliderColorDict::builtIn(), selected, sync, learn));
}

void expectRect(const QRectF& actual, const QRectF& expected) {
  EXPECT_NEAR(actual.x(), expected.x(), 1e-3) << "x";
  EXPECT_NEAR(actual.y(), expected.y(), 1e-3) << "y";
  EXPECT_NEAR(actual.width(), expected.width(), 1e-3) << "width";
  EXPECT_NEAR(actual.height(), expected.height(), 1e-3) << "height";
}

void expectPolygon(const QPolygonF& actual, const std::vector<QPointF>& expected) {
  ASSERT_EQ(actual.size(), qsizetype(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(actual[qsizetype(i)].x(), expected[i].x(), 1e-3) << "point " << i;
    EXPECT_NEAR(actual[qsizetype(i)].y(), expected[i].y(), 1e-3) << "point " << i;
  }
}

// The main display of 1000 x 500 pixels; a move takes unless told not to.
class FakePointer : public PointerControl {
 public:
  QSize mainDisplayPixels() const override { return {1000, 500}; }
  QPoint position() const override { return pos; }
  bool canMove() const override { return movable; }
  bool moveTo(QPoint pixel) override {
    moves.push_back(pixel);
    if (!movable || refuseMoves) return false;
    pos = pixel;
    return true;
  }
  void hide() override {
    if (!isHidden) ++hides;
    isHidden = true;
  }
  void show() override {
    if (isHidden) ++shows;
    isHidden = false;
  }
  bool hidden() const override { return isHidden; }

  QPoint pos{500, 300};
  bool movable = true;
  bool refuseMoves = false;
  bool isHidden = false;
  int hides = 0;
  int shows = 0;
  std::vector<QPoint> moves;
};

// A movie source as the strip sees it: a clip at `time` seconds (none
// below 0) kept inside 0 .. 10 s.
class FakeMovie : public MovieScratchTarget {
 public:
  int pauseToggleValue() const override { return pauseValue; }
  void setPauseToggleValue(int value) override {
    pauseValue = value;
    pauseSets.push_back(value);
  }
  float lastMovieTime() const override { return time; }
  void setTimeMainThread(float seconds) override {
    times.push_back(seconds);
    if (time >= 0.0f) time = std::clamp(seconds, 0.0f, 10.0f);
  }
  float speedSliderValue() const override { return speed; }
  void setSpeedMainThread(float value) override { speedSets.push_back(value); }

  int pauseValue = 1;
  float time = 4.0f;
  float speed = 1.5f;
  std::vector<int> pauseSets;
  std::vector<float> times;
  std::vector<float> speedSets;
};

// The three controls in a window with the real slider manager.
class TransportControls : public SliderViewFixture, public ::testing::Test {
 protected:
  MovieSourceScratchView* strip(const QRect& geometry = {10, 10, 176, 24}) {
    auto* view = new MovieSourceScratchView;
    control(geometry, view);
    view->scratchCell()->setScratchTarget(movie);
    view->scratchCell()->setPointerControl(pointer);
    return view;
  }

  // A press, drags and a release with the pointer at these display x's.
  void press(QWidget* view, int x) {
    pointer->pos.setX(x);
    mouse(view, QEvent::MouseButtonPress, {100, 12});
  }
  void drag(QWidget* view, int x) {
    pointer->pos.setX(x);
    mouse(view, QEvent::MouseMove, {100, 12});
  }
  void release(QWidget* view) { mouse(view, QEvent::MouseButtonRelease, {100, 12}); }

  std::shared_ptr<FakeMovie> movie = std::make_shared<FakeMovie>();
  std::shared_ptr<FakePointer> pointer = std::make_shared<FakePointer>();
};

// --- Layout -----------------------------------------------------------------------------

TEST_F(TransportControls, MarkerAndBarOfTheThreeKindsByFillValue) {
  // 200 x 20, value 0.5: the marker column trunc(0.5 x 199) = 99.
  QKSliderControl* base = control({0, 0, 200, 20});
  QKSliderControl* speed = control({0, 30, 200, 20}, new MovieSourceSpeedSliderControl);
  QKSliderControl* time = control({0, 60, 200, 20}, new MovieSourceTimeSliderControl);
  const double timeX = 99.0 - 20.0 / 3.0;
  struct Case {
    const char* name;
    QKSliderControl* slider;
    float fill;
    QRectF head;
    QRectF bar;
  };
  const Case cases[] = {
      {"base below", base, 0.25f, {97, 0, 5, 20}, {50, 0, 50, 20}},
      {"base equal", base, 0.5f, {97, 0, 5, 20}, {}},
      {"base above", base, 0.75f, {97, 0, 5, 20}, {99.5, 0, 50, 20}},
      {"speed below", speed, 0.25f, {97, 0, 5, 20}, {50, 0, 50, 20}},
      {"speed equal", speed, 0.5f, {97, 0, 5, 20}, {100, 0, 0, 20}},
      {"speed above", speed, 0.75f, {97, 0, 5, 20}, {99.5, 0, 50, 20}},
      {"time below", time, 0.25f, {timeX, 0, 20, 20}, {50, 0, 50, 20}},
      {"time equal", time, 0.5f, {timeX, 0, 20, 20}, {}},
      {"time above", time, 0.75f, {timeX, 0, 20, 20}, {timeX + 10.0, 0, 50, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.slider->setFillValue(c.fill);
    c.slider->setValue(0.5f);
    expectRect(c.slider->sliderHead(), c.head);
    expectRect(c.slider->sliderBG(), c.bar);
  }
}

TEST_F(TransportControls, ThePlayHeadIsGrabbedOverItsSquare) {
  auto* time = static_cast<MovieSourceTimeSliderControl*>(
      control({0, 0, 200, 20}, new MovieSourceTimeSliderControl));
  time->setValue(0.5f);
  // 12 points right of the value is inside the square (the head, dragged
  // relatively) and does not make the value jump.
  mouse(time, QEvent::MouseButtonPress, at(time, 105.0, 10.0));
  EXPECT_FLOAT_EQ(time->value(), 0.5f);
  mouse(time, QEvent::MouseMove, at(time, 115.0, 10.0));
  mouse(time, QEvent::MouseButtonRelease, at(time, 115.0, 10.0));
  EXPECT_NEAR(time->value(), 0.5f + 10.0f / 200.0f, 1e-4);
}

// --- Shapes -----------------------------------------------------------------------------

TEST(MovieTransportShapes, ArrowsPointTheWayTheClipRunsAndAreAtLeastSevenLong) {
  struct Case {
    const char* name;
    QRectF bar;
    float value, fill;
    std::vector<QPointF> shape;
  };
  const Case cases[] = {
      {"right", {100, 0, 50, 20}, 0.75f, 0.5f, {{150, 20}, {157, 10}, {150, 0}}},
      {"left", {60, 0, 40, 20}, 0.3f, 0.5f, {{60, 20}, {53, 10}, {60, 0}}},
      {"both ways", {100, 0, 0, 20}, 0.5f, 0.5f, {{100, 20}, {93, 10}, {100, 0}, {107, 10}}},
      {"tall bar", {100, 0, 50, 40}, 0.75f, 0.5f, {{150, 40}, {160, 20}, {150, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectPolygon(MovieSourceSpeedSliderCell::arrow(c.bar, c.value, c.fill), c.shape);
  }
  EXPECT_DOUBLE_EQ(MovieSourceSpeedSliderCell::arrowLength(20), 7.0);
  EXPECT_DOUBLE_EQ(MovieSourceSpeedSliderCell::arrowLength(27.9), 7.0);
  EXPECT_DOUBLE_EQ(MovieSourceSpeedSliderCell::arrowLength(40), 10.0);
}

TEST(MovieTransportShapes, PlayHeadIsAtLeastSevenEachSideOfItsLine) {
  expectPolygon(MovieSourceTimeSliderCell::playHead({0, 0, 200, 20}, {0, 0, 200, 20}, 0.5f),
                {{93, 20}, {107, 20}, {100, 13}});
  expectPolygon(MovieSourceTimeSliderCell::playHead({12, 0, 188, 60}, {0, 0, 200, 60}, 0.25f),
                {{47, 60}, {71, 60}, {59, 48}});
}

// --- Pixels -----------------------------------------------------------------------------

TEST_F(TransportControls, PlayHeadAndArrowTakeTheLearnGreenWhenBound) {
  auto* time = control({0, 0, 200, 20}, new MovieSourceTimeSliderControl);
  auto* speed = control({0, 30, 200, 20}, new MovieSourceSpeedSliderControl);
  time->setValue(0.5f);
  speed->setFillValue(0.5f);
  speed->setValue(0.75f);
  const auto plain = builtInColors(false, false, false);
  QImage t = picture(time);
  EXPECT_TRUE(near(t.pixel(100, 1), plain.head)) << "the triangle at the top";
  EXPECT_TRUE(near(t.pixel(100, 12), plain.head)) << "the line across";
  EXPECT_TRUE(near(t.pixel(130, 12), plain.frame)) << "the bare track";
  QImage s = picture(speed);
  EXPECT_TRUE(near(s.pixel(125, 10), plain.fill)) << "the bar";
  EXPECT_TRUE(near(s.pixel(152, 10), plain.fill)) << "the arrow continues the bar";
  EXPECT_TRUE(near(s.pixel(170, 10), plain.frame));

  bind(time, {"ZAPH", "time"}, 0.5f);
  bind(speed, {"ZAPH", "speed"}, 0.75f);
  manager.setHardwareLearnMode(true);
  const QColor green = SliderPainter::learnHeadColor();
  EXPECT_TRUE(near(picture(time).pixel(100, 1), green));
  EXPECT_TRUE(near(picture(time).pixel(100, 12), green));
  EXPECT_TRUE(near(picture(speed).pixel(152, 10), green));
  manager.setHardwareLearnMode(false);
}

TEST_F(TransportControls, UnsyncedStripIsHatchedAndASyncedOneIsASlider) {
  MovieSourceScratchView* view = strip({0, 0, 176, 24});
  const auto colors = builtInColors(false, false, false);
  QImage hatched = picture(view);
  int lines = 0;
  int ground = 0;
  for (int x = 80; x < 170; ++x) {  // right of the name
    const QRgb pixel = hatched.pixel(x, 12);
    lines += near(pixel, colors.fill) ? 1 : 0;
    ground += near(pixel, colors.frame) ? 1 : 0;
  }
  // A line every 6 points across the row, the frame colour between.
  EXPECT_GE(lines, 12);
  EXPECT_LE(lines, 35);
  EXPECT_GE(ground, 50);

  bind(view, {"ZAPH", "scratch"}, 0.5f);
  QImage slider = picture(view);
  const QRectF head = view->sliderHead();
  EXPECT_TRUE(near(slider.pixel(int(head.center().x()), 12),
                   SliderPainter::colorsFromLeaf(view->cell()->getRelevantColorDict()).head));
  EXPECT_FALSE(near(slider.pixel(int(head.center().x()), 12), colors.fill));
}

// --- The scratch ------------------------------------------------------------------------

TEST_F(TransportControls, HundredPointsMoveTheClipOneSecond) {
  MovieSourceScratchView* view = strip();
  press(view, 500);
  EXPECT_EQ(movie->pauseSets, std::vector<int>{0});
  EXPECT_TRUE(pointer->isHidden);
  drag(view, 600);
  EXPECT_FLOAT_EQ(movie->time, 5.0f);
  drag(view, 450);
  EXPECT_FLOAT_EQ(movie->time, 3.5f);
  drag(view, 50 + 46);  // 4.04 s left of the start: kept at 0 by the source
  EXPECT_NEAR(movie->times.back(), -0.04f, 1e-5);
  EXPECT_FLOAT_EQ(movie->time, 0.0f);
  release(view);
}

TEST_F(TransportControls, ALongDragRecentresNearEachEdgeWithoutJumpingBack) {
  MovieSourceScratchView* view = strip();
  press(view, 500);
  drag(view, 900);  // +4 s
  EXPECT_FLOAT_EQ(movie->time, 8.0f);
  drag(view, 960);  // within 45 of the right edge: back to the middle
  ASSERT_EQ(pointer->moves.size(), 1u);
  EXPECT_EQ(pointer->moves.back(), QPoint(500, 300));
  EXPECT_FLOAT_EQ(movie->time, 8.0f);
  const size_t timesBefore = movie->times.size();
  drag(view, 500);  // the move's own event is skipped
  EXPECT_EQ(movie->times.size(), timesBefore);
  drag(view, 550);  // on from where the clip stood
  EXPECT_FLOAT_EQ(movie->time, 8.5f);

  drag(view, 100);  // -4 s
  EXPECT_FLOAT_EQ(movie->time, 4.0f);
  drag(view, 45);  // the left edge
  ASSERT_EQ(pointer->moves.size(), 2u);
  EXPECT_EQ(pointer->moves.back(), QPoint(500, 300));
  EXPECT_FLOAT_EQ(movie->time, 4.0f);
  drag(view, 500);
  drag(view, 400);
  EXPECT_FLOAT_EQ(movie->time, 3.0f);
  release(view);
}

TEST_F(TransportControls, ReleaseRestoresSpeedPauseStateAndPointer) {
  struct Case {
    const char* name;
    int pausedBefore;  // the toggle: 1 playing, 0 paused
  };
  for (const Case& c : {Case{"playing", 1}, Case{"paused", 0}}) {
    SCOPED_TRACE(c.name);
    movie = std::make_shared<FakeMovie>();
    pointer = std::make_shared<FakePointer>();
    movie->pauseValue = c.pausedBefore;
    MovieSourceScratchView* view = strip();
    pointer->pos = {420, 210};
    press(view, 420);
    drag(view, 700);
    release(view);
    EXPECT_EQ(movie->pauseSets, (std::vector<int>{0, c.pausedBefore}));
    EXPECT_EQ(movie->speedSets, std::vector<float>{1.5f});
    EXPECT_EQ(pointer->moves.back(), QPoint(420, 210));
    EXPECT_FALSE(pointer->isHidden);
    EXPECT_FALSE(view->scratchCell()->trackingOnDrag());
    delete view;
  }
}

TEST_F(TransportControls, AScratchThatLosesTheMouseEndsOnceWhicheverWay) {
  window->show();
  enum class Loss { Deactivated, Hidden, Deleted, Retired };
  struct Case {
    const char* name;
    Loss loss;
  };
  const Case cases[] = {{"window deactivated", Loss::Deactivated},
                        {"strip hidden", Loss::Hidden},
                        {"strip deleted", Loss::Deleted},
                        {"strip retired", Loss::Retired}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    movie = std::make_shared<FakeMovie>();
    pointer = std::make_shared<FakePointer>();
    QPointer<MovieSourceScratchView> view = strip();
    press(view, 500);
    drag(view, 650);
    ASSERT_TRUE(pointer->isHidden);
    switch (c.loss) {
      case Loss::Deactivated: {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(window.get(), &deactivate);
        break;
      }
      case Loss::Hidden:
        view->hide();
        break;
      case Loss::Deleted:
        delete view.data();
        break;
      case Loss::Retired:
        view->prepareToBeDeleted();
        break;
    }
    EXPECT_EQ(movie->pauseSets, (std::vector<int>{0, 1}));
    EXPECT_EQ(movie->speedSets.size(), 1u);
    EXPECT_FALSE(pointer->isHidden);
    EXPECT_EQ(pointer->shows, 1);
    EXPECT_EQ(pointer->moves.back(), QPoint(500, 300));
    if (view) {
      release(view);  // a late release changes nothing more
      drag(view, 700);
      delete view.data();
    }
    EXPECT_EQ(movie->pauseSets.size(), 2u);
    EXPECT_EQ(movie->speedSets.size(), 1u);
    EXPECT_FLOAT_EQ(movie->time, 5.5f);
  }
}

TEST_F(TransportControls, WithoutAFileOnlyPauseAndPointerChange) {
  movie->time = -1.0f;
  MovieSourceScratchView* view = strip();
  press(view, 500);
  drag(view, 700);
  drag(view, 980);
  drag(view, 500);
  drag(view, 300);
  release(view);
  EXPECT_TRUE(movie->times.empty());
  EXPECT_EQ(movie->pauseSets, (std::vector<int>{0, 1}));
  EXPECT_EQ(pointer->hides, 1);
  EXPECT_FALSE(pointer->isHidden);
}

TEST_F(TransportControls, WhereTheMoveDoesNotTakeTheScratchGoesOnVisibly) {
  struct Case {
    const char* name;
    bool movable;  // the platform lets us move the pointer at all
    int hidesExpected;
  };
  for (const Case& c : {Case{"cannot move", false, 0}, Case{"move refused", true, 1}}) {
    SCOPED_TRACE(c.name);
    movie = std::make_shared<FakeMovie>();
    pointer = std::make_shared<FakePointer>();
    pointer->movable = c.movable;
    pointer->refuseMoves = true;
    MovieSourceScratchView* view = strip();
    press(view, 500);
    EXPECT_EQ(pointer->isHidden, c.movable);
    drag(view, 970);  // near the edge: no re-centre, the time follows
    EXPECT_FALSE(pointer->isHidden);
    EXPECT_NEAR(movie->time, 8.7f, 1e-4);
    drag(view, 990);
    EXPECT_NEAR(movie->time, 8.9f, 1e-4);
    release(view);
    EXPECT_EQ(pointer->hides, c.hidesExpected);
    EXPECT_FALSE(pointer->isHidden);
    EXPECT_EQ(movie->pauseSets, (std::vector<int>{0, 1}));
    delete view;
  }
}

TEST_F(TransportControls, ALockedStripStillPausesAndRestores) {
  MovieSourceScratchView* view = strip();
  view->setLockUIFlag(true);
  view->setValue(0.5f);
  press(view, 500);
  drag(view, 600);
  release(view);
  EXPECT_FLOAT_EQ(view->value(), 0.5f);
  EXPECT_FLOAT_EQ(movie->time, 5.0f);
  EXPECT_EQ(movie->pauseSets, (std::vector<int>{0, 1}));
  EXPECT_FALSE(pointer->isHidden);
}

// --- The system pointer -----------------------------------------------------------------

TEST(SystemPointer, HidingIsABlankOverrideCursorTakenBackOnce) {
  auto pointer = PointerControl::system();
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  pointer->hide();
  pointer->hide();
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
  pointer->show();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  pointer->show();
  pointer->hide();
  pointer.reset();  // destroyed while hidden
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(SystemPointer, MovesTakeOnX11) {
  auto pointer = PointerControl::system();
  if (!pointer->canMove()) GTEST_SKIP() << "this platform does not move the pointer";
  const QSize display = pointer->mainDisplayPixels();
  ASSERT_GT(display.width(), 100);
  for (const QPoint& to : {QPoint(60, 40), QPoint(display.width() / 2, display.height() / 3)}) {
    EXPECT_TRUE(pointer->moveTo(to));
    EXPECT_TRUE(MainThread::processUntil([&] { return pointer->position() == to; }, 2.0))
        << pointer->position().x() << "," << pointer->position().y();
  }
}

// --- In the movie panel -----------------------------------------------------------------

TEST_F(MovieSourceFixture, ThePanelScratchesTheClipInsideTheTimeEnvelope) {
  MovieSource& s = source();
  EXPECT_TRUE(qobject_cast<MovieSourceSpeedSliderControl*>(s.speedSlider()));
  EXPECT_TRUE(qobject_cast<MovieSourceTimeSliderControl*>(s.timeSlider()));
  auto* strip = qobject_cast<MovieSourceScratchView*>(s.scratchSlider());
  ASSERT_TRUE(strip);
  EXPECT_TRUE(strip->syncToggle());
  auto pointer = std::make_shared<FakePointer>();
  strip->scratchCell()->setPointerControl(pointer);

  auto file = clip();
  trigger(file);
  ASSERT_TRUE(loaded(file));
  idle();
  s.timeSlider()->cell()->setMinEnv(0.1f, true);
  s.timeSlider()->cell()->setMaxEnv(0.8f, true);
  s.setTimeMainThread(0.5f);
  ASSERT_EQ(s.pauseToggle()->intValue(), 1);

  auto send = [&](QEvent::Type type, int x) {
    pointer->pos.setX(x);
    SliderViewFixture::mouse(strip, type, {100, 12});
  };
  send(QEvent::MouseButtonPress, 500);
  EXPECT_EQ(s.pauseToggle()->intValue(), 0);
  EXPECT_TRUE(MainThread::processUntil([&] { return s.paused(); }, 2.0));
  send(QEvent::MouseMove, 520);
  EXPECT_NEAR(s.lastMovieTime(), 0.7, 0.04);
  send(QEvent::MouseMove, 600);  // 1.5 s: kept at the out point
  EXPECT_NEAR(s.lastMovieTime(), 0.8, 0.04);
  send(QEvent::MouseMove, 300);  // -1.5 s: kept at the in point
  EXPECT_NEAR(s.lastMovieTime(), 0.1, 0.04);
  send(QEvent::MouseButtonRelease, 300);
  EXPECT_EQ(s.pauseToggle()->intValue(), 1);
  EXPECT_TRUE(MainThread::processUntil([&] { return !s.paused(); }, 2.0));
  EXPECT_FALSE(pointer->isHidden);
  s.timeSlider()->addInterestingPoint(0.3f);
  s.timeSlider()->addInterestingPoint(0.6f);
  s.speedSlider()->setValueWithRangedValue(-1.0f);
  SliderViewFixture::settle();
  const QImage panel = s.view()->grab().toImage();
  saveScreenshot(panel, QStringLiteral("movie-panel"));
  saveScreenshot(panel.scaled(panel.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation),
                 QStringLiteral("movie-panel-3x"));
}

}  // namespace
