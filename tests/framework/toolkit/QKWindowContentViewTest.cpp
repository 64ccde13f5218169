#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QImage>
#include <QKeyEvent>

#include <stdexcept>

namespace {

namespace N = PaletteNotifications;

double screenHeight() { return QKWindow::mainScreenFrame().height(); }

class CollapseCounter : public QKWindowDelegate {
 public:
  void QKWindowContentViewCollapsedStateChanged(QKWindowContentView*) override { ++changes; }
  int changes = 0;
};

TEST(QKWindowContentView, CollapsesToTheBarAndExpandsBack) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  CollapseCounter delegate;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  palette->setDelegate(&delegate);
  QKWindowContentView* view = palette->contentView();
  ASSERT_TRUE(view->body()->isVisible());

  view->collapse();
  EXPECT_TRUE(view->collapsed());
  EXPECT_EQ(view->actualLocation(), QRectF(100, 641, 260, 19));
  EXPECT_EQ(view->expandedSize(), QSizeF(260, 160));
  EXPECT_FALSE(view->body()->isVisible());
  EXPECT_TRUE(waitForFrame(palette.get(), {100, 641, 260, 19}));
  EXPECT_EQ(palette->geometry().top(), static_cast<int>(screenHeight()) - 660);

  view->expand();
  EXPECT_FALSE(view->collapsed());
  EXPECT_TRUE(waitForFrame(palette.get(), {100, 500, 260, 160}));
  EXPECT_TRUE(view->body()->isVisible());
  EXPECT_EQ(view->body()->geometry(), QRect(3, 17, 254, 140));
  EXPECT_EQ(delegate.changes, 2);
}

// A plain toggle takes the column hanging below along; a command-toggle
// does not.
TEST(QKWindowContentView, CollapseMovesTheColumnBelowByItsHeightLess19) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr top = makePalette(QStringLiteral("A"), {100, 500, 260, 160}, false);
  PalettePtr below = makePalette(QStringLiteral("B"), {100, 403, 260, 100}, false);
  PalettePtr further = makePalette(QStringLiteral("C"), {100, 306, 260, 100}, false);
  PalettePtr aside = makePalette(QStringLiteral("D"), {600, 403, 260, 100}, false);
  QKWindowContentView* view = top->contentView();
  // A click on the triangle ({5, T + 1, 12, 12} with T = 160 − 17).
  MouseDrag(view, {10, 10}).release();
  EXPECT_TRUE(view->collapsed());
  EXPECT_TRUE(waitForFrame(below.get(), {100, 544, 260, 100}));
  EXPECT_TRUE(waitForFrame(further.get(), {100, 447, 260, 100}));
  EXPECT_TRUE(waitForFrame(aside.get(), {600, 403, 260, 100}));

  MouseDrag(view, {10, 10}, Qt::ControlModifier).release();
  EXPECT_FALSE(view->collapsed());
  EXPECT_TRUE(waitForFrame(top.get(), {100, 500, 260, 160}));
  EXPECT_TRUE(waitForFrame(below.get(), {100, 544, 260, 100}));
}

TEST(QKWindowContentView, DoubleClickInTheTitleBarTogglesUnlessFullyLocked) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  QKWindowContentView* view = palette->contentView();
  MouseDrag(view, {150, 8}, Qt::NoModifier, Qt::LeftButton, true).release();
  EXPECT_TRUE(view->collapsed());
  menu.setLocks(false, true);
  MouseDrag(view, {150, 8}, Qt::NoModifier, Qt::LeftButton, true).release();
  MouseDrag(view, {10, 10}).release();
  EXPECT_TRUE(view->collapsed());
}

TEST(QKWindowContentView, SnapshotLoadCases) {
  SKIP_WITHOUT_DISPLAY();
  const double h = screenHeight();
  struct Case {
    const char* what;
    bool startCollapsed;
    QVariantMap snapshot;
    QRectF frame;  // the window's frame after the load
    bool collapsed;
  };
  // The palette starts at {100, 500, 260, 160} (its bar {100, 641, 260, 19}).
  const Case cases[] = {
      {"expanded, snapshot expanded",
       false,
       FrameSnapshot::make(50, h - 300, 200, 100, false),
       {50, 300, 200, 100},
       false},
      {"expanded, snapshot collapsed",
       false,
       FrameSnapshot::make(50, h - 300, 200, 100, true),
       {50, 381, 200, 19},
       true},
      {"collapsed, snapshot expanded",
       true,
       FrameSnapshot::make(50, h - 300, 200, 100, false),
       {50, 300, 200, 100},
       false},
      {"collapsed, snapshot collapsed",
       true,
       FrameSnapshot::make(50, h - 300, 200, 100, true),
       {50, 381, 200, 19},
       true},
      {"collapsed, same bar, taller",
       true,
       FrameSnapshot::make(100, h - 460, 260, 200, true),
       {100, 641, 260, 19},
       true},
  };
  FakeMenuController menu;
  for (const Case& c : cases) {
    PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
    QKWindowContentView* view = palette->contentView();
    if (c.startCollapsed) view->collapse();
    view->loadSnapshot(c.snapshot);
    EXPECT_EQ(view->collapsed(), c.collapsed) << c.what;
    EXPECT_EQ(view->actualLocation(), c.frame) << c.what;
    EXPECT_TRUE(waitForFrame(palette.get(), c.frame)) << c.what;
    EXPECT_EQ(view->createSnapshot(), c.snapshot) << c.what;
  }
}

TEST(QKWindowContentView, AnEqualSnapshotChangesAndRedrawsNothing) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  for (bool collapsed : {false, true}) {
    PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
    CountingContentView* view = viewOf(palette);
    if (collapsed) view->collapse();
    const QVariantMap snapshot = view->createSnapshot();
    const QRectF before = palette->frame();
    view->redraws = 0;
    view->setReRender(false);
    view->loadSnapshot(snapshot);
    view->loadSnapshot({});
    EXPECT_EQ(view->redraws, 0);
    EXPECT_EQ(palette->frame(), before);
    EXPECT_FALSE(view->reRender());
  }
}

TEST(QKWindowContentView, BadSnapshotFieldsKeepTheFrame) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  QKWindowContentView* view = palette->contentView();
  LogCapture log;
  view->loadSnapshot({{FrameSnapshot::kOriginX, 40000},
                      {FrameSnapshot::kWidth, 0},
                      {FrameSnapshot::kHeight, QStringLiteral("tall")}});
  EXPECT_EQ(view->actualLocation(), QRectF(100, 500, 260, 160));
  EXPECT_TRUE(log.contains(QStringLiteral("originX")));
  EXPECT_TRUE(log.contains(QStringLiteral("height")));
}

TEST(QKWindowContentView, FixedPalettesGoToTheirDefaultPlaces) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr clock = makePalette(QStringLiteral("Clock"), {700, 100, 300, 300});
  PalettePtr other = makePalette(QStringLiteral("Clocks"), {700, 100, 300, 300});
  // "originY" 261 counts down to the bottom of the expanded frame.
  const QRectF bar(0, screenHeight() - 261 + 127 - 19, 260, 19);
  EXPECT_TRUE(clock->contentView()->collapsed());
  EXPECT_TRUE(waitForFrame(clock.get(), bar));
  EXPECT_TRUE(waitForFrame(other.get(), {700, 100, 300, 300}));

  clock->contentView()->expand();
  clock->hide();
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::PalettesToDefaultLocation));
  EXPECT_TRUE(clock->contentView()->collapsed());
  EXPECT_TRUE(clock->isVisible());
  EXPECT_TRUE(waitForFrame(clock.get(), bar));
}

// A fixed palette built before its frame (Qt's default size) or larger than
// its default place starts at the default frame and takes that as its
// smallest: a drag from the corner never jumps it to the size it was built at.
TEST(QKWindowContentView, AFixedPaletteIsNoSmallerThanItsDefaultFrame) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  const struct {
    const char* title;
    QRectF built;
    QSizeF defaultSize;
  } cases[] = {
      {"Clock", {}, {260, 127}},
      {"Media Inspector", {300, 100, 520, 700}, {260, 600}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    PalettePtr palette = makePalette(QString::fromLatin1(c.title), c.built);
    QKWindowContentView* view = palette->contentView();
    view->expand();
    const QRectF start = palette->frame();
    ASSERT_EQ(start.size(), c.defaultSize);
    EXPECT_EQ(view->minSize(), c.defaultSize);
    const QPointF handle(start.width() - 8, start.height() - 8);
    {
      MouseDrag drag(view, handle);
      drag.moveBy({-20, -20});
      drag.release();
    }
    MainThread::processUntil([] { return false; }, 0.05);
    EXPECT_EQ(palette->frame(), start) << "no smaller than its default frame";
    MouseDrag grow(view, handle);
    grow.moveBy({30, 30});
    grow.release();
    EXPECT_TRUE(waitForFrame(palette.get(),
                             {start.x(), start.y() - 30, start.width() + 30, start.height() + 30}));
  }
}

// Every fixed palette writes its frame whenever any palette moves.
TEST(QKWindowContentView, FixedPalettesStoreTheirFramesWhenAnyPaletteMoves) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr clock = makePalette(QStringLiteral("Clock"), {700, 100, 300, 300});
  PalettePtr inspector = makePalette(QStringLiteral("Slider Inspector"), {300, 300, 200, 120});
  PalettePtr sticky = makePalette(QStringLiteral("Sticky"), {900, 600, 200, 120}, false);
  UserDefaults& defaults = UserDefaults::standard();
  const QString clockKey = QStringLiteral("Clock_windAttribs");
  const QString inspectorKey = QStringLiteral("Slider Inspector_windAttribs");
  defaults.remove(clockKey);
  defaults.remove(inspectorKey);

  MouseDrag drag(sticky->contentView(), {150, 8});
  drag.moveBy({-40, 30});
  drag.release();
  EXPECT_TRUE(waitForFrame(sticky.get(), {860, 570, 200, 120}));
  EXPECT_EQ(defaults.dictionaryValue(clockKey), clock->contentView()->createSnapshot());
  EXPECT_EQ(defaults.dictionaryValue(inspectorKey), inspector->contentView()->createSnapshot());
  EXPECT_TRUE(defaults.dictionaryValue(inspectorKey).value(FrameSnapshot::kVisible).toBool());
  EXPECT_FALSE(defaults.contains(QStringLiteral("Sticky_windAttribs")));

  // A frame that did not change is stored again once its key is gone.
  defaults.remove(clockKey);
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::SizePosReport));
  EXPECT_EQ(defaults.dictionaryValue(clockKey), clock->contentView()->createSnapshot());
}

TEST(QKWindowContentView, LockRefusesMovingResizingAndTheToggle) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  QKWindowContentView* view = palette->contentView();
  menu.setLocks(true, false);
  EXPECT_TRUE(view->locked());
  EXPECT_FALSE(view->allowResize());
  MouseDrag move(view, {150, 8});
  move.moveBy({50, 50});
  move.release();
  MouseDrag resize(view, {250, 150});  // the resize handle
  resize.moveBy({50, 50});
  resize.release();
  EXPECT_TRUE(waitForFrame(palette.get(), {100, 500, 260, 160}));
  MouseDrag(view, {10, 10}).release();
  EXPECT_TRUE(view->collapsed());

  menu.setLocks(false, false);
  EXPECT_FALSE(view->locked());
  EXPECT_TRUE(view->allowResize());
}

// The controller's lock notification without an object: a view that knows
// no controller asks for one.
TEST(QKWindowContentView, LockNotificationWithoutControllerFindsOne) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  EXPECT_EQ(palette->contentView()->menuController(), nullptr);
  FakeMenuController menu;
  menu.setLocks(true, false, false);
  EXPECT_EQ(palette->contentView()->menuController(), &menu);
  EXPECT_TRUE(palette->contentView()->locked());
}

QColor pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

TEST(QKWindowContentView, DrawsTitleBarAndFrameStrokeOnlyWhileUnlocked) {
  SKIP_WITHOUT_DISPLAY();
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  const auto state = [](QColor titleBar, QColor fill, QColor frame, QColor text) {
    return QVariantMap{{QStringLiteral("titleBar"), titleBar},
                       {QStringLiteral("fill"), fill},
                       {QStringLiteral("frame"), frame},
                       {QStringLiteral("titleTextAttribs"),
                        QVariantMap{{InterfaceColorScheme::kForegroundColorAttribute, text}}}};
  };
  app->setWinColorDict(
      {{QStringLiteral("unlocked"), state(Qt::red, Qt::blue, Qt::green, Qt::white)},
       {QStringLiteral("locked"), state(Qt::darkRed, Qt::darkBlue, Qt::green, Qt::yellow)}});
  FakeMenuController menu;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  QKWindowContentView* view = palette->contentView();
  const auto grab = [&] { return view->grab().toImage(); };
  // The edge stroke, the title bar right of the title, the content, and the
  // middle of the disclosure triangle.
  QImage image = grab();
  EXPECT_EQ(pixel(image, 1, 80), QColor(Qt::green));
  EXPECT_EQ(pixel(image, 250, 8), QColor(Qt::red));
  EXPECT_EQ(pixel(image, 130, 80), QColor(Qt::blue));
  EXPECT_EQ(pixel(image, 11, 9), QColor(Qt::white));

  menu.setLocks(true, false);
  image = grab();
  EXPECT_EQ(pixel(image, 1, 80), QColor(Qt::darkBlue));  // no stroke
  EXPECT_EQ(pixel(image, 250, 8), QColor(Qt::darkRed));
  EXPECT_EQ(pixel(image, 11, 9), QColor(Qt::yellow));

  menu.setLocks(false, true);
  image = grab();
  EXPECT_EQ(pixel(image, 11, 9), QColor(Qt::darkRed));  // no triangle
  EXPECT_EQ(pixel(image, 1, 80), QColor(Qt::darkBlue));

  menu.setLocks(false, false);
  view->collapse();
  image = grab();
  ASSERT_EQ(image.height(), 19);
  EXPECT_EQ(pixel(image, 250, 8), QColor(Qt::red));
  EXPECT_EQ(pixel(image, 1, 8), QColor(Qt::green));
}

// A size the palette did not set itself (the window system's, a plain
// resize) becomes its own: drawn to the new edges, kept over a collapse and
// stored as its frame.
TEST(QKWindowContentView, ASizeSetFromOutsideBecomesThePalettesOwn) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  struct Case {
    const char* how;
    void (*resize)(QKWindow&);
  };
  const Case cases[] = {
      {"widget resize", [](QKWindow& w) { w.resize(360, 300); }},
      {"window handle", [](QKWindow& w) { w.windowHandle()->resize(360, 300); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
    QKWindowContentView* view = palette->contentView();
    c.resize(*palette);
    ASSERT_TRUE(MainThread::processUntil([&] { return view->size() == QSize(360, 300); }, 3.0));
    EXPECT_EQ(view->expandedSize(), QSizeF(360, 300));
    EXPECT_EQ(view->actualLocation(), palette->frame());
    EXPECT_EQ(view->body()->geometry(), QRect(3, 17, 354, 280));

    const QImage image = view->grab().toImage();
    const QRgb fill = view->backgroundColor().rgb();
    const QRgb frame = view->frameColor().rgb();
    for (const QPoint inside : {QPoint(180, 290), QPoint(350, 250), QPoint(180, 165)})
      EXPECT_EQ(image.pixel(inside), fill) << inside.x() << "," << inside.y();
    for (const QPoint edge : {QPoint(180, 299), QPoint(359, 250)})
      EXPECT_EQ(image.pixel(edge), frame) << edge.x() << "," << edge.y();

    view->collapse();
    view->expand();
    EXPECT_TRUE(waitForFrame(palette.get(), view->actualLocation()));
    EXPECT_EQ(palette->size(), QSize(360, 300));
  }
}

class ThrowingView : public CountingContentView {
 protected:
  void drawRect(QPainter&, const QRectF&) override { throw std::runtime_error("no paint"); }
};

TEST(QKWindowContentView, APaintThatThrowsIsLoggedAndDeletedWindowsDrawNothing) {
  SKIP_WITHOUT_DISPLAY();
  QKWindow window(QRectF(100, 100, 100, 100));
  window.setContentView(new ThrowingView);
  window.awakeFromNib();
  LogCapture log;
  window.contentView()->grab();
  EXPECT_TRUE(log.contains(QStringLiteral("window caught exception on displayIfNeeded: no paint")));
  log.clear();
  window.prepareToBeDeleted();
  window.contentView()->grab();
  EXPECT_FALSE(log.contains(QStringLiteral("displayIfNeeded")));
}

TEST(QKWindowContentView, KeysReachTheDataSourceControllerAsPressAndRelease) {
  SKIP_WITHOUT_DISPLAY();
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  std::vector<QEvent::Type> seen;
  NotificationObservers keyDetect;
  keyDetect.observe(QStringLiteral("QKKeyDetectNotification"), nullptr, [&](const Notification& n) {
    seen.push_back(static_cast<QKeyEvent*>(n.object)->type());
  });
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  EXPECT_EQ(palette->contentView()->dataSourceController(), &dsc);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
  QApplication::sendEvent(palette->contentView(), &press);
  QApplication::sendEvent(palette.get(), &release);  // the window passes it on
  EXPECT_EQ(seen, (std::vector<QEvent::Type>{QEvent::KeyPress, QEvent::KeyRelease}));
}

TEST(QKWindowContentView, FindsItsManagersAtWakeUp) {
  SKIP_WITHOUT_DISPLAY();
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  QKSliderManager sliders;
  QKButtonManager buttons;
  FakeMenuController menu;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  QKWindowContentView* view = palette->contentView();
  EXPECT_EQ(view->dataSourceController(), &dsc);
  EXPECT_EQ(view->sliderManager(), &sliders);
  EXPECT_EQ(view->buttonManager(), &buttons);
  EXPECT_EQ(view->menuController(), &menu);
  // Asked until it answers, then no more.
  EXPECT_EQ(menu.finderAnswers, 1);
}

TEST(QKWindowContentView, KeysWithoutControllerAreLoggedAndDropped) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  LogCapture log;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
  QApplication::sendEvent(palette->contentView(), &press);
  EXPECT_TRUE(log.contains(QStringLiteral("dataSourceController is NIL")));
}

TEST(QKWindow, BringingForwardRescuesAFrameOffScreen) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160}, false);
  QKWindowContentView* view = palette->contentView();
  view->moveWindowToHere({-5000, -5000, 260, 160});
  palette->selectedInWindowMenu();
  const QRectF screen = QKWindow::mainScreenFrame();
  const QRectF expected((screen.width() - 260) / 2, (screen.height() - 22 - 160) / 2, 260, 160);
  EXPECT_EQ(view->actualLocation(), expected);
  EXPECT_TRUE(waitForFrame(palette.get(), expected));
  EXPECT_TRUE(palette->isVisible());
}

TEST(QKPaletteWindow, MenuToggleHidesAndShowsAndAsksForAReload) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  NotificationCounter reloads(N::ReloadMenu);
  NotificationCounter removals(N::RemoveWindow);
  PalettePtr palette = makePalette(QStringLiteral("Sticky"), {100, 500, 260, 160});
  palette->selectedInWindowMenu();
  EXPECT_FALSE(palette->isVisible());
  EXPECT_EQ(palette->contentView()->createSnapshot().value(FrameSnapshot::kVisible), false);
  palette->selectedInWindowMenu();
  EXPECT_TRUE(palette->isVisible());
  EXPECT_EQ(reloads.count(), 2);
  // A snapshot of a visible palette hides it.
  QVariantMap hidden = palette->contentView()->createSnapshot();
  hidden.insert(FrameSnapshot::kVisible, false);
  palette->contentView()->loadSnapshot(hidden);
  EXPECT_FALSE(palette->isVisible());
  QKWindow* window = palette.get();
  palette.reset();
  ASSERT_EQ(removals.count(), 1);
  EXPECT_EQ(removals.notes().front().object, window);
}

}  // namespace
