#pragma once

#include "framework/datasource/KeyPath.h"

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

}  // namespace DetectPaths
