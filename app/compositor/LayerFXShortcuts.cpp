#include "app/compositor/LayerFXShortcuts.h"

#include "framework/controls/DetectPaths.h"
#include "framework/controls/QKButtonCell.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>

const QString LayerFXShortcuts::kPresetNameKey = QStringLiteral("presetName");

namespace {

const QString kSyncArray = QStringLiteral("syncArray");
const QString kGen = QStringLiteral("gen");
const QString kSpec = QStringLiteral("spec");

// The path an entry names: "syncArray", else the older "gen" and "spec".
std::optional<KeyPath> entryPath(const QVariantMap& entry) {
  if (entry.contains(kSyncArray)) return KeyPathAdditions::fromStored(entry.value(kSyncArray));
  const QVariant gen = entry.value(kGen), spec = entry.value(kSpec);
  if (gen.typeId() == QMetaType::QString && spec.typeId() == QMetaType::QString &&
      !gen.toString().isEmpty() && !spec.toString().isEmpty())
    return KeyPath{gen.toString(), spec.toString()};
  return std::nullopt;
}

}  // namespace

LayerFXShortcuts::LayerFXShortcuts(Apply apply, Changed changed)
    : apply_(std::move(apply)),
      changed_(std::move(changed)),
      link_(std::make_shared<CutLink<LayerFXShortcuts>>(this)) {}

LayerFXShortcuts::~LayerFXShortcuts() { prepareToBeDeleted(); }

void LayerFXShortcuts::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  for (ObserverSwitch& each : detect_) each.close();
  link_->cut();
  learning_.clear();
  clearAll();
}

// --- Learning ------------------------------------------------------------------------

void LayerFXShortcuts::stopObserving() {
  for (ObserverSwitch& each : detect_) each.turnOff();
}

void LayerFXShortcuts::startDetect(const QString& presetName) {
  if (deleted_ || presetName.isEmpty()) return;
  cancelDetect();
  if (cells_.count(presetName)) {
    clear(presetName);
    if (changed_) changed_();
    return;
  }
  learning_ = presetName;
  ++generation_;
  const Kind kinds[] = {kMIDI, kOSC, kKey, kButton};
  for (Kind kind : kinds)
    detect_[kind].turnOn([this, kind](const Notification& n) { detected(kind, n); });
}

void LayerFXShortcuts::cancelDetect() {
  stopObserving();
  learning_.clear();
  ++generation_;
}

// Any thread. The handler only hands the path on: the main thread ends the
// learning (a handler switching off the other kinds' observers would wait
// for their deliveries on other threads, which may be waiting for it).
void LayerFXShortcuts::detected(Kind kind, const Notification& notification) {
  std::optional<KeyPath> path;
  switch (kind) {
    case kMIDI:
      path = DetectPaths::midi(notification);
      // Clock, program change and the like name no source and end nothing.
      if (!path) return;
      break;
    case kOSC:
      path = DetectPaths::osc(notification);
      break;
    case kKey:
      path = DetectPaths::key(notification);
      break;
    default:
      path = DetectPaths::button(notification);
      break;
  }
  const std::uint64_t generation = generation_.load();
  MainThread::run([link = link_, generation, path] {
    link->call([&](LayerFXShortcuts& self) { self.learnt(generation, path); });
  });
}

void LayerFXShortcuts::learnt(std::uint64_t generation, const std::optional<KeyPath>& path) {
  if (generation != generation_.load() || learning_.isEmpty()) return;
  stopObserving();
  const QString name = learning_;
  learning_.clear();
  ++generation_;
  if (path) store(name, makeCell(name, *path));
  if (changed_) changed_();
}

// --- Cells -----------------------------------------------------------------------------

std::shared_ptr<QKButtonCell> LayerFXShortcuts::makeCell(const QString& presetName,
                                                         const KeyPath& path) {
  std::shared_ptr<QKButtonCell> cell = QKButtonCell::createWithTitle(presetName, path);
  if (!cell) return nullptr;
  // Every shortcut fires on the main thread: a preset rebuilds a chain and
  // its panels.
  cell->setTriggerOnMain(true);
  cell->setTarget(std::weak_ptr<const void>(link_));
  cell->setAction([link = std::weak_ptr<CutLink<LayerFXShortcuts>>(link_)](QKButtonCell& sender) {
    const QString name = sender.title();
    if (auto strong = link.lock())
      strong->call([&name](LayerFXShortcuts& self) { self.fire(name); });
  });
  return cell;
}

void LayerFXShortcuts::store(const QString& presetName, std::shared_ptr<QKButtonCell> cell) {
  if (!cell) return;
  clear(presetName);
  cells_[presetName] = std::move(cell);
}

void LayerFXShortcuts::fire(const QString& presetName) {
  if (!deleted_ && !presetName.isNull() && apply_) apply_(presetName);
}

void LayerFXShortcuts::clear(const QString& presetName) {
  auto it = cells_.find(presetName);
  if (it == cells_.end()) return;
  std::shared_ptr<QKButtonCell> cell = std::move(it->second);
  cells_.erase(it);
  if (cell) cell->prepareToBeDeleted();
}

void LayerFXShortcuts::clearAll() {
  std::map<QString, std::shared_ptr<QKButtonCell>> cells;
  cells.swap(cells_);
  for (auto& [name, cell] : cells)
    if (cell) cell->prepareToBeDeleted();
}

QString LayerFXShortcuts::shortcutString(const QString& presetName) const {
  auto it = cells_.find(presetName);
  if (it == cells_.end() || !it->second) return {};
  return it->second->syncArray().join(QLatin1Char('/'));
}

QStringList LayerFXShortcuts::presetNames() const {
  QStringList names;
  for (const auto& [name, cell] : cells_) names << name;
  return names;
}

std::shared_ptr<QKButtonCell> LayerFXShortcuts::cellFor(const QString& presetName) const {
  auto it = cells_.find(presetName);
  return it == cells_.end() ? nullptr : it->second;
}

// --- Snapshots ----------------------------------------------------------------------------

QVariantMap LayerFXShortcuts::createSnapshot() const {
  QVariantMap shortcuts;
  for (const auto& [name, cell] : cells_) {
    if (!cell) continue;
    QVariantMap entry = cell->createSnapshot();
    if (entry.isEmpty()) continue;
    entry.insert(kPresetNameKey, name);
    shortcuts.insert(name, entry);
  }
  return shortcuts;
}

void LayerFXShortcuts::loadSnapshot(const QVariant& shortcuts) {
  clearAll();
  if (deleted_ || !shortcuts.isValid()) return;
  if (shortcuts.typeId() != QMetaType::QVariantMap) {
    Log::line("\t\terr: a layer's shortcuts that are not a dictionary were skipped");
    return;
  }
  const QVariantMap entries = shortcuts.toMap();
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it.value().typeId() != QMetaType::QVariantMap) {
      Log::line(QStringLiteral("\t\terr: the shortcut of %1 is not a dictionary").arg(it.key()));
      continue;
    }
    const QVariantMap entry = it.value().toMap();
    const QVariant named = entry.value(kPresetNameKey);
    const QString name = named.typeId() == QMetaType::QString ? named.toString() : it.key();
    const std::optional<KeyPath> path = entryPath(entry);
    if (name.isEmpty() || !path) {
      Log::line(QStringLiteral("\t\terr: the shortcut of %1 names no source").arg(it.key()));
      continue;
    }
    std::shared_ptr<QKButtonCell> cell = makeCell(name, *path);
    if (!cell) continue;
    // The cell's own settings too: threshold, trigger mode and edges, toggle.
    QVariantMap settings = entry;
    settings.insert(kSyncArray, *path);
    settings.remove(kGen);
    settings.remove(kSpec);
    settings.remove(QStringLiteral("buttonValue"));
    cell->loadSnapshot(settings, false);
    cell->setTitle(name);
    if (!cell->syncFlag()) cell->setSyncFlag(true);
    store(name, std::move(cell));
  }
}
