#include "platform/audio/FakeAudioBackend.h"

#include <algorithm>

void FakeAudioBackend::addDevice(const AudioDeviceFacts& facts) {
  std::lock_guard lock(mutex_);
  devices_.push_back(facts);
}

void FakeAudioBackend::removeDevice(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  std::erase_if(devices_, [id](const AudioDeviceFacts& facts) { return facts.id == id; });
  running_.erase(id);
}

void FakeAudioBackend::setDefaults(std::uint32_t input, std::uint32_t output) {
  defaultInput_ = input;
  defaultOutput_ = output;
}

void FakeAudioBackend::announceChange() {
  if (changed_) changed_();
}

bool FakeAudioBackend::running(std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  return running_.count(id) > 0;
}

bool FakeAudioBackend::cycle(std::uint32_t id, const AudioStreamBuffer* inputs, int inputCount,
                             AudioStreamBuffer* outputs, int outputCount, double now) {
  Running run;
  {
    std::lock_guard lock(mutex_);
    const auto found = running_.find(id);
    if (found == running_.end()) return false;
    run = found->second;
  }
  run.io(run.client, inputs, inputCount, outputs, outputCount, now);
  return true;
}

std::vector<std::uint32_t> FakeAudioBackend::deviceIds() {
  std::lock_guard lock(mutex_);
  std::vector<std::uint32_t> ids;
  for (const AudioDeviceFacts& facts : devices_) ids.push_back(facts.id);
  return ids;
}

std::optional<AudioDeviceFacts> FakeAudioBackend::facts(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  for (const AudioDeviceFacts& facts : devices_)
    if (facts.id == id) return facts;
  return std::nullopt;
}

QString FakeAudioBackend::start(std::uint32_t id, IOFunction io, void* client) {
  std::lock_guard lock(mutex_);
  if (failStarts_) return QStringLiteral("the fake device refuses to start");
  ++starts_;
  running_[id] = Running{io, client};
  return {};
}

QString FakeAudioBackend::stop(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  running_.erase(id);
  return {};
}
