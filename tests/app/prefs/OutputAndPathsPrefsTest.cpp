#include "app/prefs/CompositorPrefsController.h"
#include "app/prefs/CustomPathsPrefsController.h"
#include "app/prefs/FXPrefsController.h"
#include "app/prefs/MovieSourcePrefsController.h"
#include "app/prefs/PrefsController.h"
#include "app/prefs/SliderPrefsController.h"
#include "app/sources/MovieSource.h"
#include "framework/controls/QKSliderManager.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/prefs/FakePrefsHost.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

const QStringList kRescan = {"refreshQCFXLists", "prepareFontSynthPathsDict",
                             "prepareImageSourcePathsDict", "populateCompFilterTypes",
                             "reloadPluginClasses"};

class PanePrefs : public ::testing::Test {
 protected:
  void SetUp() override { UserDefaults::standard().resetForTesting(); }
  void TearDown() override { UserDefaults::standard().resetForTesting(); }
  static QVariant stored(const QString& key) { return UserDefaults::standard().value(key); }
  static void store(const QString& key, const QVariant& value) {
    UserDefaults::standard().setValue(key, value);
  }

  FakePrefsHost host;
  PrefsController prefs{&host};
};

// --- Output -----------------------------------------------------------------------------------

TEST_F(PanePrefs, OutputFirstStartWritesAndAppliesTheDefaults) {
  prefs.compositorPrefs()->awakeFromNib();
  EXPECT_EQ(stored("renderWidth").toLongLong(), 640);
  EXPECT_EQ(stored("renderHeight").toLongLong(), 480);
  EXPECT_EQ(stored("cpSwapInterval").toLongLong(), 1);
  EXPECT_EQ(stored("canvasPresentationMode").toLongLong(), 0);
  EXPECT_EQ(stored("constrainOutputWindow").toLongLong(), 1);
  EXPECT_EQ(host.canvasSize, QSizeF(640, 480));
  EXPECT_EQ(host.swapInterval, 1);
  EXPECT_EQ(host.presentationMode, 0);
  EXPECT_EQ(host.constrained, true);
  EXPECT_FALSE(prefs.compositorPrefs()->overdriveButton()->isChecked());
  EXPECT_EQ(prefs.compositorPrefs()->renderWidthField()->text(), "640");
  // The display chooser hands the output view its screens.
  EXPECT_FALSE(host.fullscreenFlags.isEmpty());
}

struct SwapCase {
  const char* name;
  QVariant stored;  // invalid: absent
  long applied;
  bool overdriveShown;
};

void PrintTo(const SwapCase& c, std::ostream* os) { *os << c.name; }

class SwapIntervals : public PanePrefs, public ::testing::WithParamInterface<SwapCase> {};

// Any other stored interval is applied as it is, the box left as it was
// (ticked beforehand here).
TEST_P(SwapIntervals, AreAppliedAndShownInTheOverdriveBox) {
  const SwapCase& c = GetParam();
  if (c.stored.isValid()) store("cpSwapInterval", c.stored);
  CompositorPrefsController* pane = prefs.compositorPrefs();
  pane->overdriveButton()->setChecked(true);
  pane->awakeFromNib();
  EXPECT_EQ(host.swapInterval, c.applied);
  EXPECT_EQ(pane->overdriveButton()->isChecked(), c.overdriveShown);
  EXPECT_EQ(stored("cpSwapInterval").toLongLong(), c.stored.isValid() ? c.stored.toLongLong() : 1);
}

INSTANTIATE_TEST_SUITE_P(PanePrefs, SwapIntervals,
                         ::testing::Values(SwapCase{"Absent", QVariant(), 1, false},
                                           SwapCase{"Zero", 0, 0, true},
                                           SwapCase{"One", 1, 1, false},
                                           SwapCase{"Two", 2, 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PanePrefs, OverdriveAndConstraintBoxesStoreAndApply) {
  store("constrainOutputWindow", 2);
  CompositorPrefsController* pane = prefs.compositorPrefs();
  pane->awakeFromNib();
  EXPECT_EQ(host.constrained, false) << "only 1 constrains";
  EXPECT_TRUE(pane->constrainWindowButton()->isChecked());
  pane->constrainWindowButton()->click();
  EXPECT_EQ(stored("constrainOutputWindow").toLongLong(), 0);
  pane->constrainWindowButton()->click();
  EXPECT_EQ(stored("constrainOutputWindow").toLongLong(), 1);
  EXPECT_EQ(host.constrained, true);

  pane->overdriveButton()->click();
  EXPECT_EQ(stored("cpSwapInterval").toLongLong(), 0);
  EXPECT_EQ(host.swapInterval, 0);
  pane->overdriveButton()->click();
  EXPECT_EQ(stored("cpSwapInterval").toLongLong(), 1);

  pane->canvasPresentationMatrix()->button(2)->click();
  EXPECT_EQ(stored("canvasPresentationMode").toLongLong(), 2);
  EXPECT_EQ(host.presentationMode, 2);
}

struct CanvasEntry {
  const char* name;
  const char* width;
  const char* height;
  bool accepted;
};

void PrintTo(const CanvasEntry& c, std::ostream* os) { *os << c.name; }

class CanvasEntries : public PanePrefs, public ::testing::WithParamInterface<CanvasEntry> {};

// Both sides are stored and applied together; a side out of 1…8192 or not
// a number changes nothing and the stored size shows again.
TEST_P(CanvasEntries, AreAppliedAtOnceOrRefusedWithTheStoredSizeShown) {
  const CanvasEntry& c = GetParam();
  CompositorPrefsController* pane = prefs.compositorPrefs();
  pane->awakeFromNib();
  host.calls.clear();
  LogCapture log;
  pane->renderWidthField()->setText(QLatin1String(c.width));
  pane->renderHeightField()->setText(QLatin1String(c.height));
  pane->renderSizeFieldChanged();
  if (c.accepted) {
    const QSizeF size(QString(c.width).toDouble(), QString(c.height).toDouble());
    EXPECT_EQ(stored("renderWidth").toLongLong(), qint64(size.width()));
    EXPECT_EQ(stored("renderHeight").toLongLong(), qint64(size.height()));
    EXPECT_EQ(host.canvasSize, size);
  } else {
    EXPECT_EQ(stored("renderWidth").toLongLong(), 640);
    EXPECT_EQ(stored("renderHeight").toLongLong(), 480);
    EXPECT_FALSE(host.calls.contains("setCanvasSize"));
    EXPECT_EQ(pane->renderWidthField()->text(), "640");
    EXPECT_EQ(pane->renderHeightField()->text(), "480");
    EXPECT_TRUE(log.contains("\t\terr: Canvas"));
  }
}

INSTANTIATE_TEST_SUITE_P(PanePrefs, CanvasEntries,
                         ::testing::Values(CanvasEntry{"Wider", "1280", "480", true},
                                           CanvasEntry{"Largest", "8192", "8192", true},
                                           CanvasEntry{"Smallest", "1", "1", true},
                                           CanvasEntry{"ZeroWidth", "0", "480", false},
                                           CanvasEntry{"NegativeHeight", "640", "-1", false},
                                           CanvasEntry{"TooTall", "640", "8193", false},
                                           CanvasEntry{"NotANumber", "wide", "480", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Sliders and FX ---------------------------------------------------------------------------

TEST_F(PanePrefs, SlidersPushStoredSoftTakeoverIntoTheManagerAndStoreChanges) {
  QKSliderManager manager;
  host.sliders = &manager;
  const int modeBefore = manager.softTakeoverMode();
  store("toleranceSlider", 0.1);
  SliderPrefsController* pane = prefs.sliderPrefs();
  pane->awakeFromNib();
  EXPECT_EQ(manager.softTakeoverMode(), modeBefore) << "absent: the manager keeps its own";
  EXPECT_EQ(pane->radioMatrix()->checkedId(), modeBefore) << "and the pane shows it";
  EXPECT_FLOAT_EQ(manager.softTakeoverTolerance(), 0.1f);
  EXPECT_NEAR(SliderPrefsController::floatValue(pane->toleranceSlider(),
                                                SliderPrefsController::kMaxTolerance),
              0.1, 1e-3);

  pane->radioMatrix()->button(2)->click();
  EXPECT_EQ(manager.softTakeoverMode(), 2);
  EXPECT_EQ(stored("radioMatrix").toLongLong(), 2);
  pane->speedSlider()->setValue(500);
  EXPECT_FLOAT_EQ(manager.softTakeoverSpeed(), 0.1f);
  EXPECT_NEAR(stored("speedSlider").toDouble(), 0.1, 1e-6);

  host.sliders = nullptr;  // no manager: still stored
  pane->radioMatrix()->button(1)->click();
  EXPECT_EQ(stored("radioMatrix").toLongLong(), 1);
  EXPECT_EQ(manager.softTakeoverMode(), 2);
}

TEST_F(PanePrefs, FXSettingsStoreTheEnableDefaultAndRescanInOrder) {
  store("FXEnableDefault", 0);
  FXPrefsController* pane = prefs.fxPrefs();
  pane->awakeFromNib();
  EXPECT_FALSE(pane->FXEnabledButton()->isChecked());
  pane->FXEnabledButton()->click();
  EXPECT_EQ(stored("FXEnableDefault").toLongLong(), 1);
  pane->refreshFXListButton()->click();
  EXPECT_EQ(host.calls, kRescan);
  pane->refreshFXListButton()->click();
  EXPECT_EQ(host.calls, kRescan + kRescan);
}

// --- User paths -------------------------------------------------------------------------------

TEST_F(PanePrefs, UserPathsFirstStartWritesThePathsAndMakesTheFolders) {
  CustomPathsPrefsController* pane = prefs.customPathsPrefs();
  pane->awakeFromNib();
  EXPECT_EQ(stored("QCUserDirectoryPath").toString(), "~/.local/share/ZAPH/");
  EXPECT_EQ(stored("UserVideoCaptureDirectoryPath").toString(), "~/Videos/Recordings/");
  const QString user = QDir::homePath() + "/.local/share/ZAPH";
  for (const QString& name : CustomPathsPrefsController::subfolderNames())
    EXPECT_TRUE(QFileInfo(user + "/" + name).isDir()) << name.toStdString();
  EXPECT_TRUE(QFileInfo(QDir::homePath() + "/Videos/Recordings").isDir());
  EXPECT_EQ(pane->qcUserDirectoryPathField()->text(), "~/.local/share/ZAPH/");
  EXPECT_EQ(pane->liveRecordingPathField()->text(), "~/Videos/Recordings/");
}

TEST_F(PanePrefs, FoldersAreMadeWithTheirParentsAndFailuresAreLogged) {
  store("QCUserDirectoryPath", "~/a/b/c/ZAPH");
  QFile blocker(QDir::homePath() + "/file");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  store("UserVideoCaptureDirectoryPath", "~/file/Recordings");
  LogCapture log;
  CustomPathsPrefsController* pane = prefs.customPathsPrefs();
  pane->awakeFromNib();
  EXPECT_TRUE(QFileInfo(QDir::homePath() + "/a/b/c/ZAPH/qcCompModes").isDir());
  EXPECT_TRUE(
      log.contains("\t\terr: failed to create directory " + QDir::homePath() + "/file/Recordings"));
  EXPECT_EQ(stored("UserVideoCaptureDirectoryPath").toString(), "~/file/Recordings");

  // A user folder that names a file: no subfolder, the field left alone.
  PrefsController other(&host);
  store("QCUserDirectoryPath", "~/file");
  log.clear();
  other.customPathsPrefs()->awakeFromNib();
  EXPECT_TRUE(other.customPathsPrefs()->qcUserDirectoryPathField()->text().isEmpty());
  EXPECT_TRUE(log.contains("\t\terr: failed to create directory " + QDir::homePath() + "/file"));
}

TEST_F(PanePrefs, ChangingTheUserFolderRescansAndARecordingsFolderIsMadeExpanded) {
  CustomPathsPrefsController* pane = prefs.customPathsPrefs();
  pane->awakeFromNib();
  host.calls.clear();
  pane->qcUserDirectoryPathField()->setText("~/Elsewhere");
  pane->textFieldUsed(pane->qcUserDirectoryPathField());
  EXPECT_EQ(stored("QCUserDirectoryPath").toString(), "~/Elsewhere");
  EXPECT_EQ(host.calls, kRescan);
  EXPECT_FALSE(QFileInfo::exists(QDir::homePath() + "/Elsewhere")) << "made at the next start";

  pane->liveRecordingPathField()->setText("~/Takes/Tonight");
  pane->textFieldUsed(pane->liveRecordingPathField());
  EXPECT_EQ(stored("UserVideoCaptureDirectoryPath").toString(), "~/Takes/Tonight");
  EXPECT_TRUE(QFileInfo(QDir::homePath() + "/Takes/Tonight").isDir());
}

// --- Movie playback ---------------------------------------------------------------------------

TEST_F(PanePrefs, MovieLoopingIsOnWhenAbsentAndFollowsTheBox) {
  MovieSourcePrefsController* pane = prefs.movieSourcePrefs();
  MovieSource::setUseQTMovieLooping(false);
  pane->awakeFromNib();
  EXPECT_TRUE(pane->useQTMovieLoopingButton()->isChecked());
  EXPECT_TRUE(MovieSource::useQTMovieLooping());
  EXPECT_FALSE(stored("useQTMovieLooping").isValid()) << "nothing is written";
  pane->useQTMovieLoopingButton()->click();
  EXPECT_EQ(stored("useQTMovieLooping").toLongLong(), 0);
  EXPECT_FALSE(MovieSource::useQTMovieLooping());

  PrefsController again(&host);
  again.movieSourcePrefs()->awakeFromNib();
  EXPECT_FALSE(again.movieSourcePrefs()->useQTMovieLoopingButton()->isChecked());
  EXPECT_FALSE(MovieSource::useQTMovieLooping());
}

}  // namespace
