// The curve editor, its box and the waveform pop-up as a performer uses
// them: real widgets, real mouse events, files in a "waves" of the test's.
#include "framework/controls/QKButton.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineView.h"
#include "framework/curves/QKSplineToolsView.h"
#include "framework/curves/QKSplineViewBox.h"
#include "framework/curves/QKWaveformPopUpButton.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/curves/WavesFolders.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/Screenshot.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

using SplineViews = WavesFolders;

void clickSave(QKSplineViewBox& box) {
  QKButton* save = box.saveToDiskButton();
  QTest::mouseClick(save, Qt::LeftButton, Qt::NoModifier, QPoint(10, 7));
  // The button's action comes through the main thread's queue.
  MainThread::processUntil([] { return false; }, 0.05);
}

QColor pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

// The darkest lightness within a pixel of (x, y): lines one pixel wide land
// on either side of their coordinate.
int darkestNear(const QImage& image, int x, int y) {
  int darkest = 255;
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      darkest = std::min(darkest, pixel(image, x + dx, y + dy).lightness());
  return darkest;
}

TEST_F(SplineViews, TheBoxLaysOutItsControlsFromItsSize) {
  struct Case {
    QSize size;
    QRect label, save, popUp, curve;
  };
  const Case cases[] = {
      {{200, 120}, {3, 2, 24, 13}, {172, 1, 26, 15}, {25, 1, 148, 15}, {2, 16, 196, 102}},
      {{53, 60}, {3, 2, 24, 13}, {25, 1, 26, 15}, {25, 1, 1, 15}, {2, 16, 49, 42}},
      {{52, 60}, {3, 2, 24, 13}, {24, 1, 26, 15}, {25, 1, 10, 15}, {2, 16, 48, 42}},
      {{30, 60}, {3, 2, 24, 13}, {2, 1, 26, 15}, {25, 1, 10, 15}, {2, 16, 26, 42}},
      {{4, 40}, {3, 2, 24, 13}, {-24, 1, 26, 15}, {25, 1, 10, 15}, {2, 16, 4, 22}},
  };
  QWidget panel;  // inside a panel: a top-level window has a least size
  auto& box = *new QKSplineViewBox(&panel);
  for (const Case& c : cases) {
    box.setFrame(QRectF(QPointF(0, 0), c.size));
    EXPECT_EQ(box.loadTextField()->geometry(), c.label) << c.size.width();
    EXPECT_EQ(box.saveToDiskButton()->geometry(), c.save) << c.size.width();
    EXPECT_EQ(box.loadWaveMenu()->geometry(), c.popUp) << c.size.width();
    EXPECT_EQ(box.fileNameTextField()->geometry(), c.popUp) << c.size.width();
    EXPECT_EQ(box.splineView()->geometry(), c.curve) << c.size.width();
  }
  EXPECT_EQ(box.loadTextField()->text(), QStringLiteral("load:"));
  EXPECT_TRUE(box.fileNameTextField()->isHidden());
  EXPECT_TRUE(box.createSnapshot().isEmpty());
}

TEST_F(SplineViews, ThePopUpListsTheCurveFilesByName) {
  for (const char* file : {"ramp.bzc", "notes.txt", "a.b.bzc"})
    writeFile(userWaves(), QLatin1String(file), QByteArray("<plist><dict/></plist>"));
  QKSplineViewBox box;
  EXPECT_EQ(box.loadWaveMenu()->itemTitles(),
            QStringList({QStringLiteral("a.b"), QStringLiteral("ramp")}));
}

// "save" twice: the first press asks for a name, the second saves under it;
// every box's pop-up lists the new curve.
TEST_F(SplineViews, SavingUnderATypedNameRelistsEveryBox) {
  SKIP_WITHOUT_DISPLAY();
  QKSplineViewBox box;
  QKSplineViewBox other;
  box.resize(200, 120);
  box.show();
  clickSave(box);
  EXPECT_FALSE(box.fileNameTextField()->isHidden());
  EXPECT_TRUE(box.loadWaveMenu()->isHidden());
  EXPECT_EQ(box.loadTextField()->text(), QStringLiteral("name:"));
  box.fileNameTextField()->setText(QStringLiteral("my wave"));
  clickSave(box);
  EXPECT_TRUE(QFileInfo(userWaves() + QStringLiteral("/my wave.bzc")).isFile());
  EXPECT_TRUE(box.fileNameTextField()->isHidden());
  EXPECT_FALSE(box.loadWaveMenu()->isHidden());
  EXPECT_EQ(box.loadTextField()->text(), QStringLiteral("load:"));
  EXPECT_TRUE(box.loadWaveMenu()->itemTitles().contains(QStringLiteral("my wave")));
  EXPECT_TRUE(other.loadWaveMenu()->itemTitles().contains(QStringLiteral("my wave")));
}

TEST_F(SplineViews, AnEmptyNameIsRefusedAndTheFieldStaysOpen) {
  SKIP_WITHOUT_DISPLAY();
  QKSplineViewBox box;
  box.resize(200, 120);
  box.show();
  Alert::clearRecorded();
  box.saveButtonUsed();
  box.fileNameTextField()->setText(QStringLiteral("  "));
  box.fileNameTextFieldUsed();
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_FALSE(box.fileNameTextField()->isHidden());
  EXPECT_EQ(QDir(userWaves()).entryList(QDir::Files | QDir::Hidden).size(), 0);
  // Return in the field saves once a name is there.
  box.fileNameTextField()->setText(QStringLiteral("named"));
  QTest::keyClick(box.fileNameTextField(), Qt::Key_Return);
  EXPECT_TRUE(QFileInfo(userWaves() + QStringLiteral("/named.bzc")).isFile());
  EXPECT_TRUE(box.fileNameTextField()->isHidden());
}

TEST_F(SplineViews, AMouseDragMovesAPoint) {
  SKIP_WITHOUT_DISPLAY();
  QKSingleSplineView view;
  view.resize(200, 100);
  view.show();
  view.awakeFromNib();
  // The junction is drawn at (100, 50) with y up: Qt's (100, 50) too.
  MouseDrag drag(&view, QPointF(100, 50));
  drag.moveBy(QPointF(40, -30));
  drag.release();
  const auto segments = view.theSpline()->splineArray();
  EXPECT_NEAR(segments[1].start().x, 0.7f, 1e-6);
  EXPECT_NEAR(segments[1].start().y, 0.8f, 1e-6);
  EXPECT_EQ(segments[0].end(), segments[1].start());
  // The mouse-up put the squares back: the new junction answers its tag.
  EXPECT_NE(view.theSpline()->trackingTagAt(QPointF(140, 80)), -1);
}

TEST_F(SplineViews, HoverPicksTheCursorOfThePointUnderTheMouse) {
  SKIP_WITHOUT_DISPLAY();
  QKSingleSplineView view;
  view.resize(200, 100);
  view.show();
  view.resetCursorRects();
  QMouseEvent over(QEvent::MouseMove, QPointF(100, 50), view.mapToGlobal(QPointF(100, 50)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&view, &over);
  EXPECT_EQ(view.cursor().shape(), Qt::CrossCursor);
  EXPECT_NE(view.theSpline()->handleMousedOverTag(), -1);
  QMouseEvent away(QEvent::MouseMove, QPointF(50, 90), view.mapToGlobal(QPointF(50, 90)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&view, &away);
  EXPECT_EQ(view.theSpline()->handleMousedOverTag(), -1);
  EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);  // no mouse-up yet: drag mode 1
}

// What the performer sees: grid lines at eighths, the fill under the curve,
// circles at the points and the phase-origin line.
TEST_F(SplineViews, TheEditorDrawsGridFillHandlesAndOrigin) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr palette = makePalette(QStringLiteral("Curve"), {100, 400, 230, 160}, false);
  auto* view = new QKSingleSplineView(palette->contentView()->body());
  view->setGeometry(10, 10, 200, 120);
  view->show();
  view->awakeFromNib();
  view->theSpline()->setHOffset(0.25f);
  view->theSpline()->prepareCurvePath();
  const QImage image = view->grab().toImage();
  saveScreenshot(palette->grab().toImage(), QStringLiteral("curve-editor"));
  const int background = pixel(image, 37, 7).lightness();  // neither grid nor curve
  // Grid lines at eighths (every 25 points across, 15 down), above the curve.
  for (int x : {25, 75, 100, 125})
    EXPECT_LT(darkestNear(image, x, 7), background - 4) << "grid at x " << x;
  EXPECT_LT(darkestNear(image, 37, 15), background - 4) << "grid at y 15";
  // The fill under the curve: red over the bottom rows.
  const QColor fill = pixel(image, 20, 115);
  EXPECT_GT(fill.red(), fill.green() + 40);
  // The phase origin at x = 0.25 × 200: a black vertical line.
  EXPECT_LT(darkestNear(image, 50, 30), background / 2);
  // A handle circle around the junction, drawn at (150, 60): its rim.
  EXPECT_LT(darkestNear(image, 154, 56), background - 15);
  EXPECT_GT(pixel(image, 152, 40).lightness(), background - 4);  // beside the circle
  // Redrawing with the same bounds builds no path again.
  const int curveBuilds = view->theSpline()->curvePathBuilds();
  const int gridBuilds = view->theSpline()->gridPathBuilds();
  view->grab();
  EXPECT_EQ(view->theSpline()->curvePathBuilds(), curveBuilds);
  EXPECT_EQ(view->theSpline()->gridPathBuilds(), gridBuilds);
}

TEST_F(SplineViews, ToolStripSelectsTheToolUnderTheClick) {
  QKSplineToolsView tools;
  tools.resize(60, 20);
  EXPECT_EQ(tools.dragMode(), 1);
  for (const auto& [x, mode] :
       {std::pair{45, 3}, std::pair{25, 2}, std::pair{5, 1}, std::pair{59, 3}}) {
    QTest::mouseClick(&tools, Qt::LeftButton, Qt::NoModifier, QPoint(x, 10));
    EXPECT_EQ(tools.dragMode(), mode) << x;
  }
  saveScreenshot(tools.grab().toImage(), QStringLiteral("curve-tools"));
}

// Done when: a curve edited with the mouse in one box is saved, listed,
// loaded into another box and evaluates to the same values.
TEST_F(SplineViews, ACurveEditedInOneBoxLoadsIntoAnother) {
  SKIP_WITHOUT_DISPLAY();
  QKSplineViewBox editing;
  QKSplineViewBox playing;
  for (QKSplineViewBox* box : {&editing, &playing}) {
    box->resize(204, 118);  // a curve view of 200 × 100
    box->show();
  }
  QKSingleSplineView* view = editing.splineView();
  ASSERT_EQ(view->size(), QSize(200, 100));
  {
    MouseDrag drag(view, QPointF(100, 50));  // the junction
    drag.moveBy(QPointF(-40, -30));
    drag.release();
  }
  {
    MouseDrag bend(view, QPointF(0, 1), Qt::AltModifier);  // the first point: bend it
    bend.moveBy(QPointF(30, 80));
    bend.release();
  }
  ASSERT_TRUE(view->theSpline()->splineArray()[0].useControlPoint());
  clickSave(editing);
  editing.fileNameTextField()->setText(QStringLiteral("performed"));
  clickSave(editing);

  QKWaveformPopUpButton* menu = playing.loadWaveMenu();
  ASSERT_TRUE(menu->itemTitles().contains(QStringLiteral("performed")));
  QAction* item = nullptr;
  for (QAction* action : menu->menu()->actions())
    if (action->text() == QStringLiteral("performed")) item = action;
  Q_EMIT menu->activated(item);
  for (int i = 0; i <= 32; ++i)
    EXPECT_EQ(playing.splineView()->evaluateAt(i / 32.0f), view->evaluateAt(i / 32.0f)) << i;
  EXPECT_EQ(playing.splineView()->createSnapshot(), view->createSnapshot());
}

}  // namespace
