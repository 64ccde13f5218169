// The project file: what a save writes, that nothing is reported saved
// unless it is on disk, Save As and its backup, the readiness question,
// File New, and the two palette snapshots.
#include "app/shell/PresetManager.h"
#include "tests/app/shell/FakePresetManagerHost.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKFile.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/TestEnvironment.h"

#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <map>

namespace {

QVariantMap preset(const QString& name, qint64 index) {
  return {{QStringLiteral("QKPMNameKey"), name},
          {QStringLiteral("QKPMTypeKey"), QStringLiteral("Everything")},
          {QStringLiteral("QKPMIndexKey"), index}};
}

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PresetManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = TestEnvironment::makeTempDir();
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(dir + QStringLiteral("/defaults.plist"));
    Alert::clearRecorded();
    Alert::clearScriptedAnswers();
  }
  void TearDown() override { Alert::clearScriptedAnswers(); }
  QString loadPresetPath() const {
    return UserDefaults::standard().stringValue(QStringLiteral("loadPresetPath"));
  }

  QString dir;
  FakePresetManagerHost host;
};

// The seven root keys with their types, the presets as they were, and the
// version of the program that wrote them.
TEST_F(PresetManagerTest, SaveWritesTheSevenRootKeysWithTheirTypes) {
  PresetManager manager(&host);
  manager.presetArray() << preset(QStringLiteral("Intro"), 0);
  manager.setSavePath(dir + QStringLiteral("/Gig"));
  manager.saveButtonUsed();
  const QString target = dir + QStringLiteral("/Gig.zaph");
  const PropertyList::Result read = PropertyList::read(target);
  ASSERT_TRUE(read.ok()) << read.error.toStdString();
  const QVariantMap root = read.value.toMap();
  const std::pair<const char*, int> keys[] = {
      {"projectVersion", QMetaType::QString},
      {"presets", QMetaType::QVariantList},
      {"pageControllerSetup", QMetaType::QVariantMap},
      {"sequenceGrabberSetup", QMetaType::QVariantMap},
      {"paletteShortcutSnapshot", QMetaType::QVariantMap},
      {"layerChainManagerSnapshot", QMetaType::QVariantList},
      {"behaviorChainManagerSnapshot", QMetaType::QVariantList},
  };
  EXPECT_EQ(root.size(), 7);
  for (const auto& [key, type] : keys) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(root.contains(QString::fromLatin1(key)));
    EXPECT_EQ(root.value(QString::fromLatin1(key)).typeId(), type);
  }
  EXPECT_EQ(root.value(QStringLiteral("projectVersion")).toString(), QStringLiteral("5.0.1"));
  EXPECT_EQ(root.value(QStringLiteral("presets")).toList(), manager.presetArray());
  EXPECT_EQ(loadPresetPath(), target);
  EXPECT_EQ(manager.setNameFieldText(), QStringLiteral("Gig"));
  EXPECT_TRUE(host.calls.contains(QStringLiteral("saveChains")));
  EXPECT_FALSE(manager.busy());
  EXPECT_TRUE(Alert::recorded().empty());
}

// A project written by hand reads back and writes back equal, every kind of
// value kept apart from the others.
TEST_F(PresetManagerTest, AHandWrittenProjectWritesBackEqual) {
  const QString source = dir + QStringLiteral("/hand.zaph");
  QFile file(source);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>presets</key>
  <array>
    <dict>
      <key>QKPMNameKey</key><string>Verse &amp; "Chorus"</string>
      <key>QKPMTypeKey</key><string>Everything</string>
      <key>QKPMIndexKey</key><integer>0</integer>
      <key>compositorSnapshot</key>
      <dict>
        <key>contentsRenderingMode</key><integer>2</integer>
        <key>opacity</key><real>0.75</real>
        <key>whole</key><real>1</real>
        <key>bypass</key><true/>
        <key>mute</key><false/>
        <key>blob</key><data>AAEC/w==</data>
        <key>made</key><date>2024-03-01T12:30:05Z</date>
        <key>digits</key><string>42</string>
      </dict>
    </dict>
  </array>
</dict>
</plist>
)");
  file.close();
  const PropertyList::Result hand = PropertyList::read(source);
  ASSERT_TRUE(hand.ok()) << hand.error.toStdString();
  PresetManager manager(&host);
  manager.presetArray() = hand.value.toMap().value(QStringLiteral("presets")).toList();
  const QString copy = dir + QStringLiteral("/copy.zaph");
  ASSERT_EQ(manager.writePresetsToVerifiedPath(copy), QString());
  const QVariantList back =
      PropertyList::read(copy).value.toMap().value(QStringLiteral("presets")).toList();
  ASSERT_EQ(back, manager.presetArray());
  const QVariantMap values =
      back.value(0).toMap().value(QStringLiteral("compositorSnapshot")).toMap();
  const std::pair<const char*, int> types[] = {
      {"contentsRenderingMode", QMetaType::LongLong},
      {"opacity", QMetaType::Double},
      {"whole", QMetaType::Double},
      {"bypass", QMetaType::Bool},
      {"mute", QMetaType::Bool},
      {"blob", QMetaType::QByteArray},
      {"made", QMetaType::QDateTime},
      {"digits", QMetaType::QString},
  };
  for (const auto& [key, type] : types) {
    SCOPED_TRACE(key);
    EXPECT_EQ(values.value(QString::fromLatin1(key)).typeId(), type);
  }
  EXPECT_EQ(values.value(QStringLiteral("blob")).toByteArray(), QByteArray("\x00\x01\x02\xff", 4));
}

// Nothing is reported saved unless it is on disk: the performer is told
// where and why, the old file stays byte for byte, the paths stay and the
// manager is free again.
TEST_F(PresetManagerTest, AFailedSaveKeepsTheOldFileAndThePaths) {
  const QString project = dir + QStringLiteral("/Show.zaph");
  {
    PresetManager first(&host);
    first.presetArray() << preset(QStringLiteral("A"), 0);
    first.setSavePath(project);
    first.saveButtonUsed();
  }
  const QByteArray before = bytesOf(project);
  ASSERT_FALSE(before.isEmpty());
  const QString readOnly = dir + QStringLiteral("/locked");
  QDir().mkpath(readOnly);
  QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
  const bool permissionsHold = ::geteuid() != 0;  // root writes anywhere

  struct Case {
    const char* name;
    std::function<void()> breakIt;
    QString savePath;
  };
  const std::vector<Case> cases = {
      {"page controller answers nothing", [this] { host.pages.reset(); }, project},
      {"capture setup answers nothing", [this] { host.grabber.reset(); }, project},
      {"layer chains answer nothing", [this] { host.layerChains.reset(); }, project},
      {"behaviour chains answer nothing", [this] { host.behaviorChains.reset(); }, project},
      {"folder under a file", [] {}, project + QStringLiteral("/inside.zaph")},
      {"read-only folder", [] {}, readOnly + QStringLiteral("/Show.zaph")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.savePath.startsWith(readOnly) && !permissionsHold) continue;
    host = FakePresetManagerHost();
    c.breakIt();
    PresetManager manager(&host);
    manager.presetArray() << preset(QStringLiteral("B"), 0);
    manager.setSavePath(c.savePath);
    Alert::clearRecorded();
    manager.saveButtonUsed();
    EXPECT_EQ(bytesOf(project), before);
    EXPECT_EQ(manager.savePath(), c.savePath);
    EXPECT_EQ(loadPresetPath(), project);
    EXPECT_FALSE(manager.busy());
    ASSERT_EQ(Alert::recorded().size(), 1u);
    EXPECT_EQ(Alert::recorded()[0].title, QStringLiteral("Error during save"));
    EXPECT_TRUE(Alert::recorded()[0].message.contains(PresetManager::verifiedPath(c.savePath)));
  }
  QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A save path that is a folder: told so, and Save As opens; nothing written.
TEST_F(PresetManagerTest, SavingToAFolderAsksForAFile) {
  SKIP_WITHOUT_DISPLAY();
  const QString folder = dir + QStringLiteral("/setlists");
  QDir().mkpath(folder);
  PresetManager manager(&host);
  manager.presetArray() << preset(QStringLiteral("A"), 0);
  manager.setSavePath(folder);
  manager.saveButtonUsed();
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_TRUE(Alert::recorded()[0].message.contains(folder));
  ASSERT_NE(manager.saveAsPanel(), nullptr);
  EXPECT_TRUE(manager.saveAsPanel()->isVisible());
  EXPECT_TRUE(QDir(folder).isEmpty());
  EXPECT_EQ(manager.savePath(), folder);
  EXPECT_FALSE(manager.busy());
  manager.saveAsPanel()->reject();
}

// Save As "Show" in its dialog writes Show.zaph; a preset change then writes
// Show~.zaph beside it with the same content, and the name stays "Show".
TEST_F(PresetManagerTest, SaveAsThenTheBackupBesideIt) {
  SKIP_WITHOUT_DISPLAY();
  UserDefaults::standard().setValue(QStringLiteral("loadPresetPath"),
                                    dir + QStringLiteral("/old.zaph"));
  PresetManager manager(&host);
  manager.showWindow();
  manager.presetArray() << preset(QStringLiteral("A"), 0);
  manager.saveAsButtonUsed();
  QFileDialog* panel = manager.saveAsPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
  EXPECT_EQ(QDir(panel->directory()).absolutePath(), QDir(dir).absolutePath());
  EXPECT_FALSE(manager.busy()) << "busy guards only the opening";
  saveScreenshot(panel->grab().toImage(), QStringLiteral("preset-manager-save-as"));
  auto* nameField = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(nameField, nullptr);
  nameField->setText(QStringLiteral("Show"));
  static_cast<QDialog*>(panel)->accept();
  const QString project = dir + QStringLiteral("/Show.zaph");
  EXPECT_EQ(manager.savePath(), project);
  EXPECT_EQ(loadPresetPath(), project);
  ASSERT_TRUE(QFile::exists(project));

  manager.presetArray() << preset(QStringLiteral("B"), 1);
  manager.updateTempSetFile();
  const QString backup = dir + QStringLiteral("/Show~.zaph");
  ASSERT_TRUE(QFile::exists(backup));
  EXPECT_EQ(manager.setNameFieldText(), QStringLiteral("Show"));
  manager.saveButtonUsed();
  EXPECT_EQ(bytesOf(backup), bytesOf(project));
  EXPECT_EQ(PresetManager::backupPath(QStringLiteral("/a/b.c/Show.zaph")),
            QStringLiteral("/a/b.c/Show~.zaph"));
}

TEST_F(PresetManagerTest, WithoutASavePathTheBackupWritesNothing) {
  PresetManager manager(&host);
  manager.updateTempSetFile();
  EXPECT_TRUE(QDir(dir).entryList({QStringLiteral("*.zaph")}).isEmpty());
}

// A project without presets: the question, or, under a fullscreen output
// that would hide it, the "First Preset" at once.
TEST_F(PresetManagerTest, TheReadinessCheck) {
  struct Case {
    const char* name;
    bool hasPreset;
    const char* answer;  // null: not asked
    bool fullscreen;
    bool ready;
    int presetsAfter;
  };
  const Case cases[] = {
      {"a preset", true, nullptr, false, true, 1},
      {"none, Yes", false, "Yes", false, true, 1},
      {"none, No", false, "No", false, true, 0},
      {"none, Cancel", false, "Cancel", false, false, 0},
      {"none, fullscreen", false, nullptr, true, true, 1},
      {"a preset, fullscreen", true, nullptr, true, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host = FakePresetManagerHost();
    host.fullscreen = c.fullscreen;
    PresetManager manager(&host);
    if (c.hasPreset) manager.presetArray() << preset(QStringLiteral("A"), 0);
    Alert::clearRecorded();
    if (c.answer) Alert::scriptAnswers({QString::fromLatin1(c.answer)});
    EXPECT_EQ(manager.readyToCreateProjectDictionary(), c.ready);
    EXPECT_EQ(Alert::recorded().size(), c.answer ? 1u : 0u);
    ASSERT_EQ(manager.presetArray().size(), c.presetsAfter);
    EXPECT_FALSE(manager.busy());
    if (!c.hasPreset && c.presetsAfter == 1) {
      const QVariantMap made = manager.presetArray().front().toMap();
      EXPECT_EQ(made.value(QStringLiteral("QKPMNameKey")).toString(),
                QStringLiteral("First Preset"));
      EXPECT_EQ(made.value(QStringLiteral("QKPMTypeKey")).toString(), QStringLiteral("Everything"));
      EXPECT_EQ(made.value(QStringLiteral("QKPMIndexKey")).toLongLong(), 0);
      for (const char* key : {"compositorSnapshot", "PMSnapshot", "windPosSnapshot"})
        EXPECT_TRUE(made.contains(QString::fromLatin1(key))) << key;
    }
  }
  // "No" writes an empty "presets".
  host = FakePresetManagerHost();
  PresetManager manager(&host);
  Alert::scriptAnswers({QStringLiteral("No")});
  manager.setSavePath(dir + QStringLiteral("/Empty.zaph"));
  manager.saveButtonUsed();
  EXPECT_EQ(PropertyList::read(dir + QStringLiteral("/Empty.zaph"))
                .value.toMap()
                .value(QStringLiteral("presets")),
            QVariant(QVariantList()));
}

TEST_F(PresetManagerTest, SaveWhileBusyWritesNothing) {
  LogCapture log;
  PresetManager manager(&host);
  manager.presetArray() << preset(QStringLiteral("A"), 0);
  manager.setSavePath(dir + QStringLiteral("/Busy.zaph"));
  manager.setBusy(true);
  manager.saveButtonUsed();
  EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/Busy.zaph")));
  EXPECT_TRUE(log.contains(QStringLiteral("was busy on save")));
  manager.newFileMenuUsed();  // dropped as well
  EXPECT_EQ(manager.presetArray().size(), 1);
}

// File New: no presets, layers, plug-ins or inputs, one blank page (the
// root folder cleared), the interface unlocked, palettes home, no path.
TEST_F(PresetManagerTest, FileNewEmptiesTheSetup) {
  host.lock = true;
  PresetManager manager(&host);
  manager.presetArray() << preset(QStringLiteral("A"), 0);
  manager.missingFileArray().push_back(std::make_shared<QKFile>(QStringLiteral("f"), nullptr));
  manager.missingFileSnapArray() << QVariantMap();
  manager.setSavePath(dir + QStringLiteral("/Old.zaph"));
  NotificationCounter start(QStringLiteral("QKPMRestoreStartNotification"));
  NotificationCounter end(QStringLiteral("QKPMRestoreEndNotification"));
  NotificationCounter home(PaletteNotifications::PalettesToDefaultLocation);
  manager.newFileMenuUsed();
  EXPECT_TRUE(manager.presetArray().isEmpty());
  EXPECT_TRUE(manager.missingFileArray().empty());
  EXPECT_TRUE(manager.missingFileSnapArray().isEmpty());
  EXPECT_TRUE(manager.savePath().isEmpty());
  EXPECT_EQ(manager.setNameFieldText(), QStringLiteral("<new project>"));
  EXPECT_EQ(host.calls,
            (QStringList{QStringLiteral("cancelFileLoading"), QStringLiteral("deleteAllLayers"),
                         QStringLiteral("deleteAllPlugins"), QStringLiteral("clearRootFolder"),
                         QStringLiteral("clearOutInPrepForLoad"), QStringLiteral("setLock 0 0")}));
  EXPECT_FALSE(host.lock);
  EXPECT_EQ(start.count(), 1);
  EXPECT_EQ(end.count(), 1);
  EXPECT_EQ(home.count(), 1);
}

// Frames, collapse, visibility and the lock go round; an older snapshot's
// "sliderInspector" places the inspector; a mistyped entry is skipped.
TEST_F(PresetManagerTest, WindowPositionsRoundTrip) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr clock = makePalette(QStringLiteral("Clock"), {100, 500, 260, 127});
  PalettePtr inspector = makePalette(QStringLiteral("Inspector"), {400, 300, 220, 200});
  host.palettes[QStringLiteral("masterClock")] = clock->contentView();
  host.palettes[QStringLiteral("buttonSliderInspector")] = inspector->contentView();
  PresetManager manager(&host);
  host.palettes[QStringLiteral("presetManager")] = manager.contentView();
  manager.awakeFromNib();  // fixed palettes start collapsed at their default place
  manager.showWindow();
  const auto frame = [](int x, bool collapsed) {
    return QVariantMap{{QStringLiteral("originX"), x},           {QStringLiteral("originY"), 200},
                       {QStringLiteral("width"), 260},           {QStringLiteral("height"), 171},
                       {QStringLiteral("collapsed"), collapsed}, {QStringLiteral("visible"), true}};
  };
  clock->contentView()->loadSnapshot(frame(100, false));
  manager.contentView()->loadSnapshot(frame(400, false));
  EXPECT_FALSE(
      saveScreenshot(manager.window()->grab().toImage(), QStringLiteral("preset-manager-window"))
          .isEmpty());
  host.lock = true;
  const QVariantMap snapshot = manager.createWindowPositionSnapshot();
  EXPECT_EQ(snapshot.size(), 4);
  EXPECT_EQ(snapshot.value(QStringLiteral("interfaceLockDict")).toMap(),
            (QVariantMap{{QStringLiteral("lock"), true}, {QStringLiteral("lockAll"), false}}));
  const QVariantMap clockPlace = clock->contentView()->createSnapshot();
  EXPECT_EQ(snapshot.value(QStringLiteral("masterClock")).toMap(), clockPlace);

  // Elsewhere and collapsed, then back.
  clock->contentView()->loadSnapshot(frame(300, true));
  ASSERT_TRUE(clock->contentView()->collapsed());
  inspector->hide();
  host.lock = false;
  manager.matchThisWindPosSnapshot(snapshot);
  EXPECT_EQ(clock->contentView()->createSnapshot(), clockPlace);
  EXPECT_TRUE(inspector->isVisible());
  EXPECT_TRUE(host.lock);

  QVariantMap older = snapshot;
  older.insert(QStringLiteral("sliderInspector"),
               older.take(QStringLiteral("buttonSliderInspector")));
  older.insert(QStringLiteral("masterClock"), QStringLiteral("not a frame"));
  older.remove(QStringLiteral("interfaceLockDict"));
  inspector->hide();
  clock->contentView()->loadSnapshot(frame(300, true));
  const QVariantMap movedPlace = clock->contentView()->createSnapshot();
  host.calls.clear();
  manager.matchThisWindPosSnapshot(older);
  EXPECT_TRUE(inspector->isVisible());
  EXPECT_EQ(clock->contentView()->createSnapshot(), movedPlace) << "a mistyped entry is skipped";
  EXPECT_TRUE(host.calls.isEmpty()) << "no lock entry leaves the lock alone";
  EXPECT_FALSE(manager.contentView()->collapsed());
}

// Shortcuts go through their owners; the preset window keeps its own
// buttons. A project without them logs four lines and changes nothing.
TEST_F(PresetManagerTest, PaletteShortcutsRoundTrip) {
  PresetManager manager(&host);
  host.clockFollowsMIDI = true;
  manager.paletteButton(QStringLiteral("nextAnyButton"))->setIntValue(1, false);
  const QVariantMap snapshot = manager.createPaletteShortcutSnapshot();
  EXPECT_EQ(snapshot.keys(),
            (QStringList{QStringLiteral("buttonInspector"), QStringLiteral("compositor"),
                         QStringLiteral("masterClock"), QStringLiteral("pluginManager"),
                         QStringLiteral("presetManager"), QStringLiteral("sliderInspector")}));
  EXPECT_TRUE(snapshot.value(QStringLiteral("pluginManager")).toMap().isEmpty());
  EXPECT_EQ(snapshot.value(QStringLiteral("presetManager")).toMap().size(), 12);

  host.clockFollowsMIDI = false;
  manager.paletteButton(QStringLiteral("nextAnyButton"))->setIntValue(0, false);
  manager.matchThisPaletteShortcutSnapshot(snapshot);
  EXPECT_TRUE(host.clockFollowsMIDI);
  EXPECT_EQ(manager.paletteButton(QStringLiteral("nextAnyButton"))->intValue(), 1);

  LogCapture log;
  host.calls.clear();
  manager.matchThisPaletteShortcutSnapshot(QVariant());
  const QStringList expected = {
      QStringLiteral("\t\terror loading plugin palette shortcut snap"),
      QStringLiteral("\t\terror loading masterclock palette shortcut snap"),
      QStringLiteral("\t\terror loading compositor palette shortcut snap"),
      QStringLiteral("\t\terror loading presetmanager palette shortcut snap"),
  };
  EXPECT_EQ(log.lines(), expected);
  EXPECT_TRUE(host.calls.isEmpty());
  EXPECT_EQ(manager.paletteButton(QStringLiteral("nextAnyButton"))->intValue(), 1);
}

}  // namespace
