#include "platform/midi/QKMIDIManager.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/midi/QKMIDIPortList.h"

#include <algorithm>
#include <exception>
#include <utility>

const QString QKMIDIManager::kWaitingForJack =
    QStringLiteral("MIDI waits for a JACK server to start");

QKMIDIManager::QKMIDIManager() : QKMIDIManager(Options{}) {}

QKMIDIManager::QKMIDIManager(Options options)
    : api_(options.api.value_or(QKMIDIPortList::chooseApi())),
      pollInterval_(options.pollIntervalSeconds) {}

QKMIDIManager::~QKMIDIManager() { closeAll(); }

QString QKMIDIManager::receivingNodeName() const { return QStringLiteral("QKMIDI in"); }
QString QKMIDIManager::sendingNodeName() const { return QStringLiteral("QKMIDI out"); }

void QKMIDIManager::receivedMIDI(const QKMIDIMessageArray&) {}

void QKMIDIManager::generalInit() {
  if (initialised_) return;
  initialised_ = true;
  ownNames_ = {receivingNodeName(), sendingNodeName()};
  if (api_ == RtMidi::UNIX_JACK) {
    jackWatch_ = std::make_unique<QKJackWatch>();
    if (jackWatch_->connect()) {
      openEndpoints();
    } else {
      Log::line("\t\terr: MIDI: no JACK server is running; MIDI starts when one does");
      setStatus(kWaitingForJack);
    }
  } else {
    alsaConnections_ = std::make_unique<QKAlsaConnections>();
    openEndpoints();
  }
  if (pollInterval_ > 0) {
    pollLoop_ = std::make_unique<QKThreadLoop>(
        pollInterval_, [this] { pollPortsNow(); }, QStringLiteral("MIDI port polling"));
    pollLoop_->start();
  }
}

bool QKMIDIManager::openScanners() {
  using Client = QKMIDIPortList::Client;
  std::lock_guard<std::mutex> lock(setupMutex_);
  try {
    scannerIn_ = std::make_unique<RtMidiIn>(
        api_, QKMIDIPortList::clientName(Client::ListSources).toStdString());
    scannerIn_->setErrorCallback(&QKMIDIManager::scannerError, this);
    scannerOut_ = std::make_unique<RtMidiOut>(
        api_, QKMIDIPortList::clientName(Client::ListDests).toStdString());
    scannerOut_->setErrorCallback(&QKMIDIManager::scannerError, this);
    return true;
  } catch (const std::exception& e) {
    setStatus(QStringLiteral("MIDI (%1) is not available: %2")
                  .arg(QKMIDIPortList::apiName(api_), QString::fromUtf8(e.what())));
    scannerIn_.reset();
    scannerOut_.reset();
    return false;
  }
}

void QKMIDIManager::openEndpoints() {
  // Without the API (no sequencer device, say) there is nothing to open:
  // the endpoints stay closed and the status says why.
  if (!openScanners()) {
    Log::limited(QStringLiteral("midi-unavailable"), QStringLiteral("\t\terr: ") + status(), 60.0);
    return;
  }
  auto source = QKMIDINode::createVirtualSource(
      api_, ownNames_.at(0),
      [this](const QKMIDIMessageArray& messages) { receivedMIDI(messages); });
  auto dest = QKMIDINode::createVirtualDestination(api_, ownNames_.at(1));
  QStringList failures;
  for (const auto& node : {source, dest}) {
    if (!node->open())
      failures << QStringLiteral("couldn't create the MIDI endpoint \"%1\": %2")
                      .arg(node->name(), node->lastError());
  }
  for (const QString& failure : failures) Log::line(QStringLiteral("\t\terr: ") + failure);
  setStatus(failures.join(QStringLiteral("; ")));
  std::atomic_store(&virtualSource_, source);
  std::atomic_store(&virtualDest_, dest);
  active_.store(true);
  endpointsOpen_.store(failures.isEmpty());
  rebuildEndpointLists();
}

void QKMIDIManager::closeEndpoints() {
  active_.store(false);
  endpointsOpen_.store(false);
  std::vector<std::shared_ptr<QKMIDINode>> nodes;
  for (auto* array : {&sourceArray_, &destArray_}) {
    for (const auto& node : array->lockCopy()) nodes.push_back(node);
    array->lockRemoveAllObjects();
  }
  nodes.push_back(std::atomic_exchange(&virtualSource_, std::shared_ptr<QKMIDINode>()));
  nodes.push_back(std::atomic_exchange(&virtualDest_, std::shared_ptr<QKMIDINode>()));
  for (const auto& node : nodes)
    if (node) node->close();
  std::lock_guard<std::mutex> lock(setupMutex_);
  scannerIn_.reset();
  scannerOut_.reset();
  knownSources_.clear();
  knownDests_.clear();
  knownReaching_.clear();
}

void QKMIDIManager::closeAll() {
  if (pollLoop_) pollLoop_->stop();
  closeEndpoints();
  if (jackWatch_) jackWatch_->disconnect();
}

bool QKMIDIManager::followJackServer() {
  if (!jackWatch_) return false;
  if (active_.load() && !jackWatch_->alive()) {
    Log::line("\t\terr: MIDI: the JACK server went away; MIDI starts again when it is back");
    closeEndpoints();
    setStatus(kWaitingForJack);
    return true;
  }
  if (!active_.load() && jackWatch_->connect()) {
    openEndpoints();
    if (active_.load()) Log::line("MIDI: the JACK server is running; MIDI endpoints open");
    return active_.load();
  }
  return false;
}

void QKMIDIManager::setupChanged() { rebuildEndpointLists(); }

void QKMIDIManager::rebuildEndpointLists() {
  std::vector<std::shared_ptr<QKMIDINode>> removed;
  {
    std::lock_guard<std::mutex> lock(setupMutex_);
    const Scan scan = scanPorts();
    knownSources_ = QKMIDIPortList::rawNames(scan.sources);
    knownDests_ = QKMIDIPortList::rawNames(scan.dests);
    knownReaching_ = scan.reaching;

    std::vector<std::shared_ptr<QKMIDINode>> sources;
    for (const auto& port : scan.sources) {
      auto node = findIn(sourceArray_, port.name);
      if (node && !node->openedPortRawName().isEmpty() && node->openedPortRawName() != port.raw)
        removed.push_back(std::exchange(node, nullptr));  // plugged in again: a fresh node
      if (!node) node = makeSourceNode(port.name);
      node->setReachesUsOtherwise(scan.reaching.contains(port.name));
      sources.push_back(node);
    }
    std::vector<std::shared_ptr<QKMIDINode>> dests;
    for (const auto& port : scan.dests) {
      auto node = findIn(destArray_, port.name);
      if (node && !node->openedPortRawName().isEmpty() && node->openedPortRawName() != port.raw)
        removed.push_back(std::exchange(node, nullptr));
      dests.push_back(node ? node : QKMIDINode::createDestination(api_, port.name));
    }
    replaceNodes(sourceArray_, sources, removed);
    replaceNodes(destArray_, dests, removed);
  }
  for (const auto& node : removed) node->close();
  reconcileSources();
}

void QKMIDIManager::replaceNodes(MutLockArray<std::shared_ptr<QKMIDINode>>& array,
                                 const std::vector<std::shared_ptr<QKMIDINode>>& fresh,
                                 std::vector<std::shared_ptr<QKMIDINode>>& removed) {
  for (const auto& old : array.lockCopy())
    if (std::find(fresh.begin(), fresh.end(), old) == fresh.end()) removed.push_back(old);
  if (array.wrlock()) {
    array.mutableArray() = fresh;
    array.unlock();
  }
}

std::shared_ptr<QKMIDINode> QKMIDIManager::makeSourceNode(const QString& name) {
  auto node = QKMIDINode::createSource(
      api_, name, [this](const QKMIDIMessageArray& messages) { receivedMIDI(messages); });
  std::lock_guard<std::mutex> lock(enableMutex_);
  node->setEnabled(enableStates_.value(name, true));
  enableStates_.insert(name, node->enabled());
  return node;
}

void QKMIDIManager::reconcileSources() {
  for (const auto& node : sourceArray_.lockCopy()) {
    const bool wanted = node->enabled() && !node->reachesUsOtherwise();
    if (wanted && !node->isOpen()) {
      if (!node->open(ownNames_))
        Log::line(QStringLiteral("\t\terr: couldn't open the MIDI source \"%1\": %2")
                      .arg(node->name(), node->lastError()));
    } else if (!wanted && node->isOpen()) {
      node->close();
    }
  }
}

bool QKMIDIManager::pollPortsNow() {
  bool changed = followJackServer();
  if (!changed && active_.load()) {
    std::lock_guard<std::mutex> lock(setupMutex_);
    const Scan scan = scanPorts();
    changed = QKMIDIPortList::rawNames(scan.sources) != knownSources_ ||
              QKMIDIPortList::rawNames(scan.dests) != knownDests_ ||
              scan.reaching != knownReaching_;
  }
  if (changed) setupChanged();
  return changed;
}

QKMIDIManager::Scan QKMIDIManager::scanPorts() {
  Scan scan;
  try {
    if (scannerIn_) scan.sources = QKMIDIPortList::list(*scannerIn_, ownNames_);
    if (scannerOut_) scan.dests = QKMIDIPortList::list(*scannerOut_, ownNames_);
    scan.reaching = sourcesReachingUs(scan.sources);
  } catch (const std::exception& e) {
    Log::limited(QStringLiteral("midi-scan"),
                 QStringLiteral("\t\terr: couldn't list the MIDI ports: %1")
                     .arg(QString::fromUtf8(e.what())),
                 60.0);
  }
  return scan;
}

// Sources already connected to a port of ours other than the one their own
// node makes.
QStringList QKMIDIManager::sourcesReachingUs(const std::vector<QKMIDIPortList::Port>& sources) {
  QStringList reaching;
  for (const auto& port : sources) {
    const QString ownConnection =
        QKMIDIPortList::clientName(QKMIDIPortList::Client::Source, port.name);
    const QStringList peers = jackWatch_         ? jackWatch_->connections(port.raw)
                              : alsaConnections_ ? alsaConnections_->connections(port.raw)
                                                 : QStringList();
    for (const QString& peer : peers) {
      if (QKMIDIPortList::isOwnPort(QKMIDIPortList::stableName(peer), ownNames_) &&
          !QKMIDIPortList::belongsTo(peer, ownConnection)) {
        reaching << port.name;
        break;
      }
    }
  }
  return reaching;
}

QString QKMIDIManager::status() const {
  std::lock_guard<std::mutex> lock(statusMutex_);
  return status_;
}

void QKMIDIManager::setStatus(const QString& status) {
  std::lock_guard<std::mutex> lock(statusMutex_);
  status_ = status;
}

void QKMIDIManager::scannerError(RtMidiError::Type, const std::string& text, void*) {
  // A missing JACK server is reported on every listing: once a minute is enough.
  Log::limited(QStringLiteral("midi-scan"),
               QStringLiteral("\t\terr: MIDI: %1").arg(QString::fromStdString(text)), 60.0);
}

std::shared_ptr<QKMIDINode> QKMIDIManager::findIn(MutLockArray<std::shared_ptr<QKMIDINode>>& array,
                                                  const QString& name) {
  std::shared_ptr<QKMIDINode> found;
  array.rdlock();
  for (const auto& node : array.array()) {
    if (node->name() == name) {
      found = node;
      break;
    }
  }
  array.unlock();
  return found;
}

std::shared_ptr<QKMIDINode> QKMIDIManager::findSourceNodeNamed(const QString& name) {
  return findIn(sourceArray_, name);
}

std::shared_ptr<QKMIDINode> QKMIDIManager::findDestNodeNamed(const QString& name) {
  return findIn(destArray_, name);
}

bool QKMIDIManager::sourceEnabled(const QString& name) const {
  std::lock_guard<std::mutex> lock(enableMutex_);
  return enableStates_.value(name, true);
}

void QKMIDIManager::setSourceEnabled(const QString& name, bool enabled) {
  {
    std::lock_guard<std::mutex> lock(enableMutex_);
    enableStates_.insert(name, enabled);
  }
  if (auto node = findSourceNodeNamed(name)) node->setEnabled(enabled);
  reconcileSources();
}

QVariantMap QKMIDIManager::createSnapshot() const {
  QVariantMap states;
  {
    std::lock_guard<std::mutex> lock(enableMutex_);
    for (auto it = enableStates_.cbegin(); it != enableStates_.cend(); ++it)
      states.insert(it.key(), it.value());
  }
  return {{QStringLiteral("src"), states}};
}

void QKMIDIManager::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant src = snapshot.value(QStringLiteral("src"));
  if (src.typeId() != QMetaType::QVariantMap) return;
  const QVariantMap states = src.toMap();
  {
    std::lock_guard<std::mutex> lock(enableMutex_);
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
      // A mistyped entry is skipped: the source keeps its state.
      if (VariantNumbers::isNumber(it.value(), true))
        enableStates_.insert(it.key(), it.value().toBool());
    }
  }
  for (const auto& node : sourceArray_.lockCopy()) node->setEnabled(sourceEnabled(node->name()));
  reconcileSources();
}
