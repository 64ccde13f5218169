#include "framework/datasource/DSInputNaming.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManagerInterface.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"
#include "platform/osc/OSCMessage.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaType>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <memory>

namespace {

const QString kMIDI = QStringLiteral("MIDI");
const QString kOSC = QStringLiteral("OSC");
const QString kKey = QStringLiteral("Key");
const QString kDedicatedMIDI = QStringLiteral("Dedicated MIDI");
const QString kDedicatedOSC = QStringLiteral("Dedicated OSC");

// Made once: naming a message then costs a table lookup, and its path is
// shared, not built.
struct MIDINames {
  KeyPath notes[16][128];
  KeyPath controllers[16][128];
  KeyPath pitchWheels[16];
  MIDINames() {
    for (int channel = 1; channel <= 16; ++channel) {
      for (int n = 0; n < 128; ++n) {
        notes[channel - 1][n] = {kMIDI, QStringLiteral("note [%1] ch. %2").arg(n).arg(channel)};
        controllers[channel - 1][n] = {kMIDI,
                                       QStringLiteral("ctrl [%1] ch. %2").arg(n).arg(channel)};
      }
      pitchWheels[channel - 1] = {kMIDI, QStringLiteral("ptch.whl. ch. %1").arg(channel)};
    }
  }
};

const MIDINames& midiNames() {
  static const MIDINames names;
  return names;
}

QString errorText(const std::exception& e) { return QString::fromLocal8Bit(e.what()); }

// A path under one input root whose last name changes per message: reused on
// each input thread, so that naming a message allocates nothing.
KeyPath& scratchPath(const QString& root, const QString& name) {
  thread_local KeyPath path __attribute__((tls_model("initial-exec")));
  if (path.size() != 2) path = {root, name};
  path[0] = root;
  path[1] = name;
  return path;
}

// Per input thread: the node each recent input went to, so that repeated
// input skips the walk down the tree. An entry is trusted only for the
// naming that made it and while its node lives and is not deleted (a node
// replaced or removed from the tree is deleted first).
struct CachedNode {
  std::uint64_t owner = 0;
  const QString* root = nullptr;
  QString name;
  std::weak_ptr<DataSource> node;
};
constexpr std::size_t kCachedNodes = 64;

CachedNode& cachedNode(const QString& root, const QString& name) {
  thread_local std::array<CachedNode, kCachedNodes> cache
      __attribute__((tls_model("initial-exec")));
  return cache[(qHash(name) ^ reinterpret_cast<std::uintptr_t>(&root)) % kCachedNodes];
}

std::atomic<std::uint64_t> namingSerials{0};

bool isModifierOnly(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
      return true;
    default:
      return false;
  }
}

// Names of the keys that type nothing readable. Chosen once: sources saved in
// projects are bound to them.
QString namedKey(int key) {
  if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
    return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
  switch (key) {
    case Qt::Key_Left:
      return QStringLiteral("left arrow");
    case Qt::Key_Right:
      return QStringLiteral("right arrow");
    case Qt::Key_Up:
      return QStringLiteral("up arrow");
    case Qt::Key_Down:
      return QStringLiteral("down arrow");
    case Qt::Key_Return:
      return QStringLiteral("return");
    case Qt::Key_Enter:
      return QStringLiteral("enter");
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return QStringLiteral("tab");
    case Qt::Key_Backspace:
      return QStringLiteral("backspace");
    case Qt::Key_Delete:
      return QStringLiteral("delete");
    case Qt::Key_Insert:
      return QStringLiteral("insert");
    case Qt::Key_Home:
      return QStringLiteral("home");
    case Qt::Key_End:
      return QStringLiteral("end");
    case Qt::Key_PageUp:
      return QStringLiteral("page up");
    case Qt::Key_PageDown:
      return QStringLiteral("page down");
    case Qt::Key_Print:
      return QStringLiteral("print screen");
    case Qt::Key_Pause:
      return QStringLiteral("pause");
    case Qt::Key_Menu:
      return QStringLiteral("menu");
    case Qt::Key_Help:
      return QStringLiteral("help");
    case Qt::Key_Clear:
      return QStringLiteral("clear");
    default:
      return {};
  }
}

bool isReadable(const QString& text) {
  return !text.isEmpty() &&
         std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
}

}  // namespace

DSInputNaming::MIDISource DSInputNaming::midiSource(const QKMIDIMessage& message) {
  const MIDINames& names = midiNames();
  const int channel = std::clamp(message.channel(), 1, 16) - 1;
  const int data1 = message.data1() & 0x7F;
  const int data2 = message.data2() & 0x7F;
  switch (message.type()) {
    case 0x90:
      return {names.notes[channel][data1], static_cast<float>(data2) / 127.0f};
    case 0x80:
      return {names.notes[channel][data1], 0.0f};
    case 0xB0:
      return {names.controllers[channel][data1], static_cast<float>(data2) / 127.0f};
    case 0xE0:
      return {names.pitchWheels[channel], static_cast<float>(data1 + 128 * data2) / 16383.0f};
    default:
      return {};
  }
}

DSInputNaming::DSInputNaming(DataSourceController& controller)
    : dsc_(controller),
      serial_(++namingSerials),
      midiDetect_(InputNotifications::MIDIDetect, InputNotifications::MessageKey),
      oscDetect_(InputNotifications::OSCDetect, InputNotifications::DataSourceKey),
      keyDetectName_(QString::fromLatin1(InputNotifications::KeyDetect)) {}

DSInputNaming::DetectNotice::DetectNotice(const char* notification, const char* userInfoKey)
    : name(QString::fromLatin1(notification)), key(QString::fromLatin1(userInfoKey)) {}

// Posted per message: whether anyone listens is asked again only when the
// observers changed, and the user info is made only when someone does.
template <class Value>
void DSInputNaming::DetectNotice::post(const Value& value) {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  const std::uint64_t now = center.observerGeneration();
  if (generation.load(std::memory_order_acquire) != now) {
    observed.store(center.hasObservers(name), std::memory_order_relaxed);
    generation.store(now, std::memory_order_release);
  }
  if (observed.load(std::memory_order_relaxed))
    center.post(name, nullptr, {{key, QVariant::fromValue(value)}});
}

std::shared_ptr<DataSource> DSInputNaming::inputSource(const QString& root, const QString& name,
                                                       const KeyPath* path) {
  CachedNode& cached = cachedNode(root, name);
  if (cached.owner == serial_ && cached.root == &root && cached.name == name) {
    if (auto node = cached.node.lock(); node && !node->isDeleted()) return node;
  }
  auto node = dsc_.inputSourceForKeyArray(path ? *path : scratchPath(root, name));
  cached = {serial_, &root, name, node};
  return node;
}

void DSInputNaming::midiMsgReceived(const QKMIDIMessage& message) {
  try {
    const MIDISource source = midiSource(message);
    if (!source.path.isEmpty()) {
      const MIDIManagerInterface* midi = dsc_.midiManager();
      const QString dedicated = midi ? midi->dedicatedNameFor(source.path.last()) : QString();
      if (!dedicated.isEmpty()) {
        const auto node = dsc_.dataSourceForKeyArray(scratchPath(kDedicatedMIDI, dedicated));
        if (node && node->takesValue()) node->setValue(source.value);
        return;
      }
      const auto node = inputSource(kMIDI, source.path.last(), &source.path);
      if (node && node->takesValue()) node->setValue(source.value);
    }
    midiDetect_.post(message);
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\tcaught exception while processing midi msg %1: %2")
                  .arg(message.description(), errorText(e)));
  }
}

void DSInputNaming::receivedOSCMessage(const OSCMessage* message) {
  if (!message || message->address().isEmpty() || !message->value()) return;
  try {
    const QKOSCManager* osc = dsc_.oscManager();
    const QString dedicated = osc ? osc->dedicatedNameFor(message->address()) : QString();
    const auto node = dedicated.isEmpty()
                          ? inputSource(kOSC, message->address())
                          : dsc_.dataSourceForKeyArray(scratchPath(kDedicatedOSC, dedicated));
    if (!node) return;
    const OSCValue& v = *message->value();
    float value = 0.0f;
    switch (v.type()) {
      case OSCValue::Int:
      case OSCValue::Int64:
        value = static_cast<float>(std::clamp(v.intValue(), 0, 1));
        break;
      case OSCValue::Float:
      case OSCValue::Double:
        if (std::isnan(v.doubleValue())) {
          // Not a value: a control set to it would stick, so it is dropped.
          Log::limited(QStringLiteral("osc-nan"),
                       QStringLiteral("\t\terr: dropped a NaN sent to OSC address %1")
                           .arg(message->address()));
          return;
        }
        value = static_cast<float>(std::clamp(v.doubleValue(), 0.0, 1.0));
        break;
      case OSCValue::Bool:
        value = v.boolValue() ? 1.0f : 0.0f;
        break;
      default:
        return;  // the node stays, nothing is set
    }
    if (node->takesValue()) node->setValue(value);
    if (dedicated.isEmpty()) oscDetect_.post(node);
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\tcaught exception while receiving osc val/address: %1")
                  .arg(errorText(e)));
  }
}

void DSInputNaming::oscDictReceived(const QMap<QString, QList<OSCMessage>>& messages) {
  try {
    for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
      Log::line(
          QStringLiteral("\t\tOSC dict: %1 (%2 messages)").arg(it.key()).arg(it.value().size()));
      for (const OSCMessage& message : it.value()) receivedOSCMessage(&message);
    }
  } catch (const std::exception& e) {
    Log::line(
        QStringLiteral("\t\tcaught exception while receiving OSC dict: %1").arg(errorText(e)));
  }
}

QString DSInputNaming::keyName(const QKeyEvent& event) {
  const int key = event.key();
  if (key == Qt::Key_Escape || isModifierOnly(key)) return {};
  if (isReadable(event.text())) return event.text();
  QString name = namedKey(key);
  if (name.isEmpty() && key != 0 && key != Qt::Key_unknown)
    name = QKeySequence(key).toString(QKeySequence::PortableText).toLower();
  if (name.isEmpty() && event.nativeScanCode() != 0)
    name = QStringLiteral("key %1").arg(event.nativeScanCode());
  return name;
}

void DSInputNaming::keyDown(const QKeyEvent* event) {
  if (!event || event->key() == Qt::Key_Escape || event->isAutoRepeat()) return;
  const bool press = event->type() == QEvent::KeyPress;
  if (!press && event->type() != QEvent::KeyRelease) return;
  // The physical key: Shift changes the text and Qt's key, not the scan code.
  const quint64 identity = event->nativeScanCode() != 0
                               ? event->nativeScanCode()
                               : (quint64{1} << 32) | static_cast<quint32>(event->key());
  QString name;
  {
    std::lock_guard<std::mutex> lock(keysMutex_);
    if (press) {
      name = keyName(*event);
      if (!name.isEmpty()) pressedKeys_.insert(identity, name);
    } else {
      name = pressedKeys_.take(identity);
    }
  }
  if (name.isEmpty() && !press) name = keyName(*event);  // pressed before we listened
  if (name.isEmpty()) return;
  const auto node = inputSource(kKey, name);
  if (node && node->takesValue()) node->setValue(press ? 1.0f : 0.0f);
  NotificationCenter::defaultCenter().post(keyDetectName_, const_cast<QKeyEvent*>(event));
}
