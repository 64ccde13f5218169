// The missing-files window: the outline, "Locate", same-folder relinking, the
// loader's progress and the window's own modal session.

#include "app/shell/MiddleTruncation.h"
#include "app/shell/PMMissingFilesLocateTableColumn.h"
#include "app/shell/PMMissingFilesController.h"
#include "app/shell/PMMissingFilesHost.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/media/QKFolder.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/media/MediaBinTestSupport.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

// A media file whose validity and paths a test sets.
class StubFile : public QKFile {
 public:
  StubFile(const QString& name, const QString& path, bool valid, CompositorInterface* compositor)
      : QKFile(name, compositor) {
    fullPath_ = path;
    originalPath_ = path;
    validFile_ = valid;
  }
};

struct Relink {
  QString name;
  QString path;
};

class FakeMissingFilesHost : public PMMissingFilesHost {
 public:
  FakeMissingFilesHost() { media.makePageController(); }

  std::vector<std::shared_ptr<QKFile>>& missingFileArray() override { return files; }
  QVariantList& missingFileSnapArray() override { return snaps; }
  QKPageController* pageController() override { return media.pages.get(); }
  QKFolder* rootFolder() override { return root; }
  void relinkTheseSnapshots(const QVariantList& snapshots, const QStringList& paths) override {
    for (int i = 0; i < snapshots.size(); ++i)
      relinks.push_back({snapshots[i].toMap().value(QKFile::kNameKey).toString(), paths.value(i)});
  }
  void loadWithOpenPanelToFolder(QKFileParent* parent, int index, bool isGridIndex,
                                 QWidget* window) override {
    imports.push_back({RecordingLoader::idOf(parent), index});
    EXPECT_TRUE(isGridIndex);
    EXPECT_NE(window, nullptr);
  }

  // A file on the first page, listed as missing with its stored path when
  // it is not valid.
  std::shared_ptr<QKFile> addFile(const QString& name, const QString& storedPath,
                                  bool valid = false) {
    auto file = std::make_shared<StubFile>(name, storedPath, valid, &media.fakeCompositor);
    const auto page = media.pages->firstPage();
    media.pages->addObjects({file}, page, page->lastFilledGridIndex());
    if (!valid) {
      files.push_back(file);
      snaps.append(QVariantMap{{QKFile::kUniqueIdKey, qint64(file->uniqueFileId())},
                               {QKFile::kNameKey, name},
                               {MediaPaths::kFullPathKey, storedPath}});
    }
    return file;
  }

  // What the loader does with a file it could reload: out of both lists,
  // then the end of its load.
  void loaderLoaded(const std::shared_ptr<QKFile>& file) {
    const auto found = std::find(files.begin(), files.end(), file);
    if (found != files.end()) {
      snaps.removeAt(qsizetype(found - files.begin()));
      files.erase(found);
    }
    finishLoad();
  }
  static void finishLoad() {
    NotificationCenter::defaultCenter().post(MediaNotifications::kFileLoaderFinishedLoad, nullptr);
  }

  FakeMediaBinHost media;
  QKFolder* root = nullptr;
  std::vector<std::shared_ptr<QKFile>> files;
  QVariantList snaps;
  std::vector<Relink> relinks;
  std::vector<std::pair<long, int>> imports;
};

void touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

QStringList outlineText(const PMMissingFilesOutlineModel& model) {
  QStringList lines;
  for (int row = 0; row < model.rowCount(); ++row) {
    const QModelIndex top = model.index(row, 0);
    QString line = top.data().toString() + QStringLiteral(":");
    for (int child = 0; child < model.rowCount(top); ++child)
      line += QLatin1Char(' ') + model.index(child, 0, top).data().toString();
    lines << line;
  }
  return lines;
}

class MissingFilesWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString at(const QString& relative) const { return dir.filePath(relative); }

  // A click on "Locate" in the file's row, as the button's cell sends it.
  void clickLocate(const std::shared_ptr<QKFile>& file) {
    controller.update();
    const QModelIndex index = controller.outlineModel()->indexOfFile(
        file.get(), PMMissingFilesOutlineModel::kLocateButtonColumn);
    ASSERT_TRUE(index.isValid());
    controller.outlineModel()->setData(index, 1);
  }
  // Chooses `path` in the open "Locate" sheet.
  void choose(const QString& path) {
    QFileDialog* panel = controller.openPanel();
    ASSERT_NE(panel, nullptr);
    panel->selectFile(path);
    static_cast<QDialog*>(panel)->accept();  // QFileDialog's own checks the choice
  }

  QTemporaryDir dir;
  FakeMissingFilesHost host;
  PMMissingFilesController controller{&host};
};

// Pages are listed in every mode; their files by the mode; blanks never.
TEST_F(MissingFilesWindowTest, OutlineListsPagesByViewMode) {
  auto page2 = host.media.pages->addBlankPage();
  page2->setName(QStringLiteral("Only missing"));
  host.media.pages->firstPage()->setName(QStringLiteral("Mixed"));
  host.addFile(QStringLiteral("here"), at(QStringLiteral("here.mov")), true);
  host.media.pages->firstPage()->addObjects({nullptr}, 1);
  host.addFile(QStringLiteral("gone"), QStringLiteral("/nowhere/gone.mov"));
  auto lost = std::make_shared<StubFile>(QStringLiteral("lost"), QStringLiteral("/x/lost.mov"),
                                         false, &host.media.fakeCompositor);
  host.media.pages->addObjects({lost}, page2, 0);

  const struct {
    int mode;
    QStringList lines;
  } cases[] = {
      {PMMissingFilesOutlineModel::kAllFiles, {"Mixed: here gone", "Only missing: lost"}},
      {PMMissingFilesOutlineModel::kMissingFiles, {"Mixed: gone", "Only missing: lost"}},
      {PMMissingFilesOutlineModel::kAvailableFiles, {"Mixed: here", "Only missing:"}},
  };
  for (const auto& c : cases) {
    controller.viewModeButton()->setCurrentIndex(c.mode);
    controller.viewModeButtonUsed();
    EXPECT_EQ(outlineText(*controller.outlineModel()), c.lines) << "mode " << c.mode;
    const QModelIndex onlyMissing = controller.outlineModel()->index(1, 0);
    EXPECT_TRUE(controller.outlineModel()->hasChildren(onlyMissing)) << "pages always open";
  }
}

TEST_F(MissingFilesWindowTest, OutlineShowsTheLegacyFolderTree) {
  QKFolder root(&host.media.fakeCompositor, &host.media.recordingLoader);
  host.root = &root;
  auto sub = QKFolder::createWithParent(&root, QStringLiteral("sub"), &host.media.fakeCompositor,
                                        &host.media.recordingLoader);
  root.addObject({nullptr, sub}, 0);
  auto valid = std::make_shared<StubFile>(QStringLiteral("ok"), at(QStringLiteral("ok.mov")), true,
                                          &host.media.fakeCompositor);
  auto missing = std::make_shared<StubFile>(QStringLiteral("no"), QStringLiteral("/x/no.mov"),
                                            false, &host.media.fakeCompositor);
  sub->addObjects({{valid, nullptr}, {missing, nullptr}}, 0);
  controller.foldersOrPagesButton()->setCurrentIndex(1);
  EXPECT_EQ(outlineText(*controller.outlineModel()), QStringList{"sub: ok no"});
  controller.viewModeButton()->setCurrentIndex(PMMissingFilesOutlineModel::kMissingFiles);
  EXPECT_EQ(outlineText(*controller.outlineModel()), QStringList{"sub: no"});
  host.root = nullptr;
}

// The cells: a found file reads "Found" and ignores a click there; paths
// are truncated to the column; tool tips hold the whole path.
TEST_F(MissingFilesWindowTest, CellsAndToolTips) {
  const QString longPath =
      QStringLiteral("/") + QString(40, QLatin1Char('d')) + QStringLiteral("/clip.mov");
  auto found = host.addFile(QStringLiteral("found"), longPath, true);
  host.addFile(QStringLiteral("gone"), QStringLiteral("/x/gone.mov"));
  controller.update();
  const PMMissingFilesOutlineModel& model = *controller.outlineModel();
  const QModelIndex locate =
      model.indexOfFile(found.get(), PMMissingFilesOutlineModel::kLocateButtonColumn);
  EXPECT_EQ(locate.data().toString(), "Found");
  EXPECT_EQ(locate.data(Qt::ToolTipRole).toString(), longPath);
  controller.outlineModel()->setData(locate, 1);
  EXPECT_EQ(controller.openPanel(), nullptr) << "a found file is not located";
  EXPECT_EQ(model.index(0, PMMissingFilesOutlineModel::kPathColumn).data().toString(), QString())
      << "a page shows no path";

  controller.outlineView()->setColumnWidth(PMMissingFilesOutlineModel::kPathColumn, 60);
  const QString shown =
      model.indexOfFile(found.get(), PMMissingFilesOutlineModel::kPathColumn).data().toString();
  EXPECT_TRUE(shown.contains(QStringLiteral("..."))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral(".mov"))) << shown.toStdString();
  EXPECT_EQ(model.indexOfFile(found.get(), PMMissingFilesOutlineModel::kNameColumn)
                .data(Qt::ToolTipRole)
                .toString(),
            "found");
}

// The counts handed in may lie outside the text; nothing is read outside it.
TEST(MiddleTruncationTest, KeepsEndsWithinTheText) {
  const struct {
    QString text;
    int n;
    QString expected;
  } cases[] = {
      {"/Users/me/Movies/clip.mov", 8, "/User...clip.mov"},
      {"/Users/me/Movies/clip.mov", 2, "...ov"},
      {"/Users/me/Movies/clip.mov", 0, "..."},
      {"/Users/me/Movies/clip.mov", -7, "..."},
      {"/Users/me/Movies/clip.mov", 14, "/Users/me/Movies/clip.mov"},
      {"/Users/me/Movies/clip.mov", 400, "/Users/me/Movies/clip.mov"},
      {"/a", 5, "/a"},
      {"", 3, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MiddleTruncation::keepEnds(c.text, c.n), c.expected)
        << c.text.toStdString() << " n=" << c.n;
}

TEST(MiddleTruncationTest, FitsPathsToColumnWidths) {
  const QFontMetricsF metrics{QFont()};
  const QString path = QStringLiteral("/home/performer/Videos/set two/loops/intro loop.mov");
  const float full = float(metrics.horizontalAdvance(path));
  EXPECT_EQ(MiddleTruncation::pathToWidth(path, full, metrics), path);
  EXPECT_EQ(MiddleTruncation::pathToWidth(QString(), 0.0f, metrics), QString());
  for (const float width : {-10.0f, 0.0f, 1.0f, 5.0f, full / 2.0f, full - 1.0f}) {
    const QString shown = MiddleTruncation::pathToWidth(path, width, metrics);
    EXPECT_LE(shown.size(), path.size() + 3) << width;
    EXPECT_TRUE(shown == path || shown.contains(QStringLiteral("..."))) << width;
  }
  // Shorter than "..." itself: no positive width per character.
  EXPECT_EQ(MiddleTruncation::pathToWidth(QStringLiteral("/"), 0.0f, metrics), "/");
}

TEST_F(MissingFilesWindowTest, LocateStartsInTheNearestExistingFolder) {
  QDir().mkpath(at(QStringLiteral("media/set")));
  const struct {
    QString path;
    QString expected;
  } cases[] = {
      {at("media/set/clip.mov"), at("media/set")},
      {at("media/set/gone/deeper/clip.mov"), at("media/set")},
      {at("gone/clip.mov"), dir.path()},
      {"/nowhere-at-all/clip.mov", "/"},
      {"/clip.mov", "/"},
      {"relative/clip.mov", QDir::homePath()},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PMMissingFilesController::startingFolder(c.path), c.expected) << c.path.toStdString();

  auto file = host.addFile(QStringLiteral("clip"), at(QStringLiteral("media/set/gone/clip.mov")));
  clickLocate(file);
  ASSERT_NE(controller.openPanel(), nullptr);
  EXPECT_EQ(QDir(controller.openPanel()->directory()).absolutePath(),
            at(QStringLiteral("media/set")));
  EXPECT_EQ(controller.openPanel()->windowTitle(), "Locate clip.mov");
  EXPECT_EQ(controller.targetedFile(), file);
}

// The file stays listed (and the window open) until the loader reports it
// loaded: a relink that fails leaves it missing, one that works closes the
// window when it was the last.
TEST_F(MissingFilesWindowTest, RelinkedFileStaysListedUntilLoaded) {
  touch(at(QStringLiteral("new/clip.mov")));
  auto file = host.addFile(QStringLiteral("clip"), at(QStringLiteral("old/clip.mov")));
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  controller.openMissingFilePanelAndStartSpotlightSearch(false);
  ASSERT_TRUE(controller.panel()->isVisible());
  clickLocate(file);
  choose(at(QStringLiteral("new/clip.mov")));
  ASSERT_EQ(host.relinks.size(), 1u);
  EXPECT_EQ(host.relinks[0].path, at(QStringLiteral("new/clip.mov")));
  EXPECT_EQ(controller.openPanel(), nullptr);

  FakeMissingFilesHost::finishLoad();  // the loader could not load it
  EXPECT_EQ(host.files.size(), 1u);
  EXPECT_TRUE(controller.panel()->isVisible());
  EXPECT_EQ(controller.missingFileCountTextField()->text(), "1");
  EXPECT_EQ(reloads.count(), 0);

  host.loaderLoaded(file);
  EXPECT_FALSE(controller.panel()->isVisible());
  EXPECT_EQ(controller.missingFileCountTextField()->text(), "0");
  EXPECT_EQ(reloads.count(), 1);
}

TEST_F(MissingFilesWindowTest, CancelledLocateChangesNothing) {
  auto file = host.addFile(QStringLiteral("clip"), at(QStringLiteral("old/clip.mov")));
  clickLocate(file);
  ASSERT_NE(controller.openPanel(), nullptr);
  controller.openPanel()->reject();
  EXPECT_TRUE(host.relinks.empty());
  EXPECT_EQ(host.files.size(), 1u);
}

// Same-folder relinking: only files stored directly in the old folder (as
// an exact string), whose name is a file in the new folder, follow.
TEST_F(MissingFilesWindowTest, SameFolderRelinking) {
  QDir().mkpath(at(QStringLiteral("old")));
  QDir().mkpath(at(QStringLiteral("new/b.mov")));  // a folder of that name
  QFile::link(at(QStringLiteral("old")), at(QStringLiteral("link")));
  for (const char* name : {"new/target.mov", "new/a.mov", "new/c.mov", "new/renamed.mov",
                           "new/other.mov", "new/linked.mov"})
    touch(at(QString::fromLatin1(name)));
  auto target = host.addFile(QStringLiteral("target"), at(QStringLiteral("old/target.mov")));
  host.addFile(QStringLiteral("a"), at(QStringLiteral("old/a.mov")));
  host.addFile(QStringLiteral("b"), at(QStringLiteral("old/b.mov")));
  host.addFile(QStringLiteral("c"), at(QStringLiteral("old/c.mov")));
  host.addFile(QStringLiteral("missing name"), at(QStringLiteral("old/not there.mov")));
  host.addFile(QStringLiteral("other"), at(QStringLiteral("elsewhere/other.mov")));
  host.addFile(QStringLiteral("linked"), at(QStringLiteral("link/linked.mov")));
  host.addFile(QStringLiteral("deeper"), at(QStringLiteral("old/sub/c.mov")));

  const struct {
    const char* what;
    bool autoRelink;
    QString chosen;
    QStringList relinked;  // "name → path relative to the temporary folder"
  } cases[] = {
      {"on", true, "new/target.mov", {"target new/target.mov", "a new/a.mov", "c new/c.mov"}},
      {"renamed target",
       true,
       "new/renamed.mov",
       {"target new/renamed.mov", "a new/a.mov", "c new/c.mov"}},
      {"off", false, "new/target.mov", {"target new/target.mov"}},
  };
  for (const auto& c : cases) {
    host.relinks.clear();
    controller.autoRelinkButton()->setChecked(c.autoRelink);
    controller.spotlightSearchQueueArray() = host.files;
    clickLocate(target);
    choose(at(c.chosen));
    QStringList relinked;
    for (const Relink& r : host.relinks)
      relinked << r.name + QLatin1Char(' ') + QDir(dir.path()).relativeFilePath(r.path);
    EXPECT_EQ(relinked, c.relinked) << c.what;
    EXPECT_EQ(host.files.size(), 8u) << c.what << ": nothing leaves the lists before loading";
    EXPECT_EQ(controller.spotlightSearchQueueArray().size(), 8u - (c.relinked.size() - 1))
        << c.what << ": the followers leave the search queue";
  }
}

TEST_F(MissingFilesWindowTest, RelinkFileIsTheProcedureOfTheSearch) {
  touch(at(QStringLiteral("new/a.mov")));
  touch(at(QStringLiteral("new/found.mov")));
  QDir().mkpath(at(QStringLiteral("old")));
  auto file = host.addFile(QStringLiteral("found"), at(QStringLiteral("old/found.mov")));
  host.addFile(QStringLiteral("a"), at(QStringLiteral("old/a.mov")));
  controller.relinkFile(file, host.snaps[0].toMap(), at(QStringLiteral("new/found.mov")));
  ASSERT_EQ(host.relinks.size(), 2u);
  EXPECT_EQ(host.relinks[1].name, "a");
  controller.relinkFile(file, host.snaps[0].toMap(), QString());
  EXPECT_EQ(host.relinks.size(), 2u) << "never relinked to no path";
}

// A folder target of the legacy tree moves the missing files of that folder
// to the chosen one (only with same-folder relinking on).
TEST_F(MissingFilesWindowTest, FolderTargetRelinksItsFiles) {
  QDir().mkpath(at(QStringLiteral("old")));
  touch(at(QStringLiteral("new/a.mov")));
  QKFolder root(&host.media.fakeCompositor, &host.media.recordingLoader);
  host.root = &root;
  auto folder = QKFolder::createWithParent(&root, QStringLiteral("old"), &host.media.fakeCompositor,
                                           &host.media.recordingLoader);
  folder->setFullPath(at(QStringLiteral("old")));
  root.addObject({nullptr, folder}, 0);
  host.addFile(QStringLiteral("a"), at(QStringLiteral("old/a.mov")));
  controller.foldersOrPagesButton()->setCurrentIndex(1);
  controller.outlineModel()->setData(
      controller.outlineModel()->index(0, PMMissingFilesOutlineModel::kLocateButtonColumn), 1);
  ASSERT_NE(controller.openPanel(), nullptr);
  EXPECT_EQ(controller.openPanel()->fileMode(), QFileDialog::Directory);
  controller.openPanel()->selectFile(at(QStringLiteral("new")));
  static_cast<QDialog*>(controller.openPanel())->done(QDialog::Accepted);
  ASSERT_EQ(host.relinks.size(), 1u);
  EXPECT_EQ(host.relinks[0].path, at(QStringLiteral("new/a.mov")));
  host.root = nullptr;
}

// The target goes while its sheet is open: nothing is relinked. A target
// that only left the lists is still relinked, with the snapshot it had.
TEST_F(MissingFilesWindowTest, TargetChangedDuringTheSheet) {
  touch(at(QStringLiteral("new/clip.mov")));
  host.addFile(QStringLiteral("other"), at(QStringLiteral("old/other.mov")));
  {
    auto file = host.addFile(QStringLiteral("clip"), at(QStringLiteral("old/clip.mov")));
    clickLocate(file);
    // Deleted from its page: the preset manager drops it and refreshes.
    host.files.pop_back();
    host.snaps.removeLast();
    host.media.pages->firstPage()->removeObjectsAtIndexes({1}, false);
    controller.update();
  }
  choose(at(QStringLiteral("new/clip.mov")));
  EXPECT_TRUE(host.relinks.empty());

  auto kept = host.addFile(QStringLiteral("kept"), at(QStringLiteral("old/kept.mov")));
  clickLocate(kept);
  host.files.pop_back();
  host.snaps.removeLast();
  choose(at(QStringLiteral("new/clip.mov")));
  ASSERT_EQ(host.relinks.size(), 1u);
  EXPECT_EQ(host.relinks[0].name, "kept");
  EXPECT_EQ(host.files.size(), 1u) << "nothing else is removed";
}

TEST_F(MissingFilesWindowTest, OpeningWithNothingMissing) {
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  controller.openMissingFilePanelAndStartSpotlightSearch(false);
  EXPECT_EQ(controller.missingFileCountTextField()->text(), "0");
  EXPECT_EQ(reloads.count(), 1);
  EXPECT_TRUE(controller.panel()->isVisible()) << "the File menu shows the media all the same";
  controller.doneButton()->click();
  EXPECT_FALSE(controller.panel()->isVisible());
}

TEST_F(MissingFilesWindowTest, OpeningWithASearchStartsTheAttachedFlow) {
  host.addFile(QStringLiteral("clip"), QStringLiteral("/x/clip.mov"));
  int started = 0;
  int stopped = 0;
  controller.setSearchHooks([&] { ++started; }, [&] { ++stopped; });
  controller.openMissingFilePanelAndStartSpotlightSearch(false);
  EXPECT_EQ(started, 0);
  controller.openMissingFilePanelAndStartSpotlightSearch(true);
  EXPECT_EQ(started, 1);
  controller.spotlightSearchQueueArray() = host.files;
  controller.doneButton()->click();
  EXPECT_EQ(stopped, 1);
  EXPECT_TRUE(controller.spotlightSearchQueueArray().empty());
}

// A load that ends while another dialog runs modally closes this window only.
TEST_F(MissingFilesWindowTest, FinishedLoadEndsOnlyItsOwnSession) {
  auto file = host.addFile(QStringLiteral("clip"), QStringLiteral("/x/clip.mov"));
  controller.openMissingFilePanelAndStartSpotlightSearch(false);
  QDialog other;
  other.setWindowTitle(QStringLiteral("another question"));
  bool otherStillRunning = false;
  QTimer::singleShot(0, &other, [&] {
    host.loaderLoaded(file);
    otherStillRunning = other.isVisible();
    other.accept();
  });
  EXPECT_EQ(other.exec(), QDialog::Accepted);
  EXPECT_TRUE(otherStillRunning);
  EXPECT_FALSE(controller.panel()->isVisible());
}

TEST_F(MissingFilesWindowTest, LoaderProgressInTheStatusLines) {
  host.addFile(QStringLiteral("clip"), QStringLiteral("/x/clip.mov"));
  NotificationCenter& center = NotificationCenter::defaultCenter();
  center.post(MediaNotifications::kFileLoaderLoadingFile, nullptr,
              {{MediaNotifications::kLoadingStringKey, QStringLiteral("hidden window")}});
  EXPECT_EQ(controller.loadingDescriptionTextField()->text(), " ");

  controller.openMissingFilePanelAndStartSpotlightSearch(false);
  center.post(MediaNotifications::kFileLoaderStartedLoad, nullptr);
  EXPECT_FALSE(controller.missingFileCountTextField()->isVisible());
  center.post(
      MediaNotifications::kFileLoaderLoadingFile, nullptr,
      {{MediaNotifications::kLoadingStringKey, QStringLiteral("Attempting to relink clip.mov")},
       {MediaNotifications::kLoadingCountStringKey, QStringLiteral("Item 1 of 1")}});
  EXPECT_EQ(controller.loadingDescriptionTextField()->text(), "Attempting to relink clip.mov");
  EXPECT_EQ(controller.loadingCountTextField()->text(), "Item 1 of 1");
  FakeMissingFilesHost::finishLoad();
  EXPECT_EQ(controller.loadingDescriptionTextField()->text(), " ");
  EXPECT_TRUE(controller.missingFileCountTextField()->isVisible());
}

TEST_F(MissingFilesWindowTest, ImportGoesWhereTheTreeShowsIt) {
  controller.importButton()->click();
  QKFolder root(&host.media.fakeCompositor, &host.media.recordingLoader);
  host.root = &root;
  controller.foldersOrPagesButton()->setCurrentIndex(1);
  controller.importButton()->click();
  ASSERT_EQ(host.imports.size(), 2u);
  EXPECT_EQ(host.imports[0], (std::pair<long, int>{-1, -1})) << "pages: the end of the first page";
  EXPECT_EQ(host.imports[1], (std::pair<long, int>{root.uniqueFileId(), 0}));
  host.root = nullptr;
}

// The performer's view: the window with a found and two missing files, the
// "Locate" button answering a real click.
TEST_F(MissingFilesWindowTest, WindowOnScreen) {
  host.media.pages->firstPage()->setName(QStringLiteral("Opening"));
  host.addFile(QStringLiteral("intro loop.mov"),
               QStringLiteral("/home/performer/Videos/set one/intro loop.mov"), true);
  auto missing =
      host.addFile(QStringLiteral("strobe.mov"),
                   QStringLiteral("/media/stick/clips/very long folder name/strobe.mov"));
  host.addFile(QStringLiteral("crowd.png"), QStringLiteral("/media/stick/clips/crowd.png"));
  controller.openMissingFilePanelAndStartSpotlightSearch(false);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
  saveScreenshot(controller.panel()->grab().toImage(), QStringLiteral("missing-files-window"));

  QTreeView* view = controller.outlineView();
  const QModelIndex cell = controller.outlineModel()->indexOfFile(
      missing.get(), PMMissingFilesOutlineModel::kLocateButtonColumn);
  const QRect button = PMMissingFilesLocateTableColumn::buttonRect(view->visualRect(cell));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
  ASSERT_NE(controller.openPanel(), nullptr);
  EXPECT_EQ(controller.targetedFile(), missing);
  controller.openPanel()->reject();
}

}  // namespace
