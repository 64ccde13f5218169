#include "platform/midi/QKMIDINode.h"

#include "platform/foundation/Log.h"
#include "platform/midi/QKMIDIPortList.h"
#include "platform/midi/SafeMidiOut.h"

#include <exception>

namespace {
QString kindName(QKMIDINode::Kind kind) {
  switch (kind) {
    case QKMIDINode::Kind::Source:
      return QStringLiteral("source");
    case QKMIDINode::Kind::Destination:
      return QStringLiteral("destination");
    default:
      return QStringLiteral("virtual endpoint");
  }
}
}  // namespace

QKMIDINode::QKMIDINode(Kind kind, RtMidi::Api api, QString name, Receiver receiver)
    : kind_(kind), api_(api), name_(std::move(name)), receiver_(std::move(receiver)) {}

QKMIDINode::~QKMIDINode() { close(); }

std::shared_ptr<QKMIDINode> QKMIDINode::createSource(RtMidi::Api api, const QString& name,
                                                     Receiver receiver) {
  return std::make_shared<QKMIDINode>(Kind::Source, api, name, std::move(receiver));
}

std::shared_ptr<QKMIDINode> QKMIDINode::createDestination(RtMidi::Api api, const QString& name) {
  return std::make_shared<QKMIDINode>(Kind::Destination, api, name);
}

std::shared_ptr<QKMIDINode> QKMIDINode::createVirtualSource(RtMidi::Api api, const QString& name,
                                                            Receiver receiver) {
  return std::make_shared<QKMIDINode>(Kind::VirtualSource, api, name, std::move(receiver));
}

std::shared_ptr<QKMIDINode> QKMIDINode::createVirtualDestination(RtMidi::Api api,
                                                                 const QString& name) {
  return std::make_shared<QKMIDINode>(Kind::VirtualDestination, api, name);
}

QString QKMIDINode::clientName() const {
  using Client = QKMIDIPortList::Client;
  switch (kind_) {
    case Kind::Source:
      return QKMIDIPortList::clientName(Client::Source, name_);
    case Kind::Destination:
      return QKMIDIPortList::clientName(Client::Destination, name_);
    case Kind::VirtualSource:
      return QKMIDIPortList::clientName(Client::Receiving);
    case Kind::VirtualDestination:
      break;
  }
  return QKMIDIPortList::clientName(Client::Sending);
}

bool QKMIDINode::open(const QStringList& ownPortNames) {
  std::lock_guard<std::mutex> lock(portMutex_);
  if (open_) return true;
  setLastError({});
  try {
    open_ = receives() ? openInput(ownPortNames) : openOutput(ownPortNames);
  } catch (const std::exception& e) {
    // RtMidi throws from its constructors (no sequencer device, no memory).
    setLastError(QString::fromUtf8(e.what()));
    in_.reset();
    out_.reset();
    open_ = false;
  }
  return open_;
}

bool QKMIDINode::openInput(const QStringList& ownPortNames) {
  if (!in_) {
    in_ = std::make_unique<RtMidiIn>(api_, clientName().toStdString(), 1000);
    in_->setErrorCallback(&QKMIDINode::errorCallback, this);
    in_->ignoreTypes(false, false, false);  // let system exclusive and clock through
    in_->setCallback(&QKMIDINode::inputCallback, this);
  }
  return openPort(*in_, ownPortNames, QKMIDIPortList::kListenPortName);
}

bool QKMIDINode::openOutput(const QStringList& ownPortNames) {
  if (!out_) {
    out_ = std::make_unique<SafeMidiOut>(api_, clientName().toStdString());
    out_->setErrorCallback(&QKMIDINode::errorCallback, this);
  }
  return openPort(*out_, ownPortNames, QKMIDIPortList::kSendPortName);
}

// A virtual port under the node's name, or the system port of that name,
// connected through a port of ours called `connectionName`.
bool QKMIDINode::openPort(RtMidi& midi, const QStringList& ownPortNames,
                          const char* connectionName) {
  if (isVirtual()) {
    midi.openVirtualPort(name_.toStdString());
  } else {
    bool found = false;
    for (const auto& port : QKMIDIPortList::list(midi, ownPortNames)) {
      if (port.name != name_) continue;
      midi.openPort(port.index, connectionName);
      openedRaw_ = port.raw;
      found = true;
      break;
    }
    if (!found) setLastError(QStringLiteral("no MIDI %1 named \"%2\"").arg(kindName(kind_), name_));
  }
  // RtMidi reports failures through the error callback (virtual ports have
  // no open state of their own).
  return lastError().isEmpty() && (isVirtual() || midi.isPortOpen());
}

// The output goes after the lock is let go: under JACK it closes its client,
// waiting for the client's process thread, and senders need not wait too.
void QKMIDINode::close() {
  std::unique_ptr<RtMidiOut> closedOut;
  std::lock_guard<std::mutex> lock(portMutex_);
  try {
    if (in_) in_->closePort();
  } catch (const std::exception& e) {
    setLastError(QString::fromUtf8(e.what()));
  }
  in_.reset();
  closedOut = std::move(out_);
  open_ = false;
  openedRaw_.clear();
}

bool QKMIDINode::isOpen() const {
  std::lock_guard<std::mutex> lock(portMutex_);
  return open_;
}

bool QKMIDINode::sendMsgs(const QKMIDIMessageArray& messages) {
  if (receives()) return false;
  if (messages.empty()) return true;
  std::unique_lock<std::mutex> lock(portMutex_);
  try {
    if (!open_) {
      lock.unlock();
      const bool opened = open();
      lock.lock();
      if (!opened || !out_) return false;
    }
    // Channel and system messages leave from a fixed buffer: a tick's batch
    // allocates nothing.
    for (const QKMIDIMessage& message : messages) {
      unsigned char bytes[3];
      if (const std::size_t count = message.writeShortBytes(bytes)) {
        out_->sendMessage(bytes, count);
        continue;
      }
      sendBuffer_ = message.bytes();
      if (!sendBuffer_.empty()) out_->sendMessage(&sendBuffer_);
    }
    return true;
  } catch (const std::exception& e) {
    setLastError(QString::fromUtf8(e.what()));
    return false;
  }
}

void QKMIDINode::receiveBytes(const unsigned char* bytes, std::size_t count) {
  received_.clear();
  parser_.parse(bytes, count, received_);
  if (received_.empty() || !enabled_.load() || !receiver_) return;
  receiver_(received_);
}

void QKMIDINode::inputCallback(double, std::vector<unsigned char>* bytes, void* node) {
  auto* self = static_cast<QKMIDINode*>(node);
  try {
    if (bytes && !bytes->empty()) self->receiveBytes(bytes->data(), bytes->size());
  } catch (const std::exception& e) {
    Log::limited(QStringLiteral("midi-input-exception"),
                 QStringLiteral("\t\terr: caught exception on MIDI input from %1: %2")
                     .arg(self->name_, QString::fromUtf8(e.what())));
  } catch (...) {
    Log::limited(
        QStringLiteral("midi-input-exception"),
        QStringLiteral("\t\terr: caught unknown exception on MIDI input from %1").arg(self->name_));
  }
}

void QKMIDINode::errorCallback(RtMidiError::Type type, const std::string& text, void* node) {
  auto* self = static_cast<QKMIDINode*>(node);
  const QString message = QString::fromStdString(text);
  if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
    self->setLastError(message);
  Log::limited(QStringLiteral("midi-error-") + self->name_,
               QStringLiteral("\t\terr: MIDI %1 \"%2\": %3")
                   .arg(kindName(self->kind_), self->name_, message));
}

void QKMIDINode::setLastError(const QString& error) {
  std::lock_guard<std::mutex> lock(errorMutex_);
  lastError_ = error;
}

QString QKMIDINode::openedPortRawName() const {
  std::lock_guard<std::mutex> lock(portMutex_);
  return openedRaw_;
}

QString QKMIDINode::lastError() const {
  std::lock_guard<std::mutex> lock(errorMutex_);
  return lastError_;
}
