#pragma once

#include "framework/controls/QKButtonCell.h"

#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

// The cell of a local preset button: a button cell that also holds the
// owner's state stored in this preset (none for an empty preset). Its
// snapshot keeps the button's own under "superSnap" and the stored state
// under "storedSnapshot".
class QKLocalPresetButtonCell : public QKButtonCell {
 public:
  static std::shared_ptr<QKLocalPresetButtonCell> create();

  // None once deleted.
  std::optional<QVariantMap> storedSnapshot() const;
  // Ignored once deleted; none empties the preset.
  void setStoredSnapshot(std::optional<QVariantMap> snapshot);

  QVariantMap createSnapshot() const override;
  // "superSnap", when present, loads the button with the same output flag;
  // the stored state becomes "storedSnapshot" (none when absent).
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  QKLocalPresetButtonCell() = default;

  mutable std::mutex storedMutex_;
  std::optional<QVariantMap> storedSnapshot_;
};
