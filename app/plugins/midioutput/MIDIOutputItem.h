#pragma once

#include "app/plugins/output/OutputItem.h"

#include <atomic>
#include <optional>

class MIDIOutput;

// A row of the MIDI output: its source's every new value leaves as one
// control change on the row's channel (1 to 16) and controller (0 to 127),
// the value held to 0..1 and scaled to 0..127.
class MIDIOutputItem : public OutputItem {
 public:
  static const QString kChannelValue;     // "channelValue"
  static const QString kControllerValue;  // "controllerValue"

  static std::shared_ptr<MIDIOutputItem> create(DataSourceController* controller,
                                                MIDIOutput* output);

  // The data byte of a value: 1.0 gives 127, 0.5 gives 63, values beyond
  // 0..1 the nearest end; nothing for NaN.
  static std::optional<int> dataByteFor(float value);
  static int clampChannel(long long channel);
  static int clampController(long long controller);

  int channelValue() const { return channel_.load(); }
  void setChannelValue(long long channel) { channel_.store(clampChannel(channel)); }
  int controllerValue() const { return controller_.load(); }
  void setControllerValue(long long controller) { controller_.store(clampController(controller)); }

  QVariantMap createSnapshot() const;
  // Key path, legacy "syncGen"/"syncSpec" pairs included; mistyped values
  // keep what the row had.
  void loadSnapshot(const QVariantMap& snapshot);

  MIDIOutputItem(DataSourceController* controller, MIDIOutput* output);

 protected:
  bool valueChanged(float value) override;
  void subscribingFailed() override;

 private:
  MIDIOutput* const output_;
  std::atomic<int> channel_{1};
  std::atomic<int> controller_{1};
};
