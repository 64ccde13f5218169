#pragma once

class DataSourceController;
class MasterClockInterface;
class MIDIManagerInterface;
class QKOSCManager;

// What the framework asks of the application controller.
class AppControllerInterface {
 public:
  virtual ~AppControllerInterface() = default;
  // Null until the manager exists.
  virtual MIDIManagerInterface* midiManager() = 0;
  virtual QKOSCManager* oscManager() = 0;
  virtual DataSourceController* dataSourceController() = 0;
  // Null until the clock exists.
  virtual MasterClockInterface* masterClock() { return nullptr; }
};
