// Project loading with a fake host: the load sequence in its order, the
// completion and the recall of the first preset, cancelling, Open, the
// default project, the missing-file lists, and files that cannot be read.
#include "app/shell/PresetManager.h"
#include "app/shell/PresetRecords.h"
#include "app/shell/ProjectLoadingPanel.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/shell/FakePresetManagerHost.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ManualDelayedCalls.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

using namespace PresetRecords;

const QString kStart = QStringLiteral("QKPMRestoreStartNotification");
const QString kEnd = QStringLiteral("QKPMRestoreEndNotification");
const QString kAboutToLoad = QStringLiteral("QKPMAboutToLoadNotification");
const QString kFinished = MediaNotifications::kFileLoaderFinishedLoad;

QVariantMap layersPreset(const QString& name, qint64 index) {
  return {
      {kNameKey, name},
      {kTypeKey, kLayers},
      {kIndexKey, index},
      {kCompositorSnapshotKey, QVariantMap{{QStringLiteral("layerSnapArray"), QVariantList()}}}};
}

QVariantMap fullProject(const QVariantList& presets) {
  return {{QStringLiteral("projectVersion"), QStringLiteral("5.0.1")},
          {QStringLiteral("presets"), presets},
          {QStringLiteral("pageControllerSetup"),
           QVariantMap{{QStringLiteral("pages"), QVariantList()}}},
          {QStringLiteral("sequenceGrabberSetup"),
           QVariantMap{{QStringLiteral("seqSnapArray"), QVariantList()}}},
          {QStringLiteral("paletteShortcutSnapshot"),
           QVariantMap{{QStringLiteral("masterClock"),
                        QVariantMap{{QStringLiteral("listenForMIDIClock"), true}}}}},
          {QStringLiteral("layerChainManagerSnapshot"), QVariantList()},
          {QStringLiteral("behaviorChainManagerSnapshot"), QVariantList()}};
}

class ProjectLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = TestEnvironment::makeTempDir();
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(dir + QStringLiteral("/defaults.plist"));
    Alert::clearRecorded();
    Alert::clearScriptedAnswers();
    for (const QString& name : {kStart, kEnd, kAboutToLoad, kFinished})
      NotificationCenter::defaultCenter().addObserver(
          this, name, nullptr, [this](const Notification& note) { host.calls << note.name; });
    manager = std::make_unique<PresetManager>(&host);
    manager->setDelayedCalls(&clock);
  }
  void TearDown() override {
    manager.reset();
    NotificationCenter::defaultCenter().removeObserver(this);
    Paths::setResourcesDirOverride(QString());
  }
  QString write(const QString& name, const QVariant& root) {
    const QString path = dir + QLatin1Char('/') + name;
    EXPECT_EQ(PropertyList::write(root, path), QString());
    return path;
  }
  QString writeBytes(const QString& name, const QByteArray& bytes) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  static QString loadPresetPath() {
    return UserDefaults::standard().stringValue(QStringLiteral("loadPresetPath"));
  }
  int recalls() const { return int(host.calls.filter(QStringLiteral("compositor")).size()); }

  QString dir;
  FakePresetManagerHost host;
  ManualDelayedCalls clock;
  std::unique_ptr<PresetManager> manager;
};

// Capture first; then, between the restore notifications, the presets, the
// palette shortcuts, the chains, the announcement, the pages and the
// application's setup; an empty load ends at once.
TEST_F(ProjectLoadingTest, TheLoadSequenceRunsInItsOrder) {
  const QString path = write(QStringLiteral("Gig.zaph"), fullProject({layersPreset("A", 0)}));
  manager->loadPresetsFromVerifiedPath(path);
  const QStringList expected = {QStringLiteral("capture"),
                                kStart,
                                QStringLiteral("match masterClock"),
                                QStringLiteral("layerChains"),
                                QStringLiteral("behaviorChains"),
                                kAboutToLoad,
                                QStringLiteral("pages"),
                                QStringLiteral("appController"),
                                QStringLiteral("finishedBatchOfFiles"),
                                kFinished,
                                kEnd};
  EXPECT_EQ(host.calls, expected) << host.calls.join(QStringLiteral(", ")).toStdString();
  EXPECT_TRUE(host.clockFollowsMIDI) << "the palette shortcuts came back";
  EXPECT_EQ(manager->savePath(), path);
  EXPECT_EQ(loadPresetPath(), path);
  EXPECT_EQ(manager->setNameFieldText(), QStringLiteral("Gig"));
  EXPECT_EQ(manager->selectedRow(), 0);
  EXPECT_FALSE(manager->loadingProject());
  EXPECT_TRUE(Alert::recorded().empty());
}

// (trigger default, presets, media) → whether and when the first preset
// of the table is recalled.
TEST_F(ProjectLoadingTest, TheFirstPresetIsRecalledASecondAfterTheMediaAreIn) {
  struct Case {
    const char* name;
    QVariant trigger;
    bool withPresets;
    bool withMedia;
    bool recalled;
  };
  const Case cases[] = {
      {"no media", 1, true, false, true},     {"with media", 1, true, true, true},
      {"trigger off", 0, true, false, false}, {"trigger unset", QVariant(), true, false, false},
      {"trigger 2", 2, true, false, false},   {"no presets", 1, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.calls.clear();
    host.withMedia = c.withMedia;
    if (c.trigger.isValid())
      UserDefaults::standard().setValue(QStringLiteral("startingPointTriggerPreset"), c.trigger);
    else
      UserDefaults::standard().remove(QStringLiteral("startingPointTriggerPreset"));
    const QVariantList presets =
        c.withPresets ? QVariantList{layersPreset("B", 1), layersPreset("A", 0)} : QVariantList();
    manager->loadPresetsFromVerifiedPath(write(QStringLiteral("P.zaph"), fullProject(presets)));
    EXPECT_EQ(manager->loadingProject(), c.withMedia);
    if (c.withMedia) {
      EXPECT_TRUE(manager->loadingPanel()->isVisible());
      EXPECT_EQ(manager->loadingPanel()->title(), QStringLiteral("Loading Project..."));
      NotificationCenter::defaultCenter().post(
          MediaNotifications::kFileLoaderLoadingFile, nullptr,
          {{MediaNotifications::kLoadingStringKey, QStringLiteral("Loading snapshot: a.mov")}});
      EXPECT_EQ(manager->loadingPanel()->description(), QStringLiteral("Loading snapshot: a.mov"));
      EXPECT_EQ(manager->loadingPanel()->count(), QStringLiteral(" "));
      saveScreenshot(manager->loadingPanel()->grab().toImage(), QStringLiteral("loading-panel"));
      clock.advance(5.0);
      EXPECT_EQ(recalls(), 0) << "nothing before the media are in";
      host.loaderBusy = false;
      NotificationCenter::defaultCenter().post(kFinished);
    }
    EXPECT_FALSE(manager->loadingPanel() && manager->loadingPanel()->isVisible());
    EXPECT_FALSE(manager->loadingProject());
    clock.advance(0.99);
    EXPECT_EQ(recalls(), 0);
    clock.advance(0.02);
    EXPECT_EQ(recalls(), c.recalled ? 1 : 0);
    if (c.recalled) EXPECT_TRUE(host.calls.contains(kStart)) << "recalled through triggerPreset";
  }
}

// Cancelling a project empties the setup 0.5 s later; cancelling an import
// leaves the project.
TEST_F(ProjectLoadingTest, CancellingAProjectEmptiesTheSetupButAnImportStays) {
  host.withMedia = true;
  manager->loadPresetsFromVerifiedPath(
      write(QStringLiteral("C.zaph"), fullProject({layersPreset("A", 0)})));
  ASSERT_TRUE(manager->loadingProject());
  host.calls.clear();
  manager->loadingPanel()->cancelButton()->click();
  EXPECT_TRUE(host.calls.contains(QStringLiteral("cancelFileLoading")));
  EXPECT_FALSE(manager->loadingProject());
  EXPECT_FALSE(manager->loadingPanel()->isVisible());
  EXPECT_EQ(manager->presetArray().size(), 1);
  clock.advance(0.49);
  EXPECT_EQ(manager->presetArray().size(), 1);
  clock.advance(0.02);
  EXPECT_TRUE(manager->presetArray().isEmpty()) << "File New ran";
  EXPECT_TRUE(host.calls.contains(QStringLiteral("deleteAllLayers")));

  manager->presetArray() << layersPreset("Kept", 0);
  host.calls.clear();
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileLoaderStartedLoad);
  EXPECT_EQ(manager->loadingPanel()->title(), QStringLiteral("Importing Media Files..."));
  manager->cancelFileLoadingClicked();
  clock.advance(1.0);
  EXPECT_EQ(manager->presetArray().size(), 1) << "an import cancel leaves the project";
  EXPECT_FALSE(host.calls.contains(QStringLiteral("deleteAllLayers")));
}

// Open: the loader is cancelled, File New runs, and the file loads 2.0 s
// later; opening again while loading cancels the first load first.
TEST_F(ProjectLoadingTest, OpenEmptiesTheSetupThenLoadsTwoSecondsLater) {
  host.withMedia = true;
  const QString first = write(QStringLiteral("One.zaph"), fullProject({layersPreset("A", 0)}));
  const QString second = write(QStringLiteral("Two.zaph"), fullProject({layersPreset("B", 0)}));
  manager->loadDidEnd(true, first);
  EXPECT_EQ(host.calls.mid(0, 2), (QStringList{QStringLiteral("cancelFileLoading"),
                                               QStringLiteral("cancelFileLoading")}));
  EXPECT_TRUE(host.calls.contains(QStringLiteral("deleteAllPlugins")));
  EXPECT_FALSE(host.calls.contains(QStringLiteral("pages")));
  clock.advance(1.99);
  EXPECT_FALSE(host.calls.contains(QStringLiteral("pages")));
  clock.advance(0.02);
  EXPECT_TRUE(manager->loadingProject());
  host.calls.clear();
  manager->loadDidEnd(true, second);
  EXPECT_EQ(host.calls.value(0), QStringLiteral("cancelFileLoading"));
  EXPECT_LT(host.calls.indexOf(QStringLiteral("cancelFileLoading")),
            host.calls.indexOf(QStringLiteral("deleteAllLayers")));
  clock.advance(2.01);
  EXPECT_EQ(manager->savePath(), second);
  EXPECT_EQ(nameOf(manager->presetArray().value(0)), QStringLiteral("B"));
  manager->loadDidEnd(false, first);
  clock.advance(3.0);
  EXPECT_EQ(manager->savePath(), second) << "a cancelled dialog loads nothing";
}

// (last version, "loadPresetPath", what is on disk) → what loads and where
// a save would go. The tutorial always opens untitled.
TEST_F(ProjectLoadingTest, TheDefaultProject) {
  const QString resources = TestEnvironment::makeTempDir(QStringLiteral("res"));
  QDir().mkpath(resources + QStringLiteral("/projects"));
  Paths::setResourcesDirOverride(resources);
  const QString tutorial = PresetManager::tutorialProjectPath();
  ASSERT_EQ(PropertyList::write(fullProject({layersPreset("Tut", 0)}), tutorial), QString());
  const QString last = write(QStringLiteral("Last.zaph"), fullProject({layersPreset("Last", 0)}));
  const QString folder = dir + QStringLiteral("/Folder.zaph");
  QDir().mkpath(folder);
  enum class Loads { Tutorial, Last, Nothing };
  struct Case {
    const char* name;
    QVariant lastVersion;
    QString loadPresetPath;
    Loads loads;
    bool savePathCleared;
  };
  const Case cases[] = {
      {"first run ever", QVariant(), QString(), Loads::Tutorial, false},
      {"first run, a project used before", QVariant(), last, Loads::Tutorial, false},
      {"another version", QStringLiteral("4.0"), last, Loads::Tutorial, false},
      {"same version", QStringLiteral("5.0.1"), last, Loads::Last, false},
      {"same version, no last project", QStringLiteral("5.0.1"), QString(), Loads::Tutorial, false},
      {"same version, last is a folder", QStringLiteral("5.0.1"), folder, Loads::Nothing, false},
      {"same version, last is gone", QStringLiteral("5.0.1"), dir + QStringLiteral("/Gone.zaph"),
       Loads::Nothing, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(dir + QStringLiteral("/d-%1.plist").arg(c.name));
    if (c.lastVersion.isValid())
      UserDefaults::standard().setValue(QStringLiteral("lastVsnUsedToOpenString"), c.lastVersion);
    if (!c.loadPresetPath.isEmpty())
      UserDefaults::standard().setValue(QStringLiteral("loadPresetPath"), c.loadPresetPath);
    manager->presetArray().clear();
    manager->setSavePath(dir + QStringLiteral("/Before.zaph"));
    const QString expectedDefault =
        c.loads == Loads::Tutorial ? tutorial : (c.loads == Loads::Last ? last : QString());
    EXPECT_EQ(manager->defaultProjectPath(), expectedDefault);
    manager->loadDefaultProject();
    const QString loaded = nameOf(manager->presetArray().value(0));
    switch (c.loads) {
      case Loads::Tutorial:
        EXPECT_EQ(loaded, QStringLiteral("Tut"));
        EXPECT_TRUE(manager->savePath().isEmpty()) << "the tutorial opens untitled";
        EXPECT_EQ(loadPresetPath(), c.loadPresetPath);
        EXPECT_EQ(manager->setNameFieldText(), QStringLiteral("Tutorial Project"));
        break;
      case Loads::Last:
        EXPECT_EQ(loaded, QStringLiteral("Last"));
        EXPECT_EQ(manager->savePath(), last);
        break;
      case Loads::Nothing:
        EXPECT_TRUE(manager->presetArray().isEmpty());
        EXPECT_EQ(manager->savePath().isEmpty(), c.savePathCleared);
        break;
    }
    EXPECT_EQ(UserDefaults::standard().stringValue(QStringLiteral("lastVsnUsedToOpenString")),
              QStringLiteral("5.0.1"));
  }
}

// A missing file and its snapshot enter both lists together and leave them
// together, whether deleted or relinked.
TEST_F(ProjectLoadingTest, TheMissingFileListsStayParallel) {
  std::vector<std::shared_ptr<QKFile>> files;
  for (int i = 0; i < 4; ++i) {
    files.push_back(std::make_shared<QKFile>(QStringLiteral("clip %1").arg(i), nullptr));
    NotificationCenter::defaultCenter().post(
        MediaNotifications::kMissingFile, files.back().get(),
        {{MediaNotifications::kMissingFileSnapKey, QVariantMap{{QStringLiteral("n"), i}}}});
  }
  ASSERT_EQ(manager->missingFileArray().size(), 4u);
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileFolderDeleted, files[1].get());
  EXPECT_TRUE(host.calls.contains(QStringLiteral("updateMissingFiles")));
  manager->removeRelinkedMissingFiles({files[3]});
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileFolderDeleted, files[1].get());
  ASSERT_EQ(manager->missingFileArray().size(), 2u);
  ASSERT_EQ(manager->missingFileSnapArray().size(), 2);
  for (int i : {0, 1}) {
    const int n = i == 0 ? 0 : 2;
    EXPECT_EQ(manager->missingFileArray()[i], files[n]);
    EXPECT_EQ(manager->missingFileSnapArray()[i].toMap().value(QStringLiteral("n")), n);
  }
  manager->loadPresetsFromVerifiedPath(write(QStringLiteral("M.zaph"), fullProject({})));
  EXPECT_TRUE(manager->missingFileArray().empty()) << "every load starts with empty lists";
  EXPECT_TRUE(manager->missingFileSnapArray().isEmpty());
}

// Files that cannot be read: the alert with the reason, and nothing changes
// (presets, save path, "loadPresetPath", name field, loading flag).
TEST_F(ProjectLoadingTest, AProjectThatCannotBeReadChangesNothing) {
  QByteArray deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  for (int i = 0; i < 5000; ++i) deep += "<array>";
  struct Case {
    const char* name;
    QString path;
  };
  const Case cases[] = {
      {"empty", writeBytes(QStringLiteral("empty.zaph"), QByteArray())},
      {"truncated XML",
       writeBytes(QStringLiteral("trunc.zaph"),
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>presets</key><arr")},
      {"binary garbage",
       writeBytes(QStringLiteral("garbage.zaph"), QByteArray("bplist00\xff\x13\x07garbage"))},
      {"a root array", write(QStringLiteral("array.zaph"), QVariantList{1, 2})},
      {"presets a string", write(QStringLiteral("string.zaph"),
                                 QVariantMap{{QStringLiteral("presets"), QStringLiteral("x")}})},
      {"no presets",
       write(QStringLiteral("none.zaph"), QVariantMap{{QStringLiteral("projectVersion"), 1}})},
      {"deep nesting", writeBytes(QStringLiteral("deep.zaph"), deep)},
      {"a folder", dir},
      {"missing", dir + QStringLiteral("/nothing.zaph")},
  };
  const QString good = write(QStringLiteral("Good.zaph"), fullProject({layersPreset("Good", 0)}));
  manager->loadPresetsFromVerifiedPath(good);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Alert::clearRecorded();
    host.calls.clear();
    manager->loadPresetsFromVerifiedPath(c.path);
    ASSERT_EQ(Alert::recorded().size(), 1u);
    EXPECT_EQ(Alert::recorded()[0].title, QStringLiteral("The project could not be read"));
    EXPECT_FALSE(host.calls.contains(kStart));
    EXPECT_EQ(nameOf(manager->presetArray().value(0)), QStringLiteral("Good"));
    EXPECT_EQ(manager->savePath(), good);
    EXPECT_EQ(loadPresetPath(), good);
    EXPECT_EQ(manager->setNameFieldText(), QStringLiteral("Good"));
    EXPECT_FALSE(manager->loadingProject());
  }
}

// An older project: the "Warning!" alert, then it loads.
TEST_F(ProjectLoadingTest, AnOlderProjectWarnsAndLoads) {
  QVariantMap older{
      {QStringLiteral("presets"),
       QVariantList{QVariantMap{{QStringLiteral("presetName"), QStringLiteral("Old")}}}}};
  manager->loadPresetsFromVerifiedPath(write(QStringLiteral("Old.zaph"), older));
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, QStringLiteral("Warning!"));
  EXPECT_EQ(nameOf(manager->presetArray().value(0)), QStringLiteral("Old"));
  EXPECT_EQ(kindOf(manager->presetArray().value(0)), kEverything);
}

// Mutations of a saved project (bytes flipped, cut, repeated) never crash
// the reader or the loader; each either loads or alerts.
TEST_F(ProjectLoadingTest, MutatedProjectsNeverCrashTheLoader) {
  QVariantMap project = fullProject({layersPreset("A", 0), layersPreset("B", 1)});
  project.insert(QStringLiteral("presets"),
                 QVariantList{layersPreset("A", 0),
                              QVariantMap{{QStringLiteral("type"), QStringLiteral("namedArray")},
                                          {QStringLiteral("array"),
                                           QVariantList{QVariantMap{{QStringLiteral("presetName"),
                                                                     QStringLiteral("g")}}}}}});
  const QByteArray original = PropertyList::toXml(project);
  QRandomGenerator random(35);
  LogCapture quiet;
  for (int round = 0; round < 300; ++round) {
    QByteArray bytes = original;
    const int edits = 1 + random.bounded(4);
    for (int e = 0; e < edits; ++e) {
      const int at = random.bounded(bytes.size());
      switch (random.bounded(3)) {
        case 0:
          bytes[at] = char(random.bounded(256));
          break;
        case 1:
          bytes.truncate(at);
          break;
        default:
          bytes.insert(at, bytes.mid(at, random.bounded(40)));
      }
      if (bytes.isEmpty()) break;
    }
    Alert::clearRecorded();
    manager->loadPresetsFromVerifiedPath(writeBytes(QStringLiteral("mutant.zaph"), bytes));
    EXPECT_FALSE(manager->busy());
  }
}

}  // namespace
