#pragma once

#include "platform/midi/QKAlsaConnections.h"
#include "platform/midi/QKJackWatch.h"
#include "platform/midi/QKMIDIMessage.h"
#include "platform/midi/QKMIDINode.h"
#include "platform/midi/QKMIDIPortList.h"
#include "platform/threading/MutLockArray.h"
#include "platform/threading/QKThreadLoop.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

// The program's MIDI: the system's sources (each listened to while enabled)
// and destinations, matched by name, and the program's own two virtual
// endpoints, one that other programs send to (`virtualSource`, named
// `receivingNodeName`) and one they read from (`virtualDest`, named
// `sendingNodeName`).
//
// Incoming messages reach `receivedMIDI` on the input thread of the port
// they came in on. A thread polls the port lists; when a controller is
// plugged in or out it calls `setupChanged`, which rebuilds the lists,
// keeping the nodes (and enable states) of ports that are still there.
// Enable states are kept by name, also for sources that are unplugged, so a
// controller plugged in again comes back as the user left it.
//
// Over JACK, MIDI waits for the server: started before it, the manager
// opens its endpoints when the server comes up, and when the server goes
// away the endpoints are dropped and reopened once it is back, each time
// with the set-up-changed path.
//
// Set-up is two-phase: construct, then `generalInit` (which calls virtual
// methods); a subclass calls `generalInit` from its own constructor and
// `closeAll` from its destructor, so that no input reaches a half-destroyed
// object.
//
// Threads: `receivedMIDI` on input threads; `setupChanged` on the polling
// thread (or the caller of `pollPortsNow`); the rest on the main thread.
// Lock order: the set-up mutex, then the node arrays' locks, then a node's
// own lock. Nodes are closed with no lock of the manager held.
class QKMIDIManager {
 public:
  struct Options {
    std::optional<RtMidi::Api> api;    // default: QKMIDIPortList::chooseApi()
    double pollIntervalSeconds = 1.0;  // 0: no polling thread (call pollPortsNow)
  };

  QKMIDIManager();
  explicit QKMIDIManager(Options options);
  virtual ~QKMIDIManager();
  QKMIDIManager(const QKMIDIManager&) = delete;
  QKMIDIManager& operator=(const QKMIDIManager&) = delete;

  // Opens the virtual endpoints, lists the sources and destinations, opens
  // the enabled sources and starts polling for changes.
  virtual void generalInit();
  // Stops polling and closes every endpoint; once it returns nothing more is
  // delivered. Safe to call more than once.
  void closeAll();

  virtual QString receivingNodeName() const;
  virtual QString sendingNodeName() const;
  // Messages in arrival order, on the input thread of their port.
  virtual void receivedMIDI(const QKMIDIMessageArray& messages);
  // Rebuilds the endpoint lists from the system's current ports.
  virtual void setupChanged();

  RtMidi::Api api() const { return api_; }
  MutLockArray<std::shared_ptr<QKMIDINode>>& sourceArray() { return sourceArray_; }
  MutLockArray<std::shared_ptr<QKMIDINode>>& destArray() { return destArray_; }
  std::shared_ptr<QKMIDINode> findSourceNodeNamed(const QString& name);
  std::shared_ptr<QKMIDINode> findDestNodeNamed(const QString& name);
  // Null while the endpoints are closed.
  std::shared_ptr<QKMIDINode> virtualSource() const { return std::atomic_load(&virtualSource_); }
  std::shared_ptr<QKMIDINode> virtualDest() const { return std::atomic_load(&virtualDest_); }

  // Enable states by source name; a source never seen is enabled.
  bool sourceEnabled(const QString& name) const;
  void setSourceEnabled(const QString& name, bool enabled);

  // {"src": {source name: enabled}}, every source ever seen or loaded.
  QVariantMap createSnapshot() const;
  // Applies the enable states under "src"; other keys are ignored.
  void loadSnapshot(const QVariantMap& snapshot);

  // Lists the ports now; when they differ from the known lists (or the JACK
  // server came or went), runs `setupChanged` and answers true.
  bool pollPortsNow();
  // True while the program's own endpoints are open: false while MIDI waits
  // for its JACK server, and when the API or an endpoint could not be had
  // (then `status` says why).
  bool endpointsOpen() const { return endpointsOpen_.load(); }
  // Why MIDI is not working, in words for a preference pane or the log;
  // empty while it works.
  QString status() const;
  static const QString kWaitingForJack;

 private:
  struct Scan {
    std::vector<QKMIDIPortList::Port> sources;
    std::vector<QKMIDIPortList::Port> dests;
    QStringList reaching;  // sources already connected to one of our ports
  };
  Scan scanPorts();
  QStringList sourcesReachingUs(const std::vector<QKMIDIPortList::Port>& sources);
  bool openScanners();
  void openEndpoints();
  void setStatus(const QString& status);
  void closeEndpoints();
  // Follows the JACK server; answers whether the endpoints came or went.
  bool followJackServer();
  void rebuildEndpointLists();
  void reconcileSources();
  std::shared_ptr<QKMIDINode> makeSourceNode(const QString& name);
  static void replaceNodes(MutLockArray<std::shared_ptr<QKMIDINode>>& array,
                           const std::vector<std::shared_ptr<QKMIDINode>>& fresh,
                           std::vector<std::shared_ptr<QKMIDINode>>& removed);
  static std::shared_ptr<QKMIDINode> findIn(MutLockArray<std::shared_ptr<QKMIDINode>>& array,
                                            const QString& name);
  static void scannerError(RtMidiError::Type type, const std::string& text, void* manager);

  const RtMidi::Api api_;
  const double pollInterval_;
  QStringList ownNames_;  // the virtual endpoints' names, fixed at set-up

  std::mutex setupMutex_;  // scanners, known lists, rebuilds
  std::unique_ptr<RtMidiIn> scannerIn_;
  std::unique_ptr<RtMidiOut> scannerOut_;
  QStringList knownSources_;  // raw names at the last rebuild
  QStringList knownDests_;
  QStringList knownReaching_;

  MutLockArray<std::shared_ptr<QKMIDINode>> sourceArray_;
  MutLockArray<std::shared_ptr<QKMIDINode>> destArray_;
  std::shared_ptr<QKMIDINode> virtualSource_;
  std::shared_ptr<QKMIDINode> virtualDest_;

  mutable std::mutex enableMutex_;
  QHash<QString, bool> enableStates_;

  std::unique_ptr<QKJackWatch> jackWatch_;              // JACK only
  std::unique_ptr<QKAlsaConnections> alsaConnections_;  // ALSA only
  std::atomic<bool> active_{false};         // endpoints made (JACK: the server was there)
  std::atomic<bool> endpointsOpen_{false};  // and all of them open
  mutable std::mutex statusMutex_;
  QString status_;
  std::unique_ptr<QKThreadLoop> pollLoop_;
  bool initialised_ = false;
};
