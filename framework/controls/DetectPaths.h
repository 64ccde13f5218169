#pragma once

#include "framework/datasource/KeyPath.h"
#include "platform/midi/QKMIDIMessage.h"

#include <optional>

struct Notification;

// The key path a control learns from each kind of detect notification: the
// MIDI message and the OSC node in the user info, the key event and the
// pressed data source as the object. None when the notification names no
// source (a MIDI message of a kind without one, a key release, a missing
// object).
namespace DetectPaths {

std::optional<KeyPath> midi(const Notification& notification);
std::optional<KeyPath> osc(const Notification& notification);
std::optional<KeyPath> key(const Notification& notification);
std::optional<KeyPath> button(const Notification& notification);

// A note-on that sounds: status 0x90 with a velocity above 0 (a note-on
// with velocity 0 is how many keyboards send their note-off).
std::optional<QKMIDIMessage> soundingNoteOn(const Notification& notification);
// What continuous detection learns from a notification posted under
// `name`: a key press that is neither an auto-repeat nor Backspace, a
// sounding note-on, a button pressed to exactly 1, an OSC message. None for
// anything else. Reads only the notification: safe on the posting thread.
std::optional<KeyPath> learnt(const Notification& notification, const QString& name);

}  // namespace DetectPaths
