#include "framework/behaviors/BehaviorChainManager.h"

#include "framework/behaviors/AverageWith.h"
#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/behaviors/Crop.h"
#include "framework/behaviors/Fall.h"
#include "framework/behaviors/Invert.h"
#include "framework/behaviors/LookupCurve.h"
#include "framework/behaviors/Modulus.h"
#include "framework/behaviors/Multiply.h"
#include "framework/behaviors/NumberDelayBehavior.h"
#include "framework/behaviors/QKMinMaxBehavior.h"
#include "framework/behaviors/QKOffsetBehavior.h"
#include "framework/behaviors/QKOffsetWrapBehavior.h"
#include "framework/behaviors/QKRangedMultiplyBehavior.h"
#include "framework/behaviors/Randomize.h"
#include "framework/behaviors/Scale.h"
#include "framework/behaviors/Smooth.h"
#include "framework/behaviors/SmoothWrap.h"
#include "framework/behaviors/Snap.h"
#include "framework/behaviors/Threshold.h"
#include "framework/behaviors/Trianglize.h"
#include "framework/controls/QKSliderManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

const QString BehaviorChainManager::kProjectSnapshotKey =
    QStringLiteral("behaviorChainManagerSnapshot");
const QString BehaviorChainManager::kFXFolder = QStringLiteral("numFX");

namespace {

template <typename T>
void registerBehavior(BehaviorChainManager& manager, QMap<QString, QString>& dict,
                      const QString& name, const QString& className) {
  manager.addClass([](const QString& made) { return FXObject::make<T>(made); }, name);
  dict.insert(name, className);
}

}  // namespace

BehaviorChainManager::BehaviorChainManager() : chainLists_(1) {
  setFXFolder(kFXFolder);
  QMap<QString, QString>& d = behaviorDict_;
  registerBehavior<AverageWith>(*this, d, QStringLiteral("AverageWith"),
                                QStringLiteral("AverageWith"));
  registerBehavior<Crop>(*this, d, QStringLiteral("Crop"), QStringLiteral("Crop"));
  registerBehavior<NumberDelayBehavior>(*this, d, QStringLiteral("Delay"),
                                        QStringLiteral("NumberDelayBehavior"));
  registerBehavior<Fall>(*this, d, QStringLiteral("Fall"), QStringLiteral("Fall"));
  registerBehavior<Invert>(*this, d, QStringLiteral("Invert"), QStringLiteral("Invert"));
  registerBehavior<LookupCurve>(*this, d, QStringLiteral("LookupCurve"),
                                QStringLiteral("LookupCurve"));
  registerBehavior<QKMinMaxBehavior>(*this, d, QStringLiteral("MinMax"),
                                     QStringLiteral("QKMinMaxBehavior"));
  registerBehavior<Modulus>(*this, d, QStringLiteral("Modulus"), QStringLiteral("Modulus"));
  registerBehavior<Multiply>(*this, d, QStringLiteral("Multiply"), QStringLiteral("Multiply"));
  registerBehavior<QKOffsetBehavior>(*this, d, QStringLiteral("Offset"),
                                     QStringLiteral("QKOffsetBehavior"));
  registerBehavior<QKOffsetWrapBehavior>(*this, d, QStringLiteral("OffsetWrap"),
                                         QStringLiteral("QKOffsetWrapBehavior"));
  registerBehavior<Randomize>(*this, d, QStringLiteral("Randomize"), QStringLiteral("Randomize"));
  registerBehavior<QKRangedMultiplyBehavior>(*this, d, QStringLiteral("RangedMultiply"),
                                             QStringLiteral("QKRangedMultiplyBehavior"));
  registerBehavior<Scale>(*this, d, QStringLiteral("Scale"), QStringLiteral("Scale"));
  registerBehavior<Smooth>(*this, d, QStringLiteral("Smooth"), QStringLiteral("Smooth"));
  registerBehavior<SmoothWrap>(*this, d, QStringLiteral("SmoothWrap"),
                               QStringLiteral("SmoothWrap"));
  registerBehavior<Snap>(*this, d, QStringLiteral("Snap"), QStringLiteral("Snap"));
  registerBehavior<Threshold>(*this, d, QStringLiteral("Threshold"), QStringLiteral("Threshold"));
  registerBehavior<Trianglize>(*this, d, QStringLiteral("Trianglize"),
                               QStringLiteral("Trianglize"));
}

BehaviorChainManager::~BehaviorChainManager() {
  for (const ChainPtr& chain : allChains()) chain->prepareToBeDeleted();
}

std::shared_ptr<FXObject> BehaviorChainManager::returnNewEffectNamed(const QString& name) {
  if (!behaviorDict_.contains(name)) return nullptr;
  return FXChainManager::returnNewEffectNamed(name);
}

// --- Chain lists -------------------------------------------------------------

int BehaviorChainManager::chainListCount() const {
  std::lock_guard<std::mutex> lock(listsMutex_);
  return static_cast<int>(chainLists_.size());
}

std::vector<BehaviorChainManager::ChainPtr> BehaviorChainManager::chainList(int index) const {
  std::lock_guard<std::mutex> lock(listsMutex_);
  if (index < 0 || index >= static_cast<int>(chainLists_.size())) return {};
  return chainLists_[static_cast<std::size_t>(index)];
}

std::vector<BehaviorChainManager::ChainPtr> BehaviorChainManager::allChains() const {
  std::lock_guard<std::mutex> lock(listsMutex_);
  std::vector<ChainPtr> all;
  for (const auto& list : chainLists_) all.insert(all.end(), list.begin(), list.end());
  return all;
}

void BehaviorChainManager::addChainToList(const ChainPtr& chain, int listIndex) {
  if (!chain) return;
  std::lock_guard<std::mutex> lock(listsMutex_);
  if (listIndex < 0 || listIndex >= static_cast<int>(chainLists_.size())) listIndex = 0;
  chainLists_[static_cast<std::size_t>(listIndex)].push_back(chain);
}

bool BehaviorChainManager::nameInUse(const QString& name) const {
  return findBehaviorChainNamed(name) != nullptr;
}

QString BehaviorChainManager::newChainName() const {
  for (long number = 1;; ++number) {
    const QString name = QStringLiteral("untitled %1").arg(number);
    if (!nameInUse(name)) return name;
  }
}

BehaviorChainManager::ChainPtr BehaviorChainManager::createNewChain(int listIndex) {
  auto chain = std::make_shared<BehaviorFXChain>(this);
  chain->setChainName(newChainName());
  addChainToList(chain, listIndex);
  updateChainBasedLists();
  return chain;
}

BehaviorChainManager::ChainPtr BehaviorChainManager::findBehaviorChainNamed(
    const QString& name) const {
  for (const ChainPtr& chain : allChains())
    if (chain->chainName() == name) return chain;
  return nullptr;
}

void BehaviorChainManager::deleteChain(const ChainPtr& chain) {
  if (!chain) return;
  NotificationCenter::defaultCenter().post(QKSliderManager::kBehaviorChainDeletedNotification,
                                           static_cast<BehaviorChainInterface*>(chain.get()));
  bool removed = false;
  {
    std::lock_guard<std::mutex> lock(listsMutex_);
    for (auto& list : chainLists_) removed |= std::erase(list, chain) > 0;
  }
  if (!removed) return;
  chain->prepareToBeDeleted();
  updateChainBasedLists();
}

bool BehaviorChainManager::renameChain(const ChainPtr& chain, const QString& name) {
  if (!chain || name.isEmpty() || nameInUse(name)) return false;
  chain->setChainName(name);
  NotificationCenter::defaultCenter().post(QKSliderManager::kBehaviorNameChangeNotification,
                                           static_cast<BehaviorChainInterface*>(chain.get()));
  updateChainBasedLists();
  return true;
}

std::vector<BehaviorChainManager::MenuItem> BehaviorChainManager::getBehaviorChainMenuItemArray()
    const {
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(9.0);
  std::vector<MenuItem> items;
  for (const ChainPtr& chain : allChains()) items.push_back({chain->chainName(), font});
  return items;
}

QStringList BehaviorChainManager::chainNames() const {
  QStringList names;
  for (const MenuItem& item : getBehaviorChainMenuItemArray()) names.append(item.title);
  return names;
}

std::shared_ptr<BehaviorChainInterface> BehaviorChainManager::findChainNamed(
    const QString& name) const {
  return findBehaviorChainNamed(name);
}

void BehaviorChainManager::updateChainBasedLists() {
  NotificationCenter::defaultCenter().post(QString::fromLatin1(kChainsChangedNotification),
                                           static_cast<BehaviorChainManagerInterface*>(this));
}

void BehaviorChainManager::resetChainEvalFlags() {
  std::lock_guard<std::mutex> lock(listsMutex_);
  for (const auto& list : chainLists_)
    for (const ChainPtr& chain : list)
      if (chain->needsEvaluation()) chain->setNeedsEvaluation(false);
}

// --- Projects ------------------------------------------------------------------

QVariantList BehaviorChainManager::createSnapshot() const {
  QVariantList snapshot;
  for (const ChainPtr& chain : allChains())
    snapshot.append(QVariantMap{{kPresetNameKey, chain->chainName()},
                                {kPresetSnapshotKey, chain->createSnapshot()}});
  return snapshot;
}

void BehaviorChainManager::loadSnapshot(const QVariant& snapshot) {
  if (snapshot.typeId() != QMetaType::QVariantList) {
    if (snapshot.isValid())
      Log::line(QStringLiteral("\t\terr: the behaviour chain snapshot is not an array"));
    return;
  }
  for (const QVariant& entry : snapshot.toList()) {
    const QVariantMap dict = entry.toMap();
    const QVariant name = dict.value(kPresetNameKey);
    const QVariant chainSnapshot = dict.value(kPresetSnapshotKey);
    if (entry.typeId() != QMetaType::QVariantMap || name.typeId() != QMetaType::QString ||
        chainSnapshot.typeId() != QMetaType::QVariantList) {
      Log::line(QStringLiteral(
          "\t\terr: a behaviour chain entry without a name or a snapshot was skipped"));
      continue;
    }
    ChainPtr chain = findBehaviorChainNamed(name.toString());
    if (!chain) {
      chain = std::make_shared<BehaviorFXChain>(this);
      chain->setChainName(name.toString());
      addChainToList(chain, 0);
    }
    chain->loadSnapshot(chainSnapshot);
  }
  saveFXChainsToDisk();
  updateChainBasedLists();
}
