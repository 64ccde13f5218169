// Real audio through a JACK dummy server, which becomes the default device:
// a test-owned JACK client plays a 1280 Hz tone into the analysis stream's
// input ports, reads the pass-through back, and the server goes and comes.
#include "app/plugins/audioanalysis/AudioAnalysis.h"
#include "app/plugins/audioanalysis/QKAAOpenGLWaveView.h"
#include "framework/audio/QKAudioDeviceController.h"
#include "framework/audio/QKAudioDeviceThreadController.h"
#include "framework/controls/QKButton.h"

#include <QComboBox>
#include "platform/foundation/MainThread.h"
#include "tests/support/Eventually.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/JackServer.h"
#include "tests/support/JackToneClient.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/PluginHost.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

class AudioAnalysisJack : public PluginHost {
 protected:
  void SetUp() override {
    ASSERT_TRUE(jack->ready()) << jack->error().toStdString();
    registry = std::make_unique<QKAudioDeviceThreadController>(this);
    analysis = make<AudioAnalysis>();
    ASSERT_NE(analysis, nullptr);
    ASSERT_FALSE(analysis->lastSelectedInputName().isEmpty()) << "no default input";
    analysis->engine().setNormalizeLevels(false);
    analysis->onOffToggle()->setIntValue(1, false);
    analysis->onOffToggleUsed();
    ASSERT_TRUE(analysis->engine().running());
  }
  void TearDown() override {
    manager.reset();
    registry.reset();
  }
  float level(int band) {
    return dsc
        .dataSourceForKeyArray({analysis->windowTitle(), QStringLiteral("band-%1").arg(band)})
        ->value();
  }
  // Ticks the tree in real time for `seconds`, calling `each` after a tick.
  void tickFor(double seconds, const std::function<void()>& each = {}) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto next = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
      next += std::chrono::microseconds(22200);
      std::this_thread::sleep_until(next);
      dsc.threadProc();
      if (each) each();
      MainThread::processUntil([] { return false; }, 0);
    }
  }

  std::unique_ptr<JackServer> jack = std::make_unique<JackServer>();
  std::unique_ptr<QKAudioDeviceThreadController> registry;
  AudioAnalysis* analysis = nullptr;
};

TEST_F(AudioAnalysisJack, ATonePlayedIntoTheStreamMovesItsBand) {
  JackToneClient tone;
  ASSERT_TRUE(tone.ready());
  ASSERT_GT(tone.connectToOthers(), 0);
  tone.play();
  float most[4] = {};
  tickFor(1.0, [&] {
    for (int k = 0; k < 4; ++k) most[k] = std::max(most[k], level(k));
  });
  EXPECT_GT(most[2], 4 * most[0]);
  EXPECT_GT(most[2], 4 * most[3]);

  // Bursts: band-2 rises above half its peak once a burst and falls below
  // a tenth of it between.
  tone.bursts = true;
  std::vector<float> values;
  tickFor(3.0, [&] { values.push_back(level(2)); });
  const float peak = *std::max_element(values.begin(), values.end());
  int rises = 0;
  bool low = true;
  for (float v : values) {
    if (low && v > peak / 2) ++rises, low = false;
    if (v < peak / 10) low = true;
  }
  EXPECT_NEAR(rises, 6, 1);
}

TEST_F(AudioAnalysisJack, PassThroughPlaysTheInputBack) {
  analysis->audioPassThruToggle()->setIntValue(1, false);
  analysis->audioPassThruToggleUsed();
  ASSERT_TRUE(analysis->engine().passThruRunning());
  JackToneClient tone;
  ASSERT_TRUE(tone.ready());
  ASSERT_GT(tone.connectToOthers(), 0);
  tone.play();
  tickFor(0.3);
  tone.crossings = 0;
  tickFor(1.0);
  // 1280 Hz crosses zero 2560 times a second.
  EXPECT_NEAR(double(tone.crossings.load()), 2560.0, 400.0);
}

// Notes, for each hardware change, whether it reached us on the main thread.
struct HardwareChanges {
  HardwareChanges() {
    NotificationCenter::defaultCenter().addObserver(
        this, QKAudioDeviceThreadController::kAudioHardwareChangedNotification, nullptr,
        [this](const Notification&) { onMainThread.push_back(MainThread::isMainThread()); });
  }
  ~HardwareChanges() { NotificationCenter::defaultCenter().removeObserver(this); }
  std::vector<bool> onMainThread;
};

// The server dies under a running analysis and comes back under the same
// name: the device is retired on the main thread without blocking it, the
// plug-in goes off, and once the server runs again the device is listed
// anew and the analysis resumes on its own.
TEST_F(AudioAnalysisJack, AServerThatStopsAndStartsAgainRetiresTheDeviceThenResumes) {
  const QString device = analysis->lastSelectedInputName();
  const QString serverName = jack->name();
  HardwareChanges changes;
  {
    HangWatchdog watchdog("retiring the device of a stopped JACK server", 20);
    jack.reset();
    EXPECT_TRUE(MainThread::processUntil([&] { return !analysis->engine().running(); }, 8));
  }
  ASSERT_FALSE(changes.onMainThread.empty());
  EXPECT_EQ(std::count(changes.onMainThread.begin(), changes.onMainThread.end(), false), 0);
  EXPECT_EQ(analysis->audioSource(), nullptr);
  EXPECT_FALSE(registry->inputDeviceDictionary().contains(device));
  EXPECT_EQ(analysis->audioInputDevices()->findText(device), -1);

  jack = std::make_unique<JackServer>(serverName);
  ASSERT_TRUE(jack->ready()) << jack->error().toStdString();
  EXPECT_TRUE(MainThread::processUntil([&] { return analysis->engine().running(); }, 8));
  EXPECT_TRUE(registry->inputDeviceDictionary().contains(device));
  EXPECT_NE(analysis->audioSource(), nullptr);
  EXPECT_GE(analysis->audioInputDevices()->findText(device), 0);

  JackToneClient tone;
  ASSERT_TRUE(tone.ready());
  ASSERT_GT(tone.connectToOthers(), 0);
  tone.play();
  float most[4] = {};
  tickFor(1.0, [&] {
    for (int k = 0; k < 4; ++k) most[k] = std::max(most[k], level(k));
  });
  EXPECT_GT(most[2], 4 * most[0]);
  EXPECT_GT(most[2], 4 * most[3]);
}

}  // namespace
