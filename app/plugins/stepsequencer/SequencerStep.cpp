#include "app/plugins/stepsequencer/SequencerStep.h"

#include "app/plugins/stepsequencer/SequencerStepOwner.h"
#include "app/plugins/stepsequencer/StepSequencerShortcutController.h"
#include "framework/controls/QKButtonCell.h"

#include <algorithm>
#include <cmath>

const QString SequencerStep::kVal = QStringLiteral("val");
const QString SequencerStep::kEnabled = QStringLiteral("enabled");
const QString SequencerStep::kShortcutCell = QStringLiteral("shortcutCell");

SequencerStep::SequencerStep(float value, bool enabled, SequencerStepOwner* sequencer,
                             ChangeCounter flagChanges)
    : val_(value),
      enabled_(enabled),
      shortcutCell_(QKButtonCell::create()),
      sequencer_(sequencer),
      flagChanges_(std::move(flagChanges)) {
  shortcutCell_->setDelegate(this);
  shortcutCell_->setTarget(alive_);
  shortcutCell_->setAction([this](QKButtonCell&) { shortcutTriggered(); });
}

SequencerStep::~SequencerStep() { prepareToBeDeleted(); }

void SequencerStep::setVal(float value) {
  if (!(value == value)) value = 0.0f;
  val_.store(std::clamp(value, 0.0f, 1.0f), std::memory_order_relaxed);
}

QVariantMap SequencerStep::createSnapshot() const {
  QVariantMap snapshot{{kVal, double(val())}, {kEnabled, enabled()}};
  if (shortcutCell_) snapshot.insert(kShortcutCell, shortcutCell_->createSnapshot());
  return snapshot;
}

void SequencerStep::loadSnapshot(const QVariantMap& snapshot) {
  if (snapshot.contains(kVal)) {
    const double value = snapshot.value(kVal).toDouble();
    val_.store(std::isfinite(value) ? float(value) : 0.0f, std::memory_order_relaxed);
  }
  if (snapshot.contains(kEnabled)) setEnabled(snapshot.value(kEnabled).toBool());
  const QVariant cell = snapshot.value(kShortcutCell);
  if (shortcutCell_ && cell.typeId() == QMetaType::QVariantMap)
    shortcutCell_->loadSnapshot(cell.toMap(), false);
}

void SequencerStep::prepareToBeDeleted() {
  if (!alive_) return;
  alive_.reset();
  if (shortcutCell_) {
    shortcutCell_->setDelegate(nullptr);
    shortcutCell_->prepareToBeDeleted();
  }
}

void SequencerStep::shortcutTriggered() {
  if (!sequencer_ || !alive_) return;
  const long index = sequencer_->indexOfStep(this);
  if (index >= 0 && index < sequencer_->stepValuesCount()) sequencer_->shortcutTriggered(index);
}

void SequencerStep::QKButtonSyncFlagChanged(QKButtonCell& cell) {
  if (!sequencer_ || !alive_ || !cell.syncFlag()) return;
  if (StepSequencerShortcutController* controller = sequencer_->shortcutController())
    controller->stepLearnt(this, cell.syncArray());
}
