#pragma once

#include "platform/wiiremote/WiiRemoteBackend.h"
#include "platform/wiiremote/WiiRemoteDelegate.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct WiiReport;

// One Nintendo Wii remote, read through the kernel's driver. Searching
// takes the first remote the system lists that no other WiiRemote holds,
// watching for one for a while (30 s); the remote is then read on a thread
// of its own, which hands every report to the main thread in order, where
// the delegate is called. `disconnect` stops and joins that thread before
// the device is closed; no callback arrives after it.
//
// Main thread only, but for the backend, which its thread uses.
class WiiRemote {
 public:
  static const QString
      kExpansionPortChangedNotification;  // "WiiRemoteExpansionPortChangedNotification"
  static const QString kNoRemoteFound;    // the discovery error's text

  // The backend of new remotes (the kernel's driver unless a test sets one).
  static std::shared_ptr<WiiRemoteBackend> defaultBackend();
  static void setDefaultBackend(std::shared_ptr<WiiRemoteBackend> backend);
  // How long a search watches for a remote (30 s; tests shorten it).
  static void setSearchSeconds(double seconds);
  // How often the battery is read while connected (60 s).
  static void setBatterySeconds(double seconds);

  explicit WiiRemote(std::shared_ptr<WiiRemoteBackend> backend = defaultBackend());
  ~WiiRemote();
  WiiRemote(const WiiRemote&) = delete;
  WiiRemote& operator=(const WiiRemote&) = delete;

  void setDelegate(WiiRemoteDelegate* delegate) { delegate_ = delegate; }
  void startSearching();
  // The remote's Bluetooth address (else its device path); empty until
  // connected.
  QString address() const;
  void setMotionSensorEnabled(bool on);
  void setIRSensorEnabled(bool on);
  void setLEDEnabled(bool led1, bool led2, bool led3, bool led4);
  void setForceFeedbackEnabled(bool on);
  // 1 nunchuk, 2 classic controller, else none.
  int expansionPortType() const { return expansion_.load(); }
  void disconnect();
  bool searching() const { return thread_.joinable() && !connected_.load(); }
  bool connected() const { return connected_.load(); }

 private:
  void run();
  bool search(QString* id);
  void readLoop(WiiRemoteConnection& connection);
  bool waitFor(double seconds);
  void deliver(const std::vector<WiiReport>& reports);
  // Runs `call` on the main thread unless this remote has disconnected or
  // gone by then.
  void post(std::function<void(WiiRemote&)> call);
  static void release(const QString& id);

  const std::shared_ptr<WiiRemoteBackend> backend_;
  WiiRemoteDelegate* delegate_ = nullptr;
  std::thread thread_;
  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  bool stop_ = false;  // guarded by stopMutex_
  std::mutex connectionMutex_;
  WiiRemoteConnection* connection_ = nullptr;  // guarded; owned by the thread
  mutable std::mutex addressMutex_;
  QString address_;
  QString claimed_;  // the thread's
  std::atomic<int> expansion_{0};
  std::atomic<bool> connected_{false};
  std::atomic<bool> motion_{false};
  std::atomic<bool> ir_{false};
  // Cut at disconnect and destruction: posted calls check it.
  std::shared_ptr<std::atomic<WiiRemote*>> self_;
};
