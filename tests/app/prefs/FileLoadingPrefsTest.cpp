#include "app/inspector/MICheckBox.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/prefs/FileLoadingPrefsController.h"
#include "app/prefs/PrefsController.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/prefs/FakePrefsHost.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class FileLoadingPrefs : public ::testing::Test {
 protected:
  void SetUp() override { UserDefaults::standard().resetForTesting(); }
  void TearDown() override { UserDefaults::standard().resetForTesting(); }

  // The pane as ZAPH makes it, woken with the host's style menus.
  FileLoadingPrefsController& wake() {
    prefs = std::make_unique<PrefsController>(&host);
    pane = prefs->fileLoadingPrefs();
    pane->awakeFromNib();
    return *pane;
  }
  void enter(const char* fieldName, const QString& text) {
    QLineEdit* field = pane->field(QLatin1String(fieldName));
    field->setText(text);
    pane->parameterChanged(field);
  }
  static QVariant stored(const char* key) {
    return UserDefaults::standard().value(QLatin1String(key));
  }
  static void store(const char* key, const QVariant& value) {
    UserDefaults::standard().setValue(QLatin1String(key), value);
  }

  FakePrefsHost host;
  std::unique_ptr<PrefsController> prefs;
  FileLoadingPrefsController* pane = nullptr;
};

// Waking on empty defaults writes all 37 keys; a key present with the
// right type keeps its value, one of the wrong type counts as absent.
TEST_F(FileLoadingPrefs, FirstStartWritesEveryAbsentKeyAndKeepsPresentOnes) {
  host.fontSynths = {"Plain", "DefaultFontsynth"};
  host.imageSources = {"<Built-In Player>", "Ken Burns"};
  store("qtzHorResDefault", 1024);
  store("useMovieTimeDefault", 1);
  store("urlStringDefault", "https://example.org/");
  store("loopModeDefault", "loop");  // not a number: absent
  wake();
  const std::vector<std::pair<const char*, QVariant>> expected = {
      {"useMovieTimeDefault", 1},
      {"useMovieSpeedDefault", 0},
      {"useMovieVolumeDefault", 0},
      {"useMovieLoopModeDefault", 0},
      {"doMoviePrerollDefault", 0},
      {"ramloadDefault", 0},
      {"ramloadAllDefault", 0},
      {"bpmSyncOnOffDefault", 0},
      {"useCustomResForQtzDefault", 1},
      {"useCustomResForTextDefault", 1},
      {"useCustomResForImageDefault", 1},
      {"qtAllowLiveUpdatingDefault", 1},
      {"qtzAllowLiveUpdatingDefault", 1},
      {"textAllowLiveUpdatingDefault", 1},
      {"imageAllowLiveUpdatingDefault", 1},
      {"loopModeDefault", 1},
      {"ramloadRangeDefault", 1},
      {"qtzHorResDefault", 1024},
      {"qtzVertResDefault", 480},
      {"textHorResDefault", 640},
      {"textVertResDefault", 480},
      {"textFileStyleNameDefault", "DefaultFontsynth"},
      {"loadThumbnailsForRemoteURLFilesDefault", 0},
      {"useCustomResForURLDefault", 1},
      {"urlHorResDefault", 640},
      {"urlVertResDefault", 480},
      {"urlStringDefault", "https://example.org/"},
      {"cacheImagesDefault", 0},
      {"maxImageCacheSizeDefault", 1280},
      {"imageHorResDefault", 640},
      {"imageVertResDefault", 480},
      {"imageFileStyleNameDefault", "<Built-In Player>"},
      {"useImageStyleDefault", 1},
      {"useTextStyleDefault", 1},
  };
  for (const auto& [key, value] : expected) {
    const QVariant found = stored(key);
    ASSERT_TRUE(found.isValid()) << key;
    if (value.typeId() == QMetaType::QString)
      EXPECT_EQ(found.toString(), value.toString()) << key;
    else
      EXPECT_EQ(found.toLongLong(), value.toLongLong()) << key;
  }
  for (const char* slider : {"timeSliderDefault", "speedSliderDefault", "volumeSliderDefault"})
    EXPECT_EQ(stored(slider).typeId(), QMetaType::QVariantMap) << slider;
  EXPECT_EQ(expected.size() + 3, 37u);
  // The controls show what is stored.
  EXPECT_EQ(pane->field("qtzHozResTextField")->text(), "1024");
  EXPECT_EQ(pane->checkBox("useTimeButton")->state(), 1);
  EXPECT_TRUE(pane->timeSlider()->isEnabled());
  EXPECT_FALSE(pane->speedSlider()->isEnabled());
  EXPECT_EQ(pane->loopModeControl()->selectedSegment(), 1);
  EXPECT_FALSE(pane->loopModeControl()->isEnabled());
  EXPECT_EQ(pane->textStylePopUpButton()->currentText(), "DefaultFontsynth");
}

TEST_F(FileLoadingPrefs, WithoutStyleCompositionsNoStyleKeyIsWrittenAndThePopUpsSayWhy) {
  LogCapture log;
  wake();
  EXPECT_FALSE(stored("textFileStyleNameDefault").isValid());
  EXPECT_FALSE(stored("imageFileStyleNameDefault").isValid());
  EXPECT_EQ(pane->textStylePopUpButton()->count(), 0);
  EXPECT_EQ(pane->textStylePopUpButton()->toolTip(),
            "There are no valid QTZ text sources in the fontsynths folder");
  EXPECT_TRUE(log.contains("\t\terr- user default fontsynth unspecified"));
  EXPECT_TRUE(log.contains("\t\terr- user default image source unspecified"));
}

struct GatedField {
  const char* name;
  const char* field;
  const char* gate;  // nullptr: none
  const char* key;
  const char* text;
  QVariant value;
};

void PrintTo(const GatedField& c, std::ostream* os) { *os << c.name; }

class GatedFields : public FileLoadingPrefs, public ::testing::WithParamInterface<GatedField> {};

// A value is stored only while its gate holds exactly 1; fields without a
// gate store at once.
TEST_P(GatedFields, StoreOnlyWhileTheirGateHoldsOne) {
  const GatedField& c = GetParam();
  wake();
  const QVariant before = stored(c.key);
  if (c.gate) {
    store(c.gate, 0);
    enter(c.field, QLatin1String(c.text));
    EXPECT_EQ(stored(c.key), before) << "gate 0";
    store(c.gate, 2);
    enter(c.field, QLatin1String(c.text));
    EXPECT_EQ(stored(c.key), before) << "gate 2";
    store(c.gate, 1);
  }
  enter(c.field, QLatin1String(c.text));
  if (c.value.typeId() == QMetaType::Double)
    EXPECT_DOUBLE_EQ(stored(c.key).toDouble(), c.value.toDouble());
  else
    EXPECT_EQ(stored(c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    FileLoadingPrefs, GatedFields,
    ::testing::Values(
        GatedField{"StartTime", "timeTextField", "useMovieTimeDefault", "startTimeDefault", "0.25",
                   0.25},
        GatedField{"Volume", "volumeTextField", "useMovieVolumeDefault", "volumeDefault", "0.5",
                   0.5},
        GatedField{"RamloadRange", "ramloadTextField", "ramloadDefault", "ramloadRangeDefault",
                   "30", qint64(30)},
        GatedField{"QtzWidth", "qtzHozResTextField", "useCustomResForQtzDefault",
                   "qtzHorResDefault", "800", qint64(800)},
        GatedField{"TextHeight", "textVertResTextField", "useCustomResForTextDefault",
                   "textVertResDefault", "8192", qint64(8192)},
        GatedField{"UrlWidth", "urlHozResTextField", "useCustomResForURLDefault",
                   "urlHorResDefault", "1", qint64(1)},
        GatedField{"ImageHeight", "imageVertResTextField", "useCustomResForImageDefault",
                   "imageVertResDefault", "720", qint64(720)},
        GatedField{"Tempo", "bpmTextField", nullptr, "bpmDefault", "120.9", qint64(120)},
        GatedField{"CacheSize", "maxImageCacheSizeTextField", nullptr, "maxImageCacheSizeDefault",
                   "2048", qint64(2048)},
        GatedField{"Address", "urlStringTextField", nullptr, "urlStringDefault",
                   "https://example.org/a", QStringLiteral("https://example.org/a")}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedText {
  const char* name;
  const char* field;
  const char* key;
  const char* text;
};

void PrintTo(const RefusedText& c, std::ostream* os) { *os << c.name; }

class RefusedTexts : public FileLoadingPrefs, public ::testing::WithParamInterface<RefusedText> {};

// Text that is not a number, or a number out of the field's bounds, is
// refused with a logged reason; the stored value shows again.
TEST_P(RefusedTexts, AreNotStoredAndTheStoredValueShowsAgain) {
  const RefusedText& c = GetParam();
  wake();
  for (const char* gate : {"ramloadDefault", "useCustomResForQtzDefault", "useMovieSpeedDefault"})
    store(gate, 1);
  store(c.key, 77);
  pane->updatePrefsUI();
  const QString shown = pane->field(QLatin1String(c.field))->text();
  LogCapture log;
  enter(c.field, QLatin1String(c.text));
  EXPECT_EQ(stored(c.key).toLongLong(), 77);
  EXPECT_EQ(pane->field(QLatin1String(c.field))->text(), shown);
  ASSERT_EQ(log.lines().size(), 1);
  EXPECT_TRUE(log.lines().first().startsWith("\t\terr: ")) << log.lines().first().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    FileLoadingPrefs, RefusedTexts,
    ::testing::Values(
        RefusedText{"WidthZero", "qtzHozResTextField", "qtzHorResDefault", "0"},
        RefusedText{"WidthNegative", "qtzHozResTextField", "qtzHorResDefault", "-640"},
        RefusedText{"WidthTooLarge", "qtzHozResTextField", "qtzHorResDefault", "8193"},
        RefusedText{"WidthText", "qtzHozResTextField", "qtzHorResDefault", "abc"},
        RefusedText{"CacheZero", "maxImageCacheSizeTextField", "maxImageCacheSizeDefault", "0"},
        RefusedText{"FramesZero", "ramloadTextField", "ramloadRangeDefault", "0"},
        RefusedText{"TempoText", "bpmTextField", "bpmDefault", "abc"},
        RefusedText{"TempoBelowOne", "bpmTextField", "bpmDefault", "0.5"},
        RefusedText{"TempoNegative", "bpmTextField", "bpmDefault", "-120"},
        RefusedText{"SpeedText", "speedTextField", "speedDefault", "fast"}),
    [](const auto& info) { return std::string(info.param.name); });

// Typed into the speed field, a speed unbinds the slider and moves it.
TEST_F(FileLoadingPrefs, ASpeedTypedUnbindsTheSliderSetsItAndIsStoredThroughItsGate) {
  wake();
  store("useMovieSpeedDefault", 1);
  pane->speedSlider()->setSyncFlag(true);
  QLineEdit* field = pane->field("speedTextField");
  field->setEnabled(true);
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, "2.5");
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_FALSE(pane->speedSlider()->syncFlag());
  EXPECT_NEAR(pane->speedSlider()->rangedValue(), 2.5, 1e-3);
  EXPECT_DOUBLE_EQ(stored("speedDefault").toDouble(), 2.5);
}

// A slider bound to a data source stores nothing when it moves; a change of
// its marks or binding still stores its snapshot.
TEST_F(FileLoadingPrefs, ABoundSliderStoresOnlyOnBindingMarkOrEnvelopeChanges) {
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKSliderManager manager;
  manager.setDataSourceController(&dsc);
  dsc.setSliderManager(&manager);
  wake();  // its sliders register with the manager
  store("useMovieVolumeDefault", 1);
  const KeyPath path{"OSC", "/volume"};
  ASSERT_TRUE(dsc.setDataSource(DSFloatInfrequent::createWithName(path.last()), path));
  QKSliderControl* slider = pane->volumeSlider();
  ASSERT_TRUE(slider->useThisSource(path));
  slider->setSyncFlag(true);
  ASSERT_TRUE(slider->syncFlag());
  UserDefaults::standard().remove("volumeSliderDefault");
  pane->parameterChanged(slider);
  EXPECT_FALSE(stored("volumeSliderDefault").isValid());

  slider->addInterestingPoint(0.3f);
  ASSERT_TRUE(stored("volumeSliderDefault").isValid());
  UserDefaults::standard().remove("volumeSliderDefault");
  slider->setMaxEnv(0.8f);
  EXPECT_TRUE(stored("volumeSliderDefault").isValid());
  UserDefaults::standard().remove("volumeSliderDefault");
  slider->setSyncFlag(false);
  EXPECT_TRUE(stored("volumeSliderDefault").isValid());

  // Unbound, a move stores and shows the ranged value.
  UserDefaults::standard().remove("volumeSliderDefault");
  slider->setValueWithRangedValue(0.25f, false);
  pane->parameterChanged(slider);
  EXPECT_TRUE(stored("volumeSliderDefault").isValid());
  EXPECT_EQ(pane->field("volumeTextField")->text(), "0.250000");
  prefs.reset();  // its sliders go before the manager
  dsc.setSliderManager(nullptr);
}

// Ticking a "use" box writes 1 and then what its control shows; a mixed
// box becomes on.
TEST_F(FileLoadingPrefs, TickingAUseBoxWritesItAndThenTheControlsValue) {
  wake();
  UserDefaults::standard().remove("timeSliderDefault");
  pane->timeSlider()->setValueWithRangedValue(0.6f, false);
  pane->parameterChanged(pane->timeSlider());
  EXPECT_FALSE(stored("timeSliderDefault").isValid()) << "the gate is 0";
  EXPECT_EQ(pane->field("timeTextField")->text(), "0.600000");

  MICheckBox* useTime = pane->checkBox("useTimeButton");
  useTime->setState(-1);
  useTime->click();
  EXPECT_EQ(useTime->state(), 1);
  EXPECT_EQ(stored("useMovieTimeDefault").toLongLong(), 1);
  EXPECT_TRUE(pane->timeSlider()->isEnabled());
  EXPECT_TRUE(pane->field("timeTextField")->isEnabled());
  ASSERT_TRUE(stored("timeSliderDefault").isValid());
  QKSliderControl probe;
  probe.loadSnapshot(stored("timeSliderDefault").toMap());
  EXPECT_NEAR(probe.rangedValue(), 0.6, 1e-4);

  useTime->click();
  EXPECT_EQ(stored("useMovieTimeDefault").toLongLong(), 0);
  EXPECT_FALSE(pane->timeSlider()->isEnabled());
}

// RAM loading enables "All" and the frame count; with "All" on the count
// stays unselectable when loading is switched on again.
TEST_F(FileLoadingPrefs, RamloadEnablesAllAndTheFrameCountUnlessAllIsOn) {
  wake();
  MICheckBox* ramload = pane->checkBox("ramloadButton");
  MICheckBox* all = pane->checkBox("ramloadAllButton");
  QLineEdit* frames = pane->field("ramloadTextField");
  EXPECT_FALSE(all->isEnabled());
  EXPECT_FALSE(frames->isEnabled());
  ramload->click();
  EXPECT_TRUE(all->isEnabled());
  EXPECT_TRUE(frames->isEnabled());
  EXPECT_EQ(stored("ramloadDefault").toLongLong(), 1);
  EXPECT_EQ(stored("ramloadRangeDefault").toLongLong(), 1);
  all->click();
  EXPECT_EQ(stored("ramloadAllDefault").toLongLong(), 1);
  ramload->click();
  EXPECT_FALSE(all->isEnabled());
  EXPECT_FALSE(frames->isEnabled());
  ramload->click();
  EXPECT_TRUE(all->isEnabled());
  EXPECT_FALSE(frames->isEnabled()) << "all frames are loaded";
  all->click();
  EXPECT_TRUE(frames->isEnabled());
}

TEST_F(FileLoadingPrefs, SwitchingRemoteThumbnailsOnAsksWebFilesToRemakeThem) {
  wake();
  NotificationCounter reloads(QKURLFile::kReloadThumbnailsNotification);
  MICheckBox* thumbs = pane->checkBox("createThumbsForRemoteFilesButton");
  thumbs->click();
  EXPECT_EQ(reloads.count(), 1);
  EXPECT_EQ(stored("loadThumbnailsForRemoteURLFilesDefault").toLongLong(), 1);
  thumbs->click();
  EXPECT_EQ(reloads.count(), 1);
  EXPECT_EQ(stored("loadThumbnailsForRemoteURLFilesDefault").toLongLong(), 0);
}

TEST_F(FileLoadingPrefs, AStyleChosenIsStoredWithoutAGate) {
  host.imageSources = {"<Built-In Player>", "Ken Burns"};
  wake();
  store("useImageStyleDefault", 0);
  QComboBox* popUp = pane->imageStylePopUpButton();
  popUp->setCurrentIndex(1);
  pane->parameterChanged(popUp);
  EXPECT_EQ(stored("imageFileStyleNameDefault").toString(), "Ken Burns");
}

// The window on its first pane, as a performer opens it.
TEST_F(FileLoadingPrefs, TheWindowOpensOnFileLoading) {
  host.fontSynths = {"DefaultFontsynth"};
  host.imageSources = {"<Built-In Player>"};
  wake();
  prefs->awakePanes();
  prefs->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(prefs.get()));
  EXPECT_EQ(prefs->shownPane(), pane);
  EXPECT_TRUE(pane->isVisible());
  const QImage shot = prefs->grab().toImage();
  EXPECT_FALSE(saveScreenshot(shot, "preferences-file-loading").isEmpty());
}

}  // namespace
