#include "platform/wiiremote/WiiRemote.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/wiiremote/LinuxWiiRemoteBackend.h"
#include "platform/wiiremote/WiiEventTranslator.h"

#include <chrono>
#include <exception>
#include <set>

const QString WiiRemote::kExpansionPortChangedNotification =
    QStringLiteral("WiiRemoteExpansionPortChangedNotification");
const QString WiiRemote::kNoRemoteFound = QStringLiteral(
    "No Wii remote found: connect it in the system's Bluetooth settings (press 1 and 2), then "
    "detect again");

namespace {

std::mutex gSettingsMutex;
std::shared_ptr<WiiRemoteBackend> gBackend;  // guarded
double gSearchSeconds = 30.0;                // guarded
double gBatterySeconds = 60.0;               // guarded

// The remotes some WiiRemote holds, by id.
std::mutex gHeldMutex;
std::set<QString> gHeld;  // guarded

double setting(const double& value) {
  std::lock_guard lock(gSettingsMutex);
  return value;
}

using Clock = std::chrono::steady_clock;

}  // namespace

std::shared_ptr<WiiRemoteBackend> WiiRemote::defaultBackend() {
  std::lock_guard lock(gSettingsMutex);
  if (!gBackend) gBackend = std::make_shared<LinuxWiiRemoteBackend>();
  return gBackend;
}

void WiiRemote::setDefaultBackend(std::shared_ptr<WiiRemoteBackend> backend) {
  std::lock_guard lock(gSettingsMutex);
  gBackend = std::move(backend);
}

void WiiRemote::setSearchSeconds(double seconds) {
  std::lock_guard lock(gSettingsMutex);
  gSearchSeconds = seconds;
}

void WiiRemote::setBatterySeconds(double seconds) {
  std::lock_guard lock(gSettingsMutex);
  gBatterySeconds = seconds;
}

WiiRemote::WiiRemote(std::shared_ptr<WiiRemoteBackend> backend)
    : backend_(std::move(backend)), self_(std::make_shared<std::atomic<WiiRemote*>>(this)) {}

WiiRemote::~WiiRemote() {
  disconnect();
  self_->store(nullptr);
}

void WiiRemote::startSearching() {
  disconnect();
  self_ = std::make_shared<std::atomic<WiiRemote*>>(this);
  {
    std::lock_guard lock(stopMutex_);
    stop_ = false;
  }
  if (!backend_) {
    post([](WiiRemote& remote) {
      if (remote.delegate_) remote.delegate_->wiiRemoteDiscoveryError(kNoRemoteFound);
    });
    return;
  }
  thread_ = std::thread([this] { run(); });
}

void WiiRemote::disconnect() {
  self_->store(nullptr);  // nothing posted so far is delivered
  {
    std::lock_guard lock(stopMutex_);
    stop_ = true;
  }
  stopSignal_.notify_all();
  {
    std::lock_guard lock(connectionMutex_);
    if (connection_) connection_->wake();
  }
  if (thread_.joinable()) thread_.join();
  connected_.store(false);
}

QString WiiRemote::address() const {
  std::lock_guard lock(addressMutex_);
  return address_;
}

void WiiRemote::setMotionSensorEnabled(bool on) {
  motion_.store(on);
  std::lock_guard lock(connectionMutex_);
  if (connection_) connection_->setMotionSensing(on);
}

void WiiRemote::setIRSensorEnabled(bool on) {
  ir_.store(on);
  std::lock_guard lock(connectionMutex_);
  if (connection_) connection_->setIRSensing(on);
}

void WiiRemote::setLEDEnabled(bool led1, bool led2, bool led3, bool led4) {
  std::lock_guard lock(connectionMutex_);
  if (connection_) connection_->setLEDs({led1, led2, led3, led4});
}

void WiiRemote::setForceFeedbackEnabled(bool on) {
  std::lock_guard lock(connectionMutex_);
  if (connection_) connection_->setRumble(on);
}

void WiiRemote::post(std::function<void(WiiRemote&)> call) {
  MainThread::post([self = self_, call = std::move(call)] {
    if (WiiRemote* remote = self->load()) call(*remote);
  });
}

bool WiiRemote::waitFor(double seconds) {
  std::unique_lock lock(stopMutex_);
  return !stopSignal_.wait_for(lock, std::chrono::duration<double>(seconds),
                               [this] { return stop_; });
}

void WiiRemote::release(const QString& id) {
  std::lock_guard lock(gHeldMutex);
  gHeld.erase(id);
}

// --- The remote's thread ---------------------------------------------------------------------

void WiiRemote::run() {
  try {
    QString id;
    if (!search(&id)) return;
    QString error;
    std::unique_ptr<WiiRemoteConnection> connection = backend_->open(id, &error);
    if (!connection) {
      release(id);
      post([error](WiiRemote& remote) {
        if (remote.delegate_) remote.delegate_->wiiRemoteConnectionError(error);
      });
      return;
    }
    {
      std::lock_guard lock(addressMutex_);
      address_ = connection->address();
    }
    expansion_.store(connection->extension());
    {
      std::lock_guard lock(connectionMutex_);
      connection_ = connection.get();
    }
    connected_.store(true);
    post([](WiiRemote& remote) {
      if (remote.delegate_) remote.delegate_->wiiRemoteConnected();
    });
    readLoop(*connection);
    {
      std::lock_guard lock(connectionMutex_);
      connection_ = nullptr;
    }
    connection.reset();  // closed only once nothing reads it
    release(id);
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: Wii remote thread: %1").arg(QString::fromUtf8(e.what())));
  } catch (...) {
    Log::line(QStringLiteral("\t\terr: Wii remote thread: unknown exception"));
  }
}

bool WiiRemote::search(QString* id) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(setting(gSearchSeconds)));
  for (;;) {
    for (const QString& candidate : backend_->listRemotes()) {
      std::lock_guard lock(gHeldMutex);
      if (gHeld.insert(candidate).second) {
        *id = candidate;
        return true;
      }
    }
    if (Clock::now() >= deadline) break;
    if (!waitFor(0.25)) return false;  // stopped
  }
  const QString why = backend_->whyNoRemote();
  post([why](WiiRemote& remote) {
    if (remote.delegate_) remote.delegate_->wiiRemoteDiscoveryError(why);
  });
  return false;
}

void WiiRemote::readLoop(WiiRemoteConnection& connection) {
  WiiEventTranslator translator([&connection](WiiInputEvent::Device device, std::uint16_t code) {
    return connection.axisRange(device, code);
  });
  std::vector<WiiInputEvent> events;
  std::vector<WiiReport> reports;
  auto nextBattery = Clock::now();
  for (;;) {
    {
      std::lock_guard lock(stopMutex_);
      if (stop_) return;
    }
    events.clear();
    reports.clear();
    if (Clock::now() >= nextBattery) {
      const int percent = connection.batteryPercent();
      if (percent >= 0)
        events.push_back({WiiInputEvent::Core, WiiInputEvent::kBatteryRead, 0, percent});
      nextBattery = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(setting(gBatterySeconds)));
    }
    QString error;
    const bool open = connection.waitForEvents(events, 100, &error);
    for (const WiiInputEvent& event : events) {
      if ((event.device == WiiInputEvent::Accel && !motion_.load()) ||
          (event.device == WiiInputEvent::IR && !ir_.load()))
        continue;
      translator.translate(event, reports);
    }
    if (!reports.empty()) deliver(reports);
    if (!open) {
      connected_.store(false);
      if (!error.isEmpty()) Log::line(QStringLiteral("\t\terr: Wii remote: %1").arg(error));
      post([](WiiRemote& remote) {
        if (remote.delegate_) remote.delegate_->wiiRemoteDisconnected();
      });
      return;
    }
  }
}

void WiiRemote::deliver(const std::vector<WiiReport>& reports) {
  post([reports](WiiRemote& remote) {
    for (const WiiReport& report : reports) {
      // A delegate's call may disconnect this remote: stop then.
      WiiRemoteDelegate* delegate = remote.delegate_;
      if (!remote.self_->load()) return;
      switch (report.kind) {
        case WiiReport::Button:
          if (delegate) delegate->buttonChanged(report.code, report.pressed, &remote);
          break;
        case WiiReport::IRPoint:
          if (delegate) delegate->irPointMovedX(report.x, report.y, &remote);
          break;
        case WiiReport::Stick:
          if (delegate) delegate->joyStickChanged(report.code, report.x, report.y, &remote);
          break;
        case WiiReport::Acceleration:
          if (delegate)
            delegate->accelerationChanged(report.code, report.x, report.y, report.z, &remote);
          break;
        case WiiReport::Battery:
          if (delegate) delegate->batteryLevelChanged(report.x);
          break;
        case WiiReport::Extension:
          remote.expansion_.store(report.code);
          NotificationCenter::defaultCenter().post(kExpansionPortChangedNotification, &remote);
          break;
      }
    }
  });
}
