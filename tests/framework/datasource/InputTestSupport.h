#pragma once

#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/MIDIManagerInterface.h"
#include "framework/datasource/MasterClockInterface.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/support/NotificationCounter.h"

#include <QHash>

#include <mutex>
#include <vector>

class FakeClock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(message);
  }
  QKMIDIMessageArray received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  mutable std::mutex mutex_;
  QKMIDIMessageArray received_;
};

// A MIDI manager that only knows dedicated names.
class FakeDedicatingMIDIManager : public MIDIManagerInterface {
 public:
  void bang() override {}
  QString dedicatedNameFor(const QString& sourceName) const override {
    return dedicated.value(sourceName);
  }
  QHash<QString, QString> dedicated;
};

class FakeInputApp : public AppControllerInterface {
 public:
  MIDIManagerInterface* midiManager() override { return midi; }
  QKOSCManager* oscManager() override { return osc; }
  DataSourceController* dataSourceController() override { return dsc; }
  MasterClockInterface* masterClock() override { return clock; }
  DataSourceController* dsc = nullptr;
  MIDIManagerInterface* midi = nullptr;
  QKOSCManager* osc = nullptr;
  MasterClockInterface* clock = nullptr;
};
