#include "app/effects/LayerChainManager.h"
#include "platform/foundation/FileNames.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QVariantMap preset(const QString& name, const QVariantList& chain = {}) {
  return {{"QKPMNameKey", name}, {"snapshot", chain}};
}

QVariantList chainOf(const QString& effect) { return {QVariantMap{{"fxNameString", effect}}}; }

class LayerChainPresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Paths::setUserDataDirOverride(data.path());
    folder = data.path() + "/layer chains";
    QDir().mkpath(folder);
  }
  void TearDown() override { Paths::setUserDataDirOverride({}); }
  void writeFile(const QString& fileName, const QVariant& value) const {
    ASSERT_TRUE(PropertyList::write(value, folder + "/" + fileName).isEmpty());
  }
  QStringList filesIn(const QString& subfolder = {}) const {
    return QDir(folder + "/" + subfolder).entryList(QDir::Files, QDir::Name);
  }
  QVariant fileValue(const QString& fileName) const {
    return PropertyList::read(folder + "/" + fileName).value;
  }

  QTemporaryDir data;
  QString folder;
  LayerChainManager manager;
};

TEST_F(LayerChainPresetTest, OnlyGoodSlcFilesLoadMergedByNameIntoASortedMenu) {
  writeFile("b.slc", preset("b", chainOf("Bright")));
  writeFile("B.slc", preset("B"));
  writeFile("a.slc", preset("a"));
  writeFile("a.slc~", preset("a", chainOf("Stale")));  // a backup
  writeFile("c.slc.bak", preset("c"));
  writeFile("copy of b.slc", preset("b", chainOf("Contrast")));  // same name, other file
  writeFile("list.slc", QVariantList{1, 2});
  writeFile("nameless.slc", QVariantMap{{"snapshot", QVariantList()}});
  QFile broken(folder + "/broken.slc");
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("<plist><dict><key>");
  broken.close();

  NotificationCounter updates(LayerChainManager::kPresetUpdateNotification);
  LogCapture log;
  manager.loadFXChainPresetsFromDisk();
  EXPECT_EQ(manager.fxChainPresetMenu(), QStringList({"B", "a", "b"}));
  EXPECT_EQ(manager.findPresetNamed("a").value("snapshot").toList(), QVariantList());
  EXPECT_EQ(manager.fxChainPresetArray().size(), 3);
  EXPECT_EQ(updates.count(), 1);
  EXPECT_EQ(log.lines().filter("skipped").size(), 3);

  // No presets: an empty menu, still announced.
  QDir(folder).removeRecursively();
  manager.loadFXChainPresetsFromDisk();
  EXPECT_TRUE(manager.fxChainPresetMenu().isEmpty());
  EXPECT_EQ(updates.count(), 2);
}

TEST_F(LayerChainPresetTest, NamesAreEscapedIntoFilesThatStayInTheFolder) {
  for (const QString& name : {QStringLiteral("../../escape"), QStringLiteral("a/b"),
                              QStringLiteral(".hidden"), QStringLiteral("50%")}) {
    ASSERT_TRUE(manager.savePreset(name, chainOf("Bright")));
    const QString file = LayerChainManager::fileNameFor(name);
    EXPECT_FALSE(file.contains('/'));
    EXPECT_FALSE(file.startsWith('.'));
    EXPECT_EQ(fileValue(file), PropertyList::normalized(preset(name, chainOf("Bright"))));
  }
  EXPECT_EQ(filesIn().size(), 4);
  EXPECT_FALSE(QFileInfo::exists(data.path() + "/escape.slc"));
  // They read back under their names.
  LayerChainManager again;
  again.loadFXChainPresetsFromDisk();
  EXPECT_EQ(again.fxChainPresetMenu(), manager.fxChainPresetMenu());
  EXPECT_FALSE(manager.savePreset(QString(), {}));
}

TEST_F(LayerChainPresetTest, ADeletedPresetsFileMovesToDeletedAndStaysGone) {
  ASSERT_TRUE(manager.savePreset("x", chainOf("Bright")));
  ASSERT_TRUE(manager.savePreset("y", {}));
  ASSERT_TRUE(manager.deletePreset("x"));
  EXPECT_FALSE(manager.deletePreset("x"));
  EXPECT_EQ(manager.fxChainPresetMenu(), QStringList({"y"}));
  EXPECT_EQ(filesIn(), QStringList({"y.slc"}));
  EXPECT_EQ(filesIn("deleted"), QStringList({"x.slc"}));
  // Deleted twice over: both files kept.
  ASSERT_TRUE(manager.savePreset("x", {}));
  ASSERT_TRUE(manager.deletePreset("x"));
  EXPECT_EQ(filesIn("deleted").size(), 2);
  LayerChainManager next;
  next.loadFXChainPresetsFromDisk();
  EXPECT_EQ(next.fxChainPresetMenu(), QStringList({"y"}));
}

TEST_F(LayerChainPresetTest, ADeletedShippedPresetStaysGoneUnlessTheUserSavesOneAgain) {
  QTemporaryDir resources;
  const QString shipped = resources.path() + "/layer chains";
  QDir().mkpath(shipped);
  for (const char* name : {"x", "y"})
    ASSERT_TRUE(PropertyList::write(preset(name, chainOf("Bright")), shipped + "/" + name + ".slc")
                    .isEmpty());
  Paths::setResourcesDirOverride(resources.path());
  struct Restore {
    ~Restore() { Paths::setResourcesDirOverride({}); }
  } restore;
  manager.loadFXChainPresetsFromDisk();
  ASSERT_TRUE(manager.deletePreset("x"));
  EXPECT_EQ(filesIn("deleted"), QStringList({"x.hidden"}));
  LayerChainManager next;
  next.loadFXChainPresetsFromDisk();
  EXPECT_EQ(next.fxChainPresetMenu(), QStringList({"y"}));

  ASSERT_TRUE(next.savePreset("x", chainOf("Contrast")));
  LayerChainManager after;
  after.loadFXChainPresetsFromDisk();
  EXPECT_EQ(after.fxChainPresetMenu(), QStringList({"x", "y"}));
  EXPECT_EQ(after.findPresetNamed("x").value("snapshot").toList(), chainOf("Contrast"));
}

TEST_F(LayerChainPresetTest, AProjectMergesByNameAndKeepsNewerFilesAside) {
  ASSERT_TRUE(manager.savePreset("same", chainOf("Bright")));
  ASSERT_TRUE(manager.savePreset("newer", chainOf("Contrast")));
  ASSERT_TRUE(manager.savePreset("mine", {}));
  const QDateTime untouched = QFileInfo(folder + "/same.slc").lastModified();
  LogCapture log;
  manager.loadSnapshot({preset("same", chainOf("Bright")), preset("newer", chainOf("Bright")),
                        preset("fresh"), QVariantMap{{"snapshot", QVariantList()}}, 3});
  EXPECT_EQ(manager.fxChainPresetMenu(), QStringList({"fresh", "mine", "newer", "same"}));
  EXPECT_EQ(manager.findPresetNamed("newer").value("snapshot").toList(), chainOf("Bright"));
  EXPECT_EQ(fileValue("newer.slc"), PropertyList::normalized(preset("newer", chainOf("Bright"))));
  EXPECT_EQ(filesIn("replaced"), QStringList({"newer.slc"}));
  EXPECT_EQ(PropertyList::read(folder + "/replaced/newer.slc").value,
            PropertyList::normalized(preset("newer", chainOf("Contrast"))));
  EXPECT_EQ(QFileInfo(folder + "/same.slc").lastModified(), untouched);
  EXPECT_TRUE(QFileInfo::exists(folder + "/fresh.slc"));
  // What was replaced is not read at the next start.
  LayerChainManager next;
  next.loadFXChainPresetsFromDisk();
  EXPECT_EQ(next.findPresetNamed("newer").value("snapshot").toList().size(), 1);
  EXPECT_EQ(next.fxChainPresetMenu().size(), 4);
}

TEST_F(LayerChainPresetTest, AFailedWriteIsReportedAndThePresetKept) {
  QFile::remove(folder);
  QDir(folder).removeRecursively();
  QFile blocker(folder);  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  LogCapture log;
  EXPECT_FALSE(manager.savePreset("p", {}));
  EXPECT_FALSE(manager.findPresetNamed("p").isEmpty());
  EXPECT_TRUE(log.lines().join('\n').contains("error writing fx chain to disk!"));
}

}  // namespace
