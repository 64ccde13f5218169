#pragma once

#include "platform/audio/AudioBackend.h"

#include <map>
#include <mutex>

// A backend whose devices a test lists and whose cycles it runs on its own
// thread (`cycle`), with failures on demand.
class FakeAudioBackend : public AudioBackend {
 public:
  void addDevice(const AudioDeviceFacts& facts);
  void removeDevice(std::uint32_t id);
  void setDefaults(std::uint32_t input, std::uint32_t output);
  void failStarts(bool fail) { failStarts_ = fail; }
  // Tells the registry that the list changed.
  void announceChange();

  bool running(std::uint32_t id) const;
  int starts() const { return starts_; }
  // One IO cycle of a running device (nothing when it is not running).
  bool cycle(std::uint32_t id, const AudioStreamBuffer* inputs, int inputCount,
             AudioStreamBuffer* outputs, int outputCount, double now = 0);

  std::vector<std::uint32_t> deviceIds() override;
  std::optional<AudioDeviceFacts> facts(std::uint32_t id) override;
  std::uint32_t defaultInputDevice() override { return defaultInput_; }
  std::uint32_t defaultOutputDevice() override { return defaultOutput_; }
  QString start(std::uint32_t id, IOFunction io, void* client) override;
  QString stop(std::uint32_t id) override;
  void setDevicesChangedHandler(std::function<void()> handler) override { changed_ = handler; }

 private:
  struct Running {
    IOFunction io;
    void* client;
  };
  mutable std::mutex mutex_;
  std::vector<AudioDeviceFacts> devices_;
  std::map<std::uint32_t, Running> running_;
  std::uint32_t defaultInput_ = 0;
  std::uint32_t defaultOutput_ = 0;
  bool failStarts_ = false;
  int starts_ = 0;
  std::function<void()> changed_;
};
