#include "framework/splitview/QKTQSplitView.h"
#include "framework/splitview/SplitterPresetAdditions.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/splitview/SplitViewFixture.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/LogCapture.h"

#include <QLabel>
#include <QSplitter>

#include <gtest/gtest.h>

namespace {

UserDefaults& defaults() { return UserDefaults::standard(); }

TEST(TQSplitViewState, AppliesStateStringsToThePanes) {
  auto view = makeSplitView({200, 200}, true, 0);  // 400 without dividers
  ASSERT_TRUE(view->setStateFromString("2 100 -50"));
  const QList<TQSplitSubview*> panes = view->panes();
  EXPECT_FLOAT_EQ(panes[0]->visibleDimension(), 100);
  EXPECT_FALSE(panes[1]->isCollapsed());  // it cannot collapse: open at its size
  EXPECT_FLOAT_EQ(panes[1]->visibleDimension(), 50);

  panes[1]->setCanCollapse(true);
  ASSERT_TRUE(view->setStateFromString("2 100 -50"));
  EXPECT_TRUE(panes[1]->isCollapsed());
  EXPECT_DOUBLE_EQ(panes[1]->fraction(), 50.0 / 400.0);
  EXPECT_FLOAT_EQ(panes[1]->dimension(), 50);

  ASSERT_TRUE(view->setStateFromString("2 99.75 200H"));
  EXPECT_FLOAT_EQ(panes[0]->visibleDimension(), 99);
  EXPECT_DOUBLE_EQ(panes[0]->fraction(), 0.75);
  EXPECT_FLOAT_EQ(panes[1]->visibleDimension(), 200);
  EXPECT_TRUE(panes[1]->isHidden());
}

TEST(TQSplitViewState, RefusesBadStringsWholeAndChangesNothing) {
  auto view = makeSplitView({150, 250}, true, 0);
  for (TQSplitSubview* p : view->panes()) p->setCanCollapse(true);
  const QString before = view->stringWithSavedState();
  const char* bad[] = {"",          "2 100",    "3 100 200 300", "2 100 abc",  "2 100 nan",
                       "2 100 inf", "2 1e39 5", "2 100  200",    "2 100,5 200"};
  for (const char* text : bad) {
    EXPECT_FALSE(view->setStateFromString(text)) << text;
    EXPECT_EQ(view->stringWithSavedState(), before) << text;
  }
  EXPECT_EQ(before, "2 150 250");
}

TEST(TQSplitViewState, SavesOnlyAfterTheFirstRestoreAndKeepsOrientationsApart) {
  auto columns = makeSplitView({100, 300});
  auto rows = makeSplitView({50, 60, 70}, false);
  columns->setAutosaveName("Layers", false);
  rows->setAutosaveName("Layers", false);
  columns->adjustSubviews();
  EXPECT_FALSE(defaults().contains("TQSplitView V Layers"));  // not restored yet
  EXPECT_FALSE(columns->saveState(false));

  EXPECT_FALSE(columns->restoreState(false));  // nothing stored, saving enabled
  EXPECT_FALSE(rows->restoreState(false));
  columns->adjustSubviews();
  rows->adjustSubviews();
  EXPECT_EQ(defaults().stringValue("TQSplitView V Layers"), "2 100 300");
  EXPECT_EQ(defaults().stringValue("TQSplitView H Layers"), "3 50 60 70");

  columns->setDragging(true);
  EXPECT_FALSE(columns->saveState(false));  // held back during a drag
  columns->setDragging(false);

  columns->setAutosaveName("Other", false);  // the old name's state goes
  EXPECT_FALSE(defaults().contains("TQSplitView V Layers"));
  EXPECT_FALSE(defaults().contains("TQSplitView H Layers"));
}

TEST(TQSplitViewState, ACorruptStoredStateCollapsesNothingAndIsOverwritten) {
  auto view = makeSplitView({100, 300});
  for (TQSplitSubview* p : view->panes()) p->setCanCollapse(true);
  view->setAutosaveName("Bin", false);
  defaults().setValue("TQSplitView V Bin", "2 100 nan");
  EXPECT_FALSE(view->restoreState(false));
  EXPECT_FALSE(view->panes()[1]->isCollapsed());
  view->adjustSubviews();
  EXPECT_EQ(defaults().stringValue("TQSplitView V Bin"), "2 100 300");
}

std::unique_ptr<TQSplitView> nestedView() {
  auto outer = makeSplitView({100, 100, 100});
  for (int i : {0, 2}) {
    auto* inner = new TQSplitView(QRectF(0, 0, 100, 120), 2);
    outer->addSubview(inner, i);
    delete outer->panes()[i + 1];  // the plain pane it replaces
  }
  auto* deepest = new TQSplitView(QRectF(0, 0, 100, 60), 2);
  outer->panes()[0]->asSplitView()->addSubview(deepest, 1);
  outer->adjustSubviews();
  return outer;
}

TEST(TQSplitViewState, RecursiveNamesFollowThePositions) {
  auto outer = nestedView();
  ASSERT_EQ(outer->panes().size(), 3);
  outer->setAutosaveName("Main", true);
  EXPECT_EQ(outer->panes()[0]->asSplitView()->autosaveName(), "Main[0]");
  EXPECT_EQ(outer->panes()[2]->asSplitView()->autosaveName(), "Main[2]");
  EXPECT_EQ(outer->panes()[0]->asSplitView()->panes()[1]->asSplitView()->autosaveName(),
            "Main[0][1]");
  outer->setAutosaveName("", true);
  EXPECT_EQ(outer->panes()[2]->asSplitView()->autosaveName(), "");
}

TEST(TQSplitViewState, SnapshotsNestTheirStateArrays) {
  auto flat = makeSplitView({100, 300});
  const QVariantMap snapshot = flat->createSnapshot();
  EXPECT_EQ(snapshot.keys(), QStringList{"statesArray"});
  EXPECT_EQ(snapshot.value("statesArray").toList(),
            (QVariantList{"2 100 300", "additionNull", "additionNull"}));

  auto nested = nestedView();
  const QVariantList states = nested->arrayWithStates();
  ASSERT_EQ(states.size(), 4);
  EXPECT_EQ(states[1].toList().size(), 4);  // its own string and three panes
  EXPECT_EQ(states[1].toList()[2].toList().size(), 3);
  EXPECT_EQ(states[2], QVariant("additionNull"));
}

TEST(TQSplitViewState, AWrongShapeFailsAtItsLevelAndKeepsTheLevelsBefore) {
  auto nested = nestedView();
  QVariantList states = nested->arrayWithStates();
  states[0] = "3 50 150 -100";
  QVariantList inner = states[1].toList();
  inner[2] = "additionNull";  // a split view's element that is not an array
  states[1] = inner;
  LogCapture log;
  nested->loadSnapshot({{"statesArray", states}});
  EXPECT_TRUE(log.contains("\t\terror: failed to restore the state"));
  EXPECT_FLOAT_EQ(nested->panes()[0]->visibleDimension(), 50);  // the level before stays
  EXPECT_FLOAT_EQ(nested->panes()[1]->visibleDimension(), 150);
  EXPECT_FALSE(nested->setStatesFromArray({"3 1 1 1", "additionNull"}));  // wrong count
  EXPECT_FALSE(nested->setStatesFromArray(QVariantList{"additionNull", "a", "b", "c"}));
  log.clear();
  nested->loadSnapshot({{"other", 1}});
  EXPECT_TRUE(log.lines().isEmpty());
}

TEST(TQSplitViewState, SplitterPresetsRoundTrip) {
  QSplitter splitter(Qt::Horizontal);
  splitter.resize(400, 100);
  for (int i = 0; i < 3; ++i) splitter.addWidget(new QLabel(QString::number(i)));
  splitter.setSizes({100, 200, 100});
  splitter.show();
  QApplication::processEvents();
  const QVariantMap preset = SplitterPresetAdditions::createPreset(&splitter);
  EXPECT_TRUE(preset.contains("0.o.x"));
  EXPECT_TRUE(preset.contains("2.s.h"));
  EXPECT_EQ(preset.value("1.s.w").toDouble(), splitter.widget(1)->width());
  const QList<int> saved = splitter.sizes();
  splitter.setSizes({300, 50, 50});
  SplitterPresetAdditions::loadPreset(&splitter, preset);
  QApplication::processEvents();
  EXPECT_EQ(splitter.sizes(), saved);

  SplitterPresetAdditions::loadPreset(&splitter, {});  // no entries: nothing moves
  EXPECT_EQ(splitter.sizes(), saved);
}

// A palette holding a nested split view, as a window would build it.
struct PaletteWithSplitView {
  PaletteWithSplitView() {
    palette = makePalette(QStringLiteral("Bin"), {100, 300, 420, 260}, false);
    QWidget* body = palette->contentView()->body();
    view = new QKTQSplitView(QRectF(body->rect()), 3, body);
    view->setDivider(dividerImage());
    auto* inner = new QKTQSplitView(QRectF(0, 0, 100, body->height()), 3);
    view->addSubview(inner, 1);
    delete view->panes()[2];  // the plain pane it replaces
    for (TQSplitSubview* p : view->panes() + inner->panes()) p->setCanCollapse(true);
    inner->panes()[0]->setIdentifier("clips");
    view->show();
    view->setAutosaveName("Bin", true);
    view->restoreState(true);
    view->adjustSubviews();
  }
  TQSplitView* inner() const { return view->panes()[1]->asSplitView(); }
  PalettePtr palette;
  QKTQSplitView* view = nullptr;
};

TEST(TQSplitViewState, ANestedSplitViewInAPaletteComesBackAfterARestart) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  std::vector<float> saved, savedInner;
  double hiddenShare = 0;
  {
    PaletteWithSplitView first;
    ASSERT_EQ(first.view->panes().size(), 3);
    first.view->panes()[0]->setDimension(80);
    first.inner()->panes()[2]->collapse();
    first.inner()->panes()[1]->setHidden(true);
    first.view->adjustSubviews();
    saved = paneSizes(*first.view);
    savedInner = paneSizes(*first.inner());
    TQSplitSubview* hidden = first.inner()->panes()[1];
    hiddenShare = hidden->visibleDimension() + hidden->fraction();
    EXPECT_TRUE(first.view->saveState(true));
    ASSERT_TRUE(defaults().synchronize());
  }
  const QString file = defaults().filePath();
  defaults().resetForTesting();
  defaults().setFilePath(file);  // as a new run reads it

  PaletteWithSplitView second;
  EXPECT_EQ(paneSizes(*second.view), saved);
  // The hidden pane is not laid out: its share comes back, split into whole
  // points and a remainder as the state string writes it.
  const QList<TQSplitSubview*> inner = second.inner()->panes();
  EXPECT_FLOAT_EQ(inner[0]->visibleDimension(), savedInner[0]);
  EXPECT_NEAR(inner[1]->visibleDimension() + inner[1]->fraction(), hiddenShare, 1e-3);
  EXPECT_FLOAT_EQ(second.view->panes()[0]->visibleDimension(), 80);
  EXPECT_TRUE(second.inner()->panes()[2]->isCollapsed());
  EXPECT_TRUE(second.inner()->panes()[1]->isHidden());
}

TEST(TQSplitViewState, DividersTakeThePalettesFrameColourAndShowTheLeadingIdentifier) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PaletteWithSplitView bin;
  bin.view->setUseCustomDividerColor(true);
  bin.view->setDrawDividerText(true);
  static_cast<QKTQSplitView*>(bin.inner())->setDrawDividerText(true);
  QApplication::processEvents();
  const QImage shot = bin.view->grab().toImage();
  const QRectF divider = bin.view->dividerRects().at(0);
  const QColor frame = bin.palette->contentView()->frameColor();
  const QColor seen = shot.pixelColor(QPoint(int(divider.x()) + 4, 2));
  EXPECT_EQ(seen.rgb(), frame.rgb());
  EXPECT_EQ(bin.view->textColor(), QColor(125, 125, 125));
  EXPECT_DOUBLE_EQ(bin.view->textFont().pointSizeF(), 9.0);
}

}  // namespace
