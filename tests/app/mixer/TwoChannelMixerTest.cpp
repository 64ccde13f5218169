// The two-channel mixer driving real layers of a compositor, its fades on
// a clock of the test's and its snapshot.
#include "app/plugins/mixer/TCMSplineView.h"
#include "framework/controls/QKButton.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/mixer/MixerFixture.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QLineEdit>

#include <cmath>
#include <limits>
#include <thread>

namespace {

const QString kRestoreStart = QStringLiteral("QKPMRestoreStartNotification");
const QString kRestoreEnd = QStringLiteral("QKPMRestoreEndNotification");

void postTrigger(const std::shared_ptr<Layer>& layer, bool newFile) {
  QVariantMap info;
  if (newFile) info.insert(QStringLiteral("newFile"), QVariant(1));
  NotificationCenter::defaultCenter().post(Layer::kTriggerFileNotification, layer.get(), info);
}

TEST_F(MixerTest, TheCrossfaderSetsOpacitiesOneMinusVAndVAndLightsTheButtonsAboveHalf) {
  auto* mixer = makeMixer();
  auto left = world.compositor->createNewLayer();
  auto right = world.compositor->createNewLayer();
  chooseSides(*mixer, left->layerName(), right->layerName());
  EXPECT_EQ(mixer->leftLayer(), left);
  EXPECT_EQ(mixer->rightLayer(), right);
  const struct {
    float v;
    int buttons;
  } cases[] = {{0.0f, 0}, {0.25f, 0}, {0.5f, 0}, {0.51f, 1}, {1.0f, 1}, {0.3f, 0}};
  for (const auto& c : cases) {
    mixer->crossfader()->setValue(c.v, true);
    EXPECT_NEAR(opacity(left), 1.0f - c.v, 1e-5) << c.v;
    EXPECT_NEAR(opacity(right), c.v, 1e-5) << c.v;
    EXPECT_EQ(mixer->fadeNowButton()->intValue(), c.buttons) << c.v;
    EXPECT_EQ(mixer->cutNowButton()->intValue(), c.buttons) << c.v;
    EXPECT_FLOAT_EQ(mixer->crossfaderValue(), c.v);
  }
  // The curves decide: a raised left middle point lifts the left layer.
  mixer->splineView()->leftSpline()->setMagnitudeForPoint(1, 0.8f);
  mixer->crossfader()->setValue(0.5f, true);
  EXPECT_NEAR(opacity(left), 0.8f, 1e-5);
}

TEST_F(MixerTest, TheCrossfaderFromAnotherThreadDrivesTheLayersAndADeletedLayerIsLeftAlone) {
  auto* mixer = makeMixer();
  auto left = world.compositor->createNewLayer();
  auto right = world.compositor->createNewLayer();
  chooseSides(*mixer, left->layerName(), right->layerName());
  std::thread([mixer] { mixer->crossfader()->cell()->setValue(0.75f, true); }).join();
  EXPECT_NEAR(opacity(left), 0.25f, 1e-5);
  EXPECT_NEAR(opacity(right), 0.75f, 1e-5);
  // The right layer goes: its side becomes none.
  world.compositor->deleteThisLayer(right.get());
  right.reset();
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(mixer->rightLayer(), nullptr);
  std::thread([mixer] { mixer->crossfader()->cell()->setValue(0.2f, true); }).join();
  EXPECT_NEAR(opacity(left), 0.8f, 1e-5);
}

TEST_F(MixerTest, TheAudioBoxFadesMovieVolumeOnlyWhenOnAndOnMovieLayers) {
  auto* mixer = makeMixer();
  auto movie = world.compositor->createNewLayer();
  movie->useSourceNamed(Layer::kMovie);
  auto other = world.compositor->createNewLayer();
  other->useSourceNamed(Layer::kMovie);
  chooseSides(*mixer, movie->layerName(), other->layerName());
  other->useSourceNamed(Layer::kQCPatch);  // no longer shows its movie
  const auto volume = [](const std::shared_ptr<Layer>& layer) {
    return static_cast<MovieSource*>(layer->sourceOfKind(VidSourceObject::kMovieSource))
        ->volumeSlider()
        ->value();
  };
  mixer->crossfader()->setValue(0.3f, true);
  EXPECT_FLOAT_EQ(volume(movie), 1.0f);  // box off
  mixer->audioFadeButton()->setChecked(true);
  mixer->crossfader()->setValue(0.4f, true);
  EXPECT_NEAR(volume(movie), 0.6f, 1e-5);
  EXPECT_FLOAT_EQ(volume(other), 1.0f);  // not a movie now
  EXPECT_NEAR(opacity(other), 0.4f, 1e-5);
}

TEST_F(MixerTest, FadesRunOnTheClockAndStopAtTheirEnd) {
  auto* mixer = makeMixer();
  mixer->crossfader()->setValue(0.0f, true);
  mixer->fadeTimeSlider()->setValueWithRangedValue(2.0f, true);
  EXPECT_EQ(mixer->fadeDurationTextField()->text(), QStringLiteral("2"));
  mixer->startFadeTo(1.0f);
  ASSERT_TRUE(mixer->fadeRunning());
  now += 1.0;
  mixer->fadeTimerCallback();
  EXPECT_NEAR(mixer->crossfader()->value(), 0.5f, 1e-6);
  EXPECT_TRUE(mixer->fadeRunning());
  now += 1.5;
  mixer->fadeTimerCallback();
  EXPECT_FLOAT_EQ(mixer->crossfader()->value(), 1.0f);
  EXPECT_FALSE(mixer->fadeRunning());

  // Duration 0: the destination at the first step.
  mixer->fadeDurationTextField()->setText(QStringLiteral("0"));
  ASSERT_TRUE(mixer->fadeDurationTextFieldUsed());
  mixer->startFadeTo(0.0f);
  mixer->fadeTimerCallback();
  EXPECT_FLOAT_EQ(mixer->crossfader()->value(), 0.0f);
  EXPECT_FALSE(mixer->fadeRunning());

  // Towards the value it has: stopped at the envelope's bound at once.
  mixer->fadeDurationTextField()->setText(QStringLiteral("5"));
  mixer->fadeDurationTextFieldUsed();
  mixer->startFadeTo(0.0f);
  now += 0.015;
  mixer->fadeTimerCallback();
  EXPECT_FALSE(mixer->fadeRunning());
}

TEST_F(MixerTest, TheFadeTimerStepsOnTheMainThread) {
  auto* mixer = makeMixer();
  mixer->setTimeSource(nullptr);
  mixer->setTimeSource([] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  });
  mixer->fadeDurationTextField()->setText(QStringLiteral("0.1"));
  mixer->fadeDurationTextFieldUsed();
  mixer->crossfader()->setValue(0.0f, true);
  mixer->fadeNowButton()->setIntValue(1, true);  // the button's action: fade to 1
  EXPECT_TRUE(MainThread::processUntil([mixer] { return mixer->fadeRunning(); }, 1.0));
  EXPECT_TRUE(MainThread::processUntil([mixer] { return !mixer->fadeRunning(); }, 5.0));
  EXPECT_FLOAT_EQ(mixer->crossfader()->value(), 1.0f);
  mixer->cutNowButton()->setIntValue(0, true);  // cut to the left
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_FLOAT_EQ(mixer->crossfader()->value(), 0.0f);
}

TEST_F(MixerTest, BindingTheCrossfaderStopsARunningFade) {
  auto* mixer = makeMixer();
  mixer->crossfader()->setValue(0.0f, true);
  mixer->crossfader()->setSyncFlag(true);  // binding without a fade changes nothing
  EXPECT_FALSE(mixer->fadeRunning());
  mixer->crossfader()->setSyncFlag(false);
  mixer->startFadeTo(1.0f);
  mixer->crossfader()->setSyncFlag(true);
  MainThread::processUntil([] { return false; }, 0.02);
  EXPECT_FALSE(mixer->fadeRunning());
}

TEST_F(MixerTest, AFadeDurationThatIsNoNumberOfSecondsIsRefused) {
  auto* mixer = makeMixer();
  for (const char* typed : {"nan", "inf", "-1", "abc", "1e40"}) {
    mixer->fadeDurationTextField()->setText(QString::fromLatin1(typed));
    EXPECT_FALSE(mixer->fadeDurationTextFieldUsed()) << typed;
    EXPECT_FLOAT_EQ(mixer->fadeDuration(), 1.0f) << typed;
    EXPECT_EQ(mixer->fadeDurationTextField()->text(), QStringLiteral("1")) << typed;
  }
  mixer->fadeDurationTextField()->setText(QStringLiteral("12.5"));  // beyond the slider
  EXPECT_TRUE(mixer->fadeDurationTextFieldUsed());
  EXPECT_FLOAT_EQ(mixer->fadeDuration(), 12.5f);
  EXPECT_FLOAT_EQ(mixer->fadeTimeSlider()->rangedValue(), 10.0f);
}

TEST_F(MixerTest, AutoFadeFadesAwayFromTheLayerThatGotANewFile) {
  auto* mixer = makeMixer();
  auto left = world.compositor->createNewLayer();
  auto right = world.compositor->createNewLayer();
  chooseSides(*mixer, left->layerName(), right->layerName());
  postTrigger(left, true);
  EXPECT_FALSE(mixer->fadeRunning());  // the box is off
  mixer->autoFadeButton()->setChecked(true);
  mixer->crossfader()->setValue(0.5f, true);
  mixer->fadeDurationTextField()->setText(QStringLiteral("0"));
  mixer->fadeDurationTextFieldUsed();
  const struct {
    std::shared_ptr<Layer> left, right, triggered;
    bool newFile;
    float after;  // NaN: no fade
  } cases[] = {
      {left, right, left, true, 0.0f},
      {left, right, right, true, 1.0f},
      {left, left, left, true, 0.0f},  // one layer on both sides
      {left, right, right, false, std::numeric_limits<float>::quiet_NaN()},  // an eject
  };
  for (const auto& c : cases) {
    chooseSides(*mixer, c.left->layerName(), c.right->layerName());
    mixer->crossfader()->setValue(0.5f, true);
    postTrigger(c.triggered, c.newFile);
    EXPECT_EQ(mixer->fadeRunning(), !std::isnan(c.after));
    mixer->fadeTimerCallback();
    EXPECT_FLOAT_EQ(mixer->crossfader()->value(), std::isnan(c.after) ? 0.5f : c.after);
  }
}

TEST_F(MixerTest, ARestoreChangesNoOpacityAndStartsNoFade) {
  auto* mixer = makeMixer();
  auto left = world.compositor->createNewLayer();
  auto right = world.compositor->createNewLayer();
  chooseSides(*mixer, left->layerName(), right->layerName());
  mixer->autoFadeButton()->setChecked(true);
  mixer->crossfader()->setValue(0.2f, true);
  QVariantMap snapshot = markedForRestore(mixer->createSnapshot());
  mixer->crossfader()->setValue(0.9f, true);

  NotificationCenter::defaultCenter().post(kRestoreStart);
  EXPECT_TRUE(mixer->preventFade());
  mixer->loadSnapshot(snapshot);
  EXPECT_FLOAT_EQ(mixer->crossfaderValue(), 0.2f);
  EXPECT_NEAR(opacity(left), 0.1f, 1e-5);  // untouched
  postTrigger(right, true);
  EXPECT_FALSE(mixer->fadeRunning());
  NotificationCenter::defaultCenter().post(kRestoreEnd);
  EXPECT_FALSE(mixer->preventFade());
  postTrigger(right, true);
  EXPECT_TRUE(mixer->fadeRunning());
}

TEST_F(MixerTest, PublishesTheCrossfaderUnderMixersAndFollowsARename) {
  auto* mixer = makeMixer();
  const QString name = mixer->windowTitle();
  // The tree the mixer found (the layers' world answers too).
  DataSourceController& tree = *mixer->dataSourceController();
  auto recorder = std::make_shared<ValueRecorder>();
  ASSERT_TRUE(
      tree.subscribeObject(recorder, &ValueRecorder::updated, {TwoChannelMixer::kGroupName, name}));
  tree.threadProc();
  ASSERT_FALSE(recorder->values.empty());
  EXPECT_FLOAT_EQ(recorder->values.back(), 1.0f);  // new: 1.0 until used
  mixer->crossfader()->setValue(0.4f, true);
  tree.threadProc();
  EXPECT_FLOAT_EQ(recorder->values.back(), 0.4f);
  const size_t count = recorder->values.size();
  tree.threadProc();  // unchanged, published again
  EXPECT_EQ(recorder->values.size(), count + 1);

  mixer->setPluginName(QStringLiteral("Stage mix"));
  EXPECT_EQ(recorder->path, (KeyPath{TwoChannelMixer::kGroupName, QStringLiteral("Stage mix")}));
  EXPECT_EQ(tree.dataSourceForKeyArray({TwoChannelMixer::kGroupName, name}), nullptr);
  manager->deleteAllPlugins();
  EXPECT_EQ(tree.dataSourceForKeyArray({TwoChannelMixer::kGroupName}), nullptr);
}

TEST_F(MixerTest, TheSnapshotRoundTrips) {
  auto* mixer = makeMixer();
  auto left = world.compositor->createNewLayer();
  auto right = world.compositor->createNewLayer();
  chooseSides(*mixer, left->layerName(), right->layerName());
  mixer->crossfader()->setValue(0.35f, true);
  mixer->autoFadeButton()->setChecked(true);
  mixer->audioFadeButton()->setChecked(true);
  mixer->fadeDurationTextField()->setText(QStringLiteral("3.5"));
  mixer->fadeDurationTextFieldUsed();
  mixer->splineView()->rightSpline()->setMagnitudeForPoint(1, 0.25f);
  const QVariantMap snapshot = mixer->createSnapshot();

  auto* copy = makeMixer();
  // Components the plug-in manager did not mark are not restored.
  copy->loadSnapshot(snapshot);
  EXPECT_FALSE(copy->autoFadeButton()->isChecked());
  EXPECT_NEAR(copy->splineView()->evaluateAt(0.5f).y(), 0.5f, 1e-5);
  copy->loadSnapshot(markedForRestore(snapshot));
  EXPECT_EQ(copy->leftLayer(), left);
  EXPECT_EQ(copy->rightLayer(), right);
  EXPECT_FLOAT_EQ(copy->crossfader()->value(), 0.35f);
  EXPECT_TRUE(copy->autoFadeButton()->isChecked());
  EXPECT_TRUE(copy->audioFadeButton()->isChecked());
  EXPECT_FLOAT_EQ(copy->fadeDuration(), 3.5f);
  EXPECT_NEAR(copy->splineView()->evaluateAt(0.5f).y(), 0.25f, 1e-5);
  EXPECT_EQ(copy->createSnapshot().value("componentArray"), snapshot.value("componentArray"));

  // Mistyped values keep the current state.
  QVariantList broken{QVariantMap{{"componentName", "Fade Time"}, {"fadeDurationTextField", "x"}},
                      QVariantMap{{"componentName", "Auto-Fade?"}, {"autoFadeButton", "on"}}};
  copy->loadSnapshot(markedForRestore({{"componentArray", broken}}));
  EXPECT_FLOAT_EQ(copy->fadeDuration(), 3.5f);
  EXPECT_TRUE(copy->autoFadeButton()->isChecked());
}

TEST_F(MixerTest, DeletingAnyPluginClosesTheOptionsSheet) {
  auto* mixer = makeMixer();
  mixer->openOptionsPanel();
  ASSERT_TRUE(mixer->optionsPanelOpen());
  manager->instantiatePluginType(TwoChannelMixer::kTypeName);
  NotificationCenter::defaultCenter().post(QKPluginManager::kPluginDeletedNotification,
                                           manager.get());
  EXPECT_FALSE(mixer->optionsPanelOpen());
}

TEST_F(MixerTest, TheWindowShowsSidesCurvesCrossfaderAndButtons) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the window is real";
  auto* mixer = makeMixer();
  auto left = world.compositor->createNewLayer();
  chooseSides(*mixer, left->layerName(), QString());
  mixer->crossfader()->setValue(0.7f, true);
  QKWindow* window = mixer->window();
  ASSERT_NE(window, nullptr);
  window->show();
  MainThread::processUntil([] { return false; }, 0.1);
  saveScreenshot(window->grab().toImage(), QStringLiteral("mixer-window"));
  mixer->openOptionsPanel();
  MainThread::processUntil([] { return false; }, 0.05);
  const QImage sheet = window->grab().toImage();
  saveScreenshot(sheet, QStringLiteral("mixer-options"));
  EXPECT_FALSE(sheet.isNull());
}

}  // namespace
