#include "app/compositor/CompModeLists.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/SourceFolderTable.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

void touch(const QString& path, const QByteArray& bytes = "x") {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QString folder(const QString& prefix) { return TestEnvironment::makeTempDir(prefix) + "/"; }

// A composition file publishing the inputs named.
QByteArray composition(const QStringList& inputs) {
  QByteArray ports;
  for (const QString& key : inputs)
    ports += "<dict><key>key</key><string>" + key.toUtf8() + "</string></dict>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
         "<key>rootPatch</key><dict><key>state</key><dict><key>publishedInputPorts</key><array>" +
         ports + "</array></dict></dict></dict></plist>";
}

TEST(CompModeLists, FiltersDividersBlendModesThenCompositionsSortedIgnoringCase) {
  LogCapture log;
  const QString app = folder("app"), user = folder("user");
  for (const char* name : {"b.qtz", "A.QTZ", "c.Qtz", "notes.txt", "bad.qtz"}) touch(app + name);
  touch(user + "b.qtz");  // the same name as the application's: a duplicate
  touch(user + "D.qtz");
  const auto valid = [](const QString& path) { return !path.endsWith("bad.qtz"); };
  const auto localized = [](const QString& name) { return "L-" + name; };

  const CompModeLists lists =
      CompModeLists::build({"CIAdditionCompositing", "CIMultiply"}, localized, {app, user}, valid);

  const QString d = CompModeLists::kDivider;
  EXPECT_EQ(lists.humanNames,
            (QStringList{"L-CIAdditionCompositing", "L-CIMultiply", d, "OpenGL Add", "OpenGL Over",
                         d, "A.QTZ", "b.qtz", "D.qtz"}));
  EXPECT_EQ(lists.names, (QStringList{"CIAdditionCompositing", "CIMultiply", d, "770:772",
                                      "770:771", d, "A.QTZ", "b.qtz", "D.qtz"}));
  EXPECT_EQ(lists.tags,
            (QStringList{CompModeLists::kFilterKind, CompModeLists::kFilterKind, d,
                         CompModeLists::kBlendKind, CompModeLists::kBlendKind, d,
                         CompModeLists::kQCKind, CompModeLists::kQCKind, CompModeLists::kQCKind}));
  EXPECT_TRUE(log.contains("\t\terr: ignoring duplicate qcCompMode at:" + user + "b.qtz"));
}

TEST(CompModeLists, MenuHasSeparatorsTooltipsAndIdentifiersAsData) {
  CompModeLists lists;
  lists.append("Add", "CIAdditionCompositing", CompModeLists::kFilterKind);
  lists.appendDivider();
  lists.append("OpenGL Over", "770:771", CompModeLists::kBlendKind);
  const auto menu = lists.makeMenu();
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2]->text(), "OpenGL Over");
  EXPECT_EQ(items[2]->toolTip(), CompModeLists::kBlendKind);
  EXPECT_EQ(items[2]->data().toStringList(), (QStringList{"770:771", CompModeLists::kBlendKind}));
}

// The layer list's comp column and the layer panel choose by the index in
// the lists, which the separators must not shift.
TEST(CompModeLists, PopUpHasSeparatorsAndListIndicesAsData) {
  CompModeLists lists;
  lists.append("Add", "CIAdditionCompositing", CompModeLists::kFilterKind);
  lists.appendDivider();
  lists.append("OpenGL Over", "770:771", CompModeLists::kBlendKind);
  QComboBox box;
  lists.fillPopUp(box);
  ASSERT_EQ(box.count(), 3);
  EXPECT_EQ(box.itemText(0), "Add");
  EXPECT_EQ(box.itemData(0).toInt(), 0);
  EXPECT_FALSE(box.itemData(1).isValid());  // the separator
  EXPECT_EQ(box.itemText(2), "OpenGL Over");
  EXPECT_EQ(box.itemData(2).toInt(), 2);
}

TEST(SourceFolderTable, UserFolderWinsAndImageMenuStartsWithTheBuiltInPlayer) {
  LogCapture log;
  const QString app = folder("app"), user = folder("user");
  touch(app + "Plain.qtz", composition({"imageFileInput"}));
  touch(app + "shared.qtz", composition({"imageFileInput"}));
  touch(user + "shared.qtz", composition({"imageFileInput", "other"}));
  touch(user + "NoInput.qtz", composition({"FileInput"}));
  touch(user + "broken.qtz", "not a property list");

  const SourceFolderTable images =
      SourceFolderTable::scan(SourceFolderTable::imageSources(), {app, user});
  EXPECT_EQ(images.paths.value("shared.qtz"), user + "shared.qtz");
  EXPECT_EQ(images.menuTitles, (QStringList{"<Built-In Player>", "Plain.qtz", "shared.qtz"}));
  EXPECT_TRUE(log.contains("\t\terror- qtz named NoInput.qtz had no imageInput"));
  EXPECT_TRUE(log.contains("\t\terror- qtz named broken.qtz had no imageInput"));

  const SourceFolderTable texts =
      SourceFolderTable::scan(SourceFolderTable::textSources(), {folder("empty")});
  EXPECT_TRUE(texts.menuTitles.isEmpty());
  EXPECT_EQ(SourceFolderTable::scan(SourceFolderTable::imageSources(), {}).menuTitles,
            QStringList{"<Built-In Player>"});
}

TEST(Compositor, WorkingFormatIs16BitOnlyWhenEveryVendorIsNvidiaOrAti) {
  LogCapture log;
  const struct {
    QStringList vendors;
    bool eightBit;
  } cases[] = {
      {{}, true},
      {{"NVIDIA Corporation"}, false},
      {{"ATI Technologies Inc."}, false},
      {{"NVIDIA Corporation", "Mesa"}, true},
      {{"nvidia"}, true},  // the test is case-sensitive
  };
  for (const auto& c : cases)
    EXPECT_EQ(Compositor::eightBitForVendors(c.vendors), c.eightBit)
        << c.vendors.join(",").toStdString();
  EXPECT_TRUE(log.contains("\t\t3rd-party GPU: Mesa"));
}

TEST(Compositor, ListsAndTablesComeFromTheApplicationAndUserFolders) {
  const QString app = folder("app"), user = folder("user");
  QDir().mkpath(app + "qcCompModes");
  QDir().mkpath(user + "qcCompModes");
  QDir().mkpath(app + "qcImageSources");
  touch(app + "qcCompModes/Crossfade.qtz");
  touch(user + "qcCompModes/Mine.qtz");
  touch(app + "qcImageSources/Still.qtz", composition({"imageFileInput"}));
  Compositor::Environment environment;
  environment.applicationFolder = app;
  environment.userFolder = user.chopped(1);
  environment.compositeFilterNames = {"CISourceOverCompositing"};
  environment.gpuVendors = {"NVIDIA"};

  Compositor compositor(nullptr, environment);
  int posts = 0;
  NotificationCenter::defaultCenter().addObserver(&posts, Compositor::kCompModesChangedNotification,
                                                  &compositor,
                                                  [&](const Notification&) { ++posts; });
  compositor.awake();
  NotificationCenter::defaultCenter().removeObserver(&posts);

  EXPECT_EQ(posts, 1);
  EXPECT_EQ(compositor.compFilterNameArray().mid(5), (QStringList{"Crossfade.qtz", "Mine.qtz"}));
  EXPECT_EQ(compositor.compModeMenu()->actions().size(), compositor.compFilterNameArray().size());
  EXPECT_EQ(compositor.imageSourcesNames(), (QStringList{"<Built-In Player>", "Still.qtz"}));
  EXPECT_FALSE(compositor.workingFormatIs8Bit());
  std::vector<QString> classes;
  for (const auto& [name, factory] : compositor.sourceClassDict()) classes.push_back(name);
  EXPECT_EQ(classes.size(), Compositor::sourceClassNames().size());
  EXPECT_EQ(compositor.getUniqueID(), 0);
  compositor.uniqueIDRecovered(41);
  EXPECT_EQ(compositor.getUniqueID(), 42);
}

// The program's own composites are registered before the lists are built.
TEST(Compositor, CompModesOfferTheBuiltInComposites) {
  Compositor::Environment environment = Compositor::Environment::fromSystem();
  environment.applicationFolder = folder("empty");
  environment.userFolder.clear();
  Compositor compositor(nullptr, environment);
  compositor.awake();
  const QStringList names = compositor.compFilterNameArray();
  for (const char* name : {"AddModulus", "Luma", "SourceAtop_QK"})
    EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
  for (const char* name : {"QKZoom", "ChromaMask", "Crop_QK", "RGB_Trails"})
    EXPECT_FALSE(names.contains(QLatin1String(name))) << name;
  EXPECT_TRUE(compositor.compFilterHumanNameArray().contains("Source Atop-QK"));
}

}  // namespace
