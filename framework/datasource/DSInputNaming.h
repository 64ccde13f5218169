#pragma once

#include "framework/datasource/KeyPath.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class DataSource;
class DataSourceController;
class OSCMessage;
class QKMIDIMessage;
class QKeyEvent;

// Turns raw MIDI, OSC and key input into values of the data-source tree, for
// the data-source controller. Each input gets a stable name and an
// infrequent float under "MIDI", "OSC" or "Key" (created on first use), whose
// subscribers receive the value at once on the input thread; then a detect
// notification goes out, from which controls learn their source. An input
// the user dedicated goes to its existing node under "Dedicated MIDI" or
// "Dedicated OSC" instead, with no notification.
//
// Names:
//   note on / off   "note [%ld] ch. %ld"   velocity / 127 (off: 0)
//   control change  "ctrl [%ld] ch. %ld"   value / 127
//   pitch wheel     "ptch.whl. ch. %ld"    (data 1 + 128 × data 2) / 16383
//   OSC             the address            int and float clamped to 0..1,
//                                          boolean 1 or 0, other types: none
//   keys            the typed text; keys that type nothing (or only a
//                   control character) get a name of their own (keyName).
// Channels are numbered 1 to 16.
class DSInputNaming {
 public:
  explicit DSInputNaming(DataSourceController& controller);

  void midiMsgReceived(const QKMIDIMessage& message);
  void receivedOSCMessage(const OSCMessage* message);
  void oscDictReceived(const QMap<QString, QList<OSCMessage>>& messages);
  // Presses and releases alike. Escape and auto-repeat are ignored; a
  // release goes to the node its press went to, whatever Shift did between.
  void keyDown(const QKeyEvent* event);

  struct MIDISource {
    KeyPath path;  // ("MIDI", name); empty for message kinds without a source
    float value = 0.0f;
  };
  static MIDISource midiSource(const QKMIDIMessage& message);
  // The source name of a key; empty for keys that make no source (Escape,
  // modifiers on their own).
  static QString keyName(const QKeyEvent& event);

 private:
  struct DetectNotice {
    DetectNotice(const char* notification, const char* userInfoKey);
    template <class Value>
    void post(const Value& value);
    const QString name;
    const QString key;
    std::atomic<std::uint64_t> generation{~std::uint64_t{0}};
    std::atomic<bool> observed{false};
  };

  // The node at (root, name), made when missing; `path` when the caller has
  // it already. `root` is one of the constant root names.
  std::shared_ptr<DataSource> inputSource(const QString& root, const QString& name,
                                          const KeyPath* path = nullptr);

  DataSourceController& dsc_;
  const std::uint64_t serial_;  // tells this naming's cached nodes from others'
  DetectNotice midiDetect_;
  DetectNotice oscDetect_;
  const QString keyDetectName_;
  std::mutex keysMutex_;
  QHash<quint64, QString> pressedKeys_;  // key identity → the name its press used
};
