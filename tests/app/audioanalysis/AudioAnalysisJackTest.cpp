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
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/PluginHost.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

constexpr double kTone = 1280;

// Plays the tone (always, or in 60 ms bursts every 500 ms) and counts the
// zero crossings of what it hears.
class ToneClient {
 public:
  ToneClient() {
    jack_status_t status;
    client_ = jack_client_open("zaph-test-tone", JackNoStartServer, &status);
    if (!client_) return;
    out_ = jack_port_register(client_, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    rate_ = jack_get_sample_rate(client_);
    jack_set_process_callback(client_, &ToneClient::process, this);
    jack_activate(client_);
  }
  ~ToneClient() {
    if (client_) jack_client_close(client_);
  }
  bool ready() const { return client_ && out_ && in_; }

  // Connects the tone to every input port of the other clients (the
  // analysis stream's) and their outputs to our input.
  int connectToAnalysis() {
    int connected = 0;
    const char** inputs =
        jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    for (int i = 0; inputs && inputs[i]; ++i) {
      const QString name = QString::fromUtf8(inputs[i]);
      if (name.startsWith(QStringLiteral("zaph-test-tone:")) ||
          name.startsWith(QStringLiteral("system:")))
        continue;
      if (jack_connect(client_, jack_port_name(out_), inputs[i]) == 0) ++connected;
    }
    jack_free(inputs);
    const char** outputs =
        jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    for (int i = 0; outputs && outputs[i]; ++i) {
      const QString name = QString::fromUtf8(outputs[i]);
      if (name.startsWith(QStringLiteral("zaph-test-tone:")) ||
          name.startsWith(QStringLiteral("system:")))
        continue;
      jack_connect(client_, outputs[i], jack_port_name(in_));
    }
    jack_free(outputs);
    return connected;
  }

  std::atomic<bool> bursts{false};
  std::atomic<long> crossings{0};

 private:
  static int process(jack_nframes_t frames, void* self) {
    static_cast<ToneClient*>(self)->cycle(frames);
    return 0;
  }
  void cycle(jack_nframes_t frames) {
    auto* out = static_cast<float*>(jack_port_get_buffer(out_, frames));
    const auto* in = static_cast<const float*>(jack_port_get_buffer(in_, frames));
    const long period = long(rate_) / 2, burst = long(rate_) * 60 / 1000;
    for (jack_nframes_t k = 0; k < frames; ++k, ++frame_) {
      const bool on = !bursts.load(std::memory_order_relaxed) || frame_ % period < burst;
      out[k] = on ? 0.1f * float(std::sin(2 * M_PI * kTone * double(frame_) / rate_)) : 0.0f;
      if ((in[k] >= 0) != (last_ >= 0) && std::fabs(in[k] - last_) > 1e-4f) crossings.fetch_add(1);
      last_ = in[k];
    }
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* out_ = nullptr;
  jack_port_t* in_ = nullptr;
  double rate_ = 48000;
  long frame_ = 0;
  float last_ = 0;
};

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
  ToneClient tone;
  ASSERT_TRUE(tone.ready());
  ASSERT_GT(tone.connectToAnalysis(), 0);
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
  ToneClient tone;
  ASSERT_TRUE(tone.ready());
  ASSERT_GT(tone.connectToAnalysis(), 0);
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

  ToneClient tone;
  ASSERT_TRUE(tone.ready());
  ASSERT_GT(tone.connectToAnalysis(), 0);
  float most[4] = {};
  tickFor(1.0, [&] {
    for (int k = 0; k < 4; ++k) most[k] = std::max(most[k], level(k));
  });
  EXPECT_GT(most[2], 4 * most[0]);
  EXPECT_GT(most[2], 4 * most[3]);
}

}  // namespace
