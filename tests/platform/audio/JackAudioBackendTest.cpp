// The JACK server as an audio device, on the tests' dummy server (48 kHz,
// 256 frames a period, two capture and two playback ports).
#include "platform/audio/JackAudioBackend.h"
#include "tests/support/Eventually.h"
#include "tests/support/JackServer.h"

#include <gtest/gtest.h>

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// What the IO function saw, from the process thread.
struct Cycles {
  std::atomic<long> frames{0};
  std::atomic<int> largest{0};
  std::atomic<int> inputChannels{0};
  std::atomic<int> outputChannels{0};

  static void io(void* self, const AudioStreamBuffer* inputs, int inputCount,
                 AudioStreamBuffer* outputs, int outputCount, double) {
    auto* cycles = static_cast<Cycles*>(self);
    const int frames = inputCount > 0 ? inputs[0].frames : 0;
    cycles->frames.fetch_add(frames);
    if (frames > cycles->largest.load()) cycles->largest.store(frames);
    cycles->inputChannels.store(inputCount > 0 ? inputs[0].channels : 0);
    cycles->outputChannels.store(outputCount > 0 ? outputs[0].channels : 0);
  }
};

long framesIn(Cycles& cycles, double seconds) {
  const long before = cycles.frames.load();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return cycles.frames.load() - before;
}

TEST(JackAudioBackend, TheServerIsOneDeviceAndTheDefault) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  JackAudioBackend backend;
  ASSERT_EQ(backend.deviceIds(), std::vector<std::uint32_t>{JackAudioBackend::kDeviceId});
  const std::optional<AudioDeviceFacts> facts = backend.facts(JackAudioBackend::kDeviceId);
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->name, QStringLiteral("system"));
  EXPECT_EQ(facts->inputStreams, std::vector<int>{2});
  EXPECT_EQ(facts->outputStreams, std::vector<int>{2});
  EXPECT_EQ(facts->framesPerBuffer, 256);
  EXPECT_EQ(facts->sampleRate, 48000.0);
  EXPECT_EQ(backend.defaultInputDevice(), JackAudioBackend::kDeviceId);
  EXPECT_EQ(backend.defaultOutputDevice(), JackAudioBackend::kDeviceId);
  EXPECT_FALSE(backend.facts(1));
  EXPECT_FALSE(backend.start(1, &Cycles::io, nullptr).isEmpty());
}

// The server's period grows to 1024 frames while the device runs: the IO
// function still gets at most the 256 frames its buffers hold, every frame
// once.
TEST(JackAudioBackend, APeriodLongerThanTheBuffersRunsInParts) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  JackAudioBackend backend;
  Cycles cycles;
  ASSERT_TRUE(backend.start(JackAudioBackend::kDeviceId, &Cycles::io, &cycles).isEmpty());
  EXPECT_TRUE(waitFor([&] { return cycles.frames.load() > 0; }, 5.0));
  EXPECT_EQ(cycles.inputChannels.load(), 2);
  EXPECT_EQ(cycles.outputChannels.load(), 2);

  jack_status_t status;
  jack_client_t* other = jack_client_open("zaph-test-period", JackNoStartServer, &status);
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(jack_set_buffer_size(other, 1024), 0);
  EXPECT_EQ(jack_get_buffer_size(other), 1024u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  cycles.largest = 0;
  EXPECT_NEAR(double(framesIn(cycles, 1.0)), 48000.0, 48000.0 * 0.25);
  EXPECT_EQ(cycles.largest.load(), 256);
  jack_client_close(other);
  EXPECT_TRUE(backend.stop(JackAudioBackend::kDeviceId).isEmpty());
  const long stopped = cycles.frames.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(cycles.frames.load(), stopped);
}

}  // namespace
