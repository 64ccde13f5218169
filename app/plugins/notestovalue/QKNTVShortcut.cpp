#include "app/plugins/notestovalue/QKNTVShortcut.h"

#include "framework/datasource/MIDIManager.h"
#include "platform/foundation/UserDefaults.h"

#include <cmath>

const QString QKNTVShortcut::kOutputValueKey = QStringLiteral("outputValue");
const QString QKNTVShortcut::kSuperSnapKey = QStringLiteral("superSnap");

namespace {

const QString kNaturalNamesKey = QStringLiteral("QKMIDIUseNaturalNoteNamesFlag");

bool naturalNoteNames() {
  const UserDefaults& defaults = UserDefaults::standard();
  return !defaults.contains(kNaturalNamesKey) || defaults.integerValue(kNaturalNamesKey) == 1;
}

// The whole number at the start of `text` (0 when there is none), as a
// note's name "note [60] ch. 1" gives 60 after its first six characters.
int leadingNumber(const QString& text) {
  int end = 0;
  if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+'))) ++end;
  while (end < text.size() && text[end].isDigit()) ++end;
  return text.left(end).toInt();
}

}  // namespace

QKNTVShortcut::Ptr QKNTVShortcut::createWithTarget(std::weak_ptr<const void> target,
                                                   Action action) {
  Ptr shortcut(new QKNTVShortcut);
  shortcut->setTarget(std::move(target));
  shortcut->setAction(std::move(action));
  shortcut->didCreate();
  return shortcut;
}

QString QKNTVShortcut::humanReadableName() const { return humanReadableName(syncArray()); }

QString QKNTVShortcut::humanReadableName(const KeyPath& path) {
  if (path.size() < 2) return {};
  if (path[0] == QLatin1String("MIDI")) {
    const int note = leadingNumber(path[1].mid(6));
    return naturalNoteNames() ? MIDIManager::naturalNameForMIDINoteValue(note)
                              : QStringLiteral("n%1").arg(note);
  }
  return QStringLiteral("%1: %2").arg(path[0], path[1]);
}

QVariantMap QKNTVShortcut::createSnapshot() const {
  return {{kSuperSnapKey, QKButtonCell::createSnapshot()},
          {kOutputValueKey, double(outputValue())}};
}

void QKNTVShortcut::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  const QVariant super = snapshot.value(kSuperSnapKey);
  if (super.typeId() == QMetaType::QVariantMap)
    QKButtonCell::loadSnapshot(super.toMap(), andOutput);
  bool ok = false;
  const float value = snapshot.value(kOutputValueKey).toFloat(&ok);
  if (ok && std::isfinite(value)) setOutputValue(value);
}
