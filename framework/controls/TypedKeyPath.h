#pragma once

#include "framework/datasource/KeyPath.h"

#include <QString>

#include <optional>

// The key path a user typed into an inspector's source field: names
// separated by "/", empty names dropped ("MIDI//x" is MIDI, x). A path whose
// first name is "OSC" names one OSC address, which keeps its slashes: the
// rest becomes one name with a leading "/" ("OSC/layer/1" is OSC,
// /layer/1). Nothing for text without names, or for "OSC" without an
// address. Shared by the slider and button inspectors.
std::optional<KeyPath> keyPathFromTypedText(const QString& text);
