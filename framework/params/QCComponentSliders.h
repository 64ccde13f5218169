#pragma once

#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/KeyPath.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class QKSliderCell;
class QWidget;

// The sliders of a colour, position or rectangle element, one per
// component: made in the element's box with their names, their actions
// (called on the thread of the change, with the slider's index) and one
// notice for every change worth a snapshot. Their cells are kept, so any
// thread may read the values.
class QCComponentSliders {
 public:
  using Moved = std::function<void(int index, QKSliderCell& sender)>;

  QCComponentSliders() = default;
  QCComponentSliders(const QCComponentSliders&) = delete;
  QCComponentSliders& operator=(const QCComponentSliders&) = delete;

  // Main thread. The sliders act only while `target` (their element) lives.
  void make(QWidget* parent, const QStringList& names, const std::weak_ptr<void>& target,
            Moved moved, std::function<void()> notice);
  bool complete() const { return !cells_.empty(); }
  int count() const { return int(cells_.size()); }
  QKSliderControl* slider(int index) const;
  const std::shared_ptr<QKSliderCell>& cell(int index) const { return cells_.at(index); }
  // Any thread: the slider's value (0..1); 0 without sliders.
  float value(int index) const;
  float rangedValue(int index) const;
  bool synced(int index) const;

  // Each slider to `path` followed by its own suffix, sync turned on.
  void bindTo(const KeyPath& path, const QStringList& suffixes);
  // Under each of `keys`, the slider's snapshot (none is skipped).
  void addSnapshots(QVariantMap& snapshot, const QStringList& keys) const;
  void loadSnapshots(const QVariantMap& snapshot, const QStringList& keys);
  void prepareToBeDeleted();

 private:
  class Notices;
  std::vector<QPointer<QKSliderControl>> sliders_;  // children of the element's box
  std::vector<std::shared_ptr<QKSliderCell>> cells_;
  std::shared_ptr<Notices> notices_;
};
