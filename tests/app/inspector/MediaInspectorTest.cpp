// The inspector window with fake panes: which container shows for which
// selection, the pending edits, apply, cancel, deletion, collapse, `draw`.
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBLayerController.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKPage.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/app/mediabin/FakeMediaBin.h"
#include "tests/app/mediabin/FakeQueueHost.h"

#include <QLineEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <thread>

namespace {

using Box = MediaInspector::Box;

struct InspectorFixture : ::testing::Test {
  InspectorFixture() : inspector(&host) {
    inspector.setPanes({&composition, &tap, &web, &movieProps, &range, &warp});
    inspector.awakeFromNib();
    // Palettes start collapsed; this one is open.
    inspector.window()->contentView()->expand();
  }
  ~InspectorFixture() override { inspector.setPanes({}); }

  std::shared_ptr<QKFile> file(int kind, const char* name) {
    return files.make(kind, QString::fromLatin1(name), {{QStringLiteral("loopMode"), 1}});
  }

  FakeInspectorHost host;
  InspectorFiles files;
  FakePane composition, tap, web, movieProps, range, warp;
  MediaInspector inspector;
};

TEST_F(InspectorFixture, PaneChoiceTable) {
  struct Case {
    const char* name;
    std::vector<int> kinds;  // -1: a folder
    Box box;
    const char* title;  // "" : the single entry's name
    bool applyShown;
    bool compositionReadsFirst;
    bool movieRead;
  };
  const int Q = QKFile::kMovieKind, C = QKFile::kCompositionKind, T = QKFile::kTextKind,
            I = QKFile::kImageKind, W = QKFile::kWebKind, P = QKFile::kTapKind, F = -1;
  const Case cases[] = {
      {"one movie", {Q}, Box::Movie, "", true, false, true},
      {"two movies", {Q, Q}, Box::Movie, "Multiple movies selected", true, false, false},
      {"one composition", {C}, Box::Composition, "", true, true, false},
      {"two compositions",
       {C, C},
       Box::Composition,
       "Multiple QTZ files selected",
       true,
       false,
       false},
      {"composition and folder",
       {C, F},
       Box::Composition,
       "Multiple QTZ files selected",
       false,
       false,
       false},
      {"two texts", {T, T}, Box::Composition, "Multiple text files selected", true, true, false},
      {"two images", {I, I}, Box::Composition, "Multiple image files selected", true, true, false},
      {"web", {W, W}, Box::Web, "Multiple web links selected", true, false, false},
      {"one tap", {P}, Box::Tap, "", true, false, false},
      {"mixed", {Q, T}, Box::Multiple, "Multiple types selected", true, false, false},
      {"folders only", {F, F}, Box::Multiple, "Multiple types selected", false, false, false},
      {"empty", {}, Box::Empty, "None", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MIEntry> entries;
    for (int kind : c.kinds)
      entries.push_back(kind == F ? entry(files.folder()) : entry(file(kind, "first")));
    composition.reads.clear();
    range.reads.clear();
    inspector.selectTheseFiles(entries);
    EXPECT_EQ(inspector.shownBox(), c.box);
    EXPECT_EQ(inspector.nameText(),
              *c.title ? QString::fromLatin1(c.title) : QStringLiteral("first"));
    EXPECT_EQ(inspector.nameEditable(), entries.size() == 1);
    EXPECT_EQ(inspector.applyButtonsVisible(), c.applyShown);
    EXPECT_EQ(composition.lastRead() != nullptr, c.compositionReadsFirst);
    if (c.compositionReadsFirst) {
      EXPECT_EQ(composition.lastRead(), entries.front().file);
    }
    EXPECT_EQ(range.lastRead() != nullptr, c.movieRead);
  }
}

TEST_F(InspectorFixture, SameSelectionDoesNotApplyAndAChangeDoes) {
  auto a = file(QKFile::kMovieKind, "a");
  auto b = file(QKFile::kMovieKind, "b");
  inspector.selectTheseFiles({entry(a)});
  ASSERT_NE(inspector.pendingPropsFor(*a), nullptr);
  inspector.pendingPropsFor(*a)->insert(QStringLiteral("loopMode"), 2);
  const int stores = movieProps.stores;
  inspector.selectTheseFiles({entry(a)});
  EXPECT_EQ(movieProps.stores, stores);
  EXPECT_EQ(inspector.pendingPropsFor(*a)->value("loopMode").toInt(), 2) << "edits kept";

  inspector.editableTextField()->setText(QStringLiteral("renamed"));
  inspector.selectTheseFiles({entry(b)});
  EXPECT_EQ(movieProps.stores, stores + 1);
  EXPECT_EQ(a->name(), QStringLiteral("renamed"));
  EXPECT_EQ(b->name(), QStringLiteral("b"));
  EXPECT_EQ(inspector.pendingPropsFor(*a), nullptr);
}

TEST_F(InspectorFixture, ApplyOrderAndCancel) {
  auto a = file(QKFile::kMovieKind, "a");
  inspector.selectTheseFiles({entry(a)});
  std::vector<const char*> order;
  tap.onStore = [&] { order.push_back("tap"); };
  composition.onStore = [&] { order.push_back("composition"); };
  web.onStore = [&] { order.push_back("web"); };
  movieProps.onStore = [&] { order.push_back("movie"); };
  inspector.applyChanges();
  EXPECT_EQ(order, (std::vector<const char*>{"tap", "composition", "web", "movie"}));

  inspector.pendingPropsFor(*a)->insert(QStringLiteral("loopMode"), 0);
  inspector.cancelAndReload();
  ASSERT_NE(inspector.pendingPropsFor(*a), nullptr);
  EXPECT_EQ(inspector.pendingPropsFor(*a)->value("loopMode").toInt(), 1) << "stored value again";
  EXPECT_EQ(inspector.currentlyInspectedArray().size(), 1u);
}

TEST_F(InspectorFixture, FileWithoutPropertiesGetsNoPendingEntry) {
  auto bare = files.make(QKFile::kTextKind, QStringLiteral("bare"));
  bare->clearMovieProps();
  inspector.selectTheseFiles({entry(bare)});
  EXPECT_EQ(inspector.pendingPropsFor(*bare), nullptr);
  EXPECT_TRUE(inspector.currentlyInspectedMoviePropsDict().isEmpty());
}

TEST_F(InspectorFixture, DeletingAnInspectedEntryDropsTheEditsAndEmpties) {
  auto a = file(QKFile::kMovieKind, "a");
  auto b = file(QKFile::kMovieKind, "b");
  auto other = file(QKFile::kMovieKind, "other");
  inspector.selectTheseFiles({entry(a), entry(b)});
  int seen = -1;
  movieProps.onStore = [&] { seen = inspector.currentlyInspectedMoviePropsDict().size(); };
  inspector.pendingPropsFor(*a)->insert(QStringLiteral("loopMode"), 0);

  other->prepareToBeDeleted();  // not inspected: nothing happens
  settle();
  EXPECT_EQ(inspector.currentlyInspectedArray().size(), 2u);

  a->prepareToBeDeleted();
  settle();
  EXPECT_EQ(seen, 0) << "the apply found no pending edits";
  EXPECT_EQ(a->movieProp(QStringLiteral("loopMode")).toInt(), 1);
  EXPECT_TRUE(inspector.currentlyInspectedArray().empty());
  EXPECT_EQ(inspector.shownBox(), Box::Empty);
  EXPECT_EQ(inspector.nameText(), QStringLiteral("None"));
}

TEST_F(InspectorFixture, ACollapsedWindowLoadsTheMovieOnExpand) {
  auto a = file(QKFile::kMovieKind, "a");
  QKWindowContentView* content = inspector.window()->contentView();
  content->collapse();
  settle();
  inspector.selectTheseFiles({entry(a)});
  EXPECT_EQ(range.lastRead(), nullptr);
  content->expand();
  settle();
  EXPECT_EQ(range.lastRead(), a);
  EXPECT_EQ(warp.lastRead(), a);
}

TEST_F(InspectorFixture, DrawSkipsWhileAnApplyHoldsTheLock) {
  auto c = file(QKFile::kCompositionKind, "c");
  inspector.selectTheseFiles({entry(c)});
  inspector.draw();
  EXPECT_EQ(composition.draws.load(), 1);

  int drawsDuringApply = -1;
  composition.onStore = [&] {
    std::thread render([&] { inspector.draw(); });
    render.join();
    drawsDuringApply = composition.draws.load();
  };
  inspector.applyChanges();
  EXPECT_EQ(drawsDuringApply, 1) << "the render thread skipped rather than waited";
  composition.onStore = nullptr;

  inspector.selectTheseFiles({entry(file(QKFile::kMovieKind, "m"))});
  inspector.draw();
  EXPECT_EQ(composition.draws.load(), 1) << "nothing to draw for a movie";
}

// The grid's "SelectedFilesChanged" reaches the inspector, which looks the
// IDs up in the pages; other reasons and other posters are ignored.
// The inspector's own panes go with it (the range selector's view lives in
// the window, the controller beside it).
TEST(MediaInspectorLifetime, ItsRangeSelectorGoesWithIt) {
  FakeInspectorHost host;
  auto inspector = std::make_unique<MediaInspector>(&host);
  inspector->awakeFromNib();
  const QPointer<QKMIRangeSelectorController> range = inspector->rangeSelector();
  ASSERT_FALSE(range.isNull());
  inspector.reset();
  EXPECT_TRUE(range.isNull());
}

TEST(MediaInspectorGrid, FollowsTheGridSelection) {
  FakeMediaBin bin;
  FakeQueueHost queueHost({"Top"});
  MBLayerController queue(&queueHost, 42);
  MBFileGridView grid(&bin, &queue);
  auto page = bin.pageController()->pages().front();
  fillPage(*page, QStringLiteral("ab"));
  FakeInspectorHost host;
  host.pages = bin.pageController();
  MediaInspector inspector(&host);
  FakePane range;
  inspector.setPanes({nullptr, nullptr, nullptr, nullptr, &range, nullptr});
  inspector.awakeFromNib();

  const long a = page->contents()[0]->uniqueFileId();
  const long b = page->contents()[1]->uniqueFileId();
  auto post = [&](void* poster, const char* reason) {
    NotificationCenter::defaultCenter().post(
        QStringLiteral("QKMBVisiblePagesChangedNotification"), poster,
        {{"BinId", 42}, {"Reason", QString::fromLatin1(reason)}});
  };
  int stranger = 0;
  post(&stranger, "SelectedFilesChanged");
  EXPECT_FALSE(inspector.hasSelection());
  post(&grid, "VisibleStateChanged");
  EXPECT_FALSE(inspector.hasSelection());
  bin.setSelected(a, true);
  bin.setSelected(b, true);
  post(&grid, "SelectedFilesChanged");
  ASSERT_EQ(inspector.currentlyInspectedArray().size(), 2u);
  bin.deselectAll();
  bin.setSelected(987654, true);  // an ID with no file is skipped
  post(&grid, "SelectedFilesChanged");
  EXPECT_TRUE(inspector.currentlyInspectedArray().empty());
}

}  // namespace
