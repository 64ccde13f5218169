// The time-warp editor: the grid arithmetic, the drag, the buttons, and a
// look at the movie pane.
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "app/inspector/TimeWarpGrid.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/QKWarpMarker.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/support/Screenshot.h"

#include <QTabWidget>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

namespace P = MovieProps;
namespace G = TimeWarpGrid;
constexpr int kUnits = 512;
constexpr int kScale = kUnits * 30;

TEST(TimeWarpGrid, LayersAndThinning) {
  struct Case {
    const char* name;
    float width;
    int beats, subdivisions;
    float share, measures;
    int finest, fine, coarse;  // lines
  };
  const Case cases[] = {
      {"8 measures in 400 points", 400, 4, 2, 1.0f, 8, 33, 17, 5},
      {"half the movie", 400, 4, 2, 0.5f, 8, 33, 17, 5},
      {"one measure, fits unthinned", 400, 4, 2, 1.0f, 1, 9, 5, 2},
      {"no length: no grid", 400, 4, 2, 1.0f, 0, 0, 0, 0},
      {"negative length: no grid", 400, 4, 2, 1.0f, -3, 0, 0, 0},
      {"no range: no grid", 400, 4, 2, 0.0f, 8, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const G::Layers layers = G::layers(c.width, c.beats, c.subdivisions, c.share, c.measures);
    EXPECT_EQ(layers.finest.lines(), c.finest);
    EXPECT_EQ(layers.fine.lines(), c.fine);
    EXPECT_EQ(layers.coarse.lines(), c.coarse);
  }
  // One subdivision per beat and many beats: the thinning ends, in budget.
  for (int subdivisions : {0, 1}) {
    const G::Layers layers = G::layers(400, 4, subdivisions, 1.0f, 5000);
    EXPECT_GT(layers.finest.lines(), 1);
    EXPECT_LE(layers.finest.lines(), 41);
    EXPECT_LE(layers.fine.lines(), 41);
  }
}

TEST(TimeWarpGrid, SnapAndBounds) {
  // 32 steps of 12.5 points (8 measures, 4 beats, 2 subdivisions, 400 wide).
  EXPECT_FLOAT_EQ(G::snap(40.9f, 400, 4, 2, 1.0f, 8, 3), 37.5f);
  EXPECT_FLOAT_EQ(G::snap(41.5f, 400, 4, 2, 1.0f, 8, 3), 41.5f) << "4 points away: no snap";
  EXPECT_FLOAT_EQ(G::snap(41.5f, 400, 4, 2, 1.0f, 0, 3), 41.5f) << "no grid: no snap";
  EXPECT_FLOAT_EQ(G::snap(41.5f, 400, 4, 1, 1.0f, 5000, 3),
                  G::snap(41.5f, 400, 4, 1, 1.0f, 5000, 3));

  struct Case {
    const char* name;
    float beat, lower, upper, expected;
  };
  const Case cases[] = {
      {"inside", 0.4f, 0.2f, 0.6f, 0.4f},
      {"on the lower bound stays", 0.2f, 0.2f, 0.6f, 0.2f},
      {"past the lower bound", 0.1f, 0.2f, 0.6f, 0.22f},
      {"past the upper bound", 0.9f, 0.2f, 0.6f, 0.58f},
      {"close neighbours: past the upper", 0.7f, 0.50f, 0.51f, 0.505f},
      {"close neighbours: past the lower", 0.1f, 0.50f, 0.51f, 0.505f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(G::boundedBeat(c.beat, c.lower, c.upper), c.expected, 1e-6);
  }
}

struct WarpFixture : ::testing::Test {
  WarpFixture() : inspector(&host) {
    inspector.awakeFromNib();
    inspector.window()->contentView()->expand();
    inspector.movieOptionsTabView()->setCurrentIndex(1);
    preview = inspector.rangeSelector();
    view = inspector.timeWarpView();
    TestClipSpec spec;
    file = files.movie(spec);
    file->setMovieProp(P::kDurationInMeasures, 2.0);
    for (int frame : {6, 15, 24}) file->addWarpMarkerAtTime({frame * kUnits, kScale, 0});
    inspector.selectTheseFiles({entry(file)});
    MainThread::processUntil([&] { return preview->currentMovie() && !preview->loading(); }, 5.0);
    view->resize(400, 100);
    settle();
  }
  ~WarpFixture() override { inspector.selectTheseFiles({}); }
  // The view point of a marker (hit-test geometry).
  QPointF pointOf(int index) const {
    const auto& m = file->warpMarkers()[size_t(index)];
    return {double(m->warpTime().value) * (view->width() - 1) / kScale,
            double(m->originalTime().value) * (view->height() - 1) / kScale};
  }

  FakeInspectorHost host;
  InspectorFiles files;
  MediaInspector inspector;
  QKMIRangeSelectorController* preview = nullptr;
  QKMITimeWarpView* view = nullptr;
  std::shared_ptr<QKQTFile> file;
};

TEST_F(WarpFixture, ClickSelectsAndMovesThePreview) {
  EXPECT_EQ(view->finestLines(), 17);  // 2 measures: 16 subdivisions
  EXPECT_EQ(view->coarseLines(), 3);
  view->mouseDownAt(pointOf(1) + QPointF(2, -2));
  EXPECT_EQ(view->selectedMarker(), 1);
  EXPECT_TRUE(view->hasSelectedPointPath());
  EXPECT_NEAR(preview->timeSlider()->cell()->rangedValue(), 0.5, 1e-4);
  view->mouseDownAt({200, 90});
  EXPECT_EQ(view->selectedMarker(), -1);
}

TEST_F(WarpFixture, DragIsSnappedAndBounded) {
  view->setSelectedMarker(0);
  const double spacing = view->width() / 16.0;  // 2 measures of 4 beats of 2
  struct Case {
    const char* name;
    double x;
    float beat;
  };
  const Case cases[] = {
      {"to x = 0: the range start", 0, 0.0f},
      {"past the edge", -30, 0.02f},
      {"onto a grid line", 2 * spacing + 1, 0.125f},
      {"past the neighbour", 390, 0.5f - 0.02f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view->mouseDraggedTo({c.x, 10});
    EXPECT_NEAR(file->warpMarkers()[0]->beatPosition(), c.beat, 1e-5);
    EXPECT_EQ(file->warpMarkers()[0]->originalTime().value, 6 * kUnits) << "never re-timed";
  }
}

TEST_F(WarpFixture, Buttons) {
  // Insert at the play head selects the new marker.
  preview->setTimeMainThread(10.0 / 30.0);
  preview->timeSlider()->setValueWithRangedValue(10.0f / 30.0f, false);
  view->insertWarpMarkerAtPlayHead();
  settle();
  ASSERT_EQ(file->warpMarkers().size(), 4u);
  EXPECT_EQ(view->selectedMarker(), 1);
  EXPECT_EQ(file->warpMarkers()[1]->originalTime().value, 10 * kUnits);

  // Delete keeps the index, which then names the next marker.
  view->removeSelectedWarpMarker();
  settle();
  ASSERT_EQ(file->warpMarkers().size(), 3u);
  EXPECT_EQ(view->selectedMarker(), 1);
  EXPECT_EQ(file->warpMarkers()[1]->originalTime().value, 15 * kUnits);
  view->setSelectedMarker(7);
  view->removeSelectedWarpMarker();
  EXPECT_EQ(file->warpMarkers().size(), 3u);

  view->autoSpaceWarpMarkersButtonUsed();
  settle();
  EXPECT_FLOAT_EQ(file->warpMarkers()[0]->beatPosition(), 0.25f);
  EXPECT_FLOAT_EQ(file->warpMarkers()[1]->beatPosition(), 0.5f);
  EXPECT_FLOAT_EQ(file->warpMarkers()[2]->beatPosition(), 0.75f);

  view->resetWarpMarkersButtonUsed();
  settle();
  EXPECT_NEAR(file->warpMarkers()[0]->beatPosition(), 6.0 / 30.0, 1e-6);
  EXPECT_EQ(file->warpMarkers()[0]->warpTime().value, 6 * kUnits);
}

TEST_F(WarpFixture, SnapshotKeepsTheButtons) {
  const QVariantMap snapshot = view->createSnapshot();
  EXPECT_TRUE(snapshot.contains(QStringLiteral("insertWarpPtButton")));
  EXPECT_TRUE(snapshot.contains(QStringLiteral("previewPlayPauseButton")));
  view->loadSnapshot(snapshot);
  EXPECT_EQ(view->createSnapshot(), snapshot);
}

int lumaOf(const QImage& image, int x, int y) {
  const QColor c = image.pixelColor(x, y);
  return (c.red() * 299 + c.green() * 587 + c.blue() * 114) / 1000;
}

// The darkest grey in a square of `radius` around a point.
int darkestAround(const QImage& image, QPoint p, int radius) {
  int darkest = 255;
  for (int y = p.y() - radius; y <= p.y() + radius; ++y)
    for (int x = p.x() - radius; x <= p.x() + radius; ++x)
      if (image.rect().contains(x, y)) darkest = std::min(darkest, lumaOf(image, x, y));
  return darkest;
}

// The darkest grey of a row a pixel either side of a column: a straight
// line may fall on either pixel of its position.
int darkestAcross(const QImage& image, int x, int y) {
  return std::min({lumaOf(image, x - 1, y), lumaOf(image, x, y), lumaOf(image, x + 1, y)});
}

bool isRed(const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }

TEST_F(WarpFixture, MoviePaneScreenshot) {
  view->setSelectedMarker(1);
  preview->setTimeMainThread(15.0 / 30.0);
  preview->timeSlider()->setValueWithRangedValue(0.5f, false);
  settle(0.3);
  const QImage editor = view->grab().toImage();
  saveScreenshot(editor, QStringLiteral("inspector-time-warp"));
  ASSERT_EQ(editor.size(), view->size());
  const int w = view->width(), h = view->height();
  // Where a marker's circle is drawn: its warp time across, its original
  // time up from the bottom edge.
  const auto centreOf = [&](int index) {
    const auto& m = file->warpMarkers()[size_t(index)];
    return QPoint(qRound(double(m->warpTime().value) * (w - 1) / kScale),
                  qRound(h - double(m->originalTime().value) * h / kScale));
  };

  // A marker is a black ring of radius 4 on a white field, the curve
  // running through its middle: dark on the ring above and below, white
  // just inside it (above the curve) and outside it.
  for (int index : {0, 2}) {
    SCOPED_TRACE(index);
    const QPoint c = centreOf(index);
    EXPECT_LT(darkestAround(editor, c + QPoint(0, -4), 1), 128) << "the ring's top";
    EXPECT_LT(darkestAround(editor, c + QPoint(0, 4), 1), 128) << "the ring's bottom";
    EXPECT_GT(lumaOf(editor, c.x(), c.y() - 2), 200) << "an unselected ring is hollow";
    EXPECT_FALSE(isRed(editor.pixelColor(c)));
    EXPECT_GT(darkestAround(editor, c + QPoint(0, -8), 1), 200) << "outside the ring";
  }
  // The selected one is filled red.
  const QPoint selected = centreOf(1);
  for (QPoint offset : {QPoint(0, -2), QPoint(0, 2), QPoint(-2, 0), QPoint(2, 0)})
    EXPECT_TRUE(isRed(editor.pixelColor(selected + offset))) << offset.x() << "," << offset.y();

  // Two measures over the whole clip: a measure line runs solid and dark
  // down the middle, the finest lines (eighths, 16 over the clip) dashed
  // and light, white between them. Read above the curve and the middle
  // marker.
  const int measure = qRound(w / 2.0);
  const int eighth = qRound(w * 5 / 16.0);  // on no beat
  const int between = qRound(w * 8.5 / 16.0);
  const int rows = h / 2 - 8;
  int solid = 0, white = 0, light = 0, dashes = 0, gaps = 0;
  for (int y = 0; y < rows; ++y) {
    solid += darkestAcross(editor, measure, y) < 128;
    white += lumaOf(editor, between, y) > 240;
    const int finest = darkestAcross(editor, eighth, y);
    light += finest > 150;
    dashes += finest < 230;
    gaps += finest > 245;
  }
  EXPECT_EQ(solid, rows) << "the measure line";
  EXPECT_EQ(white, rows) << "the field between lines";
  EXPECT_EQ(light, rows) << "a finest line is light";
  EXPECT_GT(dashes, 0) << "a finest line is drawn";
  EXPECT_GT(gaps, 0) << "a finest line is dashed";

  saveScreenshot(inspector.window()->grab().toImage(), QStringLiteral("inspector-movie-pane"));
  inspector.movieOptionsTabView()->setCurrentIndex(0);
  settle(0.1);
  saveScreenshot(inspector.window()->grab().toImage(), QStringLiteral("inspector-movie-options"));
}

}  // namespace
