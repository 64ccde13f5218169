#include "framework/controls/QKButtonManager.h"

#include "framework/controls/DSMenuReloading.h"
#include "framework/controls/QKBMInterfaceManager.h"
#include "framework/controls/ButtonManagerClient.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/MutDictAdditions.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

const QString QKButtonManager::kManagerFinderNotification =
    QStringLiteral("QKBManagerFinderNotification");

namespace {

using S = InterfaceColorScheme;

struct LeafColors {
  QVariant offFill, onFill, offStroke, onStroke, offText, onText;
};

QVariantMap appearanceLeaf(const LeafColors& c) {
  const QFont font = S::font(S::interfaceFontFamily(), 9);
  const QVariant transition = S::grey(0.7482);
  return {{QStringLiteral("offFillColor"), c.offFill},
          {QStringLiteral("onFillColor"), c.onFill},
          {QStringLiteral("transitionFillColor"), transition},
          {QStringLiteral("offStrokeColor"), c.offStroke},
          {QStringLiteral("onStrokeColor"), c.onStroke},
          {QStringLiteral("transitionStrokeColor"), transition},
          {QStringLiteral("offFontAttribs"), S::textAttributes(font, c.offText)},
          {QStringLiteral("onFontAttribs"), S::textAttributes(font, c.onText)},
          {QStringLiteral("transitionFontAttribs"), S::textAttributes(font, S::grey(0))},
          {QStringLiteral("strokeWidth"), 1.0},
          {QStringLiteral("radius"), 1.0}};
}

QVariantMap byLearnMode(const LeafColors& normal, const LeafColors& learning) {
  return {{QStringLiteral("non-HLM"), appearanceLeaf(normal)},
          {QStringLiteral("HLM"), appearanceLeaf(learning)}};
}

QVariantMap unselectedAppearance() {
  const QVariant learnBlue = S::rgba(0.0727, 0.2093, 0.4845);
  const QVariant learnStroke = S::rgba(0.1327, 0.3111, 0.6842);
  const QVariant learnOnStroke = S::rgba(0.6239, 0.1612, 0.1625);
  const QVariant red = S::rgba(0.4552, 0.062, 0.0645);
  const QVariant redStroke = S::rgba(0.6765, 0.0921, 0.0958);
  const QVariant learnText = S::rgba(0.3709, 0.5732, 0.9775);
  const QVariant syncedLearnText = S::rgba(0.3549, 0.8329, 0.1243);
  return {{QStringLiteral("unsync"),
           byLearnMode(
               {S::grey(0.1594), red, S::grey(0.2067), redStroke, S::grey(0.4035), S::grey(0.498)},
               {learnBlue, learnBlue, learnStroke, learnOnStroke, learnText, learnText})},
          {QStringLiteral("sync"),
           byLearnMode({S::grey(0.1594), red, S::grey(0.2067), redStroke,
                        S::rgba(0.3407, 0.5008, 0.1451), S::rgba(0.241, 0.5407, 0.0814)},
                       {learnBlue, learnBlue, learnStroke, learnOnStroke, syncedLearnText,
                        syncedLearnText})}};
}

QVariantMap selectedAppearance() {
  const QVariant learnBlue = S::rgba(0.1973, 0.3627, 0.7273);
  const QVariant learnStroke = S::rgba(0.2809, 0.4762, 0.916);
  const QVariant red = S::rgba(0.5125, 0.1994, 0.2073);
  const QVariant redStroke = S::rgba(0.7189, 0.2797, 0.2908);
  const QVariant learnText = S::rgba(0.6922, 0.7855, 0.9872);
  const QVariant syncedText = S::rgba(0.5441, 0.9795, 0.2301);
  const QVariant syncedLearnText = S::rgba(0.3841, 0.9768, 0.1592);
  return {{QStringLiteral("unsync"),
           byLearnMode(
               {S::grey(0.2579), red, S::grey(0.3091), redStroke, S::grey(0.8996), S::grey(0.9469)},
               {learnBlue, learnBlue, learnStroke, S::rgba(0.8438, 0.342, 0.3518), learnText,
                learnText})},
          {QStringLiteral("sync"),
           byLearnMode({S::grey(0.2579), red, S::grey(0.313), redStroke, syncedText, syncedText},
                       {learnBlue, learnBlue, learnStroke, S::rgba(0.7787, 0.3603, 0.3698),
                        syncedLearnText, syncedLearnText})}};
}

}  // namespace

const QStringList& QKButtonManager::paletteButtonKeys() {
  static const QStringList keys = {
      QStringLiteral("showShortcutButton"),   QStringLiteral("useValueButton"),
      QStringLiteral("midiDetectButton"),     QStringLiteral("oscDetectButton"),
      QStringLiteral("keyDetectButton"),      QStringLiteral("triggerOnFallButton"),
      QStringLiteral("triggerOnRiseButton"),  QStringLiteral("triggerModeButton"),
      QStringLiteral("showSyncToggleButton"), QStringLiteral("hardwareLearnButton")};
  return keys;
}

QVariantMap QKButtonManager::defaultAppearanceDict() {
  return {{QStringLiteral("unselected"), unselectedAppearance()},
          {QStringLiteral("selected"), selectedAppearance()}};
}

QKButtonManager::QKButtonManager()
    : appearanceDict_(defaultAppearanceDict()),
      liveness_(std::make_shared<QKButtonManager*>(this)) {
  const QVariant stored = InterfaceColorScheme::storedScheme().value(S::kButtonColorDict);
  if (stored.typeId() == QMetaType::QVariantMap)
    MutDictAdditions::recursivelyAddThisDict(appearanceDict_, stored.toMap());
  NotificationCenter& center = NotificationCenter::defaultCenter();
  center.addObserver(this, QKButtonCell::kNewButtonNotification, nullptr,
                     [this](const Notification& n) { newButtonNotification(n); });
  center.addObserver(this, kManagerFinderNotification, nullptr,
                     [this](const Notification& n) { buttonManagerFinderNotification(n); });
}

QKButtonManager::~QKButtonManager() {
  NotificationCenter::defaultCenter().removeObserver(this);
  liveness_.reset();
  {
    std::lock_guard<std::mutex> lock(selectionMutex_);
    selectedButtonArray_.clear();
  }
  // Cells that outlive the manager must not reach it any more.
  for (const auto& cell : buttonArray_.lockCopy())
    if (cell->knownButtonManager() == this) cell->setButtonManager(nullptr);
  buttonArray_.lockRemoveAllObjects();
}

// --- Connections ------------------------------------------------------------------

void QKButtonManager::setPaletteButton(const QString& key,
                                       const std::shared_ptr<QKButtonCell>& button) {
  paletteButtons_.set(key, button);
}

std::shared_ptr<QKButtonCell> QKButtonManager::paletteButton(const QString& key) const {
  return paletteButtons_.button(key);
}

std::shared_ptr<QKButtonCell> QKButtonManager::hardwareLearnButton() const {
  return paletteButton(QStringLiteral("hardwareLearnButton"));
}

bool QKButtonManager::showShortcutsRequested() const {
  auto button = paletteButton(QStringLiteral("showShortcutButton"));
  return button && button->intValue() == 1;
}

// --- Registry -------------------------------------------------------------------------

void QKButtonManager::newButtonNotification(const Notification& notification) {
  auto* cell = static_cast<QKButtonCell*>(notification.object);
  if (!cell) return;
  std::shared_ptr<QKButtonCell> shared = cell->weak_from_this().lock();
  if (!shared) return;
  cell->setButtonManager(this);
  if (!buttonArray_.lockIndexOfObject(shared)) buttonArray_.lockAddObject(std::move(shared));
}

void QKButtonManager::buttonManagerFinderNotification(const Notification& notification) {
  if (auto* client = static_cast<ButtonManagerClient*>(notification.object))
    client->setButtonManager(this);
}

void QKButtonManager::deleteThisButton(QKButtonCell* cell) {
  if (!cell) return;
  bool wasSelected = false;
  {
    std::lock_guard<std::mutex> lock(selectionMutex_);
    auto it = std::find_if(selectedButtonArray_.begin(), selectedButtonArray_.end(),
                           [cell](const auto& selected) { return selected.get() == cell; });
    if (it != selectedButtonArray_.end()) {
      selectedButtonArray_.erase(it);
      wasSelected = true;
    }
  }
  if (wasSelected) {
    cell->deselect();
    refreshInspector();
  }
  buttonArray_.lockRemoveIdenticalPtr(cell);
}

QKButtonManager::ButtonList QKButtonManager::registeredButtons() { return buttonArray_.lockCopy(); }

// --- Selection ----------------------------------------------------------------------------

void QKButtonManager::selectThisButton(QKButtonCell* cell) {
  if (!cell) return;
  std::shared_ptr<QKButtonCell> shared = cell->weak_from_this().lock();
  if (!shared) return;
  ButtonList previous;
  {
    std::lock_guard<std::mutex> lock(selectionMutex_);
    if (selectedButtonArray_.size() == 1 && selectedButtonArray_.front() == shared) return;
    previous.swap(selectedButtonArray_);
    selectedButtonArray_.push_back(shared);
  }
  for (const auto& old : previous) old->deselect();
  shared->select();
  refreshInspector();
}

void QKButtonManager::deselectAllButtons() {
  ButtonList previous;
  {
    std::lock_guard<std::mutex> lock(selectionMutex_);
    previous.swap(selectedButtonArray_);
  }
  if (previous.empty()) return;
  for (const auto& old : previous) old->deselect();
  refreshInspector();
}

void QKButtonManager::deselectThisButton(QKButtonCell* cell) {
  if (!cell) return;
  {
    std::lock_guard<std::mutex> lock(selectionMutex_);
    std::erase_if(selectedButtonArray_,
                  [cell](const auto& selected) { return selected.get() == cell; });
  }
  cell->deselect();
  refreshInspector();
}

std::vector<QKButtonCell*> QKButtonManager::selectedButtonArray() {
  std::vector<QKButtonCell*> raw;
  for (const auto& cell : selectedButtons()) raw.push_back(cell.get());
  return raw;
}

QKButtonManager::ButtonList QKButtonManager::selectedButtons() const {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  return selectedButtonArray_;
}

// --- Edits of the selection ------------------------------------------------------------------

void QKButtonManager::forEachSelected(const std::function<void(QKButtonCell&)>& edit) {
  for (const auto& cell : selectedButtons()) edit(*cell);
}

void QKButtonManager::setSelectedButtonsSyncFlag(bool flag) {
  forEachSelected([flag](QKButtonCell& cell) { cell.setSyncFlag(flag); });
}

void QKButtonManager::setSelectedButtonsValThresh(float threshold) {
  forEachSelected([threshold](QKButtonCell& cell) { cell.setThreshVal(threshold); });
}

void QKButtonManager::setSelectedButtonsRiseToggle(bool rise) {
  forEachSelected([rise](QKButtonCell& cell) { cell.setTriggerOnRise(rise); });
}

void QKButtonManager::setSelectedButtonsFallToggle(bool fall) {
  forEachSelected([fall](QKButtonCell& cell) { cell.setTriggerOnFall(fall); });
}

void QKButtonManager::setSelectedButtonsTriggerMode(int mode) {
  forEachSelected([mode](QKButtonCell& cell) { cell.setTriggerMode(mode); });
}

void QKButtonManager::selectedButtonsStartMIDIDetect() {
  forEachSelected([](QKButtonCell& cell) { cell.startMIDIDetect(); });
}

void QKButtonManager::selectedButtonsStartOSCDetect() {
  forEachSelected([](QKButtonCell& cell) { cell.startOSCDetect(); });
}

void QKButtonManager::selectedButtonsStartKeyDetect() {
  forEachSelected([](QKButtonCell& cell) { cell.startKeyDetect(); });
}

void QKButtonManager::selectedButtonsUseThisSource(const KeyPath& path) {
  if (path.isEmpty()) return;
  forEachSelected([&path](QKButtonCell& cell) {
    cell.useThisSource(path);
    if (!cell.syncFlag()) cell.setSyncFlag(true);
  });
}

void QKButtonManager::selectedButtonsSetSyncToggle(bool shown) {
  forEachSelected([shown](QKButtonCell& cell) { cell.setSyncToggleState(shown); });
}

// --- Hardware learn, appearance, broadcasts
// --------------------------------------------------------

void QKButtonManager::forEachRegistered(const std::function<void(QKButtonCell&)>& message) {
  for (const auto& cell : buttonArray_.lockCopy()) message(*cell);
}

void QKButtonManager::setHardwareLearnMode(bool mode) {
  if (hardwareLearnMode_.exchange(mode) == mode) return;
  forEachRegistered([mode](QKButtonCell& cell) { cell.hardwareLearnModeUpdated(mode); });
}

void QKButtonManager::setAppearanceDict(const QVariantMap& dictionary) {
  if (dictionary.isEmpty()) return;
  appearanceDict_ = dictionary;
}

void QKButtonManager::colorsUpdated() {
  forEachRegistered([](QKButtonCell& cell) { cell.forceRedraw(); });
}

void QKButtonManager::showShortcuts(int senderValue) {
  NotificationCenter::defaultCenter().post(QKButtonCell::kShowShortcutsNotification, nullptr,
                                           {{QStringLiteral("sender"), senderValue}});
}

void QKButtonManager::wasThisDataSourceDeletedOutFromUnderAnyButtons(const KeyPath& path) {
  forEachRegistered(
      [&path](QKButtonCell& cell) { cell.wasThisDataSourceDeletedOutFromUnderMe(path); });
}

void QKButtonManager::reloadDSContextualMenu() {
  std::weak_ptr<QKButtonManager*> alive = liveness_;
  MainThread::coalesce(&contextualMenuController_, [alive] {
    auto manager = alive.lock();
    if (!manager) return;
    if (DSMenuReloading* menu = (*manager)->contextualMenuController())
      menu->reloadDSContextualMenu();
    if (DSMenuReloading* list = (*manager)->listController()) list->reloadDSContextualMenu();
  });
}

bool QKButtonManager::isThisDetectedSrcArraySafe(const KeyPath& path) const {
  for (const char* key :
       {"midiDetectButton", "keyDetectButton", "oscDetectButton", "hardwareLearnButton"}) {
    auto button = paletteButton(QString::fromLatin1(key));
    if (button && button->syncFlag() && button->syncArray() == path) return false;
  }
  return true;
}

void QKButtonManager::putPaletteSnapInDict(QVariantMap& dictionary) const {
  paletteButtons_.putSnapshots(paletteButtonKeys(), dictionary);
}

void QKButtonManager::matchThisPaletteShortcutSnapshot(const QVariantMap& dictionary) {
  paletteButtons_.matchSnapshots(paletteButtonKeys(), dictionary);
}

// --- Inspector requests
// --------------------------------------------------------------------------------

void QKButtonManager::refreshInspector(bool lockedStatus) {
  std::weak_ptr<QKButtonManager*> alive = liveness_;
  MainThread::coalesce(&interfaceManager_, [alive, lockedStatus] {
    auto manager = alive.lock();
    if (!manager) return;
    if (QKBMInterfaceManager* inspector = (*manager)->interfaceManager())
      inspector->updateWithLockedStatus(lockedStatus);
  });
}

void QKButtonManager::showIncomingValue(float value) {
  incomingValue_.store(value);
  std::weak_ptr<QKButtonManager*> alive = liveness_;
  MainThread::coalesce(&incomingValue_, [alive] {
    auto manager = alive.lock();
    if (!manager) return;
    if (QKBMInterfaceManager* inspector = (*manager)->interfaceManager())
      inspector->updateValueRelatedOnlyWithValue((*manager)->incomingValue_.load());
  });
}
