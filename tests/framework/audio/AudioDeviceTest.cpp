// Audio devices and their registry on a fake backend whose cycles the tests
// run: channel layout, clients, start and stop, skipped cycles, odd cycle
// lengths, retirement, hot-plug and names.
#include "framework/audio/QKAudioDeviceController.h"
#include "framework/audio/QKAudioDeviceThreadController.h"
#include "framework/audio/QKAudioPlugin.h"
#include "platform/audio/AudioThreadLog.h"
#include "platform/audio/FakeAudioBackend.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

AudioDeviceFacts device(std::uint32_t id, const char* name, std::vector<int> inputs,
                        std::vector<int> outputs, int frames = 8) {
  return {id, QString::fromLatin1(name), std::move(inputs), std::move(outputs), frames, 48000};
}

// A plug-in recording what its input callback saw and adding a constant
// into the output.
class Listener : public QKAudioPlugin {
 public:
  explicit Listener(float adds = 0)
      : QKAudioPlugin(QStringLiteral("Listener"), {}, 1), adds_(adds) {
    setInputCallback(&Listener::heard);
    setOutputCallback(&Listener::played);
  }
  ~Listener() override {
    if (!deleted()) prepareToBeDeleted();
  }
  std::vector<float> lastInput;
  int lastFrames = -1;
  std::atomic<int> cycles{0};
  std::function<void()> duringInput;

 private:
  static std::int32_t heard(std::uint32_t, double, const AudioStreamBuffer* input,
                            AudioStreamBuffer*, QKAudioPlugin* plugin) {
    auto* self = static_cast<Listener*>(plugin);
    self->lastInput.assign(input->data, input->data + std::size_t(input->frames) * input->channels);
    self->lastFrames = input->frames;
    ++self->cycles;
    if (self->duringInput) self->duringInput();
    return 0;
  }
  static std::int32_t played(std::uint32_t, double, const AudioStreamBuffer*,
                             AudioStreamBuffer* output, QKAudioPlugin* plugin) {
    auto* self = static_cast<Listener*>(plugin);
    for (int i = 0; i < output->frames * output->channels; ++i) output->data[i] += self->adds_;
    ++self->cycles;
    return 0;
  }
  float adds_;
};

struct Streams {
  std::vector<std::vector<float>> data;
  std::vector<AudioStreamBuffer> buffers;
  Streams(std::vector<int> channels, int frames, float base = 0) {
    for (int c : channels) {
      std::vector<float> block(std::size_t(c) * frames);
      for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = base + float(data.size()) * 100 + float(i);
      data.push_back(block);
    }
    for (std::size_t i = 0; i < data.size(); ++i)
      buffers.push_back({data[i].data(), channels[i], frames});
  }
  AudioStreamBuffer* get() { return buffers.data(); }
  int count() const { return static_cast<int>(buffers.size()); }
};

TEST(AudioDevice, GathersInputStreamsInStreamOrder) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Two stereo", {2, 2}, {}, 4));
  QKAudioDeviceController controller(backend, 1);
  EXPECT_EQ(controller.inputChannelCount(), 4);
  EXPECT_EQ(controller.inputBuffersArray(), (std::vector<int>{2, 2}));
  EXPECT_EQ(controller.deviceBufferSize(), 4u * 4 * 4);
  Listener listener;
  controller.subscribeObject(&listener, true);
  ASSERT_TRUE(backend.running(1));
  Streams in({2, 2}, 4);
  backend.cycle(1, in.get(), in.count(), nullptr, 0);
  // Frame 1: stream 0's (2, 3), then stream 1's (102, 103).
  ASSERT_EQ(listener.lastInput.size(), 16u);
  EXPECT_EQ(listener.lastInput[4], 2.0f);
  EXPECT_EQ(listener.lastInput[5], 3.0f);
  EXPECT_EQ(listener.lastInput[6], 102.0f);
  EXPECT_EQ(listener.lastInput[7], 103.0f);
}

TEST(AudioDevice, SizesAnOutputOnlyDeviceAndSumsItsClients) {
  FakeAudioBackend backend;
  backend.addDevice(device(2, "Speakers", {}, {2}, 8));
  QKAudioDeviceController controller(backend, 2);
  EXPECT_EQ(controller.deviceBufferSize(), controller.outputBufferSize());
  EXPECT_EQ(controller.inputFrameCount(), 0u);
  EXPECT_EQ(controller.outputFrameCount(), 8u);
  Listener a(0.25f), b(0.5f);
  controller.subscribeObject(&a, false);
  controller.subscribeObject(&b, false);
  Streams out({2}, 8, 9);  // stale samples the device left
  backend.cycle(2, nullptr, 0, out.get(), out.count());
  for (float sample : out.data[0]) EXPECT_EQ(sample, 0.75f);
  backend.cycle(2, nullptr, 0, out.get(), out.count());  // cleared between cycles
  for (float sample : out.data[0]) EXPECT_EQ(sample, 0.75f);
}

TEST(AudioDevice, RunsOnlyWhileAClientIsSubscribed) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Duplex", {2}, {2}));
  backend.addDevice(device(2, "Other", {2}, {2}));
  QKAudioDeviceController first(backend, 1), second(backend, 2);
  EXPECT_FALSE(backend.running(1));
  Listener listener;
  first.subscribeObject(&listener, true);
  first.subscribeObject(&listener, false);
  first.subscribeObject(&listener, true);  // again: nothing, and no deadlock
  EXPECT_EQ(first.inputClientCount(), 1);
  EXPECT_TRUE(backend.running(1));
  // Moved to the other device for input; stays on the first for output.
  second.subscribeObject(&listener, true);
  EXPECT_EQ(first.inputClientCount(), 0);
  EXPECT_EQ(first.outputClientCount(), 1);
  EXPECT_EQ(listener.audioSource(), &second);
  EXPECT_EQ(listener.audioDest(), &first);
  first.unsubscribeObject(&listener, false);
  EXPECT_FALSE(backend.running(1));
  EXPECT_EQ(listener.audioDest(), nullptr);
  first.subscribeObject(&listener, false);
  EXPECT_TRUE(backend.running(1));
  EXPECT_EQ(backend.starts(), 3);  // first, second, first again
  listener.prepareToBeDeleted();
  EXPECT_FALSE(backend.running(1));
  EXPECT_FALSE(backend.running(2));
}

TEST(AudioDevice, AFailedStartKeepsTheClientsForTheNextTry) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Stubborn", {2}, {}));
  QKAudioDeviceController controller(backend, 1);
  Listener a, b;
  backend.failStarts(true);
  LogCapture log;
  controller.subscribeObject(&a);
  EXPECT_FALSE(controller.isRunning());
  EXPECT_EQ(controller.inputClientCount(), 1);
  EXPECT_EQ(log.lines().size(), 1);
  backend.failStarts(false);
  controller.subscribeObject(&b);
  EXPECT_TRUE(controller.isRunning());
}

// Each cycle uses its own frames up to what the buffers hold, and output
// past that is silence.
TEST(AudioDevice, CyclesShorterAndLongerThanTheBuffers) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Duplex", {1}, {1}, 8));
  QKAudioDeviceController controller(backend, 1);
  Listener listener(1.0f);
  controller.subscribeObject(&listener, true);
  controller.subscribeObject(&listener, false);
  for (int frames : {3, 8, 20}) {
    Streams in({1}, frames), out({1}, frames, 5);
    backend.cycle(1, in.get(), 1, out.get(), 1);
    EXPECT_EQ(listener.lastFrames, std::min(frames, 8)) << frames;
    for (int k = 0; k < frames; ++k) EXPECT_EQ(out.data[0][k], k < 8 ? 1.0f : 0.0f) << frames << k;
  }
}

// A cycle that finds the lock busy writes silence instead of leaving what
// the device's buffers held.
TEST(AudioDevice, ASkippedCycleIsSilent) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Duplex", {1}, {1}, 4));
  QKAudioDeviceController controller(backend, 1);
  Listener listener(1.0f);
  std::promise<void> inside, leave;
  listener.duringInput = [&] {
    inside.set_value();
    leave.get_future().wait();
  };
  controller.subscribeObject(&listener, true);
  std::thread holder([&] {
    Streams in({1}, 4), out({1}, 4);
    backend.cycle(1, in.get(), 1, out.get(), 1);
  });
  inside.get_future().wait();
  Streams in({1}, 4), out({1}, 4, 7);
  backend.cycle(1, in.get(), 1, out.get(), 1);
  for (float sample : out.data[0]) EXPECT_EQ(sample, 0.0f);
  leave.set_value();
  holder.join();
  listener.duringInput = nullptr;
}

TEST(AudioDevice, QuitDetachesEveryClientForGood) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Duplex", {2}, {2}));
  QKAudioDeviceController controller(backend, 1);
  Listener a, b;
  controller.subscribeObject(&a, true);
  controller.subscribeObject(&b, false);
  controller.prepareToQuit();
  EXPECT_EQ(a.audioSource(), nullptr);
  EXPECT_EQ(b.audioDest(), nullptr);
  EXPECT_FALSE(backend.running(1));
  controller.subscribeObject(&a, true);
  EXPECT_EQ(a.audioSource(), nullptr);
  EXPECT_FALSE(backend.running(1));
}

TEST(AudioDevice, NamesAnUnnamedDevice) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "", {2}, {}));
  EXPECT_EQ(QKAudioDeviceController(backend, 1).deviceName(),
            QStringLiteral("Unnamed audio device"));
  LogCapture log;
  EXPECT_EQ(QKAudioDeviceController(backend, 0).inputChannelCount(), 0);
}

// --- The registry ---------------------------------------------------------------------------

TEST(AudioRegistry, ListsDevicesByUniqueNameOnEachSide) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Duplex", {2}, {2}));
  backend.addDevice(device(2, "USB Audio", {1}, {}));
  backend.addDevice(device(3, "USB Audio", {1}, {}));
  backend.addDevice(device(4, "Silent", {}, {}));
  backend.setDefaults(3, 1);
  QKAudioDeviceThreadController registry(nullptr, &backend);
  EXPECT_EQ(registry.inputDeviceDictionary().keys(),
            QStringList({QStringLiteral("Duplex"), QStringLiteral("USB Audio"),
                         QStringLiteral("USB Audio (2)")}));
  EXPECT_EQ(registry.outputDeviceDictionary().keys(), QStringList{QStringLiteral("Duplex")});
  EXPECT_EQ(registry.ptrToAudioDeviceNamed(QStringLiteral("Duplex"), true),
            registry.ptrToAudioDeviceNamed(QStringLiteral("Duplex"), false));
  EXPECT_EQ(registry.defaultInputDeviceName(), QStringLiteral("USB Audio (2)"));
  EXPECT_EQ(registry.defaultOutputDeviceName(), QStringLiteral("Duplex"));
  EXPECT_EQ(registry.ptrToAudioDeviceWithId(3)->deviceID(), 3u);
}

TEST(AudioRegistry, FollowsDevicesComingAndGoing) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Card", {2}, {2}));
  backend.addDevice(device(2, "USB", {1}, {}));
  QKAudioDeviceThreadController registry(nullptr, &backend);
  Listener onCard, onUsb;
  registry.subscribeMeToInput(&onCard, QStringLiteral("Card"));
  registry.subscribeMeToInput(&onUsb, QStringLiteral("USB"));
  QKAudioDeviceController* card = onCard.audioSource();
  ASSERT_NE(card, nullptr);
  int notices = 0;
  NotificationObservers observers;
  observers.observe(QKAudioDeviceThreadController::kAudioHardwareChangedNotification, nullptr,
                    [&](const Notification&) { ++notices; });

  backend.removeDevice(2);
  backend.addDevice(device(3, "Headset", {1}, {2}));
  backend.announceChange();  // on the main thread: at once
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(onUsb.audioSource(), nullptr);  // retired
  EXPECT_EQ(onCard.audioSource(), card);    // kept, with its subscriber
  EXPECT_EQ(registry.ptrToAudioDeviceNamed(QStringLiteral("Card")), card);
  EXPECT_EQ(registry.ptrToAudioDeviceNamed(QStringLiteral("USB")), nullptr);
  EXPECT_NE(registry.ptrToAudioDeviceNamed(QStringLiteral("Headset"), false), nullptr);
  EXPECT_TRUE(backend.running(1));
}

TEST(AudioRegistry, SubscribingByNameTwiceChangesNothing) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Card", {2}, {}));
  QKAudioDeviceThreadController registry(nullptr, &backend);
  Listener listener;
  registry.subscribeMeToInput(&listener, QStringLiteral("Card"));
  LogCapture log;
  registry.subscribeMeToInput(&listener, QStringLiteral("Card"));
  EXPECT_TRUE(log.contains(QStringLiteral("already subscribed to device Card")));
  EXPECT_EQ(registry.ptrToAudioDeviceNamed(QStringLiteral("Card"))->inputClientCount(), 1);
  // An unknown name leaves the input side empty.
  registry.subscribeMeToInput(&listener, QStringLiteral("Gone"));
  EXPECT_EQ(listener.audioSource(), nullptr);
}

TEST(AudioRegistry, QuitRetiresEveryDevice) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Card", {2}, {2}));
  QKAudioDeviceThreadController registry(nullptr, &backend);
  Listener listener;
  registry.subscribeMe(&listener, QStringLiteral("Card"), false);
  ASSERT_TRUE(backend.running(1));
  NotificationCenter::defaultCenter().post(QStringLiteral("AppAboutToQuitNotification"));
  EXPECT_EQ(listener.audioDest(), nullptr);
  EXPECT_FALSE(backend.running(1));
  EXPECT_TRUE(registry.ptrToAudioDeviceNamed(QStringLiteral("Card"))->deleted());
}

TEST(AudioRegistry, HandsItselfToAnnouncedPlugins) {
  FakeAudioBackend backend;
  QKAudioDeviceThreadController registry(nullptr, &backend);
  Listener listener;
  NotificationCenter::defaultCenter().post(QKAudioPlugin::kNewAudioPluginNotification, &listener);
  EXPECT_EQ(listener.audioDeviceThreadController(), &registry);
}

}  // namespace

namespace {

// A client failing every cycle is reported from the main thread, once per
// drain with its count: the IO thread neither allocates nor waits to log.
TEST(AudioDevice, ClientErrorsAreLoggedFromTheMainThreadWithACount) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Card", {1}, {}));
  QKAudioDeviceController controller(backend, 1);
  struct Failing : QKAudioPlugin {
    Failing() : QKAudioPlugin(QStringLiteral("Failing"), {}, 2) {
      setInputCallback([](std::uint32_t, double, const AudioStreamBuffer*, AudioStreamBuffer*,
                          QKAudioPlugin*) -> std::int32_t { return -7; });
    }
    ~Failing() override { prepareToBeDeleted(); }
  } failing;
  controller.subscribeObject(&failing);
  LogCapture log;
  AudioThreadLog::drain();
  log.clear();
  Streams in({1}, 8);
  for (int i = 0; i < 3; ++i) backend.cycle(1, in.get(), 1, nullptr, 0);
  EXPECT_TRUE(log.lines().isEmpty());
  AudioThreadLog::drain();
  ASSERT_EQ(log.lines().size(), 1);
  EXPECT_EQ(log.lines()[0],
            QStringLiteral("error: -7 at audio device: 1 passing audio to input (3 times)"));
  AudioThreadLog::drain();
  EXPECT_EQ(log.lines().size(), 1);
}

// The platform says devices changed on a thread of its own; the lists are
// rebuilt, and the gone device retired, on the main thread.
TEST(AudioRegistry, AChangeNoticedOnAnotherThreadIsHandledOnTheMainThread) {
  FakeAudioBackend backend;
  backend.addDevice(device(1, "Card", {2}, {2}));
  backend.addDevice(device(2, "USB", {1}, {}));
  QKAudioDeviceThreadController registry(nullptr, &backend);
  Listener onUsb;
  registry.subscribeMeToInput(&onUsb, QStringLiteral("USB"));
  QKAudioDeviceController* usb = onUsb.audioSource();
  ASSERT_NE(usb, nullptr);
  bool onMain = false;
  NotificationObservers observers;
  observers.observe(QKAudioDeviceThreadController::kAudioHardwareChangedNotification, nullptr,
                    [&](const Notification&) { onMain = MainThread::isMainThread(); });
  backend.removeDevice(2);
  std::thread([&] { backend.announceChange(); }).join();
  EXPECT_TRUE(registry.ptrToAudioDeviceNamed(QStringLiteral("USB")) != nullptr);  // not yet
  ASSERT_TRUE(MainThread::processUntil([&] { return onMain; }, 3));
  EXPECT_EQ(registry.ptrToAudioDeviceNamed(QStringLiteral("USB")), nullptr);
  EXPECT_EQ(onUsb.audioSource(), nullptr);
  EXPECT_TRUE(usb->deleted());  // retired, still a valid object
}

}  // namespace
