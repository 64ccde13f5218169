#include "app/mediabin/MBLayerController.h"

#include "app/mediabin/MBLayerQueueHost.h"
#include "app/mediabin/MBLayerTableView.h"
#include "app/plugins/clock/QKQuantizePicker.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileRelease.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/VariantNumbers.h"

#include <QCheckBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

const QStringList MBLayerController::kModeTitles = {
    QStringLiteral("Manual"), QStringLiteral("Cycle"), QStringLiteral("Poly")};
const QString MBLayerController::kDragType = QStringLiteral("QKMBLayerDragType");
const QString MBLayerController::kSnapshotKey = QStringLiteral("layerController");
const QString MBLayerController::kVisiblePagesChangedNotification =
    QStringLiteral("QKMBVisiblePagesChangedNotification");
const QString MBLayerController::kLayerTriggerFileNotification =
    QStringLiteral("QKLayerTriggerFileNotification");

namespace {

const QString kRestoreStart = QStringLiteral("QKPMRestoreStartNotification");
const QString kRestoreEnd = QStringLiteral("QKPMRestoreEndNotification");
const QString kNaturalNamesChanged =
    QStringLiteral("QKMIDIUseNaturalNoteNamesFlagChangedNotification");

const QString kQueueKey = QStringLiteral("layerQueueArray");
const QString kCycleModeKey = QStringLiteral("cycleModeButton");
const QString kAutoSwitchKey = QStringLiteral("autoSwitchLayerTabsToggle");
const QString kNextRowKey = QStringLiteral("nextTriggerRow");
const QString kPickerKey = QStringLiteral("quantizePicker");
const QString kPrevButtonKey = QStringLiteral("prevLayerButton");
const QString kNextButtonKey = QStringLiteral("nextLayerButton");
const QString kRandButtonKey = QStringLiteral("randLayerButton");

// The on-deck marker of the next column: a small right-pointing triangle.
QIcon makeArrowImage() {
  QPixmap pixmap(12, 12);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 140, 0));
  painter.drawPolygon(QPolygonF({QPointF(2, 1), QPointF(11, 6), QPointF(2, 11)}));
  return QIcon(pixmap);
}

int intOf(const QVariant& value, bool* ok) {
  *ok = VariantNumbers::isNumber(value, true);
  return *ok ? value.toInt() : 0;
}

}  // namespace

MBLayerController::MBLayerController(MBLayerQueueHost* host, long binId, QObject* parent)
    : QAbstractTableModel(parent),
      host_(host),
      binId_(binId),
      link_(std::make_shared<Link>(this)),
      random_([] { return ::random(); }) {
  const std::weak_ptr<Link> weak = link_;
  auto onMain = [weak](std::function<void(MBLayerController&)> work) {
    return [weak, work](const Notification&) {
      MainThread::run([weak, work] {
        if (auto link = weak.lock()) link->call(work);
      });
    };
  };
  observers_.observe(
      QString::fromLatin1(DataSourceNotifications::HardwareLearnModeChanged), nullptr,
      [weak](const Notification& n) {
        const bool mode =
            n.userInfo.value(QString::fromLatin1(DataSourceNotifications::HardwareLearnModeKey))
                .toBool();
        MainThread::run([weak, mode] {
          if (auto link = weak.lock())
            link->call([mode](MBLayerController& c) { c.hardwareLearnModeUpdated(mode); });
        });
      });
  observers_.observe(kNaturalNamesChanged, nullptr,
                     onMain([](MBLayerController& c) { c.refresh(); }));
  observers_.observe(kRestoreStart, nullptr,
                     onMain([](MBLayerController& c) { c.startPresetRestore(); }));
  observers_.observe(kRestoreEnd, nullptr,
                     onMain([](MBLayerController& c) { c.stopPresetRestore(); }));
  observeTapList();
  NotificationCenter::defaultCenter().post(QKButtonManager::kManagerFinderNotification,
                                           static_cast<ButtonManagerClient*>(this));
}

MBLayerController::~MBLayerController() { prepareToBeDeleted(); }

void MBLayerController::observeTapList() {
  const std::weak_ptr<Link> weak = link_;
  tapListObserver_.observe(
      QKTapManager::kReloadSTapListNotification, nullptr, [weak](const Notification& n) {
        const QVariantMap info = n.userInfo;
        MainThread::run([weak, info] {
          if (auto link = weak.lock())
            link->call([&](MBLayerController& c) { c.layerListChanged(info); });
        });
      });
}

// --- Wiring --------------------------------------------------------------------------------

void MBLayerController::setQuantizePicker(QKQuantizePicker* picker) {
  picker_ = picker;
  if (picker) picker->setTheThingThatGetsBangedOnTrigger(this);
}

void MBLayerController::setNextLayerPopUpButton(QKNSPopUpButton* popUp) {
  nextLayerPopUp_ = popUp;
  if (popUp)
    connect(popUp, &QKNSPopUpButton::activated, this, [this] { nextLayerPopUpButtonUsed(); });
}

void MBLayerController::setCycleModeButton(QKNSPopUpButton* popUp) {
  cycleModeButton_ = popUp;
  if (!popUp) return;
  popUp->removeAllItems();
  for (const QString& title : kModeTitles) popUp->addItemWithTitle(title);
  popUp->selectItemAtIndex(mode_.load());
  connect(popUp, &QKNSPopUpButton::activated, this,
          [this] { mode_.store(std::max(-1, cycleModeButton_->indexOfSelectedItem())); });
}

void MBLayerController::setCycleMode(int mode) {
  mode_.store(mode);
  if (cycleModeButton_) cycleModeButton_->selectItemAtIndex(mode);
}

void MBLayerController::setAutoSwitchLayerTabsToggle(QCheckBox* toggle) {
  autoSwitchToggle_ = toggle;
  if (!toggle) return;
  toggle->setChecked(autoSwitch_.load());
  connect(toggle, &QCheckBox::toggled, this, [this](bool on) { autoSwitch_.store(on); });
}

void MBLayerController::setTableView(MBLayerTableView* table) {
  table_ = table;
  if (table) table->setController(this);
}

void MBLayerController::setRowButtons(QKButton* prev, QKButton* next, QKButton* random) {
  prevButton_ = prev;
  nextButton_ = next;
  randButton_ = random;
  const std::weak_ptr<const void> target = itemTarget_;
  auto wire = [&](QKButton* button, void (MBLayerController::*action)()) {
    if (!button) return;
    button->cell()->setTarget(target);
    button->cell()->setAction([this, action](QKButtonCell&) { (this->*action)(); });
  };
  wire(prev, &MBLayerController::prevRowButtonUsed);
  wire(next, &MBLayerController::nextRowButtonUsed);
  wire(random, &MBLayerController::randRowButtonUsed);
}

void MBLayerController::awakeFromNib() {
  arrowImage_ = makeArrowImage();
  reloadAvailableLayersMethod();
}

// --- Choosing the layer -------------------------------------------------------------------------

MBLayerItem* MBLayerController::findItemLocked(const QString& name) const {
  RWTryLock::ReadGuard guard(queueLock_);
  for (const auto& item : layerQueueArray_)
    if (item->layerName() == name) return item.get();
  return nullptr;
}

bool MBLayerController::isLayerNameInLayerQueueArray(const QString& name) const {
  return findItemLocked(name) != nullptr;
}

// Poly: the first active item with nothing pending whose layer shows no file.
MBLayerItem* MBLayerController::nextAvailableLayerLocked() const {
  RWTryLock::ReadGuard guard(queueLock_);
  for (const auto& item : layerQueueArray_)
    if (item->active() && item->toBeTriggeredId() == -1 &&
        !host_->layerShowsFile(item->layerName()))
      return item.get();
  return nullptr;
}

void MBLayerController::triggerThisFile(long fileId) {
  bool assigned = false;
  bool advance = false;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    const int row = nextTriggerRow_.load();
    const int count = static_cast<int>(layerQueueArray_.size());
    if (row >= 0 && row < count) {
      // The choice the file itself makes: the layer playing it, or its
      // page's "@" hint. One reference captured keeps the callable within
      // std::function's own storage, so that no trigger allocates.
      struct FileChoice {
        MBLayerItem* chosen = nullptr;
        bool decided = false;
      } byFile;
      host_->withFile(fileId, [this, &byFile](const QKFile& file) {
        QString playingLayer;
        if (host_->fileIsPlaying(file, &playingLayer)) {
          byFile = {findItemLocked(playingLayer), true};
          return;
        }
        const QString page = host_->pageNameOfFile(file);
        const qsizetype at = page.indexOf(QLatin1Char('@'));
        if (at >= 0) {
          byFile.chosen = findItemLocked(page.mid(at + 1));
          byFile.decided = byFile.chosen != nullptr;
        }
      });
      MBLayerItem* chosen = byFile.chosen;
      const bool decided = byFile.decided;
      if (!decided) {
        switch (mode_.load()) {
          case kManual:
            chosen = layerQueueArray_[row].get();
            break;
          case kCycle:
            chosen = layerQueueArray_[row].get();
            advance = true;
            break;
          case kPoly:
            chosen = nextAvailableLayerLocked();
            if (!chosen) {
              chosen = layerQueueArray_[row].get();
              nextRowButtonUsed();
            }
            break;
          default:
            break;
        }
      }
      if (chosen) {
        chosen->setToBeTriggeredId(static_cast<int>(fileId));
        setMostRecentLayerName(chosen->layerName());
        assigned = true;
      }
    }
  }
  performPickerTrigger();
  if (advance && assigned) nextRowButtonUsed();
  refresh();
  if (assigned && triggeredObservers_.anyone())
    NotificationCenter::defaultCenter().post(
        kVisiblePagesChangedNotification, this,
        {{QStringLiteral("BinId"), qint64(binId_)},
         {QStringLiteral("FileId"), qint64(fileId)},
         {QStringLiteral("Reason"), QStringLiteral("FileTriggered")}});
}

void MBLayerController::performPickerTrigger() {
  // One pending hand-off serves a burst: the picker reads the queue's state
  // (the most recent layer, the pending files) when it runs, so calls
  // queued together would all do what one does.
  const bool onMain = MainThread::isMainThread();
  if (!onMain && pickerPending_.exchange(true)) return;
  const std::weak_ptr<Link> weak = link_;
  auto work = [weak] {
    if (auto link = weak.lock())
      link->call([](MBLayerController& c) {
        c.pickerPending_.store(false);
        if (c.picker_)
          c.picker_->trigger();
        else
          c.trigger();
      });
  };
  if (onMain)
    work();
  else
    MainThread::post(work);
}

QString MBLayerController::mostRecentLayer() const {
  std::lock_guard<std::mutex> lock(recentMutex_);
  return mostRecentLayerName_;
}

void MBLayerController::setMostRecentLayerName(const QString& name) {
  std::lock_guard<std::mutex> lock(recentMutex_);
  mostRecentLayerName_ = name;
}

// --- The trigger thread ------------------------------------------------------------------------

void MBLayerController::trigger() {
  bool expected = false;
  if (deleted_ || !waitingForTrigger_.compare_exchange_strong(expected, true)) return;
  runningThreads_.fetch_add(1);
  try {
    std::thread([this] {
      try {
        doTriggerNow();
      } catch (const std::exception& e) {
        Log::line(QStringLiteral("\t\terr: trigger thread: %1").arg(QString::fromUtf8(e.what())));
      } catch (...) {
        Log::line(QStringLiteral("\t\terr: trigger thread failed"));
      }
      runningThreads_.fetch_sub(1);
    }).detach();
  } catch (const std::system_error& e) {
    waitingForTrigger_.store(false);
    runningThreads_.fetch_sub(1);
    Log::line(QStringLiteral("\t\terr: no trigger thread: %1").arg(QString::fromUtf8(e.what())));
  }
}

// One pass over the queue: every pending file of an active item goes to its
// layer on the main thread; inactive items drop theirs. Each pending ID is
// taken (left -1) before it is handled, so a file assigned meanwhile waits
// for the next pass instead of being lost.
void MBLayerController::doTriggerNow() {
  waitingForTrigger_.store(false);
  {
    RWTryLock::ReadGuard guard(queueLock_);
    for (const auto& item : layerQueueArray_) {
      if (!item->active()) {
        item->takeToBeTriggeredId();
        continue;
      }
      if (item->toBeTriggeredId() == -1) continue;
      const int id = item->takeToBeTriggeredId();
      if (id == -1) continue;
      const QString name = item->layerName();
      std::shared_ptr<QKFile> file = host_->fileForUniqueId(id);
      QString playingLayer;
      if (!file) {
        Log::line(QStringLiteral("\t\terr: warning on file trigger - file did not exist"));
      } else if (!host_->layerExists(name)) {
        Log::line(QStringLiteral("\t\terr: warning on file trigger - layer did not exist"));
      } else if (host_->fileIsPlaying(*file, &playingLayer) && playingLayer != name) {
        Log::line(QStringLiteral(
            "\t\terr: warning on file trigger - file was already in use by another layer"));
      } else {
        MBLayerQueueHost* host = host_;
        MainThread::run([host, name, file] {
          if (!host->triggerFileOnLayer(name, file))
            Log::line(QStringLiteral("\t\terr: warning on file trigger - layer did not exist"));
        });
      }
      QKFileRelease::release(file);
    }
  }
  refresh();
}

void MBLayerController::triggerThisLayer(const QString& layerName) {
  if (layerName.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: triggerMe was nil"));
    return;
  }
  {
    RWTryLock::ReadGuard guard(queueLock_);
    MBLayerItem* item = findItemLocked(layerName);
    const int id = item ? item->takeToBeTriggeredId() : -1;
    if (id != -1) {
      std::shared_ptr<QKFile> file = host_->fileForUniqueId(id);
      QString playingLayer;
      if (!file) {
        Log::line(QStringLiteral("\t\terror on file trigger - file did not exist"));
      } else if (host_->fileIsPlaying(*file, &playingLayer) && playingLayer != layerName) {
        Log::line(
            QStringLiteral("\t\terror on file trigger - file was already in use by another layer"));
      } else {
        MBLayerQueueHost* host = host_;
        MainThread::run([host, layerName, file] {
          if (!host->triggerFileOnLayer(layerName, file))
            Log::line(QStringLiteral("\t\terror on file trigger - layer did not exist"));
        });
      }
      QKFileRelease::release(file);
    }
  }
  refresh();
}

void MBLayerController::ejectThisFile(long fileId) {
  if (fileId == -1) return;
  std::shared_ptr<QKFile> file = host_->fileForUniqueId(fileId);
  QString playingLayer;
  if (file && host_->fileIsPlaying(*file, &playingLayer)) {
    MBLayerQueueHost* host = host_;
    MainThread::run([host, file] { host->ejectFile(file); });
  }
  QKFileRelease::release(file);
  {
    RWTryLock::ReadGuard guard(queueLock_);
    for (const auto& item : layerQueueArray_)
      if (item->cancelToBeTriggeredId(static_cast<int>(fileId))) break;
  }
  refresh();
}

QString MBLayerController::currentLayer() const {
  RWTryLock::ReadGuard guard(queueLock_);
  const int row = nextTriggerRow_.load();
  if (row < 0 || row >= static_cast<int>(layerQueueArray_.size())) return {};
  const QString name = layerQueueArray_[row]->layerName();
  return host_->layerExists(name) ? name : QString();
}

QString MBLayerController::layerForFileIdInLayerQueueArray(long fileId) const {
  RWTryLock::ReadGuard guard(queueLock_);
  for (const auto& item : layerQueueArray_)
    if (item->toBeTriggeredId() == fileId) {
      const QString name = item->layerName();
      return host_->layerExists(name) ? name : QString();
    }
  return {};
}

bool MBLayerController::fileIsPlaying(const QKFile& file, QString* layerName) const {
  return host_->fileIsPlaying(file, layerName);
}

void MBLayerController::makeThisLayerNext(const QString& layerName) {
  MBLayerItem::Ptr item;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    for (const auto& candidate : layerQueueArray_)
      if (candidate->layerName() == layerName) {
        item = candidate;
        break;
      }
  }
  if (item && item->active()) setNextTriggerRowByLayerItem(*item);
}

bool MBLayerController::containsLayer(const QString& layerName) const {
  RWTryLock::ReadGuard guard(queueLock_);
  MBLayerItem* item = findItemLocked(layerName);
  return item && item->active();
}

// --- The on-deck row ---------------------------------------------------------------------------

void MBLayerController::nextLayerPopUpButtonUsed() {
  if (!nextLayerPopUp_) return;
  makeThisLayerNext(nextLayerPopUp_->titleOfSelectedItem());
}

void MBLayerController::nextRowButtonUsed() {
  const int current = nextTriggerRow_.load();
  int result = -1;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    const int count = static_cast<int>(layerQueueArray_.size());
    int candidate = current + 1;
    for (int tries = 0; tries < count; ++tries) {
      if (candidate >= count || candidate < 0) candidate = 0;
      if (layerQueueArray_[candidate]->active()) {
        result = candidate;
        break;
      }
      if (++candidate == current) break;
    }
  }
  if (result >= 0) {
    setNextTriggerRow(result);
    showRow(result);
  }
  refresh();
}

void MBLayerController::prevRowButtonUsed() {
  const int current = nextTriggerRow_.load();
  int result = -1;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    const int count = static_cast<int>(layerQueueArray_.size());
    int candidate = current >= count ? count - 1 : current - 1;
    for (int tries = 0; tries < count; ++tries) {
      if (candidate < 0 || candidate >= count) candidate = count - 1;
      if (layerQueueArray_[candidate]->active()) {
        result = candidate;
        break;
      }
      if (--candidate == current) break;
    }
  }
  if (result >= 0) {
    setNextTriggerRow(result);
    showRow(result);
  }
  refresh();
}

void MBLayerController::randRowButtonUsed() {
  const float u = static_cast<float>(random_()) * 4.656613e-10f;
  int result = -1;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    std::vector<int> actives;
    for (int i = 0; i < static_cast<int>(layerQueueArray_.size()); ++i)
      if (layerQueueArray_[i]->active()) actives.push_back(i);
    if (!actives.empty()) {
      const long n = static_cast<long>(actives.size());
      const long pick = std::clamp<long>(lroundf(u * static_cast<float>(n - 1)), 0, n - 1);
      result = actives[pick];
    }
  }
  if (result >= 0) {
    setNextTriggerRow(result);
    showRow(result);
  }
  refresh();
}

void MBLayerController::setNextTriggerRow(int row) {
  nextTriggerRow_.store(row);
  switchLayerOnDeck_.store(true);
  const std::weak_ptr<Link> weak = link_;
  MainThread::coalesce(&onDeckKey_, [weak] {
    if (auto link = weak.lock()) link->call([](MBLayerController& c) { c.applyOnDeckRow(); });
  });
}

// Main thread: the pop-up shows the on-deck item (none for an inactive or
// missing one) and, once per change, the auto-switch shows its layer.
void MBLayerController::applyOnDeckRow() {
  const bool switchLayer = switchLayerOnDeck_.exchange(false);
  QString name;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    const int row = nextTriggerRow_.load();
    if (row >= 0 && row < static_cast<int>(layerQueueArray_.size()) &&
        layerQueueArray_[row]->active())
      name = layerQueueArray_[row]->layerName();
  }
  if (nextLayerPopUp_) {
    if (name.isEmpty())
      nextLayerPopUp_->selectItemAtIndex(-1);
    else
      nextLayerPopUp_->selectItemWithTitle(name);
  }
  if (switchLayer && !name.isEmpty() && autoSwitch_.load() && host_->layerExists(name))
    host_->displayLayer(name);
}

void MBLayerController::setNextTriggerRowByLayerItem(MBLayerItem& item) {
  if (loadingPreset_.load() || !item.active()) return;
  int row = -1;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    for (int i = 0; i < static_cast<int>(layerQueueArray_.size()); ++i)
      if (layerQueueArray_[i].get() == &item) row = i;
  }
  if (row < 0) return;
  setNextTriggerRow(row);
  refresh();
}

void MBLayerController::showRow(int row) {
  rowToShow_.store(row);
  const std::weak_ptr<Link> weak = link_;
  MainThread::coalesce(&scrollKey_, [weak] {
    if (auto link = weak.lock())
      link->call([](MBLayerController& c) {
        const int target = c.rowToShow_.load();
        if (c.table_ && target >= 0 && target < c.rowCount())
          c.table_->scrollTo(c.index(target, 0));
      });
  });
}

// --- The queue and the layer set
// ------------------------------------------------------------------

MBLayerItem::Ptr MBLayerController::makeItem(const QString& layerName) {
  const std::weak_ptr<Link> weak = link_;
  return MBLayerItem::createWithLayer(
      layerName, itemTarget_,
      [weak](MBLayerItem& item) {
        if (auto link = weak.lock())
          link->call([&](MBLayerController& c) { c.setNextTriggerRowByLayerItem(item); });
      },
      [weak] {
        if (auto link = weak.lock()) link->call([](MBLayerController& c) { c.refresh(); });
      });
}

void MBLayerController::addLayerToQueueWithLayer(const QString& name) {
  if (name.isEmpty()) return;
  MBLayerItem::Ptr item = makeItem(name);
  RWTryLock::WriteGuard guard(queueLock_);
  if (guard.ownsLock()) layerQueueArray_.push_back(std::move(item));
}

void MBLayerController::deleteItems(std::vector<MBLayerItem::Ptr> items) {
  for (const auto& item : items) item->prepareToBeDeleted();
}

void MBLayerController::reloadAvailableLayersMethod() {
  const QStringList names = host_->queueableLayerNames();
  for (const QString& name : names)
    if (!isLayerNameInLayerQueueArray(name)) addLayerToQueueWithLayer(name);
  std::vector<MBLayerItem::Ptr> gone;
  int count = 0;
  {
    RWTryLock::WriteGuard guard(queueLock_);
    if (guard.ownsLock()) {
      auto stays = [&](const MBLayerItem::Ptr& item) { return names.contains(item->layerName()); };
      for (const auto& item : layerQueueArray_)
        if (!stays(item)) gone.push_back(item);
      std::erase_if(layerQueueArray_, [&](const MBLayerItem::Ptr& item) { return !stays(item); });
    }
    count = static_cast<int>(layerQueueArray_.size());
  }
  deleteItems(std::move(gone));
  if (nextTriggerRow_.load() < 0) setNextTriggerRow(0);
  if (nextTriggerRow_.load() >= count) setNextTriggerRow(count - 1);
  updateNextLayerPopUpButton();
  reloadTable();
}

void MBLayerController::layerListChanged(const QVariantMap& info) {
  const QString reason = info.value(QKTapManager::kReasonKey).toString();
  if (reason == QKTapManager::kCreateTapReason) {
    const QString name = info.value(QKTapManager::kCreatedTapNameKey).toString();
    if (host_->queueableLayerNames().contains(name)) {
      if (isLayerNameInLayerQueueArray(name))
        Log::line(QStringLiteral("\t\terror: layer was already in queue!"));
      else
        addLayerToQueueWithLayer(name);
    }
  } else if (reason == QKTapManager::kDeleteTapReason) {
    const QString name = info.value(QKTapManager::kDeletedTapNameKey).toString();
    std::vector<MBLayerItem::Ptr> gone;
    {
      RWTryLock::WriteGuard guard(queueLock_);
      auto found = std::find_if(layerQueueArray_.begin(), layerQueueArray_.end(),
                                [&](const auto& item) { return item->layerName() == name; });
      if (found != layerQueueArray_.end()) {
        gone.push_back(*found);
        layerQueueArray_.erase(found);
      }
    }
    if (gone.empty()) Log::line(QStringLiteral("\t\terr: deleted layer not in layer queue!"));
    deleteItems(std::move(gone));
  } else if (reason == QKTapManager::kChangeNameReason &&
             info.contains(QKTapManager::kOldNameKey)) {
    const QString oldName = info.value(QKTapManager::kOldNameKey).toString();
    const QString newName = info.value(QKTapManager::kNewNameKey).toString();
    {
      RWTryLock::ReadGuard guard(queueLock_);
      if (MBLayerItem* item = findItemLocked(oldName)) item->setLayerName(newName);
    }
    std::lock_guard<std::mutex> lock(recentMutex_);
    if (mostRecentLayerName_ == oldName) mostRecentLayerName_ = newName;
  }
  reloadAvailableLayersMethod();
}

void MBLayerController::updateNextLayerPopUpButton() {
  if (!nextLayerPopUp_) return;
  QStringList names;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    for (const auto& item : layerQueueArray_)
      if (item->active()) names << item->layerName();
  }
  nextLayerPopUp_->removeAllItems();
  for (const QString& name : names) nextLayerPopUp_->addItemWithTitle(name);
  const bool switchLayer = switchLayerOnDeck_.exchange(false);
  applyOnDeckRow();
  if (switchLayer) switchLayerOnDeck_.store(true);
}

// One pending reload at a time, tested without a lock: a burst of triggers
// from an input thread asks the main thread once.
void MBLayerController::refresh() {
  if (loadingPreset_.load() || tablePending_.exchange(true)) return;
  const std::weak_ptr<Link> weak = link_;
  MainThread::post([weak] {
    if (auto link = weak.lock())
      link->call([](MBLayerController& c) {
        c.tablePending_.store(false);
        c.reloadTable();
      });
  });
}

void MBLayerController::reloadTable() {
  beginResetModel();
  endResetModel();
  if (table_) table_->viewport()->update();
}

void MBLayerController::setAllLayersActiveTo(bool active) {
  RWTryLock::ReadGuard guard(queueLock_);
  for (const auto& item : layerQueueArray_) item->setActive(active);
}

std::vector<MBLayerItem::Ptr> MBLayerController::items() const {
  RWTryLock::ReadGuard guard(queueLock_);
  return layerQueueArray_;
}

// --- Preset restore
// --------------------------------------------------------------------------------

void MBLayerController::startPresetRestore() {
  loadingPreset_.store(true);
  tapListObserver_.clear();
}

void MBLayerController::stopPresetRestore() {
  tapListObserver_.clear();
  observeTapList();
  loadingPreset_.store(false);
  reloadAvailableLayersMethod();
  refresh();
}

// --- Snapshots
// -------------------------------------------------------------------------------------

QVariantMap MBLayerController::createSnapshot() const {
  QVariantMap snapshot;
  QVariantList queue;
  for (const auto& item : items()) {
    const QVariantMap itemSnapshot = item->createSnapshot();
    if (!itemSnapshot.isEmpty()) queue << itemSnapshot;
  }
  if (!queue.isEmpty()) snapshot.insert(kQueueKey, queue);
  snapshot.insert(kCycleModeKey, mode_.load());
  snapshot.insert(kAutoSwitchKey, autoSwitch_.load() ? 1 : 0);
  snapshot.insert(kNextRowKey, nextTriggerRow_.load());
  if (picker_) snapshot.insert(kPickerKey, picker_->createSnapshot());
  if (prevButton_) snapshot.insert(kPrevButtonKey, prevButton_->createSnapshot());
  if (nextButton_) snapshot.insert(kNextButtonKey, nextButton_->createSnapshot());
  if (randButton_) snapshot.insert(kRandButtonKey, randButton_->createSnapshot());
  return snapshot;
}

void MBLayerController::loadSnapshot(const QVariantMap& snapshot) {
  loadingPreset_.store(true);
  const QVariant queue = snapshot.value(kQueueKey);
  if (queue.typeId() == QMetaType::QVariantList) {
    std::vector<MBLayerItem::Ptr> fresh;
    for (const QVariant& entry : queue.toList()) {
      if (entry.typeId() != QMetaType::QVariantMap) continue;
      MBLayerItem::Ptr item = makeItem({});
      item->loadSnapshot(entry.toMap());
      if (item->layerName().isEmpty())
        item->prepareToBeDeleted();  // an item saved without its layer
      else
        fresh.push_back(std::move(item));
    }
    std::vector<MBLayerItem::Ptr> old;
    {
      RWTryLock::WriteGuard guard(queueLock_);
      if (guard.ownsLock()) {
        old.swap(layerQueueArray_);
        layerQueueArray_ = std::move(fresh);
      }
    }
    deleteItems(std::move(old));
  }
  bool ok = false;
  const int mode = intOf(snapshot.value(kCycleModeKey), &ok);
  if (ok) setCycleMode(mode);
  const int autoSwitch = intOf(snapshot.value(kAutoSwitchKey), &ok);
  if (ok) {
    autoSwitch_.store(autoSwitch == 1);
    if (autoSwitchToggle_) autoSwitchToggle_->setChecked(autoSwitch == 1);
  }
  const int row = intOf(snapshot.value(kNextRowKey), &ok);
  if (ok) nextTriggerRow_.store(row);
  auto map = [&](const QString& key) {
    const QVariant value = snapshot.value(key);
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
  };
  if (picker_ && snapshot.contains(kPickerKey)) picker_->loadSnapshot(map(kPickerKey));
  if (prevButton_ && snapshot.contains(kPrevButtonKey))
    prevButton_->loadSnapshot(map(kPrevButtonKey));
  if (nextButton_ && snapshot.contains(kNextButtonKey))
    nextButton_->loadSnapshot(map(kNextButtonKey));
  if (randButton_ && snapshot.contains(kRandButtonKey))
    randButton_->loadSnapshot(map(kRandButtonKey));
  refresh();
}

void MBLayerController::loadOldSnapshot(const QVariantMap& component) {
  const QString mode = component.value(QStringLiteral("triggerModePopUpButton")).toString();
  if (mode == QLatin1String("rotate")) setCycleMode(kCycle);
  if (mode == QLatin1String("normal")) setCycleMode(kManual);
  if (mode == QLatin1String("polyphonic")) setCycleMode(kPoly);
  const QVariant records = component.value(QStringLiteral("queueItems"));
  if (records.typeId() != QMetaType::QVariantList) return;
  reloadAvailableLayersMethod();
  setAllLayersActiveTo(false);
  for (const QVariant& record : records.toList()) {
    const QVariantMap map = record.toMap();
    const QVariant name = map.value(MBLayerItem::kLayerNameKey);
    if (name.typeId() != QMetaType::QString) continue;
    RWTryLock::ReadGuard guard(queueLock_);
    for (int i = 0; i < static_cast<int>(layerQueueArray_.size()); ++i) {
      if (layerQueueArray_[i]->layerName() != name.toString()) continue;
      layerQueueArray_[i]->setActive(true);
      layerQueueArray_[i]->loadSnapshot(map);
      setNextTriggerRow(i);
      break;
    }
  }
}

void MBLayerController::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  tapListObserver_.clear();
  observers_.clear();
  while (runningThreads_.load() > 0) std::this_thread::yield();
  link_->cut();
  std::vector<MBLayerItem::Ptr> old;
  {
    RWTryLock::WriteGuard guard(queueLock_);
    old.swap(layerQueueArray_);
  }
  deleteItems(std::move(old));
  if (picker_) picker_->setTheThingThatGetsBangedOnTrigger(nullptr);
  itemTarget_.reset();
}

// --- Table side
// --------------------------------------------------------------------------------------

int MBLayerController::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  RWTryLock::ReadGuard guard(queueLock_);
  return static_cast<int>(layerQueueArray_.size());
}

int MBLayerController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 5;
}

QVariant MBLayerController::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const titles[] = {"", "Layer", "On", "Queued", "Shortcut"};
  return section >= 0 && section < 5 ? QString::fromLatin1(titles[section]) : QVariant();
}

QString MBLayerController::shortcutText(int row) const {
  MBLayerItem::Ptr item;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    if (row < 0 || row >= static_cast<int>(layerQueueArray_.size())) return {};
    item = layerQueueArray_[row];
  }
  QString text;
  if (item->detecting()) {
    text = hardwareLearnMode_.load() && selected_.load() && item->syncFlag()
               ? item->humanReadableName()
               : QStringLiteral("press note, key, or button");
  } else if (item->syncFlag()) {
    text = item->humanReadableName();
  }
  return text.isEmpty() ? QStringLiteral("click to set shortcut") : text;
}

QVariant MBLayerController::data(const QModelIndex& index, int role) const {
  MBLayerItem::Ptr item;
  {
    RWTryLock::ReadGuard guard(queueLock_);
    if (!index.isValid() || index.row() >= static_cast<int>(layerQueueArray_.size())) return {};
    item = layerQueueArray_[index.row()];
  }
  switch (index.column()) {
    case kNextColumn:
      if (role == Qt::DecorationRole && index.row() == nextTriggerRow_.load()) return arrowImage_;
      return {};
    case kNameColumn:
      return role == Qt::DisplayRole ? QVariant(item->layerName()) : QVariant();
    case kActiveColumn:
      return role == Qt::CheckStateRole ? QVariant(item->active() ? Qt::Checked : Qt::Unchecked)
                                        : QVariant();
    case kOnDeckColumn: {
      if (role != Qt::DisplayRole) return {};
      const int pending = item->toBeTriggeredId();
      if (pending == -1 || !picker_ || picker_->selectedIndex() == 0) return {};
      std::shared_ptr<QKFile> file = host_->fileForUniqueId(pending);
      return file ? QVariant(QStringLiteral("Next: %1").arg(file->name())) : QVariant();
    }
    case kShortcutColumn:
      return role == Qt::DisplayRole ? QVariant(shortcutText(index.row())) : QVariant();
    default:
      return {};
  }
}

bool MBLayerController::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid()) return false;
  if (index.column() == kActiveColumn && role == Qt::CheckStateRole) {
    {
      RWTryLock::ReadGuard guard(queueLock_);
      if (index.row() >= static_cast<int>(layerQueueArray_.size())) return false;
      layerQueueArray_[index.row()]->setActive(value.toInt() == Qt::Checked);
    }
    updateNextLayerPopUpButton();
    Q_EMIT dataChanged(index, index);
    return true;
  }
  if (index.column() == kNextColumn) {
    setNextTriggerRow(index.row());
    refresh();
    return true;
  }
  return false;
}

Qt::ItemFlags MBLayerController::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  if (index.column() == kActiveColumn) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QStringList MBLayerController::mimeTypes() const { return {kDragType}; }

QMimeData* MBLayerController::mimeData(const QModelIndexList& indexes) const {
  std::vector<int> rows;
  for (const QModelIndex& index : indexes)
    if (index.isValid() && std::find(rows.begin(), rows.end(), index.row()) == rows.end())
      rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  const_cast<MBLayerController*>(this)->draggedIndices_ = rows;
  auto* data = new QMimeData();
  data->setData(kDragType, QByteArray());
  return data;
}

bool MBLayerController::moveDraggedRows(int row) {
  if (draggedIndices_.empty()) return false;
  {
    RWTryLock::WriteGuard guard(queueLock_);
    if (!guard.ownsLock()) return false;
    const int count = static_cast<int>(layerQueueArray_.size());
    std::vector<int> rows;
    for (int r : draggedIndices_)
      if (r >= 0 && r < count) rows.push_back(r);
    if (rows.empty()) return false;
    int target = row < 0 ? 0 : std::min(row, count);
    target -= static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [&](int r) { return r < target; }));
    target = std::max(target, 0);
    std::vector<MBLayerItem::Ptr> moved, rest;
    for (int i = 0; i < count; ++i)
      (std::find(rows.begin(), rows.end(), i) != rows.end() ? moved : rest)
          .push_back(layerQueueArray_[i]);
    rest.insert(rest.begin() + std::min<int>(target, static_cast<int>(rest.size())), moved.begin(),
                moved.end());
    layerQueueArray_ = std::move(rest);
  }
  reloadTable();
  return true;
}

void MBLayerController::makeNextLayerColumnPressed(int row) {
  setNextTriggerRow(row);
  reloadTable();
}

void MBLayerController::detectShortcutForItemAtIndex(int row) {
  std::vector<MBLayerItem::Ptr> all = items();
  if (row >= 0 && row < static_cast<int>(all.size())) {
    const MBLayerItem::Ptr& item = all[row];
    const bool wasDetecting = item->detecting();
    for (const auto& each : all) each->stopAllDetect();
    if (item->syncFlag())
      item->setSyncFlagAndRefresh(false);
    else if (!wasDetecting)
      item->startAllDetect();
  }
  reloadTable();
}

// --- Hardware learn
// --------------------------------------------------------------------------------

void MBLayerController::hardwareLearnModeUpdated(bool mode) {
  if (hardwareLearnMode_.exchange(mode) == mode) return;
  if (!(mode && selected_.load()))
    for (const auto& item : items()) item->stopAllDetect();
  refresh();
}

void MBLayerController::select() {
  if (selected_.exchange(true)) return;
  if (!hardwareLearnMode_.load()) return;
  detectShortcutForItemAtIndex(lastClickedColAndRow_.y());
  refresh();
}

void MBLayerController::deselect() {
  if (!selected_.exchange(false)) return;
  if (!hardwareLearnMode_.load()) return;
  for (const auto& item : items()) item->stopAllDetect();
  refresh();
}

void MBLayerController::setButtonManager(QKButtonManager* manager) {
  buttonManager_.store(manager);
  if (manager && manager->hardwareLearnMode()) hardwareLearnMode_.store(true);
}
