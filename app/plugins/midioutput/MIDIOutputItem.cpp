#include "app/plugins/midioutput/MIDIOutputItem.h"

#include "app/plugins/midioutput/MIDIOutput.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <cmath>

const QString MIDIOutputItem::kChannelValue = QStringLiteral("channelValue");
const QString MIDIOutputItem::kControllerValue = QStringLiteral("controllerValue");

MIDIOutputItem::MIDIOutputItem(DataSourceController* controller, MIDIOutput* output)
    : OutputItem(controller, EmptyPath::Fails), output_(output) {}

std::shared_ptr<MIDIOutputItem> MIDIOutputItem::create(DataSourceController* controller,
                                                       MIDIOutput* output) {
  return std::make_shared<MIDIOutputItem>(controller, output);
}

std::optional<int> MIDIOutputItem::dataByteFor(float value) {
  if (std::isnan(value)) return std::nullopt;
  return static_cast<int>(std::clamp(value, 0.0f, 1.0f) * 127.0f);
}

int MIDIOutputItem::clampChannel(long long channel) {
  return static_cast<int>(std::clamp<long long>(channel, 1, 16));
}

int MIDIOutputItem::clampController(long long controller) {
  return static_cast<int>(std::clamp<long long>(controller, 0, 127));
}

bool MIDIOutputItem::valueChanged(float value) {
  if (!output_) return false;
  const std::optional<int> byte = dataByteFor(value);
  if (!byte) {
    Log::limited(QStringLiteral("midi-output-nan"),
                 QStringLiteral("\t\terr: MIDI output skipped a value that is not a number"));
    return false;
  }
  // The value counts as sent even when solo mutes it.
  output_->sendMIDIMsg(
      QKMIDIMessage(0xB0, channel_.load(std::memory_order_relaxed),
                    static_cast<std::uint8_t>(controller_.load(std::memory_order_relaxed)),
                    static_cast<std::uint8_t>(*byte)),
      this);
  return true;
}

void MIDIOutputItem::subscribingFailed() { Log::line("\t\tMIDI Output Item error"); }

QVariantMap MIDIOutputItem::createSnapshot() const {
  QVariantMap snapshot{{kChannelValue, channelValue()}, {kControllerValue, controllerValue()}};
  addSourceToSnapshot(snapshot);
  return snapshot;
}

namespace {
std::optional<long long> storedNumber(const QVariant& value) {
  if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::Bool) return {};
  bool ok = false;
  const double number = value.toDouble(&ok);
  if (!ok || !std::isfinite(number)) return {};
  return static_cast<long long>(std::clamp(number, -1e9, 1e9));
}
}  // namespace

void MIDIOutputItem::loadSnapshot(const QVariantMap& snapshot) {
  setSyncFlag(false);
  if (const auto channel = storedNumber(snapshot.value(kChannelValue))) setChannelValue(*channel);
  if (const auto controller = storedNumber(snapshot.value(kControllerValue)))
    setControllerValue(*controller);
  // Older rows name their source by a generator and a specification.
  KeyPath legacy;
  const QVariant generator = snapshot.value(QStringLiteral("syncGen"));
  const QVariant spec = snapshot.value(QStringLiteral("syncSpec"));
  if (generator.typeId() == QMetaType::QString && spec.typeId() == QMetaType::QString)
    legacy = KeyPathAdditions::fromLegacy(generator.toString(), spec.toString());
  loadSourceFromSnapshot(snapshot, legacy);
}
