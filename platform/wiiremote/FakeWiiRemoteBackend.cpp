#include "platform/wiiremote/FakeWiiRemoteBackend.h"

#include "platform/wiiremote/WiiRemote.h"

#include <algorithm>
#include <chrono>

class FakeWiiRemoteConnection : public WiiRemoteConnection {
  // Under the backend's mutex, on this remote's record.
  using Remote = FakeWiiRemoteBackend::Remote;
  template <class F>
  auto read(F f) const {
    std::lock_guard lock(backend_.mutex_);
    auto it = backend_.remotes_.find(id_);
    return it == backend_.remotes_.end() ? decltype(f(Remote{})){} : f(it->second);
  }
  template <class F>
  void write(F f) {
    std::lock_guard lock(backend_.mutex_);
    auto it = backend_.remotes_.find(id_);
    if (it != backend_.remotes_.end()) f(it->second);
  }

 public:
  FakeWiiRemoteConnection(FakeWiiRemoteBackend& backend, QString id)
      : backend_(backend), id_(std::move(id)) {}
  ~FakeWiiRemoteConnection() override {
    std::lock_guard lock(backend_.mutex_);
    auto it = backend_.remotes_.find(id_);
    if (it != backend_.remotes_.end()) it->second.open = false;
  }

  bool waitForEvents(std::vector<WiiInputEvent>& out, int timeoutMs, QString* error) override {
    std::unique_lock lock(backend_.mutex_);
    backend_.changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
      auto it = backend_.remotes_.find(id_);
      return woken_ || it == backend_.remotes_.end() || it->second.gone ||
             !it->second.pending.empty();
    });
    woken_ = false;
    auto it = backend_.remotes_.find(id_);
    if (it == backend_.remotes_.end()) {
      if (error) *error = QStringLiteral("gone");
      return false;
    }
    Remote& remote = it->second;
    out.insert(out.end(), remote.pending.begin(), remote.pending.end());
    remote.pending.clear();
    if (remote.gone && error) *error = QStringLiteral("gone");
    return !remote.gone;
  }
  void wake() override {
    {
      std::lock_guard lock(backend_.mutex_);
      woken_ = true;
    }
    backend_.changed_.notify_all();
  }
  QString address() const override {
    return read([](const Remote& r) { return r.address; });
  }
  int extension() const override {
    return read([](const Remote& r) { return r.extension; });
  }
  int batteryPercent() const override {
    return read([](const Remote& r) { return r.battery; });
  }
  WiiAxisRange axisRange(WiiInputEvent::Device device, std::uint16_t) const override {
    // The driver's ranges: nunchuk stick ±100, classic sticks ±30.
    return device == WiiInputEvent::Classic ? WiiAxisRange{-30, 30} : WiiAxisRange{-100, 100};
  }
  void setLEDs(const std::array<bool, 4>& leds) override {
    write([&leds](Remote& r) { r.leds = leds; });
  }
  void setRumble(bool on) override {
    write([on](Remote& r) { r.rumble.push_back(on); });
  }
  void setMotionSensing(bool) override {}
  void setIRSensing(bool) override {}

 private:
  FakeWiiRemoteBackend& backend_;
  const QString id_;
  bool woken_ = false;  // guarded by the backend's mutex
};

void FakeWiiRemoteBackend::addRemote(const QString& id, Remote remote) {
  {
    std::lock_guard lock(mutex_);
    remotes_[id] = std::move(remote);
    if (std::find(order_.begin(), order_.end(), id) == order_.end()) order_.push_back(id);
  }
  changed_.notify_all();
}

void FakeWiiRemoteBackend::removeRemote(const QString& id) {
  {
    std::lock_guard lock(mutex_);
    remotes_.erase(id);
    order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
  }
  changed_.notify_all();
}

void FakeWiiRemoteBackend::feed(const QString& id, const std::vector<WiiInputEvent>& events) {
  {
    std::lock_guard lock(mutex_);
    auto& pending = remotes_[id].pending;
    pending.insert(pending.end(), events.begin(), events.end());
  }
  changed_.notify_all();
}

void FakeWiiRemoteBackend::unplug(const QString& id) {
  {
    std::lock_guard lock(mutex_);
    remotes_[id].gone = true;
  }
  changed_.notify_all();
}

void FakeWiiRemoteBackend::setExtension(const QString& id, int extension) {
  {
    std::lock_guard lock(mutex_);
    remotes_[id].extension = extension;
    remotes_[id].pending.push_back(
        {WiiInputEvent::Core, WiiInputEvent::kExtensionChanged, 0, extension});
  }
  changed_.notify_all();
}

FakeWiiRemoteBackend::Remote FakeWiiRemoteBackend::remote(const QString& id) const {
  std::lock_guard lock(mutex_);
  auto it = remotes_.find(id);
  return it == remotes_.end() ? Remote{} : it->second;
}

int FakeWiiRemoteBackend::opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

std::vector<QString> FakeWiiRemoteBackend::listRemotes() {
  std::lock_guard lock(mutex_);
  return order_;
}

std::unique_ptr<WiiRemoteConnection> FakeWiiRemoteBackend::open(const QString& id, QString* error) {
  std::lock_guard lock(mutex_);
  auto it = remotes_.find(id);
  if (it == remotes_.end() || !it->second.openError.isEmpty()) {
    if (error) *error = it == remotes_.end() ? QStringLiteral("gone") : it->second.openError;
    return nullptr;
  }
  it->second.open = true;
  ++opens_;
  return std::make_unique<FakeWiiRemoteConnection>(*this, id);
}

QString FakeWiiRemoteBackend::whyNoRemote() const { return WiiRemote::kNoRemoteFound; }
