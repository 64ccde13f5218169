// The file-loading queue on a real event loop: placement, one item per pass,
// classification, the missing-files alert, cancelling, copies, relinks and
// recordings.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFileKindTable.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKTapFile.h"
#include "tests/framework/media/FileLoaderFixture.h"
#include "tests/support/Screenshot.h"

#include "platform/foundation/PropertyList.h"

#include <QApplication>
#include <QImage>
#include <QFileDialog>
#include <QFileInfo>

namespace {

using QKFileLoaderTest = FileLoaderFixture;

QVariantMap missingMovie(const QString& name, long id) {
  return {{"qkFileType", 0},
          {"uniqueFileId", qint64(id)},
          {"name", name},
          {"fullPath", QStringLiteral("/nonexistent/%1.mov").arg(name)}};
}

TEST_F(QKFileLoaderTest, PathsAtTheEndLandInTheirOrderOneItemPerPass) {
  pages().addObjects(filesNamed("AB", &host.fakeCompositor), page(0), 0);
  const QStringList paths{clip("c1.mov"), clip("c2.mov"), clip("c3.mov")};
  NotificationCounter started(MediaNotifications::kFileLoaderStartedLoad);
  NotificationCounter progress(MediaNotifications::kFileLoaderLoadingFile);
  NotificationCounter finished(MediaNotifications::kFileLoaderFinishedLoad);

  loader->addTheseFilesToQueue(paths, page(0).get(), -1, false);
  EXPECT_EQ(started.count(), 1);
  EXPECT_EQ(progress.count(), 0) << "nothing loads before the next pass";
  for (int pass = 1; pass <= 3; ++pass) {
    QCoreApplication::processEvents();
    EXPECT_EQ(progress.count(), pass);
  }
  QCoreApplication::processEvents();
  EXPECT_FALSE(loader->loading());
  EXPECT_EQ(finished.count(), 1);

  const QStringList expectedCounts{"Item 1 of 3", "Item 2 of 3", "Item 3 of 3"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(progress.notes()[size_t(i)].userInfo.value("loadingCountString"), expectedCounts[i]);
    EXPECT_EQ(progress.notes()[size_t(i)].userInfo.value("loadingString"),
              QStringLiteral("Loading movie: c%1.mov").arg(3 - i))
        << "queued from the last, each at the same cell";
  }
  EXPECT_EQ(cellsOf(page(0)->contents()).left(2), QStringLiteral("AB"));
  ASSERT_EQ(page(0)->contents().size(), 5u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(page(0)->contents()[size_t(2 + i)]->name(), QStringLiteral("c%1.mov").arg(i + 1));
}

TEST_F(QKFileLoaderTest, PathsAreClassifiedWithTheMovieProbeLast) {
  const QString movie = clip("movie.mov");
  const QString folder = QFileInfo(movie).absolutePath();
  ASSERT_TRUE(QFile::copy(movie, folder + "/renamed.bin"));
  ASSERT_TRUE(writeFile(folder + "/broken.mov", "not a movie"));
  ASSERT_TRUE(writeFile(folder + "/notes.xyz", "not a movie"));
  ASSERT_TRUE(writeFile(folder + "/bundle.NIB/inside.mov", "x"));
  ASSERT_TRUE(writeFile(folder + "/sub/inner.mov", "x"));
  ASSERT_TRUE(writeFile(folder + "/page.html", "<p>page</p>"));
  ASSERT_TRUE(writeFile(folder + "/words.txt", "read from disk"));
  ASSERT_TRUE(writeFile(folder + "/comp.qtz", PropertyList::toXml(QVariantMap{})));
  QImage still(16, 12, QImage::Format_RGB32);
  still.fill(Qt::darkCyan);
  ASSERT_TRUE(still.save(folder + "/still.png"));
  struct Case {
    const char* entry;
    const char* progress;  // empty: nothing posted
    bool lands;
    const char* logged;
  };
  const Case cases[] = {
      {"page.html", "Loading web file: page.html", true, ""},
      {"still.png", "Loading image: still.png", true, ""},
      {"words.txt", "Loading text: words.txt", true, ""},
      {"comp.qtz", "Loading QTZ: comp.qtz", true, ""},
      {"movie.mov", "Loading movie: movie.mov", true, ""},
      {"renamed.bin", "Loading movie: renamed.bin", true, ""},
      {"broken.mov", "Loading movie: broken.mov", false, "error loading Quicktime at"},
      {"notes.xyz", "Skipping: notes.xyz", false, "error loading file at"},
      {"missing.mov", "", false, ""},
      {"bundle.NIB", "", false, ""},
  };
  for (const Case& c : cases) {
    const size_t before = page(0)->contents().size();
    LogCapture log;
    NotificationCounter progress(MediaNotifications::kFileLoaderLoadingFile);
    loader->addTheseFilesToQueue({folder + "/" + c.entry}, page(0).get(), -1, false);
    ASSERT_TRUE(finishLoad()) << c.entry;
    EXPECT_EQ(progress.count(), *c.progress ? 1 : 0) << c.entry;
    if (*c.progress) {
      EXPECT_EQ(progress.notes()[0].userInfo.value("loadingString"), QString(c.progress))
          << c.entry;
    }
    EXPECT_EQ(page(0)->contents().size(), before + (c.lands ? 1 : 0)) << c.entry;
    if (*c.logged) {
      EXPECT_TRUE(log.contains(c.logged)) << c.entry;
    }
    if (QString(c.entry) == "broken.mov") {
      EXPECT_TRUE(log.contains("error loading file at"));
    }
    EXPECT_TRUE(Alert::recorded().empty()) << "a path that fails is not a missing file";
  }
  // A directory is loaded through the page controller: its folders become pages.
  loader->addTheseFilesToQueue({folder + "/sub"}, page(0).get(), -1, false);
  ASSERT_TRUE(finishLoad());
  EXPECT_EQ(pages().pages().size(), 1u) << "files of the folder join the page";

  // The probe is asked only when no other kind claims the file.
  QStringList probed;
  loader->setMovieProbe([&](const QString& path, QString*) {
    probed.append(QFileInfo(path).fileName());
    return std::shared_ptr<QKQTMovie>();
  });
  loader->insertPathKind(
      0, {[](const QString& p) { return p.endsWith(".xyz"); },
          [](const QString&, const QString&) { return nullptr; }, "Loading text: %1"});
  loader->addTheseFilesToQueue({folder + "/notes.xyz", folder + "/renamed.bin"}, page(0).get(), -1,
                               false);
  ASSERT_TRUE(finishLoad());
  EXPECT_EQ(probed, QStringList{"renamed.bin"});
}

TEST_F(QKFileLoaderTest, MissingFilesGiveOneAlertAfterTheLoadFinished) {
  host.fullscreenHidesModal = true;
  pages().loadSnapshot(
      {{"pages", QVariantList{QVariantMap{{"name", "P"},
                                          {"uniqueFileId", 40},
                                          {"contents", QVariantList{missingMovie("a", 41), -1,
                                                                    missingMovie("b", 42)}}}}}});
  std::vector<size_t> alertsAtFinish;
  NotificationCenter::defaultCenter().addObserver(
      this, MediaNotifications::kFileLoaderFinishedLoad, nullptr,
      [&](const Notification&) { alertsAtFinish.push_back(Alert::recorded().size()); });
  NotificationCounter missing(MediaNotifications::kMissingFile);
  ASSERT_TRUE(finishLoad());
  NotificationCenter::defaultCenter().removeObserver(this);

  EXPECT_EQ(alertsAtFinish, std::vector<size_t>{0});
  ASSERT_EQ(Alert::recorded().size(), 1u);
  const Alert::Record alert = Alert::recorded()[0];
  EXPECT_EQ(alert.title, QStringLiteral("Missing Files Error"));
  EXPECT_EQ(alert.buttons, QKFileLoader::kMissingFilesButtons);
  EXPECT_EQ(alert.buttons[0], QStringLiteral("Relink by Search"));
  EXPECT_EQ(host.fullscreenSet, std::vector<bool>{false});
  EXPECT_EQ(missing.count(), 2);
  EXPECT_EQ(cellsOf(page(0)->contents()), QStringLiteral("a_b"))
      << "missing files keep their cells";
  EXPECT_EQ(host.searchRelinkWindows, 0) << "the relink window opens a moment later";
  EXPECT_TRUE(MainThread::processUntil([&] { return host.searchRelinkWindows == 1; }, 5.0));
  EXPECT_EQ(host.manualRelinkWindows, 0);
}

// A cancelled restore keeps every file of the project: those not loaded yet
// take their cells and write their snapshots back unchanged.
TEST_F(QKFileLoaderTest, CancellingARestoreShowsNoAlertAndKeepsTheUnloadedFiles) {
  QVariantMap third = missingMovie("c", 53);
  third.insert("movieProps", QVariantMap{{"somethingStored", 7}});
  const QVariantMap snapshot{
      {"pages",
       QVariantList{QVariantMap{
           {"name", "P"},
           {"uniqueFileId", 50},
           {"contents", QVariantList{missingMovie("a", 51), missingMovie("b", 52), -1, third}}}}}};
  pages().loadSnapshot(snapshot);
  NotificationCounter finished(MediaNotifications::kFileLoaderFinishedLoad);
  QCoreApplication::processEvents();  // "a" is taken up
  loader->cancelFileLoading();
  ASSERT_TRUE(finishLoad());
  EXPECT_EQ(finished.count(), 1);
  EXPECT_TRUE(loader->toBeLoadedArray().empty());
  EXPECT_TRUE(Alert::recorded().empty());
  EXPECT_EQ(cellsOf(page(0)->contents()), QStringLiteral("ab_c"));
  EXPECT_TRUE(page(0)->contents()[1]->hasUnloadedSnapshot());
  EXPECT_EQ(pages().fileForUniqueId(53), page(0)->contents()[3]);
  // "a" was taken up (and found missing); the others are saved back as
  // they were loaded.
  const QVariantList saved =
      pages().createSnapshot().value("pages").toList()[0].toMap().value("contents").toList();
  const QVariantList stored =
      snapshot.value("pages").toList()[0].toMap().value("contents").toList();
  ASSERT_EQ(saved.size(), 4);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(saved[i], stored[i]) << "cell " << i;
  EXPECT_EQ(host.fakeCompositor.ids.next(), 54);

  // Relinking a kept file to its media loads it and forgets the kept snapshot.
  const QString media = clip("b.mov");
  loader->relinkTheseSnapshots({missingMovie("b", 52)}, {media});
  ASSERT_TRUE(finishLoad());
  EXPECT_TRUE(page(0)->contents()[1]->validFile());
  EXPECT_FALSE(page(0)->contents()[1]->hasUnloadedSnapshot());
  EXPECT_EQ(page(0)->contents()[1]->returnSnapshot().value("fullPath"), media);
}

TEST_F(QKFileLoaderTest, CopiesGetNewIDs) {
  const QString media = clip("a.mov");
  loader->addTheseFilesToQueue({media}, page(0).get(), 0, false);
  ASSERT_TRUE(finishLoad());
  const auto original = page(0)->contents()[0];
  pages().copyFilesWithIds({original->uniqueFileId()}, page(0), -1);
  NotificationCounter progress(MediaNotifications::kFileLoaderLoadingFile);
  ASSERT_TRUE(finishLoad());
  ASSERT_EQ(page(0)->contents().size(), 2u);
  const auto copy = page(0)->contents()[1];
  EXPECT_NE(copy->uniqueFileId(), original->uniqueFileId());
  EXPECT_EQ(page(0)->contents()[0], original);
  EXPECT_TRUE(copy->validFile());
  EXPECT_EQ(progress.notes()[0].userInfo.value("loadingString"),
            QStringLiteral("Copying: a.mov to Page 1"));
}

// A tap entry that looks itself up by ID while it loads, as the trigger
// thread may at any moment.
class LookingTapFile : public QKTapFile {
 public:
  LookingTapFile(CompositorInterface* compositor, QKPageController* pages, bool* seen)
      : QKTapFile(compositor), pages_(pages), seen_(seen) {}
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override {
    const bool loaded = QKTapFile::loadFromSnapshot(snapshot, compositor);
    *seen_ = *seen_ || pages_->fileForUniqueId(uniqueFileId()) != nullptr;
    return loaded;
  }

 private:
  QKPageController* pages_;
  bool* seen_;
};

TEST_F(QKFileLoaderTest, ARestoredFileIsFoundByIdOnlyOnceLoaded) {
  bool seenWhileLoading = false;
  QKFileKindTable::registerKind(QKFile::kTapKind, [&](CompositorInterface* compositor) {
    return std::make_shared<LookingTapFile>(compositor, &pages(), &seenWhileLoading);
  });
  loader->addTheseSnapshotsToQueue(
      {QVariantMap{{"qkFileType", QKFile::kTapKind}, {"uniqueFileId", 90}, {"name", "VidIn 1"}}},
      page(0).get(), 0, false);
  const bool finished = finishLoad();
  QKFileKindTable::registerKind(QKFile::kTapKind, nullptr);
  ASSERT_TRUE(finished);
  EXPECT_FALSE(seenWhileLoading);
  ASSERT_NE(pages().fileForUniqueId(90), nullptr);
  EXPECT_EQ(pages().fileForUniqueId(90)->name(), QStringLiteral("VidIn 1"));
}

TEST_F(QKFileLoaderTest, RelinkCases) {
  pages().addObjects({QKQTFile::createWithCompositor(&host.fakeCompositor)}, page(0), 0);
  const auto file = page(0)->contents()[0];
  file->loadFromSnapshot(missingMovie("m", 60), &host.fakeCompositor);
  const QString media = clip("m.mov");
  struct Case {
    const char* name;
    QVariantMap snapshot;
    QString path;
    QStringList logged;
    bool relinked;
  };
  const Case cases[] = {
      {"no snapshot", {}, media, {"err: relinking was missing a snapshot"}, false},
      {"no ID", {{"name", "m"}}, media, {"err: relinking failed - file ID was nil!"}, false},
      {"unknown ID",
       missingMovie("m", 999),
       media,
       {"err: could not find qkfile to relink",
        "err: attempted to relink with a non-existent file"},
       false},
      {"a path without media",
       missingMovie("m", 60),
       "/nonexistent/x.mov",
       {"err: relinking failed"},
       false},
      {"found", missingMovie("m", 60), media, {}, true},
  };
  for (const Case& c : cases) {
    LogCapture log;
    host.relinkedFiles.clear();
    loader->relinkTheseSnapshots({c.snapshot}, {c.path});
    ASSERT_TRUE(finishLoad()) << c.name;
    for (const QString& line : c.logged)
      EXPECT_TRUE(log.contains(line)) << c.name << ": " << line.toStdString();
    EXPECT_EQ(file->validFile(), c.relinked) << c.name;
    EXPECT_EQ(host.relinkedFiles.size(), c.relinked ? 1u : 0u) << c.name;
  }
  // Snapshots beyond the paths are skipped.
  NotificationCounter progress(MediaNotifications::kFileLoaderLoadingFile);
  loader->relinkTheseSnapshots({missingMovie("m", 60), missingMovie("n", 61)}, {media});
  ASSERT_TRUE(finishLoad());
  EXPECT_EQ(progress.count(), 1);
}

TEST_F(QKFileLoaderTest, RecordingsLandOnTheirDestinationPage) {
  const QString media = clip("rec.mov");
  pages().addBlankPage();
  const long second = page(1)->uniqueFileId();
  host.bins = {"Bin"};
  struct Case {
    const char* name;
    QVariantMap info;
    int page;  // -1: none
  };
  const Case cases[] = {
      {"a page by ID", {{"autoAddState", true}, {"autoAddTagVal", qint64(second)}}, 1},
      {"an unknown page ID", {{"autoAddState", true}, {"autoAddTagVal", 9999}}, 0},
      {"a media bin's page",
       {{"autoAddState", true}, {"autoAddTagVal", -1}, {"autoAddBinName", "Bin"}},
       1},
      {"a gone media bin",
       {{"autoAddState", true}, {"autoAddTagVal", -1}, {"autoAddBinName", "Old"}},
       0},
      {"follow without a bin name", {{"autoAddState", true}, {"autoAddTagVal", -1}}, -1},
      {"another tag", {{"autoAddState", true}, {"autoAddTagVal", -4}}, -1},
      {"no tag", {{"autoAddState", true}}, -1},
      {"not auto-added", {{"autoAddState", false}, {"autoAddTagVal", qint64(second)}}, -1},
  };
  host.binPageId = second;
  for (const Case& c : cases) {
    const size_t before[] = {page(0)->contents().size(), page(1)->contents().size()};
    bool sawAutoRecording = false;
    NotificationCenter::defaultCenter().addObserver(
        this, MediaNotifications::kFileLoaderStartedLoad, nullptr,
        [&](const Notification&) { sawAutoRecording = loader->loadingAutoRecording(); });
    QVariantMap info = c.info;
    info.insert("path", media);
    NotificationCenter::defaultCenter().post(MediaNotifications::kExportDone, nullptr, info);
    NotificationCenter::defaultCenter().removeObserver(this);
    ASSERT_TRUE(finishLoad()) << c.name;
    for (int p = 0; p < 2; ++p)
      EXPECT_EQ(page(p)->contents().size(), before[p] + (p == c.page ? 1 : 0)) << c.name;
    EXPECT_EQ(sawAutoRecording, c.page >= 0) << c.name;
    EXPECT_FALSE(loader->loadingAutoRecording());
  }
}

TEST_F(QKFileLoaderTest, DestinationsArePagesThenFoldersThenTheFirstPage) {
  auto root = std::make_shared<QKFolder>(&host.fakeCompositor, loader.get());
  auto inner = QKFolder::createWithParent(root.get(), "inner", &host.fakeCompositor, loader.get());
  root->addObject({nullptr, inner}, 0);
  host.root = root.get();
  inner->loadFromSnapshot({{"name", "inner"},
                           {"uniqueFileId", qint64(inner->uniqueFileId())},
                           {"contentArray", QVariantList{missingMovie("f", 70)}},
                           {"gridLayoutArray", QVariantList{-1, -1, 0}}},
                          &host.fakeCompositor);
  ASSERT_TRUE(finishLoad());
  ASSERT_EQ(inner->contents().size(), 1u) << "a folder's item lands in the folder";
  EXPECT_EQ(inner->gridLayout()[2], 0);

  LogCapture log;
  loader->addTheseSnapshotsToQueue({missingMovie("g", 71)}, inner.get(), 0, false);
  host.root = nullptr;  // the folder tree went before the item was taken up
  ASSERT_TRUE(finishLoad());
  EXPECT_EQ(pages().fileForUniqueId(71), page(0)->contents()[0]) << "never lost";
  EXPECT_TRUE(log.contains("it goes to the first page"));
  Alert::clearRecorded();
}

// Observers of the loader may ask for the page lock: page copies and restores
// call the loader with the lock free.
TEST_F(QKFileLoaderTest, LoadsStartWithThePageLockFree) {
  pages().addObjects(filesNamed("A", &host.fakeCompositor), page(0), 0);
  int startedUnderLock = 0;
  int starts = 0;
  NotificationCenter::defaultCenter().addObserver(
      this, MediaNotifications::kFileLoaderStartedLoad, nullptr, [&](const Notification&) {
        ++starts;
        if (pages().pagesLock().isWriteLocked() || pages().pagesLock().readerCount() > 0)
          ++startedUnderLock;
      });
  pages().copyPagesAtIndexes({0}, 1);
  ASSERT_TRUE(finishLoad());
  pages().loadSnapshot(pages().createSnapshot());
  ASSERT_TRUE(finishLoad());
  NotificationCenter::defaultCenter().removeObserver(this);
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(startedUnderLock, 0);
  Alert::clearRecorded();
}

}  // namespace

namespace {

QFileDialog* openPanel() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QFileDialog*>(widget))
      if (dialog->objectName() == QStringLiteral("importMediaPanel") && dialog->isVisible())
        return dialog;
  return nullptr;
}

TEST_F(QKFileLoaderTest, TheOpenPanelIsWindowModalAndRemembersWhereItImported) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the panel is a real window";
  QWidget window;
  window.resize(400, 300);
  window.show();
  const QString media = clip("picked.mov");
  pages().addObjects(filesNamed("A", &host.fakeCompositor), page(0), 0);

  loader->loadWithOpenPanelToFolder(page(0).get(), 1, false, &window);
  QFileDialog* dialog = openPanel();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  EXPECT_EQ(dialog->parentWidget(), &window);
  dialog->resize(640, 400);
  dialog->setDirectory(QFileInfo(media).absolutePath());
  dialog->selectFile(QFileInfo(media).fileName());
  QCoreApplication::processEvents();
  saveScreenshot(dialog->grab().toImage(), "import-media-panel");
  static_cast<QDialog*>(dialog)->accept();
  ASSERT_TRUE(finishLoad());
  EXPECT_EQ(UserDefaults::standard().stringValue("importMediaPath"), media);
  EXPECT_EQ(QKFileLoader::openPanelStartFolder(), QFileInfo(media).absolutePath());
  ASSERT_EQ(page(0)->contents().size(), 2u);
  EXPECT_EQ(page(0)->contents()[1]->name(), QStringLiteral("picked.mov"));

  LogCapture log;
  loader->loadWithOpenPanel();
  ASSERT_NE(openPanel(), nullptr);
  openPanel()->reject();
  EXPECT_TRUE(log.contains("err: cancelled or no files selected"));
}

}  // namespace
