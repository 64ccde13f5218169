#pragma once

#include "framework/controls/QKButtonCell.h"

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>

// One trigger of a notes-to-value plug-in: an undrawn button cell bound to a
// MIDI note, key, OSC address or button, standing for one output value. It
// fires, on the thread that sets its source, when its source rises through
// the cell's threshold.
class QKNTVShortcut : public QKButtonCell {
 public:
  using Ptr = std::shared_ptr<QKNTVShortcut>;

  static const QString kOutputValueKey;  // "outputValue"
  static const QString kSuperSnapKey;    // "superSnap"

  // Unbound; the action runs while `target` lives.
  static Ptr createWithTarget(std::weak_ptr<const void> target, Action action);

  float outputValue() const { return outputValue_.load(); }
  void setOutputValue(float value) { outputValue_.store(value); }

  // The source's short name: a note's natural name (or "n60" when the user
  // turned natural names off), else "root: name"; empty with fewer than two
  // path components.
  QString humanReadableName() const;
  static QString humanReadableName(const KeyPath& path);

  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  QKNTVShortcut() = default;

  std::atomic<float> outputValue_{0.0f};
};
