#pragma once

#include <QMetaType>

#include <memory>

class DataSource;

// Names of the notifications of MIDI, OSC and key input, and their user-info
// keys.
namespace InputNotifications {

// Every MIDI message without a dedicated name, after its value is set
// (object null; user info: the QKMIDIMessage under MessageKey). Posted on
// the MIDI input thread.
inline constexpr char MIDIDetect[] = "QKMIDIDetectNotification";
inline constexpr char MessageKey[] = "message";
// Every OSC message with an integer, float or boolean value and no dedicated
// name, after its value is set (object null; user info: the node, a
// std::shared_ptr<DataSource>, under DataSourceKey). Posted on the OSC input
// thread.
inline constexpr char OSCDetect[] = "QKOSCDetectNotification";
inline constexpr char DataSourceKey[] = "dataSource";
// Every key event but Escape, after its value is set (object: the
// QKeyEvent*, valid during the post). Main thread.
inline constexpr char KeyDetect[] = "QKKeyDetectNotification";

// The MIDI manager around a rebuild of its endpoint lists (object: the
// manager, a MIDIManager*). Posted on the thread that noticed the change.
inline constexpr char MIDISetupAboutToChange[] = "QKMIDISetupAboutToChangeNotification";
inline constexpr char MIDISetupChanged[] = "QKMIDISetupChangedNotification";
// Posted by MIDI outputs with themselves (a MIDIPollObject*) as object: the
// MIDI manager bangs them on every data-source tick until they unregister.
inline constexpr char MIDIRegisterForPoll[] = "QKMIDIRegisterForPollNotification";
inline constexpr char MIDIUnregisterForPoll[] = "QKMIDIUnregisterForPollNotification";

// The OSC port lists or an output port's label changed (object null).
inline constexpr char OSCOutPortsChanged[] = "QKOSCOutPortsChangedNotification";
// An output port is being deleted (object: the QKOSCOutPort*); holders of
// the port drop it.
inline constexpr char OSCOutPortDeletion[] = "QKOSCOutPortDeletionNotification";

}  // namespace InputNotifications

// The OSC detect notification's user info carries the node.
Q_DECLARE_METATYPE(std::shared_ptr<DataSource>)
