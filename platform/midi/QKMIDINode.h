#pragma once

#include "platform/midi/QKMIDIMessage.h"
#include "platform/midi/QKMIDIParser.h"

#include <QString>
#include <QStringList>

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// One MIDI endpoint: a source the program listens to, a destination it sends
// to, or one of the program's own virtual endpoints (a virtual source that
// other programs send to, a virtual destination they read from).
//
// Ports are found by their stable name (QKMIDIPortList) at the moment they
// are opened. Received bytes are parsed on the input thread and handed to the
// receiver there, in arrival order; running status carries across deliveries.
// Every RtMidi error is caught and logged; `lastError` keeps the last one.
class QKMIDINode {
 public:
  enum class Kind { Source, Destination, VirtualSource, VirtualDestination };
  using Receiver = std::function<void(const QKMIDIMessageArray&)>;

  QKMIDINode(Kind kind, RtMidi::Api api, QString name, Receiver receiver = {});
  ~QKMIDINode();
  QKMIDINode(const QKMIDINode&) = delete;
  QKMIDINode& operator=(const QKMIDINode&) = delete;

  static std::shared_ptr<QKMIDINode> createSource(RtMidi::Api api, const QString& name,
                                                  Receiver receiver);
  static std::shared_ptr<QKMIDINode> createDestination(RtMidi::Api api, const QString& name);
  static std::shared_ptr<QKMIDINode> createVirtualSource(RtMidi::Api api, const QString& name,
                                                         Receiver receiver);
  static std::shared_ptr<QKMIDINode> createVirtualDestination(RtMidi::Api api, const QString& name);

  const QString& name() const { return name_; }
  Kind kind() const { return kind_; }
  bool receives() const { return kind_ == Kind::Source || kind_ == Kind::VirtualSource; }
  bool isVirtual() const {
    return kind_ == Kind::VirtualSource || kind_ == Kind::VirtualDestination;
  }

  // A disabled source drops what arrives at once; its port is closed on the
  // next `open`/`close` call of the owner (never from the input thread).
  bool enabled() const { return enabled_.load(); }
  void setEnabled(bool enabled) { enabled_.store(enabled); }

  // The name of the client that holds this node's port: the same on every
  // run (QKMIDIPortList::clientName).
  QString clientName() const;

  // A source whose port already sends to one of the program's other ports
  // (a program that connected itself to the virtual endpoint) is not
  // connected a second time: its messages would arrive twice.
  bool reachesUsOtherwise() const { return reachesUsOtherwise_.load(); }
  void setReachesUsOtherwise(bool reaches) { reachesUsOtherwise_.store(reaches); }

  // Opens the port (a virtual port under the node's name, or the system port
  // of that name); answers whether it is open. Names of the program's own
  // virtual ports are passed so that a system port is never one of them.
  bool open(const QStringList& ownPortNames = {});
  // Closes the port; waits for a delivery in progress to finish.
  void close();
  bool isOpen() const;

  // Sends the messages in order (destinations; a closed destination port is
  // opened first). Answers false, with `lastError` set, when nothing could
  // be sent.
  bool sendMsgs(const QKMIDIMessageArray& messages);

  // Feeds bytes as if they had arrived on the port (the input path without
  // the transport).
  void receiveBytes(const unsigned char* bytes, std::size_t count);

  QString lastError() const;
  // The API's name of the system port this node opened (empty for virtual
  // ports and closed nodes).
  QString openedPortRawName() const;

 private:
  static void inputCallback(double timeStamp, std::vector<unsigned char>* bytes, void* node);
  static void errorCallback(RtMidiError::Type type, const std::string& text, void* node);
  bool openInput(const QStringList& ownPortNames);
  bool openOutput(const QStringList& ownPortNames);
  bool openPort(RtMidi& midi, const QStringList& ownPortNames, const char* connectionName);
  void setLastError(const QString& error);

  const Kind kind_;
  const RtMidi::Api api_;
  const QString name_;
  const Receiver receiver_;
  std::atomic<bool> enabled_{true};
  std::atomic<bool> reachesUsOtherwise_{false};

  mutable std::mutex portMutex_;  // guards the RtMidi objects and sending
  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiOut> out_;
  bool open_ = false;
  QString openedRaw_;
  std::vector<unsigned char> sendBuffer_;

  // Input thread only.
  QKMIDIParser parser_;
  QKMIDIMessageArray received_;

  mutable std::mutex errorMutex_;
  QString lastError_;
};
