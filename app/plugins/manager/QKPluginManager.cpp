#include "app/plugins/manager/QKPluginManager.h"

#include "app/plugins/composition/QKGenericQCPlugin.h"
#include "app/plugins/manager/GatherablePlugin.h"
#include "app/plugins/manager/PluginNaming.h"
#include "app/plugins/manager/PluginRestorePlan.h"
#include "app/plugins/manager/QKPMExistingListController.h"
#include "app/plugins/manager/QKPMPotentialListController.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/QCUtils.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKPlugin.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSet>

#include <algorithm>

const QString QKPluginManager::kPaletteTitle = QStringLiteral("Plugin Manager");
const QString QKPluginManager::kPluginAddedNotification =
    QStringLiteral("QKPluginAddedNotification");
const QString QKPluginManager::kPluginDeletedNotification =
    QStringLiteral("QKPluginDeletedNotification");

namespace {

namespace N = PaletteNotifications;

const QString kComponentArray = QStringLiteral("componentArray");
const QString kRestore = QStringLiteral("restore");
const QString kAuxDisplay = QStringLiteral("AuxDisplay");
const QString kMediaBin = QStringLiteral("MediaBin");

NotificationCenter& center() { return NotificationCenter::defaultCenter(); }

QVariant stringAt(const QVariantMap& map, const QString& key) {
  const QVariant value = map.value(key);
  return value.typeId() == QMetaType::QString ? value : QVariant();
}

}  // namespace

// One element of a snapshot that takes part in matching: its index, its
// type and the name it restores under (checked and made unique).
struct QKPluginManager::Wanted {
  int element;
  QString type;
  QString name;
};

const QStringList& QKPluginManager::builtInTypeNames() {
  static const QStringList names{QStringLiteral("AudioAnalysis"),   QStringLiteral("AuxDisplay"),
                                 QStringLiteral("Buttons"),         QStringLiteral("ColorSwatch"),
                                 QStringLiteral("LayerControls"),   QStringLiteral("MediaBin"),
                                 QStringLiteral("MIDIDisplay"),     QStringLiteral("MIDIOutput"),
                                 QStringLiteral("NotesToValue"),    QStringLiteral("Oscillator"),
                                 QStringLiteral("OSCDisplay"),      QStringLiteral("OSCOutput"),
                                 QStringLiteral("PreviewWindow"),   QStringLiteral("Sliders"),
                                 QStringLiteral("StepSequencer"),   QStringLiteral("Sticky"),
                                 QStringLiteral("TwoChannelMixer"), QStringLiteral("Waveform"),
                                 QStringLiteral("WiiMote"),         QStringLiteral("Multiplexer")};
  return names;
}

QKPluginManager::QKPluginManager(AppControllerInterface* appController,
                                 std::function<long()> uniqueIDs,
                                 std::vector<PluginRegistry::Entry> builtIns, QObject* parent)
    : QObject(parent),
      appController_(appController),
      uniqueIDs_(std::move(uniqueIDs)),
      builtIns_(std::move(builtIns)),
      compositionClass_(QKGenericQCPlugin::pluginClass()),
      potential_(std::make_unique<QKPMPotentialListController>(this)),
      existing_(std::make_unique<QKPMExistingListController>(this)) {
  buildPalette();
  loadPluginClasses();
  // Answered at once: every plug-in has the application controller before
  // its own constructor goes on.
  observers_.observe(QString::fromLatin1(N::NewPlugin), nullptr, [this](const Notification& n) {
    if (n.object) static_cast<QKPlugin*>(n.object)->setAppController(appController_);
  });
  observers_.observe(QStringLiteral("AppAboutToQuitNotification"), nullptr,
                     [this](const Notification&) { appQuitting(); });
}

QKPluginManager::~QKPluginManager() {
  observers_.clear();
  destroyPlugins(std::move(plugins_));
  if (window_) window_->prepareToBeDeleted();
}

void QKPluginManager::buildPalette() {
  window_ = std::make_unique<QKPaletteWindow>();
  auto* content = new QKWindowContentView;
  window_->setContentView(content);
  window_->setTitle(kPaletteTitle);
  window_->setDelegate(this);
  potentialView_ = new QKNSTableView;
  existingView_ = new ActiveDeleteTableView;
  for (QTableView* view :
       {static_cast<QTableView*>(potentialView_), static_cast<QTableView*>(existingView_)}) {
    view->horizontalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->hide();
    view->setShowGrid(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
  }
  potentialView_->setSelectionMode(QAbstractItemView::SingleSelection);
  potentialView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  existingView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  potential_->awakeFromNib(potentialView_);
  existing_->awakeFromNib(existingView_);
  auto* row = new QHBoxLayout(content->body());
  row->setContentsMargins(4, 4, 4, 4);
  row->setSpacing(4);
  row->addWidget(potentialView_);
  row->addWidget(existingView_);
}

void QKPluginManager::awakeFromNib() {
  window_->awakeFromNib();
  window_->show();
  center().post(QString::fromLatin1(N::AddPaletteWindow), window_.get());
  reloadLists();
  const int mediaBin = static_cast<int>(sortedPluginClassKeys().indexOf(kMediaBin));
  if (mediaBin >= 0) potentialView_->selectRow(mediaBin);
}

// --- Types -----------------------------------------------------------------------------------

void QKPluginManager::setCompositionClass(PluginClass compositionClass) {
  compositionClass_ = std::move(compositionClass);
  loadPluginClasses();
}

QStringList QKPluginManager::pluginFolders() const {
  return QCUtils::searchFolders(QStringLiteral("plugins"));
}

void QKPluginManager::loadPluginClasses() {
  registry_.load(builtIns_, pluginFolders(), compositionClass_);
  LayoutRegistry* layouts = LayoutRegistry::shared();
  if (!layouts) return;
  for (const QString& type : registry_.keys()) {
    const PluginClass* pluginClass = registry_.classFor(type);
    if (pluginClass && pluginClass->layout) layouts->registerLayout(type, pluginClass->layout);
  }
}

void QKPluginManager::reloadPluginClasses() {
  loadPluginClasses();
  potential_->reload();
}

// --- Creating --------------------------------------------------------------------------------

long QKPluginManager::getUniqueID() { return uniqueIDs_ ? uniqueIDs_() : 0; }

std::unique_ptr<QKPlugin> QKPluginManager::justCreatePluginOfType(const QString& type,
                                                                  const QString& name) {
  const PluginClass* pluginClass = registry_.classFor(type);
  if (!pluginClass || !pluginClass->create) return nullptr;
  std::unique_ptr<QKPlugin> plugin =
      pluginClass->create(type, name, static_cast<std::int32_t>(getUniqueID()));
  if (plugin) showPluginWindow(*plugin);
  return plugin;
}

void QKPluginManager::showPluginWindow(QKPlugin& plugin) {
  if (QKWindow* window = plugin.window()) window->makeKeyAndOrderFront();
}

QKPlugin* QKPluginManager::instantiatePluginType(const QString& type) {
  const PluginClass* pluginClass = registry_.classFor(type);
  if (!pluginClass || !pluginClass->create) return nullptr;
  const QString name = PluginNaming::defaultName(
      type, [this](const QString& candidate) { return !isAcceptableName(candidate); });
  std::unique_ptr<QKPlugin> created =
      pluginClass->create(type, name, static_cast<std::int32_t>(getUniqueID()));
  if (!created) {
    Log::line(QStringLiteral("\t\terror: newPlugin is nil"));
    return nullptr;
  }
  QKPlugin* plugin = adopt(std::move(created));
  center().post(kPluginAddedNotification, plugin);
  showPluginWindow(*plugin);
  sortPlugins();
  reloadLists();
  return plugin;
}

QKPlugin* QKPluginManager::instantiateSelectedPlugin() {
  const QModelIndexList rows = potentialView_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  const QStringList keys = sortedPluginClassKeys();
  const int row = rows.front().row();
  return row < keys.size() ? instantiatePluginType(keys.at(row)) : nullptr;
}

QKPlugin* QKPluginManager::adopt(std::unique_ptr<QKPlugin> plugin) {
  plugins_.push_back(std::move(plugin));
  return plugins_.back().get();
}

// --- Live plug-ins ---------------------------------------------------------------------------

QList<QKPlugin*> QKPluginManager::pluginArray() const {
  QList<QKPlugin*> list;
  for (const auto& plugin : plugins_) list.append(plugin.get());
  return list;
}

QKPlugin* QKPluginManager::findPluginNamed(const QString& name) const {
  for (const auto& plugin : plugins_)
    if (plugin->windowTitle() == name) return plugin.get();
  return nullptr;
}

bool QKPluginManager::nameTaken(const QString& name) const {
  return findPluginNamed(name) != nullptr;
}

// A root of the tree that belongs to no live plug-in. (A plug-in's own root,
// and those of the others, are judged by name.)
bool QKPluginManager::isOtherRoot(const QString& name) const {
  if (PluginNaming::systemRoots().contains(name)) return true;
  DataSourceController* controller =
      appController_ ? appController_->dataSourceController() : nullptr;
  return controller && controller->dataSourceForKeyArray({name}) && !nameTaken(name);
}

bool QKPluginManager::isAcceptableName(const QString& name) const {
  return PluginNaming::isWellFormed(name) && !nameTaken(name) && !isOtherRoot(name);
}

bool QKPluginManager::renamePlugin(QKPlugin* plugin, const QString& name, bool reloadListsNow) {
  if (!plugin || !isAcceptableName(name)) return false;
  plugin->setPluginName(name);
  sortPlugins();
  if (reloadListsNow) reloadLists();
  return true;
}

void QKPluginManager::sortPlugins() {
  std::stable_sort(plugins_.begin(), plugins_.end(),
                   [](const auto& a, const auto& b) { return a->sortByPluginName(*b) < 0; });
}

// --- Deleting --------------------------------------------------------------------------------

std::vector<std::unique_ptr<QKPlugin>> QKPluginManager::takePlugins(
    const QList<QKPlugin*>& plugins) {
  std::vector<std::unique_ptr<QKPlugin>> taken;
  for (auto it = plugins_.begin(); it != plugins_.end();) {
    if (plugins.contains(it->get())) {
      taken.push_back(std::move(*it));
      it = plugins_.erase(it);
    } else {
      ++it;
    }
  }
  return taken;
}

// Each is prepared for deletion (its sources go) before any is destroyed.
void QKPluginManager::destroyPlugins(std::vector<std::unique_ptr<QKPlugin>> plugins) {
  for (const auto& plugin : plugins)
    if (!plugin->deleted()) plugin->prepareToBeDeleted();
  plugins.clear();
}

void QKPluginManager::deletePlugins(const QList<QKPlugin*>& plugins) {
  if (plugins.isEmpty()) return;
  destroyPlugins(takePlugins(plugins));
  reloadLists();
  center().post(kPluginDeletedNotification, this);
}

void QKPluginManager::deleteSelectedPlugin() {
  // An open editor commits as it loses the focus.
  if (existingView_->isVisible()) existingView_->setFocus(Qt::OtherFocusReason);
  const QList<QKPlugin*> all = pluginArray();
  QList<QKPlugin*> selected;
  for (const QModelIndex& row : existingView_->selectionModel()->selectedRows())
    if (row.row() < all.size()) selected.append(all.at(row.row()));
  deletePlugins(selected);
}

void QKPluginManager::deleteAllPlugins() {
  destroyPlugins(std::move(plugins_));
  plugins_.clear();
  reloadLists();
  center().post(kPluginDeletedNotification, this);
}

// The plug-ins go while the data-source tick still runs: their sources leave
// the tree before the controller stops.
void QKPluginManager::appQuitting() {
  destroyPlugins(std::move(plugins_));
  plugins_.clear();
  reloadLists();
}

// --- Snapshots -------------------------------------------------------------------------------

QVariantList QKPluginManager::createSnapshot() const {
  QVariantList array;
  for (const auto& plugin : plugins_) {
    QVariantMap snapshot = plugin->createSnapshot();
    const QVariant components = snapshot.value(kComponentArray);
    if (components.typeId() == QMetaType::QVariantList) {
      QVariantList marked;
      for (const QVariant& component : components.toList()) {
        QVariantMap map = component.toMap();
        if (component.typeId() == QMetaType::QVariantMap) map.insert(kRestore, 1);
        marked.append(component.typeId() == QMetaType::QVariantMap ? QVariant(map) : component);
      }
      snapshot.insert(kComponentArray, marked);
    }
    array.append(snapshot);
  }
  return array;
}

// Elements that cannot be matched are logged and left out. Names are made
// sound: a malformed one takes its type's default name, one that another
// element already has or that is another root of the tree takes a number.
std::vector<QKPluginManager::Wanted> QKPluginManager::wantedFromSnapshot(
    const QVariantList& snapshot) const {
  std::vector<Wanted> wanted;
  QSet<QString> originals;
  for (const QVariant& element : snapshot) {
    const QVariant name =
        stringAt(element.toMap().value(QKPlugin::kSuperSnap).toMap(), QKPlugin::kWindowTitle);
    if (name.isValid()) originals.insert(name.toString());
  }
  QSet<QString> assigned;
  const auto taken = [&](const QString& candidate) {
    return assigned.contains(candidate) || originals.contains(candidate) ||
           PluginNaming::systemRoots().contains(candidate) || isOtherRoot(candidate);
  };
  for (int k = 0; k < snapshot.size(); ++k) {
    const QVariant& element = snapshot.at(k);
    const QVariant superSnap = element.toMap().value(QKPlugin::kSuperSnap);
    const QVariant type = stringAt(superSnap.toMap(), QKPlugin::kName);
    const QVariant name = stringAt(superSnap.toMap(), QKPlugin::kWindowTitle);
    if (element.typeId() != QMetaType::QVariantMap ||
        superSnap.typeId() != QMetaType::QVariantMap || !type.isValid() || !name.isValid()) {
      Log::line(QStringLiteral("\t\terr: plug-in snapshot %1 has no type or name; skipped").arg(k));
      continue;
    }
    QString restored = name.toString();
    if (!PluginNaming::isWellFormed(restored)) {
      restored = PluginNaming::defaultName(type.toString(), taken);
    } else if (assigned.contains(restored) || isOtherRoot(restored)) {
      restored = PluginNaming::deduplicated(restored, taken);
    }
    if (restored != name.toString())
      Log::line(QStringLiteral("\t\terr: plug-in \"%1\" restored as \"%2\"")
                    .arg(name.toString(), restored));
    assigned.insert(restored);
    wanted.push_back({k, type.toString(), restored});
  }
  return wanted;
}

// A name no live plug-in and no root of the tree has, for a plug-in that
// passes through it on its way to a name another still holds.
QString QKPluginManager::unusedTemporaryName(const QKPlugin& plugin) const {
  return PluginNaming::deduplicated(
      QStringLiteral("restoring %1").arg(plugin.uniqueID()),
      [this](const QString& candidate) { return nameTaken(candidate) || isOtherRoot(candidate); });
}

void QKPluginManager::loadSnapshot(const QVariantList& snapshot) {
  const std::vector<Wanted> wanted = wantedFromSnapshot(snapshot);
  QStringList wantedNames, wantedTypes, liveNames, liveTypes;
  for (const Wanted& w : wanted) {
    wantedNames << w.name;
    wantedTypes << w.type;
  }
  const QList<QKPlugin*> live = pluginArray();
  for (const QKPlugin* plugin : live) {
    liveNames << plugin->windowTitle();
    liveTypes << plugin->name();
  }
  const PluginRestorePlan plan =
      PluginRestorePlan::make(liveNames, liveTypes, wantedNames, wantedTypes);

  // The unmatched go first, so that no name or root is held by a plug-in on
  // its way out when another takes it.
  QList<QKPlugin*> unmatched;
  for (int i : plan.deleted) unmatched.append(live.at(i));
  destroyPlugins(takePlugins(unmatched));

  // A plug-in whose name another one of the renamed is to take passes
  // through an unused name first (names may be swapped).
  QSet<QString> targets;
  for (const PluginRestorePlan::Pair& pair : plan.renamed)
    targets.insert(wantedNames.at(pair.wanted));
  for (const PluginRestorePlan::Pair& pair : plan.renamed) {
    QKPlugin* plugin = live.at(pair.live);
    if (targets.contains(plugin->windowTitle()) &&
        plugin->windowTitle() != wantedNames.at(pair.wanted))
      plugin->setPluginName(unusedTemporaryName(*plugin));
  }
  for (const PluginRestorePlan::Pair& pair : plan.renamed)
    live.at(pair.live)->setPluginName(wantedNames.at(pair.wanted));

  for (int k : plan.created) {
    std::unique_ptr<QKPlugin> plugin = justCreatePluginOfType(wantedTypes.at(k), wantedNames.at(k));
    if (!plugin) {
      Log::line(QStringLiteral("\t\terror: pluginPtr is nil"));
      continue;
    }
    adopt(std::move(plugin));
  }
  sortPlugins();
  reloadLists();

  for (const Wanted& w : wanted)
    if (QKPlugin* plugin = findPluginNamed(w.name))
      plugin->loadSnapshot(snapshot.at(w.element).toMap());
}

QStringList QKPluginManager::generateLayoutFromSnapshotArray(const QVariantList& snapshot) {
  QStringList layout;
  for (const QVariant& element : snapshot)
    layout << element.toMap().value(QKPlugin::kSuperSnap).toMap().value(QKPlugin::kName).toString();
  return layout;
}

QStringList QKPluginManager::generateLayoutFromRealArray() const {
  QStringList layout;
  for (const auto& plugin : plugins_) layout << plugin->name();
  return layout;
}

void QKPluginManager::windowMenuGatherOutputs() {
  int k = 0;
  for (const auto& plugin : plugins_) {
    if (plugin->name() != kAuxDisplay) continue;
    if (auto* gatherable = dynamic_cast<GatherablePlugin*>(plugin.get()))
      gatherable->gatherToWindowLocation(QRectF(420 + 20 * k, 340 + 20 * k, 112, 84));
    ++k;
  }
}

// --- Palette ---------------------------------------------------------------------------------

void QKPluginManager::reloadLists() {
  potential_->reload();
  existing_->reload();
}
