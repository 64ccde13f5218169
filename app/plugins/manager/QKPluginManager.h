#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/manager/PluginRegistry.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ActiveDeleteTableView;
class AppControllerInterface;
class QKNSTableView;
class QKPaletteWindow;
class QKPlugin;
class QKPMExistingListController;
class QKPMPotentialListController;

// The one registry of plug-in types and owner of every live plug-in. It
// creates plug-ins with a new unique ID and the lowest free default name
// ("Buttons 1", "Blur.qtz 1"), renames them under the naming rules
// (PluginNaming), deletes them, gathers the aux displays, and saves and
// restores the whole set as one array ("PMSnapshot" of presets). Its
// "Plugin Manager" palette lists the types that can be made (a double click
// makes one) and the plug-ins that live (names edited in place, a delete
// image, the Delete key).
//
// Plug-ins are kept sorted by type, then name, and no two live plug-ins ever
// share a name, also in the middle of a restore. Main thread only; no lock.
class QKPluginManager : public QObject, public QKWindowDelegate {
  Q_OBJECT
 public:
  static const QString kPaletteTitle;               // "Plugin Manager"
  static const QString kPluginAddedNotification;    // "QKPluginAddedNotification"
  static const QString kPluginDeletedNotification;  // "QKPluginDeletedNotification"
  // The twenty built-in type names, in the order they are entered.
  static const QStringList& builtInTypeNames();

  // `uniqueIDs` hands out the one counter's next ID; `builtIns` are the
  // built-in types whose classes exist, in the order of builtInTypeNames.
  QKPluginManager(AppControllerInterface* appController, std::function<long()> uniqueIDs,
                  std::vector<PluginRegistry::Entry> builtIns, QObject* parent = nullptr);
  ~QKPluginManager() override;
  QKPluginManager(const QKPluginManager&) = delete;
  QKPluginManager& operator=(const QKPluginManager&) = delete;

  // Shows the palette, announces it to the Window menu, fills both lists and
  // selects "MediaBin" among the types.
  void awakeFromNib();

  // --- Types ---
  // The class of every composition type (QKGenericQCPlugin's unless a
  // test puts another).
  void setCompositionClass(PluginClass compositionClass);
  void loadPluginClasses();
  void reloadPluginClasses();
  const PluginRegistry& registry() const { return registry_; }
  QStringList sortedPluginClassKeys() const { return registry_.sortedKeys(); }

  // --- Creating ---
  // A plug-in of the type under the lowest free default name, shown and
  // announced ("QKPluginAddedNotification"); null for an unknown type or a
  // class that refuses ("\t\terror: newPlugin is nil").
  QKPlugin* instantiatePluginType(const QString& type);
  // The type of the first selected row of the potential list.
  QKPlugin* instantiateSelectedPlugin();
  // Makes and shows a plug-in without adding or announcing it.
  std::unique_ptr<QKPlugin> justCreatePluginOfType(const QString& type, const QString& name);
  long getUniqueID();

  // --- Live plug-ins ---
  QList<QKPlugin*> pluginArray() const;
  QKPlugin* findPluginNamed(const QString& name) const;
  QKPlugin* pluginInstanceNamed(const QString& name) const { return findPluginNamed(name); }
  // Whether a plug-in may take `name`: well formed, no live plug-in's (its
  // own included), and no other root of the data-source tree.
  bool isAcceptableName(const QString& name) const;
  // The existing list's edit: false, nothing changed, for a refused name.
  // The plug-ins are sorted again; the lists reload now or when asked.
  bool renamePlugin(QKPlugin* plugin, const QString& name, bool reloadListsNow = true);

  // --- Deleting ---
  void deleteSelectedPlugin();
  void deleteAllPlugins();
  void deletePlugins(const QList<QKPlugin*>& plugins);

  // --- Snapshots ---
  QVariantList createSnapshot() const;
  void loadSnapshot(const QVariantList& snapshot);
  static QStringList generateLayoutFromSnapshotArray(const QVariantList& snapshot);
  QStringList generateLayoutFromRealArray() const;

  // The aux displays, each at its place of a diagonal row.
  void windowMenuGatherOutputs();

  // --- Palette ---
  QKPaletteWindow* window() const { return window_.get(); }
  QKNSTableView* potentialPluginsView() const { return potentialView_; }
  ActiveDeleteTableView* existingPluginsView() const { return existingView_; }
  QKPMPotentialListController* potentialListController() const { return potential_.get(); }
  QKPMExistingListController* existingListController() const { return existing_.get(); }
  std::optional<int> paletteStackOrder() const override { return paletteStackOrder_; }
  void setPaletteStackOrder(std::optional<int> order) { paletteStackOrder_ = order; }
  void reloadLists();

 private:
  struct Wanted;
  void buildPalette();
  QStringList pluginFolders() const;
  bool nameTaken(const QString& name) const;
  bool isOtherRoot(const QString& name) const;
  void sortPlugins();
  QKPlugin* adopt(std::unique_ptr<QKPlugin> plugin);
  void showPluginWindow(QKPlugin& plugin);
  std::vector<std::unique_ptr<QKPlugin>> takePlugins(const QList<QKPlugin*>& plugins);
  void destroyPlugins(std::vector<std::unique_ptr<QKPlugin>> plugins);
  std::vector<Wanted> wantedFromSnapshot(const QVariantList& snapshot) const;
  QString unusedTemporaryName(const QKPlugin& plugin) const;
  void appQuitting();

  AppControllerInterface* appController_;
  std::function<long()> uniqueIDs_;
  std::vector<PluginRegistry::Entry> builtIns_;
  PluginClass compositionClass_;
  PluginRegistry registry_;
  std::vector<std::unique_ptr<QKPlugin>> plugins_;
  std::optional<int> paletteStackOrder_ = 6;

  // The lists' models outlive the palette's views.
  std::unique_ptr<QKPMPotentialListController> potential_;
  std::unique_ptr<QKPMExistingListController> existing_;
  std::unique_ptr<QKPaletteWindow> window_;
  QKNSTableView* potentialView_ = nullptr;
  ActiveDeleteTableView* existingView_ = nullptr;
  NotificationObservers observers_;
};
