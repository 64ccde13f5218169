#include "app/plugins/monitors/MIDIMonitorText.h"

#include "framework/datasource/MIDIManager.h"
#include "platform/foundation/UserDefaults.h"

namespace {

const QString kNaturalNamesKey = QStringLiteral("QKMIDIUseNaturalNoteNamesFlag");

}  // namespace

bool MIDIMonitorText::isShown(const QKMIDIMessage& message) {
  const int type = message.type();
  return type == 0xB0 || type == 0xE0 || type == 0x90;
}

std::optional<MIDIMonitorText::Fields> MIDIMonitorText::forMessage(const QKMIDIMessage& message,
                                                                   bool naturalNames) {
  const long data1 = message.data1();
  const long data2 = message.data2();
  const QString channel = QStringLiteral("Channel: %1").arg(message.channel());
  switch (message.type()) {
    case 0xB0:
      return Fields{QStringLiteral("CTL: %1").arg(data1), QStringLiteral("Value: %1").arg(data2),
                    channel};
    case 0xE0:
      return Fields{QStringLiteral("Pitch Wheel"),
                    QStringLiteral("Value: %1").arg((data2 * 128 + data1) & 0xFFFF), channel};
    case 0x90: {
      const QString note = naturalNames ? MIDIManager::naturalNameForMIDINoteValue(int(data1))
                                        : QString::number(data1);
      return Fields{QStringLiteral("Note: %1").arg(note), QStringLiteral("Velocity: %1").arg(data2),
                    channel};
    }
    default:
      return std::nullopt;
  }
}

bool MIDIMonitorText::naturalNamesWanted() {
  const UserDefaults& defaults = UserDefaults::standard();
  return !defaults.contains(kNaturalNamesKey) || defaults.integerValue(kNaturalNamesKey) == 1;
}
