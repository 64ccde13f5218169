#pragma once

#include "platform/wiiremote/WiiInputEvent.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

// One opened remote. Reading runs on the remote's own thread; the setters
// may be called from the main thread meanwhile.
class WiiRemoteConnection {
 public:
  virtual ~WiiRemoteConnection() = default;
  // Waits up to `timeoutMs` for reports and appends them; answers false once
  // the device is gone (with the reason in `error`).
  virtual bool waitForEvents(std::vector<WiiInputEvent>& out, int timeoutMs, QString* error) = 0;
  // Ends a wait under way at once.
  virtual void wake() = 0;
  // The Bluetooth address, else the device path; empty when unknown.
  virtual QString address() const = 0;
  virtual int extension() const = 0;  // WiiExtension
  // 0..100, or -1 when it cannot be read.
  virtual int batteryPercent() const = 0;
  virtual WiiAxisRange axisRange(WiiInputEvent::Device device, std::uint16_t code) const = 0;
  virtual void setLEDs(const std::array<bool, 4>& leds) = 0;
  virtual void setRumble(bool on) = 0;
  virtual void setMotionSensing(bool on) = 0;
  virtual void setIRSensing(bool on) = 0;
};

// Finds and opens remotes.
class WiiRemoteBackend {
 public:
  virtual ~WiiRemoteBackend() = default;
  // The remotes the system has now, each by a stable id, in its order.
  virtual std::vector<QString> listRemotes() = 0;
  // Null with the reason in `error` when the remote cannot be opened.
  virtual std::unique_ptr<WiiRemoteConnection> open(const QString& id, QString* error) = 0;
  // The text shown when no remote is found (or why none can be).
  virtual QString whyNoRemote() const = 0;
};
