// The ".sbc" chain files: names escaped one-to-one, exact suffixes, broken
// files, failed writes, renames, deletes, project restores and the one
// reading per run.
#include "BehaviorFixture.h"

#include "framework/behaviors/BehaviorChainWindow.h"
#include "framework/behaviors/Invert.h"
#include "framework/behaviors/Threshold.h"
#include "framework/controls/QKSliderControl.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

class BehaviorChainFiles : public BehaviorFixture {
 protected:
  using ChainPtr = BehaviorChainManager::ChainPtr;

  ChainPtr named(BehaviorChainManager& manager, const QString& name,
                 const QStringList& behaviours = {QStringLiteral("Invert")}) {
    auto chain = manager.createNewChain();
    chain->setChainName(name);
    for (const QString& behaviour : behaviours) chain->loadEffectNamed(behaviour);
    return chain;
  }
  static QVariantMap fileDict(const QString& name, const QStringList& behaviours) {
    QVariantList snapshot;
    for (const QString& behaviour : behaviours)
      snapshot.append(QVariantMap{{"fxNameString", behaviour}});
    return {{"QKPMNameKey", name}, {"snapshot", snapshot}};
  }
  void writeFile(const QString& fileName, const QVariant& value) {
    QDir().mkpath(chainFolder());
    ASSERT_TRUE(PropertyList::write(value, chainFolder() + "/" + fileName).isEmpty());
  }
  void writeRaw(const QString& fileName, const QByteArray& bytes) {
    QDir().mkpath(chainFolder());
    QFile file(chainFolder() + "/" + fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  QStringList filesIn(const QString& sub = {}) const {
    return QDir(chainFolder() + (sub.isEmpty() ? QString() : "/" + sub))
        .entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }
  static QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
  }
  // A fresh manager that has read the folder.
  std::unique_ptr<BehaviorChainManager> nextRun() {
    auto manager = std::make_unique<BehaviorChainManager>();
    manager->loadFXChainsFromDisk();
    return manager;
  }
};

TEST_F(BehaviorChainFiles, HostileAndOddNamesStayInsideTheFolderAndReadBackExactly) {
  const QStringList names = {"a/b", "../../x", ".hidden", "50%", "a%2Fb", "über"};
  for (const QString& name : names) named(chains(), name);
  ASSERT_TRUE(chains().saveFXChainsToDisk());

  const QStringList files = filesIn();
  EXPECT_EQ(files.size(), names.size()) << files.join(", ").toStdString();
  for (const QString& file : files) {
    EXPECT_TRUE(file.endsWith(".sbc"));
    EXPECT_FALSE(file.startsWith('.')) << file.toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists(dataDir_ + "/x.sbc"));
  EXPECT_FALSE(QFileInfo::exists(dataDir_ + "/../x.sbc"));

  auto next = nextRun();
  QStringList readBack = next->chainNames();
  readBack.sort();
  QStringList expected = names;
  expected.sort();
  EXPECT_EQ(readBack, expected);
}

TEST_F(BehaviorChainFiles, OnlyExactSuffixesAreReadAndTheOwnPathWinsANameFoundTwice) {
  writeFile("x.sbc", fileDict("x", {"Invert"}));
  writeFile("x.sbc~", fileDict("x", {"Scale", "Scale"}));
  writeFile("x.sbc.bak", fileDict("x", {"Crop"}));
  writeFile("notes.txt", fileDict("notes", {}));
  // Sorted before x.sbc, yet its name is x: skipped for the file at x's path.
  writeFile("w.sbc", fileDict("x", {"Snap"}));
  writeFile("y.sbc", fileDict("y", {"Modulus"}));
  LogCapture log;
  auto next = nextRun();
  EXPECT_EQ(next->chainNames(), QStringList({"x", "y"}));
  const auto x = next->findBehaviorChainNamed("x");
  ASSERT_EQ(x->count(), 1);
  EXPECT_EQ(x->fxArray().front()->myName(), "Invert");
  EXPECT_TRUE(log.lines().join('\n').contains("w.sbc"));
}

TEST_F(BehaviorChainFiles, TheUsersFileWinsOverTheShippedOneAndOnlyTheUsersFolderIsWritten) {
  const QString resources = TestEnvironment::makeTempDir(QStringLiteral("resources"));
  const QString shipped = resources + "/behavior chains";
  QDir().mkpath(shipped);
  ASSERT_TRUE(PropertyList::write(fileDict("x", {"Crop"}), shipped + "/x.sbc").isEmpty());
  ASSERT_TRUE(PropertyList::write(fileDict("s", {"Scale"}), shipped + "/s.sbc").isEmpty());
  const QByteArray shippedX = bytesOf(shipped + "/x.sbc");
  writeFile("x.sbc", fileDict("x", {"Invert"}));
  Paths::setResourcesDirOverride(resources);
  auto next = nextRun();
  Paths::setResourcesDirOverride(QString());
  EXPECT_EQ(next->chainNames(), QStringList({"x", "s"}));
  EXPECT_EQ(next->findBehaviorChainNamed("x")->fxArray().front()->myName(), "Invert");
  EXPECT_EQ(next->findBehaviorChainNamed("s")->fxArray().front()->myName(), "Scale");
  next->findBehaviorChainNamed("x")->loadEffectNamed("Snap");
  ASSERT_TRUE(next->saveFXChainsToDisk());
  EXPECT_EQ(bytesOf(shipped + "/x.sbc"), shippedX);
  EXPECT_EQ(filesIn(), QStringList({"s.sbc", "x.sbc"}));
}

TEST_F(BehaviorChainFiles, BrokenFilesAreSkippedWithTheirReasonAndTheRestLoad) {
  writeRaw("garbage.sbc", "this is not a property list");
  writeFile("array.sbc", QVariantList{1, 2});
  writeFile("nameless.sbc", QVariantMap{{"snapshot", QVariantList{}}});
  writeFile("emptyname.sbc", QVariantMap{{"QKPMNameKey", ""}, {"snapshot", QVariantList{}}});
  writeFile("numbername.sbc", QVariantMap{{"QKPMNameKey", 4}, {"snapshot", QVariantList{}}});
  writeFile("badsnap.sbc", QVariantMap{{"QKPMNameKey", "bad"}, {"snapshot", "Invert"}});
  writeFile("good.sbc", fileDict("good", {"Invert", "Nonsense"}));
  LogCapture log;
  auto next = nextRun();
  EXPECT_EQ(next->chainNames(), QStringList({"good"}));
  EXPECT_EQ(next->findBehaviorChainNamed("good")->count(), 1);
  const QString lines = log.lines().join('\n');
  for (const char* file : {"garbage.sbc", "array.sbc", "nameless.sbc", "emptyname.sbc",
                           "numbername.sbc", "badsnap.sbc"})
    EXPECT_TRUE(lines.contains(QLatin1String(file))) << file;
  EXPECT_TRUE(lines.contains("not a dictionary"));
  EXPECT_TRUE(lines.contains("no name"));
  EXPECT_TRUE(lines.contains("no snapshot array"));
}

TEST_F(BehaviorChainFiles, AFailedWriteLogsItsPathAndKeepsTheOldFile) {
  auto chain = named(chains(), "kept");
  ASSERT_TRUE(chains().saveFXChainsToDisk());
  const QString path = chainFolder() + "/kept.sbc";
  const QByteArray before = bytesOf(path);
  chain->loadEffectNamed("Scale");
  chains().chainFiles().setWriter(
      [](const QVariant&, const QString& at) { return at + ": disk full"; });
  LogCapture log;
  EXPECT_FALSE(chains().saveFXChainsToDisk());
  EXPECT_TRUE(log.lines().join('\n').contains("\t\terror writing fx chain to disk at " + path));
  EXPECT_EQ(bytesOf(path), before);
}

TEST_F(BehaviorChainFiles, RenameMovesTheFileAndAFailedWriteRefusesIt) {
  auto chain = named(chains(), "old");
  ASSERT_TRUE(chains().saveFXChainsToDisk());
  EXPECT_TRUE(chains().renameChain(chain, "new"));
  EXPECT_EQ(filesIn(), QStringList({"new.sbc"}));
  EXPECT_EQ(nextRun()->chainNames(), QStringList({"new"}));

  chains().chainFiles().setWriter([](const QVariant&, const QString&) { return QString("no"); });
  LogCapture log;
  EXPECT_FALSE(chains().renameChain(chain, "newer"));
  EXPECT_EQ(chain->chainName(), "new");
  EXPECT_EQ(filesIn(), QStringList({"new.sbc"}));
  EXPECT_TRUE(log.lines().join('\n').contains("newer.sbc"));
}

TEST_F(BehaviorChainFiles, ADeletedChainDoesNotComeBack) {
  auto gone = named(chains(), "gone");
  named(chains(), "stays");
  ASSERT_TRUE(chains().saveFXChainsToDisk());
  chains().deleteChain(gone);
  EXPECT_EQ(filesIn(), QStringList({"stays.sbc"}));
  EXPECT_EQ(filesIn("deleted"), QStringList({"gone.sbc"}));
  EXPECT_EQ(nextRun()->chainNames(), QStringList({"stays"}));
}

// Shipped files cannot be moved: what the user deleted or renamed away is
// marked in their folder, and each run reads both folders afresh.
TEST_F(BehaviorChainFiles, AShippedChainDeletedOrRenamedStaysGoneAcrossRestarts) {
  const QString resources = TestEnvironment::makeTempDir(QStringLiteral("resources"));
  const QString shipped = resources + "/behavior chains";
  QDir().mkpath(shipped);
  for (const char* name : {"gone", "moved", "mine", "kept"})
    ASSERT_TRUE(
        PropertyList::write(fileDict(name, {"Crop"}), shipped + "/" + name + ".sbc").isEmpty());
  writeFile("mine.sbc", fileDict("mine", {"Invert"}));  // the user's copy of a shipped one
  Paths::setResourcesDirOverride(resources);
  struct Restore {
    ~Restore() { Paths::setResourcesDirOverride(QString()); }
  } restore;

  auto run = nextRun();
  run->deleteChain(run->findBehaviorChainNamed("gone"));
  run->deleteChain(run->findBehaviorChainNamed("mine"));
  ASSERT_TRUE(run->renameChain(run->findBehaviorChainNamed("moved"), "renamed"));
  EXPECT_EQ(filesIn("deleted"),
            QStringList({"gone.hidden", "mine.hidden", "mine.sbc", "moved.hidden"}));
  run = nextRun();
  EXPECT_EQ(run->chainNames(), QStringList({"renamed", "kept"}));

  // A chain the user makes under a deleted name is theirs and loads.
  named(*run, "gone", {"Scale"});
  ASSERT_TRUE(run->saveFXChainsToDisk());
  run = nextRun();
  ASSERT_NE(run->findBehaviorChainNamed("gone"), nullptr);
  EXPECT_EQ(run->findBehaviorChainNamed("gone")->fxArray().front()->myName(), "Scale");

  // A marker that cannot be written is logged: that chain would come back.
  run->chainFiles().setWriter([](const QVariant&, const QString&) { return QString("disk full"); });
  LogCapture log;
  run->deleteChain(run->findBehaviorChainNamed("kept"));
  EXPECT_TRUE(log.lines().join('\n').contains("\"kept\" will come back"));
}

TEST_F(BehaviorChainFiles, AProjectWritesMissingFilesKeepsEqualOnesAndSetsDifferingOnesAside) {
  BehaviorChainManager project;
  named(project, "same", {"Invert"});
  named(project, "differs", {"Scale"});
  named(project, "fresh", {"Crop"});
  const QVariantList snapshot = project.createSnapshot();
  writeFile("same.sbc", snapshot.at(0));
  writeFile("differs.sbc", fileDict("differs", {"Invert"}));
  const ino_t sameInode = inodeOf(chainFolder() + "/same.sbc");
  const QByteArray differsBefore = bytesOf(chainFolder() + "/differs.sbc");

  chains().loadSnapshot(snapshot);
  EXPECT_EQ(inodeOf(chainFolder() + "/same.sbc"), sameInode);
  EXPECT_TRUE(QFileInfo::exists(chainFolder() + "/fresh.sbc"));
  EXPECT_EQ(filesIn("replaced"), QStringList({"differs.sbc"}));
  EXPECT_EQ(bytesOf(chainFolder() + "/replaced/differs.sbc"), differsBefore);
  EXPECT_EQ(nextRun()->findBehaviorChainNamed("differs")->fxArray().front()->myName(), "Scale");
}

TEST_F(BehaviorChainFiles, FilesAreReadOncePerRunSoASecondWindowKeepsEdits) {
  writeFile("x.sbc", fileDict("x", {"Invert"}));
  chains().openANewWindow();
  const auto x = chains().findBehaviorChainNamed("x");
  ASSERT_NE(x, nullptr);
  x->loadEffectNamed("Scale");
  chains().openANewWindow();
  EXPECT_EQ(chains().chainListCount(), 2);
  EXPECT_EQ(chains().chainNames(), QStringList({"x"}));
  EXPECT_EQ(x->count(), 2);
  chains().loadSnapshot(QVariantList{});
  EXPECT_EQ(x->count(), 2);
}

TEST_F(BehaviorChainFiles, TheApplicationsQuitSavesOnce) {
  named(chains(), "q");
  int writes = 0;
  chains().chainFiles().setWriter([&writes](const QVariant& value, const QString& path) {
    ++writes;
    return PropertyList::write(value, path);
  });
  NotificationCenter::defaultCenter().post(BehaviorChainManager::kAppQuittingNotification);
  NotificationCenter::defaultCenter().post(BehaviorChainManager::kAppQuittingNotification);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(filesIn(), QStringList({"q.sbc"}));
}

}  // namespace
