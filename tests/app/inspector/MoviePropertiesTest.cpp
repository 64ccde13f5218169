// The movie properties pane inside a real inspector: the summary of
// several files, where each edit goes, the RAM-load range, tempo and
// length, and the apply.
#include "app/inspector/MICheckBox.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/inspector/QKMIMoviePropertiesController.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <limits>

namespace {

namespace P = MovieProps;
using Check = QKMIMoviePropertiesController::Check;
using Sender = QKMIMoviePropertiesController::Sender;

struct PaneFixture : ::testing::Test {
  PaneFixture() : inspector(&host) {
    inspector.awakeFromNib();
    pane = inspector.moviePropertiesController();
  }
  // A movie entry (no movie opened) whose active range is 10 s of 20 s.
  std::shared_ptr<QKFile> movie(const char* name, QVariantMap props = {}) {
    QVariantMap base{{P::kOriginalDuration, P::fromTime({2000, 100, 0})},
                     {P::kDuration, P::fromTime({2000, 100, 0})},
                     {P::kActive, range(500, 1000, 100)},
                     {P::kDoMoviePreroll, 0}};
    for (auto it = props.cbegin(); it != props.cend(); ++it) base.insert(it.key(), it.value());
    return files.make(QKFile::kMovieKind, QString::fromLatin1(name), base);
  }
  QVariantMap& pending(const std::shared_ptr<QKFile>& file) {
    return *inspector.pendingPropsFor(*file);
  }
  int state(Check check) { return pane->checkBox(check)->state(); }

  FakeInspectorHost host;
  InspectorFiles files;
  MediaInspector inspector;
  QKMIMoviePropertiesController* pane = nullptr;
};

TEST_F(PaneFixture, NothingInspectedShowsTheFallbacks) {
  inspector.selectTheseFiles({});
  for (Check check :
       {Check::UseTime, Check::UseSpeed, Check::UseVolume, Check::UseLoopMode, Check::Preroll,
        Check::Ramload, Check::RamloadAll, Check::BpmSync, Check::UseQtzRes})
    EXPECT_EQ(state(check), 0);
  EXPECT_FALSE(pane->timeSlider()->isEnabled());
  EXPECT_FALSE(pane->speedSlider()->isEnabled());
  EXPECT_FALSE(pane->loopModeControl()->isEnabled());
  EXPECT_EQ(pane->ramloadTextField()->text(), QStringLiteral("10"));
  EXPECT_EQ(pane->qtzHozResTextField()->text(), QStringLiteral("320"));
  EXPECT_EQ(pane->qtzVertResTextField()->text(), QStringLiteral("240"));
  EXPECT_EQ(pane->bpmTextField()->text(), QStringLiteral("0.000000"));
  EXPECT_EQ(pane->durationInMeasuresTextField()->text(), QStringLiteral("0.000000"));
  EXPECT_TRUE(pane->textStylePopUpButton()->isHidden());
}

TEST_F(PaneFixture, TriStatesAndValuesOverSeveralMovies) {
  struct Case {
    const char* name;
    QVariantMap a, b;
    Check check;
    int expected;
  };
  const Case cases[] = {
      {"both on", {{P::kUseMovieSpeed, 1}}, {{P::kUseMovieSpeed, 1}}, Check::UseSpeed, 1},
      {"one on", {{P::kUseMovieSpeed, 1}}, {}, Check::UseSpeed, -1},
      {"none", {}, {}, Check::UseSpeed, 0},
      {"pre-roll missing counts as on", {{P::kDoMoviePreroll, 1}}, {}, Check::Preroll, 1},
      {"a wrong type reads as absent",
       {{P::kRamload, QStringLiteral("yes")}},
       {{P::kRamload, 1}},
       Check::Ramload,
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = movie("a", c.a);
    auto b = movie("b", c.b);
    if (QString::fromLatin1(c.name).startsWith("pre-roll")) b->removeMovieProp(P::kDoMoviePreroll);
    inspector.selectTheseFiles({entry(a), entry(b)});
    EXPECT_EQ(state(c.check), c.expected);
  }

  // The speed field shows the speed of the movies that use their own.
  auto a = movie("a", {{P::kUseMovieSpeed, 1}, {P::kSpeed, 2.5}});
  auto b = movie("b", {{P::kSpeed, 7.0}});
  inspector.selectTheseFiles({entry(a), entry(b)});
  EXPECT_EQ(state(Check::UseSpeed), -1);
  EXPECT_TRUE(pane->speedSlider()->isEnabled());
  EXPECT_EQ(pane->speedTextField()->text(), QStringLiteral("2.500000"));
}

TEST_F(PaneFixture, EditsGoToTheMoviesThatUseThem) {
  auto a = movie("a", {{P::kUseMovieSpeed, 1}});
  auto b = movie("b");
  inspector.selectTheseFiles({entry(a), entry(b)});
  pane->speedSlider()->setValueWithRangedValue(2.0f, true);
  settle();
  EXPECT_TRUE(pending(a).contains(P::kSpeedSlider));
  EXPECT_FALSE(pending(b).contains(P::kSpeedSlider));

  // A click on the mixed box turns it on and replays the slider into both.
  pane->checkBox(Check::UseSpeed)->click();
  EXPECT_EQ(state(Check::UseSpeed), 1);
  EXPECT_EQ(pending(a).value(P::kUseMovieSpeed).toInt(), 1);
  EXPECT_EQ(pending(b).value(P::kUseMovieSpeed).toInt(), 1);
  EXPECT_TRUE(pending(b).contains(P::kSpeedSlider));

  // A typed speed goes in as a number; a word is refused and changes nothing.
  pane->speedTextField()->setText(QStringLiteral("1.5"));
  pane->parameterChanged(Sender::SpeedField);
  EXPECT_DOUBLE_EQ(pending(b).value(P::kSpeed).toDouble(), 1.5);
  pane->speedTextField()->setText(QStringLiteral("fast"));
  pane->parameterChanged(Sender::SpeedField);
  EXPECT_DOUBLE_EQ(pending(b).value(P::kSpeed).toDouble(), 1.5);
}

TEST_F(PaneFixture, ResolutionAndStyleGoOnlyToTheirKinds) {
  auto m = movie("m");
  auto text = files.make(QKFile::kTextKind, QStringLiteral("t"), {{"useStyle", 1}});
  auto comp = files.make(QKFile::kCompositionKind, QStringLiteral("c"), {{"qtzHorRes", 64}});
  files.compositor.fontSynthMenu = {QStringLiteral("Plain"), QStringLiteral("Bold")};
  inspector.selectTheseFiles({entry(m), entry(text), entry(comp)});
  EXPECT_EQ(pane->qtzHozResTextField()->text(), QStringLiteral("64"));
  pane->qtzHozResTextField()->setText(QStringLiteral("800"));
  pane->parameterChanged(Sender::HorResField);
  EXPECT_FALSE(pending(m).contains("qtzHorRes"));
  EXPECT_EQ(pending(text).value("qtzHorRes").toInt(), 800);
  EXPECT_EQ(pending(comp).value("qtzHorRes").toInt(), 800);
  pane->qtzHozResTextField()->setText(QStringLiteral("-3"));
  pane->parameterChanged(Sender::HorResField);
  EXPECT_EQ(pending(comp).value("qtzHorRes").toInt(), 800) << "a negative size is refused";

  ASSERT_EQ(pane->textStylePopUpButton()->count(), 2);
  pane->textStylePopUpButton()->setCurrentIndex(1);
  pane->parameterChanged(Sender::StylePopUp);
  EXPECT_EQ(pending(text).value("styleName").toString(), QStringLiteral("Bold"));
  EXPECT_FALSE(pending(comp).contains("styleName"));
  EXPECT_FALSE(pending(m).contains("styleName"));
}

TEST_F(PaneFixture, RamloadRangeTable) {
  struct Case {
    const char* name;
    QVariantMap props;
    QKTimeRange expected;
  };
  const Case cases[] = {
      {"ramload off: the active start, nothing long",
       {{P::kRamload, 0}},
       {{500, 100, 0}, {0, 100, 0}}},
      {"whole movie", {{P::kRamload, 1}, {P::kRamloadAll, 1}}, {{0, 100, 0}, {2000, 100, 0}}},
      {"N frames at 25 fps",
       {{P::kRamload, 1}, {P::kOriginalFrameRate, 25.0}},
       {{500, 100, 0}, {48, 100, 0}}},
      {"missing rate counts as 30", {{P::kRamload, 1}}, {{500, 100, 0}, {40, 100, 0}}},
      {"zero rate counts as 30",
       {{P::kRamload, 1}, {P::kOriginalFrameRate, 0.0}},
       {{500, 100, 0}, {40, 100, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = movie("a", c.props);
    inspector.selectTheseFiles({entry(a)});
    pane->ramloadTextField()->setText(QStringLiteral("12"));
    pane->parameterChanged(Sender::RamloadField);
    EXPECT_EQ(P::range(pending(a).value(P::kRamloadRange)), c.expected);
  }
}

TEST_F(PaneFixture, TempoAndMeasures) {
  // Ranges of 10 s and 10 s, then of 10 s and 5 s.
  auto a = movie("a");
  auto b = movie("b");
  auto image = files.make(QKFile::kImageKind, QStringLiteral("i"), {{"cacheImage", 0}});
  inspector.selectTheseFiles({entry(a), entry(b), entry(image)});
  pane->bpmTextField()->setText(QStringLiteral("120"));
  pane->fileTimingChanged(true);
  EXPECT_EQ(pane->durationInMeasuresTextField()->text(), QStringLiteral("5.000000"));
  EXPECT_FLOAT_EQ(pending(a).value(P::kDurationInMeasures).toFloat(), 5.0f);
  EXPECT_FALSE(pending(image).contains(P::kBeatsPerMinute)) << "an image has no range";

  pending(b).insert(P::kActive, range(0, 500, 100));
  pane->bpmTextField()->setText(QStringLiteral("120"));
  pane->fileTimingChanged(true);
  EXPECT_EQ(pane->durationInMeasuresTextField()->text(), QStringLiteral("xx"));

  pane->durationInMeasuresTextField()->setText(QStringLiteral("4"));
  pane->fileTimingChanged(false);
  EXPECT_FLOAT_EQ(pending(a).value(P::kBeatsPerMinute).toFloat(), 96.0f);
  EXPECT_FLOAT_EQ(pending(b).value(P::kBeatsPerMinute).toFloat(), 192.0f);
  EXPECT_EQ(pane->bpmTextField()->text(), QStringLiteral("xx"));

  // An empty range takes no tempo; a tempo of 0 is refused.
  pending(a).insert(P::kActive, range(0, 0, 100));
  pane->bpmTextField()->setText(QStringLiteral("0"));
  pane->fileTimingChanged(true);
  EXPECT_FLOAT_EQ(pending(a).value(P::kBeatsPerMinute).toFloat(), 96.0f);
  pane->bpmTextField()->setText(QStringLiteral("60"));
  pane->fileTimingChanged(true);
  EXPECT_FLOAT_EQ(pending(a).value(P::kBeatsPerMinute).toFloat(), 96.0f);
  EXPECT_FLOAT_EQ(pending(b).value(P::kBeatsPerMinute).toFloat(), 60.0f);
}

TEST_F(PaneFixture, ApplyMergesPostsAndRefusesBadFilesWhole) {
  auto a = movie("a", {{P::kLoopMode, 1}});
  auto b = movie("b", {{P::kLoopMode, 1}});
  NotificationCounter posted(QStringLiteral("QKFileMoviePropsUpdatedNotification"));
  inspector.selectTheseFiles({entry(a), entry(b)});
  pending(a).insert(P::kLoopMode, 2);
  pending(a).insert(QStringLiteral("custom"), 7);
  pending(b).insert(P::kLoopMode, 0);
  pending(b).insert(P::kDurationInMeasures, std::numeric_limits<double>::infinity());
  LogCapture log;
  inspector.applyChanges();
  EXPECT_EQ(a->movieProp(P::kLoopMode).toInt(), 2);
  EXPECT_EQ(a->movieProp(QStringLiteral("custom")).toInt(), 7);
  EXPECT_EQ(b->movieProp(P::kLoopMode).toInt(), 1) << "the refused file keeps everything";
  EXPECT_EQ(posted.count(), 1);
  EXPECT_TRUE(log.contains(QStringLiteral("durationInMeasures")));

  struct Bad {
    const char* key;
    QVariant value;
  };
  const Bad bad[] = {{"ramloadDurationInFrames", -4},
                     {"qtzVertRes", -1},
                     {"timeSlider", 3},
                     {"active", QStringLiteral("0-10")},
                     {"loopMode", QStringLiteral("loop")},
                     {"styleName", 5}};
  for (const Bad& c : bad) {
    SCOPED_TRACE(c.key);
    QString reason;
    EXPECT_FALSE(QKMIMoviePropertiesController::validProps({{QString::fromLatin1(c.key), c.value}},
                                                           &reason));
    EXPECT_TRUE(reason.contains(QString::fromLatin1(c.key)));
  }
}

}  // namespace
