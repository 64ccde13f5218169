#pragma once

#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/fx/ChainFileFolder.h"
#include "framework/fx/FXChainManager.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/threading/MutLockArray.h"

#include <QFont>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class BehaviorChainWindow;
class BehaviorFXChain;
class QKWindow;

// The behaviour chains of the program: the nineteen behaviours by name, the
// chain windows (each with its list of chains; the first exists from the
// start without its palette, so chains read or restored before it shows are
// kept, and the slider manager's timer builds the palette around it), new
// names, deleting and renaming with the slider manager told, the chain menu
// as data, the project snapshot ("behaviorChainManagerSnapshot") and the
// chain files (".sbc" in "behavior chains": read once per run, before the
// first window or project restore; written when a project is saved or
// restored and once at quit).
//
// Threads: windows, lists, files and edits on the main thread. The tick
// clears the flags and any thread may look a chain up by name: both walk
// the window list under its read lock, then each window's chain list under
// its read lock; nothing is read or written from disk under a list lock.
class BehaviorChainManager : public FXChainManager, public BehaviorChainManagerInterface {
 public:
  using ChainPtr = std::shared_ptr<BehaviorFXChain>;
  using WindowPtr = std::shared_ptr<BehaviorChainWindow>;

  static const QString kProjectSnapshotKey;  // "behaviorChainManagerSnapshot"
  static const QString kFXFolder;            // "numFX"
  static const QString kFolderName;          // "behavior chains"
  static const QString kExtension;           // ".sbc"
  // Posted once by the application as it quits.
  static const QString kAppQuittingNotification;  // "AppAboutToQuitNotification"

  struct MenuItem {
    QString title;
    QFont font;
  };

  BehaviorChainManager();
  ~BehaviorChainManager() override;

  // Behaviour name → class name.
  const QMap<QString, QString>& behaviorDict() const { return behaviorDict_; }
  // Null for a name that is not a behaviour; no bundle is ever loaded.
  std::shared_ptr<FXObject> returnNewEffectNamed(const QString& name) override;

  // --- Windows -------------------------------------------------------------------
  // The first call builds the first window's palette around its chains
  // (the files read first); later calls add a window. The palette shows and
  // becomes `mainWindow`.
  void openANewWindow() override;
  // Its chains move into the first remaining window, then it closes; the
  // last window is never removed (false).
  bool removeBehaviorChainWindow(BehaviorChainWindow* window);
  // The first window keeps "Behavior Chains"; the others are "Window %d"
  // by their place. Then `updateChainBasedLists`.
  void updateWindowNames();
  std::vector<WindowPtr> windArray() const;
  WindowPtr windowAt(int index) const;
  // The palette of the window opened last; null before the first opens.
  QWidget* mainWindow() const override;
  // Selects the chain's row in the window that holds it, which shows it.
  void displayChainNamed(const QString& name) override;

  // --- Chain lists (one per window) --------------------------------------------
  int chainListCount() const;
  std::vector<ChainPtr> chainList(int index) const;
  // Every chain, windows in order, then chains in list order.
  std::vector<ChainPtr> allChains() const;
  // Appends to the list of the window at `listIndex` (the first when there
  // is none such).
  void addChainToList(const ChainPtr& chain, int listIndex = 0);
  // A new empty chain named "untitled %ld" with the first number no chain
  // has, appended to the list.
  ChainPtr createNewChain(int listIndex = 0);
  QString newChainName() const;
  ChainPtr findBehaviorChainNamed(const QString& name) const;
  // Sliders are told first ("QKSMBehaviorChainDeletedNotification", the
  // chain still listed), then the chain leaves its list, its views are
  // torn down and its file moves to "deleted/".
  void deleteChain(const ChainPtr& chain);
  // Refused (false) for an empty name, a name another chain has, or when
  // the file of the new name cannot be written; otherwise the old file goes.
  bool renameChain(const ChainPtr& chain, const QString& name);

  // One item per chain: its name in "Lucida Grande" at 9 points.
  std::vector<MenuItem> getBehaviorChainMenuItemArray() const;

  // --- Files and projects ----------------------------------------------------
  ChainFileFolder& chainFiles() { return files_; }
  // Reads the folders (the user's, then the shipped one) once per run:
  // only names ending ".sbc", sorted; a chain name found twice is taken from
  // the file at its own (escaped) path, else from the first; the user's
  // folder before the shipped one. Broken files are skipped (logged).
  void loadFXChainsFromDisk();
  bool chainFilesRead() const { return filesRead_; }
  // Every chain whose file is missing or differs; false when a write failed.
  bool saveFXChainsToDisk();
  // Writes {"QKPMNameKey", "snapshot"} to the path of its name; a failure
  // logs "\t\terror writing fx chain to disk at <path>" and keeps the old
  // file.
  bool writeThisFXChainDictToDisk(const QVariantMap& dict);
  // [{"QKPMNameKey": name, "snapshot": chain snapshot}] in list order.
  QVariantList createSnapshot() const;
  // Each entry restores into the chain of its name (made in the first list
  // when none has it); chains the snapshot does not name stay. Entries
  // without a string name or an array snapshot are skipped (logged). The
  // restored chains' files are written where missing or different, a
  // different file first moved to "replaced/".
  void loadSnapshot(const QVariant& snapshot);

  // --- BehaviorChainManagerInterface -------------------------------------------
  void resetChainEvalFlags() override;
  QStringList chainNames() const override;
  std::shared_ptr<BehaviorChainInterface> findChainNamed(const QString& name) const override;
  void updateChainBasedLists() override;

 private:
  bool nameInUse(const QString& name) const;
  WindowPtr windowHolding(const BehaviorFXChain* chain) const;
  QVariantMap fileDictFor(const BehaviorFXChain& chain) const;
  ChainPtr restoreChain(const QString& name, const QVariant& snapshot);
  WindowPtr makeWindow();

  QMap<QString, QString> behaviorDict_;
  mutable MutLockArray<WindowPtr> windArray_;
  QPointer<QWidget> mainWindow_;
  ChainFileFolder files_{kFolderName, kExtension};
  bool filesRead_ = false;
  bool savedAtQuit_ = false;
  NotificationObservers observers_;
};
