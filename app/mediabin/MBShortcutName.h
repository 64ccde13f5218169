#pragma once

#include "framework/datasource/KeyPath.h"

#include <QString>

// The short text that names a trigger shortcut, shared by the layer
// queue's rows and the grid's trigger listeners. MIDI sources are named by
// what they are: a note by its letter name ("C3"), or "n60" while the user
// default "QKMIDIUseNaturalNoteNamesFlag" is 0; a controller "CC7"; the
// pitch wheel "PB".
namespace MBShortcutName {

inline const QString kNaturalNamesDefault = QStringLiteral("QKMIDIUseNaturalNoteNamesFlag");

// The group and source of a sync path: components 0 and 1, except that a
// "hidden" source is passed over when a third component exists. False for a
// path of fewer than two components.
bool groupAndSource(const KeyPath& path, QString* group, QString* source);
// The name of a MIDI source ("note [60] ch. 1", "ctrl [7] ch. 1",
// "ptch.whl. ch. 1"); other source names come back unchanged.
QString midiSourceName(const QString& source);
// Whether notes are named by letter: the default is 1 or absent.
bool naturalNoteNames();
// A layer-queue row's text: the MIDI name, or "group: source"; empty for a
// path of fewer than two components.
QString forQueueItem(const KeyPath& path);
// A trigger listener's text: the MIDI name, else the last component of the
// source's name ("/a/b" gives "b", a key its characters); a "hidden" group
// or source is passed over when a third component exists. Empty for a path
// of fewer than two components.
QString forListener(const KeyPath& path);

}  // namespace MBShortcutName
