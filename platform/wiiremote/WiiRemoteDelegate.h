#pragma once

#include <QString>

class WiiRemote;

// What a Wii remote tells its owner, always on the main thread and in the
// order the remote reported it.
class WiiRemoteDelegate {
 public:
  virtual ~WiiRemoteDelegate() = default;
  virtual void wiiRemoteConnected() {}
  // The text to show (never empty).
  virtual void wiiRemoteDiscoveryError(const QString& text) { (void)text; }
  virtual void wiiRemoteConnectionError(const QString& text) { (void)text; }
  virtual void wiiRemoteDisconnected() {}
  virtual void batteryLevelChanged(float level) { (void)level; }
  // Codes 0..27 (remote, nunchuk, classic controller).
  virtual void buttonChanged(int code, bool pressed, WiiRemote* remote) {
    (void)code, (void)pressed, (void)remote;
  }
  // Fractions of the screen from the left and the top; 100.0 where no dot
  // is seen.
  virtual void irPointMovedX(float x, float y, WiiRemote* remote) {
    (void)x, (void)y, (void)remote;
  }
  // Stick 0 nunchuk, 1 classic left, 2 classic right; 0..1 each.
  virtual void joyStickChanged(int code, float x, float y, WiiRemote* remote) {
    (void)code, (void)x, (void)y, (void)remote;
  }
  // Sensor 0 remote, 1 nunchuk; 0..1 with 0.5 at rest.
  virtual void accelerationChanged(int code, float x, float y, float z, WiiRemote* remote) {
    (void)code, (void)x, (void)y, (void)z, (void)remote;
  }
  virtual void wiiRemoteExpansionPortChanged() {}
};
