#include "app/plugins/clock/QKQuantizePicker.h"

#include "app/plugins/clock/MasterClock.h"
#include "app/plugins/clock/QuantizeTriggerTarget.h"
#include "framework/controls/QKButton.h"
#include "platform/foundation/NotificationCenter.h"

#include <QTimer>

#include <cmath>
#include <mutex>

const QString QKQuantizePicker::kImmediatelyTitle = QStringLiteral("Immediately");
const QString QKQuantizePicker::kManuallyTitle = QStringLiteral("Manually...");

namespace {

struct NoteValue {
  const char* title;
  double granularity;
};

// Fractions of a four-beat measure, whatever the beat count. Index n - 1
// holds the value of n subdivisions.
const NoteValue kSubdivisionValues[] = {
    {"quarter note (1)", 0.25},       {"eighth note (1/2)", 0.125}, {"triplet (1/3)", 1.0 / 12},
    {"sixteenth note (1/4)", 0.0625}, {"pentuplet (1/5)", 0.05},    {"sextuplet (1/6)", 1.0 / 24},
    {"septuplet (1/7)", 1.0 / 28},    {"octuplet (1/8)", 0.03125}};
const NoteValue kHalfNote{"half note (2)", 0.5};
const NoteValue kWholeNote{"whole note (4)", 1.0};

}  // namespace

// The clock's way to the picker: the picker cuts it, waiting for a bump under
// way, before it goes.
struct QKQuantizePicker::BumpLink {
  void bump() {
    std::lock_guard lock(mutex);
    if (picker) picker->quantizedBumpMethod();
  }
  void cut() {
    std::lock_guard lock(mutex);
    picker = nullptr;
  }
  std::mutex mutex;
  QKQuantizePicker* picker = nullptr;
};

QStringList QKQuantizePicker::menuTitles(int subdivisions, int beats) {
  QStringList titles{kImmediatelyTitle};
  for (double s = subdivisions; s >= 1.0 && s == std::floor(s); s /= 2.0)
    if (s <= 8.0) titles << QString::fromLatin1(kSubdivisionValues[int(s) - 1].title);
  for (long s = 1; s <= beats; s *= 2) {
    if (s == 2) titles << QString::fromLatin1(kHalfNote.title);
    if (s == 4) titles << QString::fromLatin1(kWholeNote.title);
  }
  titles << kManuallyTitle;
  return titles;
}

bool QKQuantizePicker::granularityForTitle(const QString& title, double* granularity) {
  if (title == kImmediatelyTitle || title == kManuallyTitle) {
    *granularity = title == kImmediatelyTitle ? kImmediately : kManually;
    return true;
  }
  for (const NoteValue& v : kSubdivisionValues)
    if (title == QLatin1String(v.title)) return *granularity = v.granularity, true;
  for (const NoteValue& v : {kHalfNote, kWholeNote})
    if (title == QLatin1String(v.title)) return *granularity = v.granularity, true;
  return false;
}

QKQuantizePicker::QKQuantizePicker(QWidget* parent)
    : QKNSPopUpButton(parent), link_(std::make_shared<BumpLink>()) {
  link_->picker = this;
}

QKQuantizePicker::~QKQuantizePicker() {
  if (!deleted_) QKQuantizePicker::prepareToBeDeleted();
}

void QKQuantizePicker::awakeFromNib() {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(MasterClockInterface::kFinderNotification),
      static_cast<MasterClockClient*>(this));
  if (masterClock_) {
    populateFromMasterClock();
  } else if (!finder_) {
    finder_ = new QTimer(this);
    connect(finder_, &QTimer::timeout, this, [this] { findMasterClockMethod(); });
    finder_->start(1000);
  }
  connect(this, &QKNSPopUpButton::activated, this, [this] { iAmMyOwnTarget(); });
}

void QKQuantizePicker::findMasterClockMethod() {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(MasterClockInterface::kFinderNotification),
      static_cast<MasterClockClient*>(this));
  if (!masterClock_) return;
  finder_->stop();
  populateFromMasterClock();
}

void QKQuantizePicker::setMasterClock(MasterClockInterface* clock) {
  auto* master = dynamic_cast<MasterClock*>(clock);
  if (masterClock_ || !master || deleted_) return;
  masterClock_ = master;
  masterClock_->subscribeObject(link_, &BumpLink::bump);
  pickerObservers_.observe(QString::fromLatin1(MasterClock::kUpdateParticularsNotification),
                           nullptr, [this](const Notification&) { populateFromMasterClock(); });
}

void QKQuantizePicker::populateFromMasterClock() {
  if (!masterClock_) return;
  const QString oldTitle = titleOfSelectedItem();
  const double oldGranularity = granularity_.load();
  removeAllItems();
  for (const QString& title :
       menuTitles(masterClock_->quantizedSubdivisions(), masterClock_->beatsPerMeasure()))
    addItemWithTitle(title);
  if (oldTitle.isEmpty())
    selectItemAtIndex(selectedIndex_);
  else
    selectItemWithTitle(titleToKeep(oldTitle, oldGranularity));
  iAmMyOwnTarget();
}

QString QKQuantizePicker::titleToKeep(const QString& oldTitle, double oldGranularity) const {
  QString best = kImmediatelyTitle;
  double bestDistance = INFINITY;
  double bestGranularity = 0.0;
  for (QAction* item : menu()->actions()) {
    const QString title = item->text();
    if (title == oldTitle) return title;
    double g = 0.0;
    if (!granularityForTitle(title, &g) || g < 0.0) continue;
    const double distance = std::fabs(g - oldGranularity);
    if (distance < bestDistance || (distance == bestDistance && g > bestGranularity)) {
      best = title;
      bestDistance = distance;
      bestGranularity = g;
    }
  }
  return best;
}

bool QKQuantizePicker::hasItemWithTitle(const QString& title) const {
  for (QAction* item : menu()->actions())
    if (item->text() == title) return true;
  return false;
}

void QKQuantizePicker::iAmMyOwnTarget() {
  selectedIndex_ = indexOfSelectedItem();
  double g = 0.0;
  if (granularityForTitle(titleOfSelectedItem(), &g)) granularity_.store(g);
  if (manualTriggerButton_) manualTriggerButton_->setVisible(granularity_.load() == kManually);
  if (menuUsed_) menuUsed_(this);
}

void QKQuantizePicker::trigger() {
  if (granularity_.load() == kImmediately)
    sendTrigger();
  else
    triggerOnNextBump_.store(true);
}

void QKQuantizePicker::sendTrigger() {
  if (QuantizeTriggerTarget* target = target_.load()) target->trigger();
}

void QKQuantizePicker::manualTriggerButtonUsed() {
  if (granularity_.load() == kManually && triggerOnNextBump_.exchange(false)) sendTrigger();
}

// Fires on the first bump at or after the next boundary of the note value:
// the bump whose granule differs from the previous bump's, or the first
// after the measure wrapped.
void QKQuantizePicker::quantizedBumpMethod() {
  if (!masterClock_) return;
  const double p = masterClock_->measurePositionExact();
  const double q = lastTriggerTime_.exchange(p);
  const double g = granularity_.load();
  if (q < 0.0 || g <= 0.0 || !triggerOnNextBump_.load()) return;
  const bool newGranule = std::floor(p / g) != std::floor(q / g) || p <= q;
  if (!newGranule || !triggerOnNextBump_.exchange(false)) return;
  lastQuantizedBump_.store(long(p / g));
  sendTrigger();
}

QVariantMap QKQuantizePicker::createSnapshot() const {
  QVariantMap snapshot;
  if (manualTriggerButton_)
    snapshot.insert(QStringLiteral("manualTriggerButton"), manualTriggerButton_->createSnapshot());
  snapshot.insert(QStringLiteral("menu title"), titleOfSelectedItem());
  return snapshot;
}

void QKQuantizePicker::loadSnapshot(const QVariantMap& snapshot) {
  const auto title = snapshot.find(QStringLiteral("menu title"));
  if (title != snapshot.end() && hasItemWithTitle(title->toString())) {
    selectItemWithTitle(title->toString());
    iAmMyOwnTarget();
  }
  const auto button = snapshot.find(QStringLiteral("manualTriggerButton"));
  if (manualTriggerButton_ && button != snapshot.end())
    manualTriggerButton_->loadSnapshot(button->toMap());
}

void QKQuantizePicker::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  pickerObservers_.clear();
  if (finder_) finder_->stop();
  if (masterClock_) masterClock_->unsubscribeObject(link_, &BumpLink::bump);
  link_->cut();
  if (manualTriggerButton_) manualTriggerButton_->prepareToBeDeleted();
}
