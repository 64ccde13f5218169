// The AudioAnalysis plug-in and its wave view, made by the plug-in manager
// over a fake device registry: default bands and their sources, adding,
// deleting, editing and restoring bands, device choice and hot-plug, the
// snapshot, the band levels from a test signal, and the window's picture.
#include "app/plugins/audioanalysis/AudioAnalysis.h"
#include "app/plugins/audioanalysis/QKAAOpenGLWaveView.h"
#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"
#include "framework/audio/QKAudioDeviceController.h"
#include "framework/audio/QKAudioDeviceThreadController.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/audio/FakeAudioBackend.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QComboBox>
#include <QSlider>
#include <QTest>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

constexpr int kFrames = 256;
constexpr double kRate = 48000;

class AudioAnalysisTest : public PluginHost {
 protected:
  AudioAnalysisTest() {
    backend.addDevice({1, QStringLiteral("Card"), {4}, {2}, kFrames, kRate});
    backend.addDevice({2, QStringLiteral("USB"), {2}, {}, kFrames, 44100});
    backend.setDefaults(1, 1);
    registry = std::make_unique<QKAudioDeviceThreadController>(this, &backend);
    analysis = make<AudioAnalysis>();
  }
  ~AudioAnalysisTest() override {
    manager.reset();
    registry.reset();
  }

  QStringList bandNames() const {
    QStringList names;
    for (const auto& slice : analysis->waveView()->viewSlices()) names << slice->freqText();
    return names;
  }
  std::shared_ptr<DataSource> source(const QString& band) {
    return dsc.dataSourceForKeyArray({analysis->windowTitle(), band});
  }
  void switchOn() {
    analysis->onOffToggle()->setIntValue(1, false);
    analysis->onOffToggleUsed();
  }
  // One input cycle of a sine on every channel of the card.
  void play(float frequency, float amplitude = 0.5f, int channels = 4) {
    std::vector<float> block(std::size_t(kFrames) * std::size_t(channels));
    for (int n = 0; n < kFrames; ++n, ++phase)
      for (int c = 0; c < channels; ++c)
        block[std::size_t(n * channels + c)] =
            amplitude * float(std::sin(2 * M_PI * frequency * double(phase) / kRate));
    std::vector<float> out(std::size_t(kFrames) * 2);
    AudioStreamBuffer in{block.data(), channels, kFrames};
    AudioStreamBuffer output{out.data(), 2, kFrames};
    backend.cycle(1, &in, 1, &output, 1);
  }

  FakeAudioBackend backend;
  std::unique_ptr<QKAudioDeviceThreadController> registry;
  AudioAnalysis* analysis = nullptr;
  long phase = 0;
};

TEST_F(AudioAnalysisTest, ANewPluginHasFourBandsEachPublished) {
  ASSERT_NE(analysis, nullptr);
  ASSERT_NE(analysis->waveView(), nullptr);
  EXPECT_EQ(bandNames(), (QStringList{"band-0", "band-1", "band-2", "band-3"}));
  const float frequencies[] = {80, 320, 1280, 5120};
  const float widths[] = {0.5f, 0.75f, 1.0f, 1.25f};
  for (int k = 0; k < 4; ++k) {
    const auto& slice = analysis->waveView()->viewSlices()[std::size_t(k)];
    EXPECT_FLOAT_EQ(slice->bqFreq(), frequencies[k]);
    EXPECT_FLOAT_EQ(slice->bqBandwidth(), widths[k]);
    ASSERT_NE(source(slice->freqText()), nullptr) << k;
    EXPECT_EQ(source(slice->freqText())->sourceType(), DSType::FloatFrequent);
  }
  // The default devices are chosen; nothing runs until switched on.
  EXPECT_EQ(analysis->lastSelectedInputName(), QStringLiteral("Card"));
  EXPECT_EQ(analysis->engine().inputChannelCount(), 4);
  EXPECT_FALSE(backend.running(1));
  EXPECT_FLOAT_EQ(analysis->engine().gain(), 2.0f);
  EXPECT_EQ(analysis->engine().bands().size(), 4u);
}

TEST_F(AudioAnalysisTest, AddingReusesTheSmallestFreeNameUpTo32Bands) {
  QKAAOpenGLWaveView* view = analysis->waveView();
  view->deleteWaveViewSlices({1});
  EXPECT_EQ(source(QStringLiteral("band-1")), nullptr);
  ASSERT_TRUE(view->createWaveViewSlice());
  EXPECT_EQ(bandNames().last(), QStringLiteral("band-1"));
  EXPECT_FLOAT_EQ(view->viewSlices().back()->bqFreq(), 800.0f);
  EXPECT_FLOAT_EQ(view->viewSlices().back()->bqBandwidth(), 0.8f);
  EXPECT_NE(source(QStringLiteral("band-1")), nullptr);
  while (view->numberOfRows() < 32) ASSERT_TRUE(view->createWaveViewSlice());
  LogCapture log;
  EXPECT_FALSE(view->createWaveViewSlice());
  EXPECT_TRUE(log.contains(QStringLiteral("reached max limit of 32 analysis bands")));
  EXPECT_EQ(view->numberOfRows(), 32);
  EXPECT_EQ(analysis->engine().bands().size(), 32u);
  view->deleteWaveViewSlices({});
  EXPECT_EQ(view->numberOfRows(), 32);
  view->deleteWaveViewSlices({0, 5, 31});
  EXPECT_EQ(view->numberOfRows(), 29);
}

TEST_F(AudioAnalysisTest, TableEditsAreClampedAndBadNamesRefused) {
  QKAAOpenGLWaveView* view = analysis->waveView();
  using V = QKAAOpenGLWaveView;
  struct Case {
    const char* name;
    QVariant value;
    int column;
    bool accepted;
    QVariant stored;
  };
  const Case cases[] = {
      {"zero frequency", 0.0, V::kBqFreq, true, 40.0},
      {"above a 48 kHz input's 0.45 fs", 30000.0, V::kBqFreq, true, 20000.0},
      {"typed frequency", QStringLiteral("440"), V::kBqFreq, true, 440.0},
      {"not a number", QStringLiteral("loud"), V::kBqFreq, false, 440.0},
      {"narrow", 0.0, V::kBqBandwidth, true, 0.01},
      {"wide", 12.0, V::kBqBandwidth, true, 4.0},
      {"used name", QStringLiteral("band-1"), V::kFreqText, false, QStringLiteral("band-0")},
      {"empty name", QString(), V::kFreqText, false, QStringLiteral("band-0")},
      {"slash", QStringLiteral("a/b"), V::kFreqText, false, QStringLiteral("band-0")},
      {"rename", QStringLiteral("kick"), V::kFreqText, true, QStringLiteral("kick")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(view->setObjectValue(c.value, c.column, 0), c.accepted) << c.name;
    const QVariant now = view->objectValue(c.column, 0);
    if (c.stored.typeId() == QMetaType::QString)
      EXPECT_EQ(now.toString(), c.stored.toString()) << c.name;
    else
      EXPECT_NEAR(now.toDouble(), c.stored.toDouble(), 1e-3) << c.name;
  }
  EXPECT_EQ(source(QStringLiteral("band-0")), nullptr);
  EXPECT_NE(source(QStringLiteral("kick")), nullptr);
  float c[5];
  view->viewSlices()[0]->coefficients(c);
  for (float v : c) EXPECT_TRUE(std::isfinite(v));
}

// A band kept by name keeps its data-source object, so what follows it
// stays bound; bands missing from the snapshot go with their sources.
TEST_F(AudioAnalysisTest, RestoringBandsByNameKeepsTheirSources) {
  const auto kept = source(QStringLiteral("band-2"));
  QVariantMap snapshot = analysis->waveView()->createSnapshot();
  QVariantList slices = snapshot.value(QStringLiteral("viewSlices")).toList();
  QVariantMap third = slices[2].toMap();
  third.insert(QStringLiteral("bqFreq"), 2000.0);
  QVariantMap fresh{{"freqText", "snare"}, {"bqFreq", 200.0}, {"bqBandwidth", "bad"}};
  snapshot.insert(QStringLiteral("viewSlices"), QVariantList{third, fresh});
  analysis->waveView()->loadSnapshot(snapshot);
  EXPECT_EQ(bandNames(), (QStringList{"band-2", "snare"}));
  EXPECT_EQ(source(QStringLiteral("band-2")), kept);
  EXPECT_FLOAT_EQ(analysis->waveView()->viewSlices()[0]->bqFreq(), 2000.0f);
  EXPECT_FLOAT_EQ(analysis->waveView()->viewSlices()[1]->bqBandwidth(), 0.5f);
  EXPECT_EQ(source(QStringLiteral("band-0")), nullptr);
  EXPECT_NE(source(QStringLiteral("snare")), nullptr);
  EXPECT_EQ(analysis->engine().bands().size(), 2u);
}

// Switched on, the plug-in listens to the card; a 1280 Hz tone lifts band-2
// (centred there) well above its neighbours.
TEST_F(AudioAnalysisTest, ATestToneMovesTheBandCentredOnIt) {
  switchOn();
  ASSERT_TRUE(backend.running(1));
  ASSERT_TRUE(analysis->engine().running());
  analysis->engine().setNormalizeLevels(false);
  std::vector<float> levels(4);
  for (int cycle = 0; cycle < 8; ++cycle) {
    play(1280, 0.05f);  // four channels at gain 2: 0.4 in the mix
    dsc.threadProc();
  }
  for (int k = 0; k < 4; ++k)
    levels[std::size_t(k)] = source(QStringLiteral("band-%1").arg(k))->value();
  EXPECT_GT(levels[2], 4 * levels[0]);
  EXPECT_GT(levels[2], 4 * levels[3]);
  analysis->onOffToggle()->setIntValue(0, false);
  analysis->onOffToggleUsed();
  EXPECT_FALSE(backend.running(1));
}

TEST_F(AudioAnalysisTest, UnpluggingStopsAndReplugResumes) {
  switchOn();
  ASSERT_TRUE(analysis->engine().running());
  backend.removeDevice(1);
  backend.announceChange();
  EXPECT_FALSE(analysis->engine().running());
  EXPECT_EQ(analysis->audioSource(), nullptr);
  EXPECT_EQ(analysis->audioInputDevices()->findText(QStringLiteral("Card")), -1);
  backend.addDevice({1, QStringLiteral("Card"), {4}, {2}, kFrames, kRate});
  backend.announceChange();
  EXPECT_TRUE(analysis->engine().running());
  EXPECT_TRUE(backend.running(1));
  EXPECT_EQ(analysis->audioSource()->deviceName(), QStringLiteral("Card"));
}

TEST_F(AudioAnalysisTest, ChoosingAnotherInputFollowsItsRateAndChannels) {
  switchOn();
  analysis->audioInputDevices()->setCurrentIndex(analysis->audioInputDevices()->findText("USB"));
  analysis->inputDeviceSelected();
  EXPECT_EQ(analysis->engine().inputChannelCount(), 2);
  EXPECT_FLOAT_EQ(analysis->engine().inputSampleRate(), 44100.0f);
  EXPECT_FLOAT_EQ(analysis->waveView()->viewSlices()[0]->sampleRate(), 44100.0f);
  EXPECT_TRUE(backend.running(2));
  EXPECT_FALSE(backend.running(1));
}

// Saved weights apply where the device has the channels; saved weights that
// would leave every channel off turn them all on, all-zero ones stay off.
TEST_F(AudioAnalysisTest, RestoredChannelWeightsFitTheDevice) {
  analysis->audioInputDevices()->setCurrentIndex(analysis->audioInputDevices()->findText("USB"));
  analysis->inputDeviceSelected();
  struct Case {
    std::vector<double> saved;
    std::vector<float> applied;
  };
  for (const Case& c : {Case{{0, 0, 1, 1}, {1, 1}}, Case{{0, 0, 0, 0}, {0, 0}}}) {
    QVariantMap channels{
        {"componentName", "channel mapping settings"}, {"restore", 1}, {"inputChannelCount", 4}};
    for (int d = 0; d < 4; ++d)
      channels.insert(QStringLiteral("channelMapping[%1]").arg(d), c.saved[std::size_t(d)]);
    QVariantMap input{
        {"componentName", "input settings"}, {"restore", 1}, {"inputDeviceName", "USB"}};
    analysis->loadSnapshot({{"componentArray", QVariantList{input, channels}}});
    EXPECT_EQ(analysis->engine().channelWeight(0), c.applied[0]);
    EXPECT_EQ(analysis->engine().channelWeight(1), c.applied[1]);
  }
}

TEST_F(AudioAnalysisTest, OnlyComponentsMarkedForRestoreAreRestored) {
  QVariantMap preview{{"componentName", "preview settings"}, {"preview quality", 12}};
  analysis->loadSnapshot({{"componentArray", QVariantList{preview}}});
  EXPECT_EQ(analysis->engine().previewBandCount(), 40);
  preview.insert(QStringLiteral("restore"), 1);
  preview.insert(QStringLiteral("preview speed"), 0.001);
  analysis->loadSnapshot({{"componentArray", QVariantList{preview}}});
  EXPECT_EQ(analysis->engine().previewBandCount(), 12);
  EXPECT_FLOAT_EQ(analysis->drawingTimerPeriod(), 0.033f);
  preview.insert(QStringLiteral("preview quality"), 4000);
  analysis->loadSnapshot({{"componentArray", QVariantList{preview}}});
  EXPECT_EQ(analysis->engine().previewBandCount(), 128);
}

TEST_F(AudioAnalysisTest, ASnapshotRestoresIntoAFreshPlugin) {
  analysis->waveView()->setObjectValue(3000.0, QKAAOpenGLWaveView::kBqFreq, 1);
  analysis->audioPassThruToggle()->setIntValue(1, false);
  switchOn();
  QVariantMap snapshot = analysis->createSnapshot();
  QVariantList components = snapshot.value(QStringLiteral("componentArray")).toList();
  for (QVariant& component : components) {
    QVariantMap map = component.toMap();
    map.insert(QStringLiteral("restore"), 1);
    component = map;
  }
  snapshot.insert(QStringLiteral("componentArray"), components);
  auto* other = make<AudioAnalysis>();
  other->loadSnapshot(snapshot);
  EXPECT_FLOAT_EQ(other->waveView()->viewSlices()[1]->bqFreq(), 3000.0f);
  EXPECT_TRUE(other->shouldBeRunning());
  EXPECT_TRUE(other->engine().running());
  EXPECT_TRUE(other->engine().passThruRunning());
}

// The window as a performer sees it: band handles at x = n(f)·W, the
// spectrum, and a level bar at the band that hears the tone.
TEST_F(AudioAnalysisTest, TheWindowShowsBandsSpectrumAndLevels) {
  QKWindow* window = analysis->window();
  ASSERT_NE(window, nullptr);
  window->show();
  QKAAOpenGLWaveView* view = analysis->waveView();
  view->resize(400, 140);
  view->prepareAllPaths();
  analysis->engine().setNormalizeLevels(false);
  switchOn();
  for (int cycle = 0; cycle < 6; ++cycle) {
    play(1280, 0.05f);
    dsc.threadProc();
  }
  std::vector<float> spectrum(40, 0.0f);
  for (std::size_t i = 0; i < spectrum.size(); ++i) spectrum[i] = i == 23 ? 0.9f : 0.1f;
  view->setNewPoints(spectrum);
  const QImage picture = view->grab().toImage();
  saveScreenshot(window->grab().toImage(), QStringLiteral("audio-analysis"));
  const int w = view->width(), h = view->height();
  for (const auto& slice : view->viewSlices()) {
    const double x = view->normalised(slice->bqFreq()) * w;
    EXPECT_NEAR(slice->handleRect().center().x(), x, 1.0);
  }
  // The level bar of band-2 stands a fifth up the view; band-0 hears little.
  const auto& loud = view->viewSlices()[2];
  const QColor nearTop = picture.pixelColor(int(loud->handleRect().center().x()), h * 4 / 5);
  EXPECT_GT(nearTop.red(), 120) << nearTop.name().toStdString();
  const auto& quiet = view->viewSlices()[0];
  const QColor quietTop = picture.pixelColor(int(quiet->handleRect().center().x()), h * 4 / 5);
  EXPECT_LT(quietTop.red(), 100) << quietTop.name().toStdString();
  // The spectrum fills from the bottom in the wave colour (blue).
  const QColor low = picture.pixelColor(w / 7, h - 4);
  EXPECT_GT(low.blue(), low.red()) << low.name().toStdString();
}

// IO cycles on their own thread while the main thread edits bands and
// switches devices and the tick reads levels (run under ThreadSanitizer).
TEST_F(AudioAnalysisTest, CyclesRunWhileBandsAndDevicesChange) {
  switchOn();
  std::atomic<bool> stop{false};
  std::thread io([&] {
    std::vector<float> block(std::size_t(kFrames) * 4, 0.25f);
    std::vector<float> out(std::size_t(kFrames) * 2);
    while (!stop.load()) {
      for (std::size_t i = 0; i < block.size(); ++i) block[i] = float(std::sin(double(i)));
      AudioStreamBuffer in{block.data(), 4, kFrames};
      AudioStreamBuffer output{out.data(), 2, kFrames};
      backend.cycle(1, &in, 1, &output, 1);
    }
  });
  std::thread tick([&] {
    while (!stop.load()) dsc.threadProc();
  });
  QKAAOpenGLWaveView* view = analysis->waveView();
  for (int round = 0; round < 40; ++round) {
    view->createWaveViewSlice();
    view->setObjectValue(300.0 + round, QKAAOpenGLWaveView::kBqFreq, 0);
    view->deleteWaveViewSlices({view->numberOfRows() - 1});
    analysis->engine().releaseRetiredBands();
    if (round % 10 == 5) {
      analysis->audioPassThruToggle()->setIntValue(round % 20 == 5 ? 1 : 0, false);
      analysis->audioPassThruToggleUsed();
    }
  }
  stop.store(true);
  io.join();
  tick.join();
  EXPECT_EQ(view->numberOfRows(), 4);
}

}  // namespace
