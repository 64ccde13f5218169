// Colour themes: saving, reverting, choosing and exporting themes, and the
// editor's controls writing the one entry they show.
#include "app/shell/ColorInterfaceManager.h"
#include "app/shell/ColorThemeStore.h"
#include "app/shell/ThemeColorWell.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LogCapture.h"
#include "tests/support/OwnUserDataFolder.h"
#include "tests/support/Screenshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <gtest/gtest.h>

#include <map>

namespace {

using S = InterfaceColorScheme;

// Every leaf of a dictionary by its path ("a/b/c").
std::map<QString, QVariant> flattened(const QVariantMap& map, const QString& prefix = {}) {
  std::map<QString, QVariant> leaves;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    const QString path = prefix.isEmpty() ? it.key() : prefix + "/" + it.key();
    if (it.value().typeId() == QMetaType::QVariantMap)
      leaves.merge(flattened(it.value().toMap(), path));
    else
      leaves[path] = it.value();
  }
  return leaves;
}

QStringList changedPaths(const QVariantMap& before, const QVariantMap& after) {
  const auto a = flattened(before), b = flattened(after);
  QStringList changed;
  for (const auto& [path, value] : b)
    if (!a.count(path) || a.at(path) != value) changed << path;
  for (const auto& [path, value] : a)
    if (!b.count(path)) changed << path;
  return changed;
}

class ColorThemes : public ::testing::Test {
 protected:
  void SetUp() override {
    Alert::clearRecorded();
    editor_ = std::make_unique<ColorInterfaceManager>();
    editor_->pushAllColorsToUI();
  }
  // The application's live scheme is shared by every test in the process:
  // the colours chosen here are taken back.
  void TearDown() override {
    editor_.reset();
    UserDefaults::standard().remove(ColorThemeStore::kDefaultsKey);
    scheme() = schemeBefore_;
  }

  static InterfaceColorScheme& scheme() { return TheApplication::instance()->colorScheme(); }
  ThemeColorWell* well(const char* name) {
    return qobject_cast<ThemeColorWell*>(editor_->controlNamed(name));
  }
  void check(const char* name, bool on) {
    qobject_cast<QCheckBox*>(editor_->controlNamed(name))->setChecked(on);
  }
  QVariantMap group(const QString& key) {
    if (key == S::kButtonColorDict) return buttons_.appearanceDict();
    if (key == S::kSliderColorDict) return sliders_.sliderColorDict();
    return scheme().dictionary(key);
  }

  OwnUserDataFolder data_;  // the themes folder starts empty
  const InterfaceColorScheme schemeBefore_ = scheme();
  QKButtonManager buttons_;
  QKSliderManager sliders_;
  std::unique_ptr<ColorInterfaceManager> editor_;
};

TEST_F(ColorThemes, SaveEditRevertAndTheRedrawOrder) {
  editor_->saveColors();
  const QVariant saved = scheme().dictionary(S::kTableColorDict).value("fill");
  well("tableFill")->choose(Qt::magenta);
  EXPECT_EQ(scheme().dictionary(S::kTableColorDict).value("fill").value<QColor>(),
            QColor(Qt::magenta));

  QStringList posted;
  const QStringList names{"QKWMCRedrawWindowsNotification", "QKRedrawTablesNotification",
                          "QKRedrawLabelsNotification",     "QKRedrawLevelsNotification",
                          "QKRedrawPopUpsNotification",     "QKRedrawBeziersNotification",
                          "QKRedrawFXNotification",         "QKRedrawPluginsNotification"};
  for (const QString& name : names)
    NotificationCenter::defaultCenter().addObserver(
        &posted, name, nullptr, [&posted, name](const Notification&) { posted << name; });
  editor_->revertColors();
  NotificationCenter::defaultCenter().removeObserver(&posted);
  EXPECT_EQ(posted, names);
  EXPECT_EQ(scheme().dictionary(S::kTableColorDict).value("fill"), saved);
  EXPECT_EQ(well("tableFill")->color(), saved.value<QColor>());
  // All ten groups were stored.
  EXPECT_EQ(ColorThemeStore::stored()->size(), 10);
}

// A stored theme lacking groups and entries leaves them as they are, in
// the managers' groups too.
TEST_F(ColorThemes, RevertMergesAThemeThatLacksEntries) {
  const QVariantMap buttonsBefore = buttons_.appearanceDict();
  const QVariantMap tablesBefore = scheme().dictionary(S::kTableColorDict);
  const QVariantMap partial{
      {S::kTableColorDict, QVariantMap{{"fill", QColor(Qt::blue)}}},
      {S::kButtonColorDict,
       QVariantMap{{"selected",
                    QVariantMap{{"sync", QVariantMap{{"HLM", QVariantMap{{"radius", 9.0}}}}}}}}}};
  UserDefaults::standard().setValue(ColorThemeStore::kDefaultsKey, KeyedArchive::archive(partial));
  editor_->revertColors();
  EXPECT_EQ(changedPaths(tablesBefore, scheme().dictionary(S::kTableColorDict)),
            QStringList{"fill"});
  EXPECT_EQ(changedPaths(buttonsBefore, buttons_.appearanceDict()),
            QStringList{"selected/sync/HLM/radius"});
}

TEST_F(ColorThemes, ExportedThemesStayInTheirFolderAndChooseBackTheSameTree) {
  editor_->exportNameField()->clear();
  editor_->exportTheme();
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, "didn't enter title");
  EXPECT_TRUE(ColorThemeStore::themeNames().isEmpty());

  const QString folder = Paths::userDataDir() + "/themes";
  for (const QString& name :
       {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("Dark")}) {
    SCOPED_TRACE(name.toStdString());
    editor_->exportNameField()->setText(name);
    editor_->exportTheme();
    editor_->exportTheme();  // again: the file is replaced, the name listed once
    const QString path = ColorThemeStore::themePath(name);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(folder).absoluteFilePath());
  }
  EXPECT_EQ(ColorThemeStore::themeNames(), (QStringList{"..", "a/b", "Dark"}));
  EXPECT_EQ(editor_->themePopUp()->count(), 3);
  EXPECT_EQ(editor_->altThemePopUp()->count(), 3);

  const QVariant exported = UserDefaults::standard().value(ColorThemeStore::kDefaultsKey);
  well("fxFill")->choose(Qt::cyan);
  editor_->saveColors();
  editor_->chooseTheme("a/b");
  EXPECT_EQ(editor_->exportNameField()->text(), "a/b");
  EXPECT_EQ(UserDefaults::standard().value(ColorThemeStore::kDefaultsKey), exported);
  EXPECT_NE(scheme().dictionary(S::kFxColorDict).value("fill").value<QColor>(), QColor(Qt::cyan));
}

TEST_F(ColorThemes, AFileThatIsNoThemeIsRefusedWithItsReason) {
  editor_->saveColors();
  const QVariant before = UserDefaults::standard().value(ColorThemeStore::kDefaultsKey);
  const QString folder = Paths::userNamedFolder("themes");
  AtomicFile::write(folder + "/Broken.zaphcolors", "not a property list");
  AtomicFile::write(folder + "/Flat.zaphcolors",
                    "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>fxColorDict</key>"
                    "<string>red</string></dict></plist>");
  LogCapture log;
  for (const char* name : {"Broken", "Flat"}) {
    Alert::clearRecorded();
    editor_->chooseTheme(name);
    ASSERT_EQ(Alert::recorded().size(), 1u) << name;
    EXPECT_TRUE(Alert::recorded()[0].message.contains(name)) << name;
    EXPECT_EQ(UserDefaults::standard().value(ColorThemeStore::kDefaultsKey), before);
  }
  EXPECT_TRUE(Alert::recorded()[0].message.contains("fxColorDict"));
}

TEST_F(ColorThemes, TheSourceDumpHasOneSectionPerGroup) {
  const QVariantMap theme{{S::kFxColorDict, QVariantMap{{"fill", QColor(255, 0, 0)}}},
                          {S::kTableColorDict, QVariantMap{{"strokeWidth", 1.5}}}};
  const QString text = ColorThemeStore::dumpText(theme);
  EXPECT_TRUE(text.startsWith("-------------- fxColorDict\n\n"));
  EXPECT_EQ(text.count("--------------"), 2);
  EXPECT_EQ(text.count(";\n\n\n\n"), 2);
  EXPECT_TRUE(text.endsWith(";\n\n\n\n"));
  EXPECT_LT(text.indexOf("fxColorDict"), text.indexOf("tableColorDict"));

  UserDefaults::standard().setValue(ColorThemeStore::kDefaultsKey, KeyedArchive::archive(theme));
  editor_->exportNameField()->setText("dump");
  editor_->rawExportTheme();
  QFile file(Paths::userDataDir() + "/themes/dump.srccolors");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains("-------------- fxColorDict"));
}

struct RouteCase {
  const char* control;
  std::vector<const char*> checked;  // selectors switched on
  int buttonState;
  const char* group;
  const char* path;  // the one entry that changes
};

TEST_F(ColorThemes, EachControlWritesTheOneEntryItShows) {
  const RouteCase cases[] = {
      {"buttonFill", {}, 1, "buttonColorDict", "unselected/unsync/non-HLM/transitionFillColor"},
      {"buttonStroke",
       {"buttonSelected", "buttonHLM"},
       2,
       "buttonColorDict",
       "selected/unsync/HLM/onStrokeColor"},
      {"buttonText",
       {"buttonSynced"},
       0,
       "buttonColorDict",
       "unselected/sync/non-HLM/offFontAttribs/NSColor"},
      {"sliderEnv",
       {"sliderSelected"},
       0,
       "sliderColorDict",
       "selected/unsync/non-HLM/QKSliderEnvColor"},
      {"sliderEnvTxt",
       {},
       0,
       "sliderColorDict",
       "unselected/unsync/non-HLM/QKSliderEnvTextAttribs/NSColor"},
      {"windowTitlebar", {"windowLocked"}, 0, "winColorDict", "locked/titleBar"},
      {"windowFontColor", {}, 0, "winColorDict", "unlocked/titleTextAttribs/NSColor"},
      {"tableBG", {}, 0, "tableColorDict", "highlight"},
      {"textColor", {}, 0, "labelColorDict", "NSColor"},
      {"titleBarLvlBar", {}, 0, "levelViewColorDict", "titleBarLevelView/levelColor"},
      {"popUpTextColor", {}, 0, "popUpColorDict", "fontAttribs/NSColor"},
      {"bezierDivisionColor", {}, 0, "bezierColorDict", "divisionColor"},
      {"fxStroke", {}, 0, "fxColorDict", "stroke"},
      {"mbCellQueued", {}, 0, "pluginColorDict", "MediaBin/cellQueuedColor"},
      {"ssTimeColor", {}, 0, "pluginColorDict", "StepSequencer/timeColor"},
  };
  const QColor odd(12, 34, 56, 78);
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.control);
    for (const char* selector : {"buttonSelected", "buttonSynced", "buttonHLM", "windowLocked",
                                 "sliderSelected", "sliderSynced", "sliderHLM"})
      check(selector, false);
    for (const char* selector : c.checked) check(selector, true);
    qobject_cast<QComboBox*>(editor_->controlNamed("buttonState"))->setCurrentIndex(c.buttonState);
    const QVariantMap before = group(c.group);
    ASSERT_TRUE(well(c.control));
    well(c.control)->choose(odd);
    EXPECT_EQ(changedPaths(before, group(c.group)), QStringList{c.path});
    // Switching a selector shows the other style without changing anything.
    const QVariantMap after = group(c.group);
    check("buttonSelected",
          !qobject_cast<QCheckBox*>(editor_->controlNamed("buttonSelected"))->isChecked());
    EXPECT_EQ(group(c.group), after);
  }
}

TEST_F(ColorThemes, AFontThatIsNotInstalledChangesNothing) {
  struct FontCase {
    const char* field;
    const char* slider;
    const char* group;
    bool labelFollows;
  };
  const FontCase cases[] = {{"buttonFontName", "buttonFontSize", "buttonColorDict", true},
                            {"fxFontName", "fxFontSize", "fxColorDict", true},
                            {"tableFont", "tableFontSize", "tableColorDict", false},
                            {"textFont", "textFontSize", "labelColorDict", false}};
  for (const FontCase& c : cases) {
    SCOPED_TRACE(c.field);
    auto* field = qobject_cast<QLineEdit*>(editor_->controlNamed(c.field));
    auto* slider = qobject_cast<QSlider*>(editor_->controlNamed(c.slider));
    const QVariantMap before = group(c.group);
    const QString label = editor_->sizeLabel(c.slider)->text();
    field->setText("No Such Font Family Anywhere");
    editor_->itemUsed(c.field);
    slider->setValue(slider->value() == 30 ? 31 : 30);
    EXPECT_EQ(group(c.group), before);
    EXPECT_EQ(editor_->sizeLabel(c.slider)->text() != label, c.labelFollows);
  }
  // An installed family is taken at the slider's size.
  const QString family = QFontDatabase::families().value(0);
  ASSERT_FALSE(family.isEmpty());
  auto* field = qobject_cast<QLineEdit*>(editor_->controlNamed("fxFontName"));
  field->setText(family);
  editor_->itemUsed("fxFontName");
  const QFont font = scheme()
                         .dictionary(S::kFxColorDict)
                         .value("titleFontAttribs")
                         .toMap()
                         .value(S::kFontAttribute)
                         .value<QFont>();
  EXPECT_EQ(font.family(), family);
  EXPECT_EQ(font.pixelSize(), qobject_cast<QSlider*>(editor_->controlNamed("fxFontSize"))->value());
}

TEST_F(ColorThemes, UseTheseCopiesTheShownStyle) {
  // Sliders: the whole leaf, text attributes included.
  well("sliderSlider")->choose(QColor(1, 2, 3));
  editor_->useThese("sliderUseTheseHLM");
  QVariantMap sliders = sliders_.sliderColorDict();
  EXPECT_EQ(sliders["unselected"].toMap()["unsync"].toMap()["HLM"],
            sliders["unselected"].toMap()["unsync"].toMap()["non-HLM"]);

  // Buttons across a level: only the shown state's fill, stroke, text colour
  // and font; the radius stays.
  auto leaf = [this](const char* selected, const char* hlm) {
    return buttons_.appearanceDict()[selected].toMap()["unsync"].toMap()[hlm].toMap();
  };
  qobject_cast<QSlider*>(editor_->controlNamed("buttonRounding"))->setValue(17);
  well("buttonFill")->choose(QColor(9, 8, 7));
  const QVariantMap target = leaf("selected", "non-HLM");
  editor_->useThese("buttonUseTheseSelected");
  const QVariantMap copied = leaf("selected", "non-HLM");
  const QVariantMap source = leaf("unselected", "non-HLM");
  EXPECT_EQ(copied["offFillColor"].value<QColor>(), QColor(9, 8, 7));
  EXPECT_EQ(copied["offStrokeColor"], source["offStrokeColor"]);
  EXPECT_EQ(copied["offFontAttribs"].toMap()[S::kForegroundColorAttribute],
            source["offFontAttribs"].toMap()[S::kForegroundColorAttribute]);
  for (const char* kept : {"radius", "strokeWidth", "onFillColor", "transitionStrokeColor"})
    EXPECT_EQ(copied[kept], target[kept]) << kept;
  EXPECT_EQ(source["radius"].toDouble(), 17.0);

  // Buttons onto the shown state: unchanged; onto another: that state.
  const QVariantMap shown = leaf("unselected", "non-HLM");
  editor_->useThese("buttonUseTheseStateOff");
  EXPECT_EQ(leaf("unselected", "non-HLM"), shown);
  editor_->useThese("buttonUseTheseStateOn");
  EXPECT_EQ(leaf("unselected", "non-HLM")["onFillColor"].value<QColor>(), QColor(9, 8, 7));

  // Windows: the locked look becomes the unlocked one too.
  check("windowLocked", true);
  well("windowFill")->choose(QColor(200, 100, 0));
  editor_->useThese("windowUseThese");
  const QVariantMap windows = scheme().dictionary(S::kWinColorDict);
  EXPECT_EQ(windows["unlocked"], windows["locked"]);
}

TEST_F(ColorThemes, APaletteTakesTheChosenThemesTitleBar) {
  editor_->resize(720, 560);
  editor_->show();
  saveScreenshot(editor_->grab().toImage(), "colors-pane");
  editor_->userView()->resize(360, 120);
  editor_->userView()->show();

  const QColor magenta(255, 0, 255);
  for (bool locked : {true, false}) {
    check("windowLocked", locked);
    well("windowTitlebar")->choose(magenta);
  }
  editor_->exportNameField()->setText("Magenta");
  editor_->exportTheme();
  well("windowTitlebar")->choose(QColor(0, 80, 0));

  QKWindow palette(QRectF(100, 400, 260, 160));
  palette.setContentView(new QKWindowContentView);
  palette.setWindowTitle(QStringLiteral("Palette"));
  palette.show();
  palette.awakeFromNib();
  editor_->populateThemePopUpButton();
  const int item = editor_->altThemePopUp()->findText("Magenta");
  ASSERT_GE(item, 0);
  editor_->altThemePopUp()->activated(item);  // as the user's pop-up chooses it
  QCoreApplication::processEvents();
  const QImage image = palette.contentView()->grab().toImage();
  saveScreenshot(image, "palette-in-chosen-theme");
  saveScreenshot(editor_->userView()->grab().toImage(), "colors-user-pane");
  const QColor probe = image.pixelColor(250, 8);  // the title bar right of the title
  EXPECT_EQ(probe, magenta) << probe.name().toStdString();
}

}  // namespace
