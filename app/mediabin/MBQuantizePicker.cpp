#include "app/mediabin/MBQuantizePicker.h"

#include "app/compositor/Layer.h"
#include "app/mediabin/MBLayerQueueHost.h"
#include "app/mediabin/MBQuantizeTarget.h"
#include "app/plugins/clock/MasterClock.h"
#include "framework/controls/QKButton.h"
#include "platform/foundation/MainThread.h"

#include <QPointer>

const QString MBQuantizePicker::kAnyMovieEndsTitle = QStringLiteral("Any Movie Ends");
const QString MBQuantizePicker::kTargetLayersMovieEndsTitle =
    QStringLiteral("Target Layer's Movie Ends");
const QString MBQuantizePicker::kMovieDidEndNotification =
    QStringLiteral("QKMovieSourceQTMovieDidEnd");

namespace {
const QString kRestoreStart = QStringLiteral("QKPMRestoreStartNotification");
const QString kRestoreEnd = QStringLiteral("QKPMRestoreEndNotification");
}  // namespace

MBQuantizePicker::MBQuantizePicker(QWidget* parent) : QKQuantizePicker(parent) {}

MBQuantizePicker::~MBQuantizePicker() { MBQuantizePicker::prepareToBeDeleted(); }

void MBQuantizePicker::setQueue(MBQuantizeTarget* queue) {
  queue_.store(queue);
  setTheThingThatGetsBangedOnTrigger(queue);
}

void MBQuantizePicker::awakeFromNib() {
  restoreObservers_.observe(kRestoreStart, nullptr, [this](const Notification&) {
    MainThread::run([self = QPointer<MBQuantizePicker>(this)] {
      if (self) self->startPresetRestore();
    });
  });
  restoreObservers_.observe(kRestoreEnd, nullptr, [this](const Notification&) {
    MainThread::run([self = QPointer<MBQuantizePicker>(this)] {
      if (self) self->stopPresetRestore();
    });
  });
  observeLayers();
  QKQuantizePicker::awakeFromNib();
  populateAllMenus();
}

void MBQuantizePicker::observeLayers() {
  layerObservers_.clear();
  auto rebuild = [this](const Notification&) {
    MainThread::coalesce(this, [self = QPointer<MBQuantizePicker>(this)] {
      if (self) self->populateAllMenus();
    });
  };
  for (const QString& name : {Layer::kNameChangeNotification, Layer::kCreateNotification,
                              Layer::kSourceChangeNotification})
    layerObservers_.observe(name, nullptr, rebuild);
  layerObservers_.observe(Layer::kDeleteNotification, nullptr, [this](const Notification& n) {
    const auto* layer = static_cast<const Layer*>(n.object);
    const QString name = layer ? layer->layerName() : QString();
    MainThread::run([self = QPointer<MBQuantizePicker>(this), name] {
      if (self) self->layerDeleted(name);
    });
  });
}

void MBQuantizePicker::observeMovieEnds(bool observe) {
  movieEndObserver_.clear();
  if (observe)
    movieEndObserver_.observe(kMovieDidEndNotification, nullptr,
                              [this](const Notification& n) { movieDidEnd(n.object); });
}

QStringList MBQuantizePicker::allQTLayers() const {
  std::lock_guard<std::mutex> lock(layersMutex_);
  return allQTLayers_;
}

bool MBQuantizePicker::isMovieLayer(const QString& name) const {
  std::lock_guard<std::mutex> lock(layersMutex_);
  return allQTLayers_.contains(name);
}

void MBQuantizePicker::rebuildAllQTLayers() {
  const QStringList names = layers_ ? layers_->playingMovieLayerNames() : QStringList();
  std::lock_guard<std::mutex> lock(layersMutex_);
  allQTLayers_ = names;
}

QStringList MBQuantizePicker::menuTitles() const {
  QStringList titles;
  for (QAction* item : menu()->actions())
    titles << (item->isSeparator() ? QString() : item->text());
  return titles;
}

void MBQuantizePicker::populateAllMenus() {
  if (deleted_) return;
  removeAllItems();
  addItemWithTitle(kImmediatelyTitle);
  menu()->addSeparator();
  if (masterClock_) {
    QStringList notes =
        QKQuantizePicker::menuTitles(static_cast<int>(masterClock_->quantizedSubdivisions()),
                                     static_cast<int>(masterClock_->beatsPerMeasure()));
    notes.removeFirst();  // "Immediately"
    notes.removeLast();   // "Manually..."
    for (const QString& title : notes) addItemWithTitle(title);
  }
  menu()->addSeparator();
  rebuildAllQTLayers();
  addItemWithTitle(kAnyMovieEndsTitle);
  addItemWithTitle(kTargetLayersMovieEndsTitle);
  for (const QString& name : allQTLayers()) addItemWithTitle(name);
  menu()->addSeparator();
  addItemWithTitle(kManuallyTitle);
  selectItemWithTitle(lastSelectedItemName_);
  iAmMyOwnTarget();
}

void MBQuantizePicker::iAmMyOwnTarget() {
  const QString title = titleOfSelectedItem();
  if (title.isEmpty()) return;  // nothing selected: the choice stays
  selectedIndex_ = indexOfSelectedItem();
  double g = 0.0;
  if (granularityForTitle(title, &g))
    granularity_.store(g);
  else if (title == kAnyMovieEndsTitle)
    granularity_.store(kAnyMovieEnds);
  else if (title == kTargetLayersMovieEndsTitle)
    granularity_.store(kTargetLayersMovieEnds);
  else if (isMovieLayer(title))
    granularity_.store(kChosenLayersMovieEnds);
  if (manualTriggerButton_) manualTriggerButton_->setVisible(granularity_.load() == kManually);
  const double value = granularity_.load();
  observeMovieEnds(value == kAnyMovieEnds || value == kTargetLayersMovieEnds ||
                   value == kChosenLayersMovieEnds);
  lastSelectedItemName_ = title;
  std::lock_guard<std::mutex> lock(titleMutex_);
  selectedTitle_ = title;
}

void MBQuantizePicker::trigger() {
  MBQuantizeTarget* queue = queue_.load();
  const double g = granularity_.load();
  if (g == kImmediately) {
    if (queue) queue->trigger();
    return;
  }
  rebuildAllQTLayers();
  if (g == kAnyMovieEnds) {
    if (allQTLayers().isEmpty()) {
      if (queue) queue->trigger();
    } else {
      triggerOnNextBump_.store(true);
    }
  } else if (g == kTargetLayersMovieEnds) {
    const QString recent = queue ? queue->mostRecentLayer() : QString();
    if (!recent.isEmpty() && isMovieLayer(recent))
      triggerOnNextBump_.store(true);
    else if (queue)
      queue->triggerThisLayer(recent);
  } else if (g == kChosenLayersMovieEnds) {
    if (isMovieLayer(lastSelectedItemName_))
      triggerOnNextBump_.store(true);
    else if (queue)
      queue->triggerThisLayer(queue->mostRecentLayer());
  } else {
    triggerOnNextBump_.store(true);
  }
}

void MBQuantizePicker::movieDidEnd(const void* source) {
  MBQuantizeTarget* queue = queue_.load();
  if (!queue || !layers_) return;
  QString title;
  {
    std::lock_guard<std::mutex> lock(titleMutex_);
    title = selectedTitle_;
  }
  rebuildAllQTLayers();
  const double g = granularity_.load();
  const QString ended = layers_->layerNameOfSource(source);
  if (g == kAnyMovieEnds) {
    if (triggerOnNextBump_.exchange(false)) queue->trigger();
  } else if (g == kTargetLayersMovieEnds) {
    if (!ended.isEmpty()) queue->triggerThisLayer(ended);
  } else if (g == kChosenLayersMovieEnds) {
    if (!ended.isEmpty() && title == ended) {
      triggerOnNextBump_.store(false);
      queue->trigger();
    }
  }
}

void MBQuantizePicker::layerDeleted(const QString& layerName) {
  if (layerName.isEmpty() || !isMovieLayer(layerName)) return;
  for (QAction* item : menu()->actions())
    if (!item->isSeparator() && item->text() == layerName) {
      const bool wasSelected = selectedItem() == item;
      menu()->removeAction(item);
      delete item;
      if (wasSelected) selectItem(nullptr);
      break;
    }
}

void MBQuantizePicker::startPresetRestore() {
  layerObservers_.clear();
  movieEndObserver_.clear();
}

void MBQuantizePicker::stopPresetRestore() {
  observeLayers();
  populateAllMenus();
}

void MBQuantizePicker::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant title = snapshot.value(QStringLiteral("menu title"));
  if (title.typeId() == QMetaType::QString && !title.toString().isEmpty())
    lastSelectedItemName_ = title.toString();
  const QVariant button = snapshot.value(QStringLiteral("manualTriggerButton"));
  if (manualTriggerButton_ && button.typeId() == QMetaType::QVariantMap)
    manualTriggerButton_->loadSnapshot(button.toMap());
}

void MBQuantizePicker::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  restoreObservers_.clear();
  layerObservers_.clear();
  movieEndObserver_.clear();
  MainThread::coalesce(this, [] {});
  QKQuantizePicker::prepareToBeDeleted();
}
