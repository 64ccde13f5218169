#pragma once

#include "platform/wiiremote/WiiRemoteBackend.h"

#include <QString>

#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

// A backend of remotes that exist only in memory, for tests: each plays
// the events a test feeds it (recorded tables) and records what it was told
// (LEDs, rumble). Thread-safe.
class FakeWiiRemoteBackend : public WiiRemoteBackend {
 public:
  struct Remote {
    QString address;
    int extension = 0;
    int battery = 80;
    QString openError;  // non-empty: open fails with it
    std::vector<WiiInputEvent> pending;
    bool gone = false;
    std::array<bool, 4> leds{};
    std::vector<bool> rumble;  // every setRumble, in order
    bool open = false;
  };

  void addRemote(const QString& id, Remote remote);
  void removeRemote(const QString& id);
  // Queues reports for the remote's reader.
  void feed(const QString& id, const std::vector<WiiInputEvent>& events);
  // The remote vanishes mid-read.
  void unplug(const QString& id);
  void setExtension(const QString& id, int extension);
  Remote remote(const QString& id) const;
  int opens() const;

  std::vector<QString> listRemotes() override;
  std::unique_ptr<WiiRemoteConnection> open(const QString& id, QString* error) override;
  QString whyNoRemote() const override;

 private:
  friend class FakeWiiRemoteConnection;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<QString, Remote> remotes_;  // guarded
  std::vector<QString> order_;         // guarded
  int opens_ = 0;                      // guarded
};
