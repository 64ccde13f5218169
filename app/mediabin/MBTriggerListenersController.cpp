#include "app/mediabin/MBTriggerListenersController.h"

#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBFileTrigger.h"
#include "app/mediabin/MBMediaBin.h"
#include "framework/controls/DetectPaths.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/midi/QKMIDIMessage.h"

#include <QColor>
#include <QKeyEvent>

#include <cmath>
#include <cstdlib>
#include <mutex>

const std::array<const char*, MBTriggerListenersController::kCommandCount>
    MBTriggerListenersController::kCommandKeys = {
        "rowUpButton",    "rowDownButton",  "prevPageButton", "nextPageButton",
        "playPrevButton", "playNextButton", "playRandButton"};
const QString MBTriggerListenersController::kSnapshotKey =
    QStringLiteral("triggerListenersController");
const QString MBTriggerListenersController::kItemArrayKey = QStringLiteral("itemArray");
const QString MBTriggerListenersController::kTransposeKey = QStringLiteral("transpose");
const QString MBTriggerListenersController::kEjectOnNoteOffKey =
    QStringLiteral("ejectOnNoteOffButton");
const QString MBTriggerListenersController::kNotesDisplayModeKey =
    QStringLiteral("notesDisplayModeToggle");
const QString MBTriggerListenersController::kIdleInstructions = QStringLiteral(" ");

namespace {

const QString kVisiblePagesChanged = QStringLiteral("QKMBVisiblePagesChangedNotification");
const QString kNaturalNamesChanged =
    QStringLiteral("QKMIDIUseNaturalNoteNamesFlagChangedNotification");
const QString kWaitingForKeys = QStringLiteral("waiting for keys or notes");
const QString kPressStartingNote = QStringLiteral("press starting note or type:");
const QString kPressLastNote = QStringLiteral("press last note or type:");
const char* const kCommandTitles[] = {"Row Up",    "Row Down",  "Prev Page", "Next Page",
                                      "Play Prev", "Play Next", "Play Rand"};

KeyPath noteSourcePath(int note, int channel) {
  return {QStringLiteral("MIDI"), QStringLiteral("note [%1] ch. %2").arg(note).arg(channel)};
}

int intOf(const QVariant& value, bool* ok) {
  *ok = VariantNumbers::isNumber(value, true);
  return *ok ? value.toInt() : 0;
}

}  // namespace

MBTriggerListenersController::MBTriggerListenersController(MBMediaBin* bin, MBFileTrigger* queue,
                                                           QObject* parent)
    : QAbstractTableModel(parent),
      bin_(bin),
      queue_(queue),
      pages_(bin ? bin->pageController() : nullptr),
      link_(std::make_shared<Link>(this)),
      random_([] { return ::random(); }),
      continuousMIDI_(this, QString::fromLatin1(InputNotifications::MIDIDetect)),
      continuousKey_(this, QString::fromLatin1(InputNotifications::KeyDetect)),
      continuousOSC_(this, QString::fromLatin1(InputNotifications::OSCDetect)),
      continuousButton_(this, QString::fromLatin1(DataSourceNotifications::ButtonDetect)),
      rangeMIDI_(&rangeObserver_, QString::fromLatin1(InputNotifications::MIDIDetect)) {
  observers_.observe(kNaturalNamesChanged, nullptr, [this](const Notification&) {
    onMain([](MBTriggerListenersController& c) {
      c.redrawGrid();
      c.reloadTable();
    });
  });
  observers_.observe(
      QString::fromLatin1(DataSourceNotifications::HardwareLearnModeChanged), nullptr,
      [this](const Notification& n) {
        const bool mode =
            n.userInfo.value(QString::fromLatin1(DataSourceNotifications::HardwareLearnModeKey))
                .toBool();
        onMain([mode](MBTriggerListenersController& c) { c.hardwareLearnModeUpdated(mode); });
      });
  NotificationCenter::defaultCenter().post(QKButtonManager::kManagerFinderNotification,
                                           static_cast<ButtonManagerClient*>(this));
}

MBTriggerListenersController::~MBTriggerListenersController() { prepareToBeDeleted(); }

void MBTriggerListenersController::onMain(
    std::function<void(MBTriggerListenersController&)> work) const {
  const std::weak_ptr<Link> weak = link_;
  MainThread::post([weak, work = std::move(work)] {
    if (auto link = weak.lock()) link->call(work);
  });
}

// --- Wiring ---------------------------------------------------------------------------------

void MBTriggerListenersController::setGridView(MBFileGridView* grid) {
  grid_ = grid;
  if (grid) gridColumns_.store(grid->numberOfColumns());
}

void MBTriggerListenersController::makeCommandButtons(QWidget* parent) {
  using Handler = void (MBTriggerListenersController::*)();
  static const Handler handlers[kCommandCount] = {
      &MBTriggerListenersController::rowUpButtonUsed,
      &MBTriggerListenersController::rowDownButtonUsed,
      &MBTriggerListenersController::prevPageButtonUsed,
      &MBTriggerListenersController::nextPageButtonUsed,
      &MBTriggerListenersController::playPrevButtonUsed,
      &MBTriggerListenersController::playNextButtonUsed,
      &MBTriggerListenersController::playRandButtonUsed};
  const std::weak_ptr<Link> weak = link_;
  for (int i = 0; i < kCommandCount; ++i) {
    auto* button = new QKButton(parent);
    button->setTitle(QString::fromLatin1(kCommandTitles[i]));
    button->setTitle2(QString::fromLatin1(kCommandTitles[i]));
    button->setTarget(link_);
    const Handler handler = handlers[i];
    button->setAction([weak, handler](QKButtonCell&) {
      if (auto link = weak.lock()) link->call([handler](auto& c) { (c.*handler)(); });
    });
    button->setTriggerOnMain(true);
    button->awakeFromNib();
    commandButtons_[size_t(i)] = button;
  }
}

// --- Options --------------------------------------------------------------------------------

void MBTriggerListenersController::setEjectOnNoteOff(int value) {
  ejectOnNoteOff_.store(value == 0 || value == 1 ? value : -1);
  Q_EMIT optionsChanged();
}

void MBTriggerListenersController::setFilesOnly(bool on) {
  filesOnly_.store(on);
  Q_EMIT optionsChanged();
  redrawGrid();
}

void MBTriggerListenersController::setGridColumns(int columns) {
  if (grid_) {
    grid_->setNumberOfColumns(columns);
    columns = grid_->numberOfColumns();
  }
  gridColumns_.store(columns);
  Q_EMIT optionsChanged();
}

void MBTriggerListenersController::setNotesDisplayMode(int value) {
  notesDisplayMode_ = value;
  Q_EMIT optionsChanged();
}

void MBTriggerListenersController::setShowShortcutNames(bool on) {
  showShortcutNames_ = on;
  if (grid_) {
    grid_->setShowShortcutNames(on);
    grid_->update();
  }
  Q_EMIT optionsChanged();
}

// --- Listeners ------------------------------------------------------------------------------

int MBTriggerListenersController::count() const { return int(itemArray_.lockCount()); }

std::vector<MBTriggerListener::Ptr> MBTriggerListenersController::listeners() const {
  return itemArray_.lockCopy();
}

MBTriggerListener::Ptr MBTriggerListenersController::listenerAt(int index) const {
  if (index < 0) return nullptr;
  return itemArray_.lockObjectAtIndex(size_t(index)).value_or(nullptr);
}

QString MBTriggerListenersController::listenerName(int index) const {
  const MBTriggerListener::Ptr listener = listenerAt(index);
  return listener && listener->syncFlag() ? listener->humanReadableName() : QString();
}

MBTriggerListener::Ptr MBTriggerListenersController::makeListener() {
  // The gate is the listener's target, so the cell keeps it alive while
  // the action runs.
  TriggerGate* const gate = gate_.get();
  return MBTriggerListener::createWithTarget(gate_, [this, gate](QKButtonCell& sender) {
    // Deletion closes the gate and waits for a trigger under way; a
    // trigger arriving meanwhile is dropped rather than made to wait.
    std::shared_lock<std::shared_mutex> lock(gate->mutex, std::try_to_lock);
    if (!lock.owns_lock() || !gate->open) return;
    triggerCell(static_cast<MBTriggerListener&>(sender));
  });
}

void MBTriggerListenersController::appendListener(const MBTriggerListener::Ptr& listener) {
  itemArray_.lockAddObject(listener);
}

void MBTriggerListenersController::removeAllListeners() {
  std::vector<MBTriggerListener::Ptr> gone;
  if (itemArray_.wrlock()) {
    gone.swap(itemArray_.mutableArray());
    itemArray_.unlock();
  }
  for (const auto& listener : gone) listener->prepareToBeDeleted();
}

// --- Triggering -----------------------------------------------------------------------------

void MBTriggerListenersController::triggerCell(MBTriggerListener& listener) {
  if (continuousDetectSetup_.load()) return;
  const int eject = ejectOnNoteOff_.load();
  if (listener.intValue() != 1) {
    if (eject != 0) {
      if (eject == 1) queue_->ejectThisFile(listener.lastTriggeredUniqueId());
      listener.setLastTriggeredUniqueId(-1);
      return;
    }
    if (listener.dataSourceType() != 0) {
      listener.setLastTriggeredUniqueId(-1);
      return;
    }
  }
  int index = -1;
  itemArray_.rdlock();
  const auto& items = itemArray_.array();
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == &listener) {
      index = int(i);
      break;
    }
  itemArray_.unlock();
  if (index < 0) return;
  const long fileId = fileIdForCell(index + transpose_.load());
  if (fileId < 0) return;
  queue_->triggerThisFile(fileId);
  listener.setLastTriggeredUniqueId(fileId);
}

long MBTriggerListenersController::fileIdForCell(int cell) const {
  if (!pages_ || !bin_ || cell < 0) return -1;
  RWTryLock::ReadGuard guard(pages_->pagesLock());
  const auto page = pages_->lockedPageForUniqueId(bin_->currentPageId());
  if (!page) return -1;
  const QKPage::Cells& contents = page->contents();
  int index = cell;
  if (filesOnly_.load()) {
    if (cell >= int(page->filesOnlyContents().size())) return -1;
    index = page->convertFilesOnlyIndexToContentsIndex(cell);
  }
  if (index < 0 || index >= int(contents.size())) return -1;
  const QKPage::Cell& entry = contents[size_t(index)];
  if (!entry || !entry->validFile()) return -1;
  return entry->uniqueFileId();
}

// --- The bank and the pages -----------------------------------------------------------------

long MBTriggerListenersController::currentPageId() const {
  return bin_ ? bin_->currentPageId() : -1;
}

int MBTriggerListenersController::cellCountOfCurrentPage(bool filesOnly) const {
  if (!pages_) return 0;
  RWTryLock::ReadGuard guard(pages_->pagesLock());
  const auto page = pages_->lockedPageForUniqueId(currentPageId());
  if (!page) return -1;
  return filesOnly ? int(page->filesOnlyContents().size()) : int(page->contents().size());
}

void MBTriggerListenersController::setTranspose(int t) {
  const int columns = grid_ ? grid_->numberOfColumns() : gridColumns_.load();
  const int cells = cellCountOfCurrentPage(false);
  if (cells >= 0) {
    if (t > 0 && t >= cells) {
      nextPageButtonUsed();
      return;
    }
    transpose_.store(t);
  }
  const int n = count();
  if (transpose_.load() < 0) {
    if (n == 0 || transpose_.load() > -n) {
      transpose_.store(0);
    } else {
      gotoPrevPage();
      const int k = std::max(0, cellCountOfCurrentPage(false));
      int end = 0;
      if (filesOnly_.load())
        end = std::max(0, cellCountOfCurrentPage(true)) - n;
      else if (columns > 0)
        end = int(float(columns) * std::ceil(float(k) / float(columns))) - n;
      transpose_.store(end);
    }
  }
  if (transpose_.load() < 0) transpose_.store(0);
  tellGrid();
}

void MBTriggerListenersController::justSetTranspose(int transpose) {
  transpose_.store(transpose);
  redrawGrid();
}

void MBTriggerListenersController::rowUpButtonUsed() { setTranspose(transpose() - count()); }

void MBTriggerListenersController::rowDownButtonUsed() { setTranspose(transpose() + count()); }

void MBTriggerListenersController::showPage(long pageId) {
  bin_->setPageExpanded(pageId, true);
  bin_->setCurrentPageId(pageId);
  NotificationCenter::defaultCenter().post(
      kVisiblePagesChanged, this,
      {{QStringLiteral("BinId"), qint64(bin_->uniqueID())},
       {QStringLiteral("PageId"), qint64(pageId)},
       {QStringLiteral("Reason"), QStringLiteral("ExpandedStateChanged")}});
}

void MBTriggerListenersController::gotoPrevPage() {
  if (!bin_) return;
  const std::vector<long> visible = bin_->visiblePageIds();
  if (visible.empty()) {
    bin_->setCurrentPageId(-1);
    return;
  }
  const auto found = std::find(visible.begin(), visible.end(), bin_->currentPageId());
  size_t j = 0;
  if (found != visible.end() && found != visible.begin()) j = size_t(found - visible.begin()) - 1;
  transpose_.store(0);
  showPage(visible[j]);
}

void MBTriggerListenersController::prevPageButtonUsed() {
  gotoPrevPage();
  tellGrid();
}

void MBTriggerListenersController::nextPageButtonUsed() {
  if (!bin_) return;
  const std::vector<long> visible = bin_->visiblePageIds();
  if (visible.empty()) return;
  const auto found = std::find(visible.begin(), visible.end(), bin_->currentPageId());
  size_t j = 0;
  if (found == visible.end()) {
    transpose_.store(0);
  } else {
    j = size_t(found - visible.begin());
    if (j + 1 < visible.size()) {
      ++j;
      transpose_.store(0);
    }
  }
  showPage(visible[j]);
  tellGrid();
}

bool MBTriggerListenersController::isFree(const QKFile& file) const {
  QString layer;
  return file.validFile() && !queue_->fileIsPlaying(file, &layer) &&
         queue_->layerForFileIdInLayerQueueArray(file.uniqueFileId()).isEmpty();
}

void MBTriggerListenersController::triggerFirstFree(bool backwards) {
  if (!pages_ || !bin_) return;
  const QString onDeck = queue_->currentLayer();
  if (onDeck.isEmpty()) return;
  long chosen = -1;
  {
    RWTryLock::ReadGuard guard(pages_->pagesLock());
    const auto page = pages_->lockedPageForUniqueId(bin_->currentPageId());
    if (!page) return;
    const QKPage::Cells files = page->filesOnlyContents();
    const int m = int(files.size());
    if (m == 0) return;
    int start = backwards ? m : 0;
    for (int i = 0; i < m; ++i) {
      QString layer;
      if (queue_->fileIsPlaying(*files[size_t(i)], &layer) && layer == onDeck) {
        start = i;
        break;
      }
    }
    for (int k = 0; k < m && chosen < 0; ++k) {
      const int i = backwards ? ((start - 1 - k) % m + m) % m : (start + k) % m;
      if (isFree(*files[size_t(i)])) chosen = files[size_t(i)]->uniqueFileId();
    }
  }
  if (chosen >= 0) queue_->triggerThisFile(chosen);
}

void MBTriggerListenersController::playPrevButtonUsed() { triggerFirstFree(true); }

void MBTriggerListenersController::playNextButtonUsed() { triggerFirstFree(false); }

void MBTriggerListenersController::playRandButtonUsed() {
  if (!pages_ || !bin_) return;
  const float u = float(double(random_()) / 2147483648.0);
  long chosen = -1;
  {
    RWTryLock::ReadGuard guard(pages_->pagesLock());
    const auto page = pages_->lockedPageForUniqueId(bin_->currentPageId());
    if (!page) return;
    std::vector<long> free;
    for (const auto& file : page->filesOnlyContents())
      if (isFree(*file)) free.push_back(file->uniqueFileId());
    if (free.empty()) return;
    const long count = long(free.size());
    long k = std::lroundf(u * float(count - 1));
    if (k >= count) k = count - 1;
    if (k < 0) k = 0;
    chosen = free[size_t(k)];
  }
  queue_->triggerThisFile(chosen);
}

void MBTriggerListenersController::redrawGrid() {
  if (grid_) grid_->update();
}

void MBTriggerListenersController::tellGrid() {
  if (!grid_) return;
  grid_->transposeChanged();
  grid_->update();
}

// --- Learning -------------------------------------------------------------------------------

void MBTriggerListenersController::addListenerWithSyncArray(const std::optional<KeyPath>& path) {
  const MBTriggerListener::Ptr listener = makeListener();
  if (path && listener->useThisSource(*path)) listener->setSyncFlag(true);
  appendListener(listener);
  reloadTable();
}

void MBTriggerListenersController::removeItemsAtIndexes(const std::set<int>& indexes) {
  std::vector<MBTriggerListener::Ptr> gone;
  if (itemArray_.wrlock()) {
    auto& items = itemArray_.mutableArray();
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
      if (*it >= 0 && *it < int(items.size())) {
        gone.push_back(items[size_t(*it)]);
        items.erase(items.begin() + *it);
      }
    itemArray_.unlock();
  }
  for (const auto& listener : gone) listener->prepareToBeDeleted();
  reloadTable();
  redrawGrid();
}

void MBTriggerListenersController::clearAllShortcuts() {
  lastDetectedSource_.clear();
  if (autoMidiSetupStage_ != 0) {
    autoMidiSetupStage_ = 0;
    stopRangeObservation();
    setInstructions(kIdleInstructions);
  }
  setRangeFieldsShown(false);
  removeAllListeners();
  reloadTable();
  redrawGrid();
}

void MBTriggerListenersController::stopRangeObservation() { rangeMIDI_.turnOff(); }

void MBTriggerListenersController::setInstructions(const QString& text) {
  instructions_ = text;
  Q_EMIT learningChanged();
}

void MBTriggerListenersController::setRangeFieldsShown(bool shown) {
  rangeFieldsShown_ = shown;
  Q_EMIT learningChanged();
}

void MBTriggerListenersController::doContinuousDetect(bool on) {
  continuousDetectSetup_.store(false);
  setInstructions(kIdleInstructions);
  continuousMIDI_.turnOff();
  continuousKey_.turnOff();
  continuousOSC_.turnOff();
  continuousButton_.turnOff();
  rangeMIDI_.turnOff();
  lastDetectedSource_.clear();
  if (!on || deleted_) return;
  setInstructions(kWaitingForKeys);
  continuousDetectSetup_.store(true);
  continuousMIDI_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(InputNotifications::MIDIDetect));
  });
  continuousKey_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(InputNotifications::KeyDetect));
  });
  continuousOSC_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(InputNotifications::OSCDetect));
  });
  continuousButton_.turnOn([this](const Notification& n) {
    detectContinuous(n, QString::fromLatin1(DataSourceNotifications::ButtonDetect));
  });
}

// On the posting thread: only the message is read here.
void MBTriggerListenersController::detectContinuous(const Notification& n, const QString& name) {
  // An OSC control resting at 0 (a released pad) teaches nothing.
  if (name == QLatin1String(InputNotifications::OSCDetect)) {
    const QVariant value = n.userInfo.value(QString::fromLatin1(InputNotifications::DataSourceKey));
    const auto node = value.value<std::shared_ptr<DataSource>>();
    if (!node || node->value() == 0.0f) return;
  }
  const std::optional<KeyPath> path = DetectPaths::learnt(n, name);
  if (!path) return;
  onMain([path = *path](MBTriggerListenersController& c) { c.continuousDetected(path); });
}

void MBTriggerListenersController::continuousDetected(const KeyPath& path) {
  if (!continuousDetectSetup_.load()) return;
  const QString joined = path.join(QLatin1Char('/'));
  if (lastDetectedSource_.isEmpty() || joined != lastDetectedSource_) {
    addListenerWithSyncArray(path);
    redrawGrid();
  }
  lastDetectedSource_ = joined;
}

void MBTriggerListenersController::continuousDetectButtonUsed(int value) {
  doAutoMidiSetup(false);
  doContinuousDetect(value != 0);
}

void MBTriggerListenersController::doAutoMidiSetup(bool on) {
  lastDetectedSource_.clear();
  if (!on) {
    autoMidiSetupStage_ = 0;
    stopRangeObservation();
    setInstructions(kIdleInstructions);
    setRangeFieldsShown(false);
    return;
  }
  if (autoMidiSetupStage_ != 0 || deleted_) return;
  clearAllShortcuts();
  autoMidiSetupStage_ = 1;
  setRangeFieldsShown(true);
  setInstructions(kPressStartingNote);
  rangeMIDI_.turnOn([this](const Notification& n) { detectRange(n); });
}

void MBTriggerListenersController::detectRange(const Notification& n) {
  const std::optional<QKMIDIMessage> message = DetectPaths::soundingNoteOn(n);
  if (!message) return;
  const int note = message->data1();
  const int channel = message->channel();
  onMain([note, channel](MBTriggerListenersController& c) {
    if (c.rangeMIDI_.isOn()) c.doMidiRangeSetup(note, channel);
  });
}

void MBTriggerListenersController::autoMidiRangeSetupButtonUsed() {
  doContinuousDetect(false);
  doAutoMidiSetup(true);
}

bool MBTriggerListenersController::doMidiRangeSetup(int note, int channel) {
  if (note < 0 || note > 127 || channel < 1 || channel > 16) return false;
  if (autoMidiSetupStage_ == 1) {
    addListenerWithSyncArray(noteSourcePath(note, channel));
    firstCellNote_ = note;
    autoMidiSetupStage_ = 2;
    setInstructions(kPressLastNote);
    redrawGrid();
    return true;
  }
  if (autoMidiSetupStage_ != 2) return false;
  stopRangeObservation();
  autoMidiSetupStage_ = 0;
  const int step = note > firstCellNote_ ? 1 : -1;
  if (note != firstCellNote_)
    for (int n = firstCellNote_ + step; n != note + step; n += step) {
      const MBTriggerListener::Ptr listener = makeListener();
      if (listener->useThisSource(noteSourcePath(n, channel))) listener->setSyncFlag(true);
      appendListener(listener);
    }
  reloadTable();
  setInstructions(kIdleInstructions);
  setRangeFieldsShown(false);
  redrawGrid();
  return true;
}

bool MBTriggerListenersController::midiRangeTextFieldUsed(const QString& note,
                                                          const QString& channel) {
  bool noteOk = false, channelOk = false;
  const int n = note.trimmed().toInt(&noteOk);
  const int c = channel.trimmed().toInt(&channelOk);
  if (!noteOk || !channelOk) return false;
  return doMidiRangeSetup(n, c);
}

// --- Hardware learn -------------------------------------------------------------------------

void MBTriggerListenersController::hardwareLearnModeUpdated(bool mode) {
  if (mode == hardwareLearnMode_.load()) return;
  hardwareLearnMode_.store(mode);
  if (selected_.load()) doContinuousDetect(mode);
  redrawGrid();
}

void MBTriggerListenersController::select() {
  if (selected_.exchange(true) || !hardwareLearnMode_.load()) return;
  if (MainThread::isMainThread())
    doContinuousDetect(true);
  else
    onMain([](MBTriggerListenersController& c) { c.doContinuousDetect(c.selected()); });
}

void MBTriggerListenersController::deselect() {
  if (!selected_.exchange(false) || !hardwareLearnMode_.load()) return;
  if (MainThread::isMainThread())
    doContinuousDetect(false);
  else
    onMain([](MBTriggerListenersController& c) { c.doContinuousDetect(c.selected()); });
}

void MBTriggerListenersController::setButtonManager(QKButtonManager* manager) {
  buttonManager_.store(manager);
  if (manager && manager->hardwareLearnMode()) hardwareLearnMode_.store(true);
}

// --- Snapshots ------------------------------------------------------------------------------

QVariantMap MBTriggerListenersController::createSnapshot() const {
  QVariantMap snapshot{{kNotesDisplayModeKey, notesDisplayMode_},
                       {kEjectOnNoteOffKey, ejectOnNoteOff_.load()},
                       {kTransposeKey, transpose_.load()}};
  for (int i = 0; i < kCommandCount; ++i)
    if (QKButton* button = commandButtons_[size_t(i)])
      snapshot.insert(QString::fromLatin1(kCommandKeys[size_t(i)]), button->createSnapshot());
  QVariantList items;
  for (const auto& listener : listeners()) items << listener->createSnapshot();
  if (!items.isEmpty()) snapshot.insert(kItemArrayKey, items);
  return snapshot;
}

void MBTriggerListenersController::loadSnapshot(const QVariantMap& snapshot) {
  bool ok = false;
  int value = intOf(snapshot.value(kNotesDisplayModeKey), &ok);
  if (ok) setNotesDisplayMode(value);
  value = intOf(snapshot.value(kEjectOnNoteOffKey), &ok);
  if (ok) setEjectOnNoteOff(value);
  value = intOf(snapshot.value(kTransposeKey), &ok);
  if (ok) transpose_.store(value);
  for (int i = 0; i < kCommandCount; ++i) {
    const QVariant button = snapshot.value(QString::fromLatin1(kCommandKeys[size_t(i)]));
    if (button.typeId() == QMetaType::QVariantMap && commandButtons_[size_t(i)])
      commandButtons_[size_t(i)]->loadSnapshot(button.toMap());
  }
  removeAllListeners();
  for (const QVariant& entry : snapshot.value(kItemArrayKey).toList()) {
    const MBTriggerListener::Ptr listener = makeListener();
    listener->loadSnapshot(entry.toMap());
    appendListener(listener);
  }
  reloadTable();
  tellGrid();
}

void MBTriggerListenersController::loadOldSnapshot(const QVariantMap& c) {
  static const std::pair<const char*, Command> buttons[] = {{"playNextButton", kPlayNext},
                                                            {"playPrevButton", kPlayPrev},
                                                            {"playRandButton", kPlayRand},
                                                            {"highlightUpButton", kRowUp},
                                                            {"highlightDownButton", kRowDown}};
  for (const auto& [key, command] : buttons) {
    const QVariant button = c.value(QString::fromLatin1(key));
    if (button.typeId() == QMetaType::QVariantMap && commandButtons_[command])
      commandButtons_[command]->loadSnapshot(button.toMap());
  }
  bool ok = false;
  int value = intOf(c.value(kTransposeKey), &ok);
  if (ok) transpose_.store(value);
  value = intOf(c.value(kNotesDisplayModeKey), &ok);
  if (ok) setNotesDisplayMode(value);
  value = intOf(c.value(QStringLiteral("displayShortcutsToggleButton")), &ok);
  if (ok) setShowShortcutNames(value != 0);
  value = intOf(c.value(QStringLiteral("optimalColumnsSlider")), &ok);
  if (ok) setGridColumns(value);
  clearAllShortcuts();
  for (const QVariant& entry : c.value(QStringLiteral("triggerCells")).toList()) {
    const MBTriggerListener::Ptr listener = makeListener();
    listener->loadSnapshot(entry.toMap());
    appendListener(listener);
  }
  reloadTable();
  tellGrid();
}

void MBTriggerListenersController::prepareToBeDeleted() {
  if (deleted_) return;
  if (selected_.load()) {
    QKButtonManager* manager = buttonManager_.load();
    DataSourceController* dsc = manager ? manager->dataSourceController() : nullptr;
    if (dsc)
      dsc->deselectThisAltUIItem(this);
    else
      selected_.store(false);
  }
  doContinuousDetect(false);
  doAutoMidiSetup(false);
  deleted_ = true;
  for (auto& button : commandButtons_)
    if (button) button->prepareToBeDeleted();
  {
    std::unique_lock<std::shared_mutex> lock(gate_->mutex);
    gate_->open = false;
  }
  removeAllListeners();
  continuousMIDI_.close();
  continuousKey_.close();
  continuousOSC_.close();
  continuousButton_.close();
  rangeMIDI_.close();
  observers_.clear();
  link_->cut();
}

// --- Table ----------------------------------------------------------------------------------

void MBTriggerListenersController::reloadTable() {
  beginResetModel();
  endResetModel();
}

int MBTriggerListenersController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

int MBTriggerListenersController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant MBTriggerListenersController::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::ForegroundRole) return QColor::fromRgbF(0.58f, 0.58f, 0.58f, 1.0f);
  if (role != Qt::DisplayRole) return {};
  if (index.column() == kCellIndexColumn) return index.row() + 1;
  if (index.column() != kShortcutColumn) return {};
  const MBTriggerListener::Ptr listener = listenerAt(index.row());
  const KeyPath path = listener ? listener->syncArray() : KeyPath();
  if (!listener || !listener->syncFlag() || path.size() < 2) return QStringLiteral("None");
  if (path.first() == QLatin1String("MIDI")) return listener->humanReadableName();
  return path.join(QLatin1Char('/'));
}

QVariant MBTriggerListenersController::headerData(int section, Qt::Orientation orientation,
                                                  int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == kCellIndexColumn ? QStringLiteral("Cell") : QStringLiteral("Shortcut");
}
