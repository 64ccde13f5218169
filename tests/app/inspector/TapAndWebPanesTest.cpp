// The inspector's tap and web panes in a real inspector: what they show
// for a selection, what an apply stores, and what Cancel drops.
#include "app/inspector/MICheckBox.h"
#include "app/inspector/QKMITapFileViewController.h"
#include "app/inspector/QKMIURLFileViewController.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKTapFile.h"
#include "framework/media/QKURLFile.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using Box = MediaInspector::Box;
const QString kUseRes = QStringLiteral("useCustomResForURL");
const QString kHorRes = QStringLiteral("urlHorRes");

class FakeLoader : public QKFileLoaderInterface {
 public:
  void createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) override {
    asked.push_back(file);
  }
  std::vector<std::shared_ptr<QKURLFile>> asked;
};

class LoaderCompositor : public FakeCompositor {
 public:
  QKFileLoaderInterface* fileLoader() override { return &loader; }
  FakeLoader loader;
};

struct PanesFixture : ::testing::Test {
  PanesFixture() : inspector(&host) {
    for (const char* name : {"Layer A", "Layer B"}) {
      layers.push_back(std::make_unique<FakeLayer>(QString::fromLatin1(name)));
      taps.push_back(QKSTap::create(layers.back().get()));
    }
    inspector.awakeFromNib();
    inspector.window()->contentView()->expand();
  }
  ~PanesFixture() override {
    for (auto& tap : taps) tap->prepareToBeDeleted();
  }

  std::shared_ptr<QKURLFile> web(const QString& address, const QVariantMap& props = {}) {
    auto file = QKURLFile::createWithURLString(&compositor, address);
    QVariantMap stored = file->movieProps();
    for (auto it = props.cbegin(); it != props.cend(); ++it) stored.insert(it.key(), it.value());
    file->setMovieProps(stored);
    return file;
  }
  std::shared_ptr<QKFile> tap(const char* name) {
    return QKTapFile::createWithTapName(QString::fromLatin1(name), &compositor);
  }
  void select(const std::vector<std::shared_ptr<QKFile>>& selected) {
    std::vector<MIEntry> entries;
    for (const auto& file : selected) entries.push_back(entry(file));
    inspector.selectTheseFiles(entries);
  }
  void selectNothing() { inspector.selectTheseFiles({}); }

  QKMIURLFileViewController& webPane() { return *inspector.urlFileController(); }
  QKMITapFileViewController& tapPane() { return *inspector.tapFileController(); }
  QKNSPopUpButton& popUp() { return *tapPane().button(); }
  // Chooses in the tap pop-up as a click on the item does.
  void choose(const QString& tapName) {
    for (QAction* item : popUp().menu()->actions())
      if (item->data().toString() == tapName) return item->trigger();
    ADD_FAILURE() << "no item for " << tapName.toStdString();
  }
  void typeSize(QLineEdit* field, const QString& text) {
    field->setText(text);
    Q_EMIT field->editingFinished();
  }

  FakeInspectorHost host;
  LoaderCompositor compositor;
  std::vector<std::unique_ptr<FakeLayer>> layers;
  std::vector<std::shared_ptr<QKSTap>> taps;
  MediaInspector inspector;
};

// --- Web pane --------------------------------------------------------------------------------

TEST_F(PanesFixture, WebAddressRuleAndAutomaticName) {
  struct Case {
    const char* name;
    const char* address;
    const char* typedName;     // null: the name field is left as shown
    const char* typedAddress;  // null: the address field is left as shown
    const char* storedAddress;
    const char* storedName;
  };
  const char* old = "http://old.example.org/start";
  const Case cases[] = {
      {"no scheme", old, nullptr, "example.org/next", "http://example.org/next", "next"},
      {"https kept", old, nullptr, "https://example.org/secure", "https://example.org/secure",
       "secure"},
      {"http kept", old, nullptr, "http://example.org/a/", "http://example.org/a/", "a"},
      {"file kept", old, nullptr, "file:///tmp/page.html", "file:///tmp/page.html", "page.html"},
      {"typed name kept", old, "My Page", "example.org/other", "http://example.org/other",
       "My Page"},
      {"empty refused", old, nullptr, "", old, "start"},
      {"blank refused", old, nullptr, "   ", old, "start"},
      {"untouched kept", "www.example.org/start", nullptr, nullptr, "www.example.org/start",
       "start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = web(QString::fromLatin1(c.address));
    ASSERT_EQ(file->name(), QStringLiteral("start"));
    select({file});
    ASSERT_EQ(inspector.shownBox(), Box::Web);
    ASSERT_TRUE(webPane().urlStringInUse());
    EXPECT_EQ(webPane().urlStringTextField()->text(), file->urlString());
    if (c.typedName) inspector.editableTextField()->setText(QString::fromLatin1(c.typedName));
    if (c.typedAddress)
      webPane().urlStringTextField()->setText(QString::fromLatin1(c.typedAddress));
    LogCapture log;
    NotificationCounter updated("QKFileMoviePropsUpdatedNotification");
    selectNothing();
    EXPECT_EQ(file->urlString(), QString::fromLatin1(c.storedAddress));
    EXPECT_EQ(file->name(), QString::fromLatin1(c.storedName));
    EXPECT_GE(updated.count(), 1) << "sources playing the entry hear of it";
    EXPECT_EQ(log.contains(QStringLiteral("empty web address")),
              c.typedAddress && QString::fromLatin1(c.typedAddress).trimmed().isEmpty());
  }
}

TEST_F(PanesFixture, WebNameGivenByHandSurvivesANewAddress) {
  auto file = web(QStringLiteral("http://example.org/first"));
  file->setName(QStringLiteral("Opening loop"));
  select({file});
  webPane().urlStringTextField()->setText(QStringLiteral("example.org/second"));
  inspector.applyChanges();
  EXPECT_EQ(file->urlString(), QStringLiteral("http://example.org/second"));
  EXPECT_EQ(file->name(), QStringLiteral("Opening loop"));
  EXPECT_EQ(webPane().urlStringTextField()->text(), QStringLiteral("http://example.org/second"))
      << "the field shows what was stored";
}

TEST_F(PanesFixture, TwoWebEntriesShowMixedSizeAndKeepTheirAddresses) {
  auto custom = web(QStringLiteral("http://a.example.org/"), {{kUseRes, 1}, {kHorRes, 800}});
  auto plain = web(QStringLiteral("http://b.example.org/"), {{kUseRes, 0}});
  select({custom, plain});
  EXPECT_FALSE(webPane().urlStringInUse());
  EXPECT_EQ(webPane().urlStringTextField()->text(), QStringLiteral("-"));
  EXPECT_FALSE(webPane().urlStringTextField()->isEnabled());
  EXPECT_EQ(webPane().useURLResButton()->state(), -1);

  webPane().useURLResButton()->click();
  EXPECT_EQ(webPane().useURLResButton()->state(), 1) << "a click on a mixed box turns it on";
  typeSize(webPane().urlHozResTextField(), QStringLiteral("1024"));
  {
    LogCapture log;
    typeSize(webPane().urlVertResTextField(), QStringLiteral("-5"));
    typeSize(webPane().urlVertResTextField(), QStringLiteral("tall"));
    EXPECT_EQ(log.lines().filter(QStringLiteral("is not a size in pixels")).size(), 2);
  }
  inspector.applyChanges();
  for (const auto& file : {custom, plain}) {
    EXPECT_EQ(file->movieProp(kUseRes).toInt(), 1);
    EXPECT_EQ(file->movieProp(kHorRes).toInt(), 1024);
    EXPECT_EQ(file->movieProp(QKMIURLFileViewController::kVertResKey).toInt(), 480)
        << "the stored height is kept";
  }
  EXPECT_EQ(custom->urlString(), QStringLiteral("http://a.example.org/"));
  EXPECT_EQ(plain->urlString(), QStringLiteral("http://b.example.org/"));
}

TEST_F(PanesFixture, WebShowsDefaultsCancelsAndRefreshesThumbnails) {
  auto file = web(QStringLiteral("http://example.org/page"));
  file->setMovieProps({{kUseRes, QStringLiteral("yes")}});  // wrong type: read as absent
  select({file});
  EXPECT_EQ(webPane().useURLResButton()->state(), 0);
  EXPECT_EQ(webPane().urlHozResTextField()->text(), QStringLiteral("320"));
  EXPECT_EQ(webPane().urlVertResTextField()->text(), QStringLiteral("240"));

  webPane().useURLResButton()->click();
  typeSize(webPane().urlHozResTextField(), QStringLiteral("640"));
  webPane().urlStringTextField()->setText(QStringLiteral("elsewhere.org"));
  inspector.cancelAndReload();
  EXPECT_EQ(file->urlString(), QStringLiteral("http://example.org/page"));
  EXPECT_FALSE(file->movieProps().contains(kHorRes));
  EXPECT_EQ(webPane().urlStringTextField()->text(), QStringLiteral("http://example.org/page"));
  EXPECT_EQ(webPane().useURLResButton()->state(), 0);

  webPane().refreshButton()->click();
  ASSERT_EQ(compositor.loader.asked.size(), 1u);
  EXPECT_EQ(compositor.loader.asked.front(), file);
}

// The panes are shorter than the movie pane: at the palette's size they
// show whole, with no scroll bar.
TEST_F(PanesFixture, ShortPanesShowWithoutAScrollBar) {
  inspector.window()->show();
  QScrollArea* scroller = nullptr;
  for (auto* area : inspector.window()->findChildren<QScrollArea*>())
    if (qobject_cast<QStackedWidget*>(area->widget())) scroller = area;
  ASSERT_TRUE(scroller);
  const std::vector<std::shared_ptr<QKFile>> files = {
      web(QStringLiteral("http://example.org/page")), tap("Layer A")};
  for (const auto& file : files) {
    select({file});
    QCoreApplication::processEvents();
    EXPECT_FALSE(scroller->verticalScrollBar()->isVisible())
        << file->name().toStdString() << ": " << scroller->widget()->height() << " in "
        << scroller->viewport()->height();
  }
}

TEST_F(PanesFixture, WebEntryWithABadSizeKeepsEverything) {
  auto file = web(QStringLiteral("http://example.org/page"), {{kHorRes, 800}});
  select({file});
  inspector.pendingPropsFor(*file)->insert(kHorRes, -640);  // as an old project may hold
  inspector.pendingPropsFor(*file)->insert(kUseRes, 0);
  webPane().urlStringTextField()->setText(QStringLiteral("example.org/other"));
  LogCapture log;
  inspector.applyChanges();
  EXPECT_TRUE(log.contains(QStringLiteral("\"urlHorRes\" is negative")));
  EXPECT_EQ(file->movieProp(kHorRes).toInt(), 800);
  EXPECT_EQ(file->movieProp(kUseRes).toInt(), 1);
  EXPECT_EQ(file->urlString(), QStringLiteral("http://example.org/page"));
  EXPECT_EQ(file->name(), QStringLiteral("page"));
}

// --- Tap pane --------------------------------------------------------------------------------

TEST_F(PanesFixture, TapPopUpShowsTheEntriesTap) {
  struct Case {
    const char* name;
    std::vector<const char*> entries;
    const char* shown;  // null: no item (mixed)
  };
  const Case cases[] = {
      {"one entry", {"Layer B"}, "Layer B"},
      {"same tap twice", {"Layer A", "Layer A"}, "Layer A"},
      {"different taps", {"Layer A", "Layer B"}, nullptr},
      {"no tap", {"<none>"}, "<none>"},
      {"tap gone", {"Old Layer"}, "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::shared_ptr<QKFile>> selected;
    for (const char* name : c.entries) selected.push_back(tap(name));
    select(selected);
    ASSERT_EQ(inspector.shownBox(), Box::Tap);
    EXPECT_EQ(tapPane().mixed(), c.shown == nullptr);
    if (c.shown)
      EXPECT_EQ(popUp().titleOfSelectedItem().trimmed(), QString::fromLatin1(c.shown));
    else
      EXPECT_EQ(popUp().selectedItem(), nullptr);
    // A reload of the tap list keeps what is shown.
    host.taps.reloadTapsPostDict({});
    EXPECT_EQ(popUp().selectedItem() == nullptr, c.shown == nullptr);
  }
}

TEST_F(PanesFixture, UntouchedTapEntriesKeepTheirNames) {
  auto a = tap("Layer A");
  auto b = tap("Layer B");
  auto gone = tap("Old Layer");
  NotificationCounter updated("QKFileMoviePropsUpdatedNotification");
  NotificationCounter posters("QKFilePosterImageChangedNotification");
  select({a, b, gone});
  inspector.applyChanges();
  selectNothing();
  EXPECT_EQ(a->name(), QStringLiteral("Layer A"));
  EXPECT_EQ(b->name(), QStringLiteral("Layer B"));
  EXPECT_EQ(gone->name(), QStringLiteral("Old Layer"));
  EXPECT_EQ(posters.count(), 0);
  EXPECT_EQ(updated.count(), 0);
}

TEST_F(PanesFixture, ChosenTapNamesEveryEntryOnApplyAndCancelDropsIt) {
  struct Case {
    const char* name;
    const char* chosen;  // tap name; "" : "<none>"
    bool cancel;
    const char* expected;
  };
  const Case cases[] = {
      {"a tap", "Layer B", false, "Layer B"},
      {"<none>", "", false, "<none>"},
      {"cancelled", "Layer B", true, "Layer A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto first = tap("Layer A");
    auto second = tap("Old Layer");
    select({first, second});
    NotificationCounter updated("QKFileMoviePropsUpdatedNotification");
    NotificationCounter posters("QKFilePosterImageChangedNotification");
    choose(QString::fromLatin1(c.chosen));
    EXPECT_FALSE(tapPane().mixed());
    EXPECT_EQ(first->name(), QStringLiteral("Layer A")) << "nothing changes before the apply";
    if (c.cancel) inspector.cancelAndReload();
    selectNothing();
    EXPECT_EQ(first->name(), QString::fromLatin1(c.expected));
    EXPECT_EQ(second->name(), c.cancel ? QStringLiteral("Old Layer") : first->name());
    EXPECT_EQ(posters.count(), c.cancel ? 0 : 2);
    EXPECT_EQ(updated.count(), c.cancel ? 0 : 2);
  }
}

// The panes as a performer sees them, for a look by eye.
TEST_F(PanesFixture, Screenshots) {
  inspector.window()->resize(300, 220);
  auto file = web(QStringLiteral("https://example.org/visuals/loop.html"),
                  {{kUseRes, 1}, {kHorRes, 1280}, {QKMIURLFileViewController::kVertResKey, 720}});
  select({file});
  settle();
  EXPECT_FALSE(saveScreenshot(inspector.window()->grab().toImage(), "inspector-web").isEmpty());
  select({tap("Layer B")});
  settle();
  EXPECT_FALSE(saveScreenshot(inspector.window()->grab().toImage(), "inspector-tap").isEmpty());
}

}  // namespace
