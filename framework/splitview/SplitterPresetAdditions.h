#pragma once

#include <QVariantMap>

class QSplitter;

// Presets of a plain QSplitter: its panes' frames by index ("0.o.x", "0.o.y",
// "0.s.w", "0.s.h", then "1.o.x" …).
namespace SplitterPresetAdditions {

QVariantMap createPreset(const QSplitter* splitter);
// Panes with an entry take its size along the splitter's axis (a missing
// number reads as 0); the others keep theirs. Then the splitter lays out.
void loadPreset(QSplitter* splitter, const QVariantMap& preset);

}  // namespace SplitterPresetAdditions
