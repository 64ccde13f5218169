#pragma once

#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/fx/FXChainManager.h"

#include <QFont>
#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <vector>

class BehaviorFXChain;

// The behaviour chains of the program: the nineteen behaviours by name,
// the chain lists (one per chain window; the first exists from the start,
// so chains restored before any window shows are kept), new names,
// deleting and renaming with the slider manager told, the chain menu as
// data, and the project snapshot ("behaviorChainManagerSnapshot").
//
// Threads: lists change on the main thread; the tick clears the flags and
// any thread may look a chain up by name. The lists' mutex is held only to
// read or change the lists; no chain is called and nothing is posted under
// it, except the flag reset, which only stores.
class BehaviorChainManager : public FXChainManager, public BehaviorChainManagerInterface {
 public:
  using ChainPtr = std::shared_ptr<BehaviorFXChain>;

  static const QString kProjectSnapshotKey;  // "behaviorChainManagerSnapshot"
  static const QString kFXFolder;            // "numFX"

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

  // --- Chain lists ---------------------------------------------------------
  int chainListCount() const;
  std::vector<ChainPtr> chainList(int index) const;
  // Every chain, lists in order, then chains in list order.
  std::vector<ChainPtr> allChains() const;
  // Appends to the list at `listIndex` (the first when there is none such).
  void addChainToList(const ChainPtr& chain, int listIndex = 0);
  // A new empty chain named "untitled %ld" with the first number no chain
  // has, appended to the list.
  ChainPtr createNewChain(int listIndex = 0);
  QString newChainName() const;
  ChainPtr findBehaviorChainNamed(const QString& name) const;
  // Sliders are told first ("QKSMBehaviorChainDeletedNotification"), then
  // the chain leaves its list and is retired.
  void deleteChain(const ChainPtr& chain);
  // Refused (false) when another chain has the name, or it is empty.
  bool renameChain(const ChainPtr& chain, const QString& name);

  // One item per chain: its name in "Lucida Grande" at 9 points.
  std::vector<MenuItem> getBehaviorChainMenuItemArray() const;

  // --- Files and projects ----------------------------------------------------
  // The chain files come with the chain windows; the hook writes nothing yet.
  void saveFXChainsToDisk() {}
  // [{"QKPMNameKey": name, "snapshot": chain snapshot}] in list order.
  QVariantList createSnapshot() const;
  // Each entry restores into the chain of its name (made in the first list
  // when none has it); chains the snapshot does not name stay. Entries
  // without a string name or an array snapshot are skipped (logged).
  void loadSnapshot(const QVariant& snapshot);

  // --- BehaviorChainManagerInterface -------------------------------------------
  void openANewWindow() override {}
  void resetChainEvalFlags() override;
  QStringList chainNames() const override;
  std::shared_ptr<BehaviorChainInterface> findChainNamed(const QString& name) const override;
  void updateChainBasedLists() override;

 private:
  bool nameInUse(const QString& name) const;

  QMap<QString, QString> behaviorDict_;
  mutable std::mutex listsMutex_;
  std::vector<std::vector<ChainPtr>> chainLists_;  // under listsMutex_
};
