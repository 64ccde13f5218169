#include "framework/behaviors/BehaviorChainManager.h"

#include "framework/behaviors/AverageWith.h"
#include "framework/behaviors/BehaviorChainWindow.h"
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
#include "platform/foundation/PropertyList.h"
#include "framework/toolkit/QKPaletteWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

const QString BehaviorChainManager::kProjectSnapshotKey =
    QStringLiteral("behaviorChainManagerSnapshot");
const QString BehaviorChainManager::kFXFolder = QStringLiteral("numFX");
const QString BehaviorChainManager::kFolderName = QStringLiteral("behavior chains");
const QString BehaviorChainManager::kExtension = QStringLiteral(".sbc");
const QString BehaviorChainManager::kAppQuittingNotification =
    QStringLiteral("AppAboutToQuitNotification");

namespace {

template <typename T>
void registerBehavior(BehaviorChainManager& manager, QMap<QString, QString>& dict,
                      const QString& name, const QString& className) {
  manager.addClass([](const QString& made) { return FXObject::make<T>(made); }, name);
  dict.insert(name, className);
}

}  // namespace

BehaviorChainManager::BehaviorChainManager() {
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
  windArray_.lockAddObject(makeWindow());
  observers_.observe(kAppQuittingNotification, nullptr, [this](const Notification&) {
    if (savedAtQuit_) return;
    savedAtQuit_ = true;
    saveFXChainsToDisk();
  });
}

BehaviorChainManager::~BehaviorChainManager() {
  observers_.clear();
  for (const ChainPtr& chain : allChains()) chain->prepareToBeDeleted();
  for (const WindowPtr& window : windArray()) window->closeWindow();
  windArray_.lockRemoveAllObjects();
}

std::shared_ptr<FXObject> BehaviorChainManager::returnNewEffectNamed(const QString& name) {
  if (!behaviorDict_.contains(name)) return nullptr;
  return FXChainManager::returnNewEffectNamed(name);
}

// --- Windows -------------------------------------------------------------------

BehaviorChainManager::WindowPtr BehaviorChainManager::makeWindow() {
  return std::make_shared<BehaviorChainWindow>(this);
}

std::vector<BehaviorChainManager::WindowPtr> BehaviorChainManager::windArray() const {
  return windArray_.lockCopy();
}

BehaviorChainManager::WindowPtr BehaviorChainManager::windowAt(int index) const {
  if (index < 0) return nullptr;
  return windArray_.lockObjectAtIndex(static_cast<std::size_t>(index)).value_or(nullptr);
}

void BehaviorChainManager::openANewWindow() {
  loadFXChainsFromDisk();
  WindowPtr window = windowAt(0);
  if (!window || window->windowLoaded()) {
    window = makeWindow();
    windArray_.lockAddObject(window);
  }
  window->loadWindow();
  updateWindowNames();
  window->showWindow();
  mainWindow_ = window->window();
}

bool BehaviorChainManager::removeBehaviorChainWindow(BehaviorChainWindow* window) {
  if (!window) return false;
  const std::vector<WindowPtr> windows = windArray();
  WindowPtr leaving;
  WindowPtr heir;
  for (const WindowPtr& candidate : windows) {
    if (candidate.get() == window)
      leaving = candidate;
    else if (!heir)
      heir = candidate;
  }
  if (!leaving) return false;
  if (!heir) {
    Log::line(QStringLiteral("\t\terr: the last behaviour chain window stays"));
    return false;
  }
  for (const ChainPtr& chain : leaving->chains()) {
    leaving->removeChainFromMyList(chain);
    heir->addChainToMyList(chain);
  }
  windArray_.lockRemoveIdenticalPtr(window);
  leaving->closeWindow();
  if (mainWindow_ == leaving->window()) {
    const WindowPtr last = windArray().back();
    mainWindow_ = last->window();
  }
  leaving.reset();
  updateWindowNames();
  return true;
}

void BehaviorChainManager::updateWindowNames() {
  const std::vector<WindowPtr> windows = windArray();
  for (std::size_t i = 0; i < windows.size(); ++i)
    windows[i]->setWindowTitle(i == 0 ? BehaviorChainWindow::kFirstWindowTitle
                                      : QStringLiteral("Window %1").arg(i + 1));
  updateChainBasedLists();
}

QWidget* BehaviorChainManager::mainWindow() const { return mainWindow_.data(); }

void BehaviorChainManager::displayChainNamed(const QString& name) {
  if (name.isEmpty()) return;
  const ChainPtr chain = findBehaviorChainNamed(name);
  if (!chain) return;
  if (const WindowPtr window = windowHolding(chain.get())) window->selectChain(chain);
}

BehaviorChainManager::WindowPtr BehaviorChainManager::windowHolding(
    const BehaviorFXChain* chain) const {
  for (const WindowPtr& window : windArray())
    if (window->rowOfChain(chain) >= 0) return window;
  return nullptr;
}

// --- Chain lists -------------------------------------------------------------

int BehaviorChainManager::chainListCount() const {
  return static_cast<int>(windArray_.lockCount());
}

std::vector<BehaviorChainManager::ChainPtr> BehaviorChainManager::chainList(int index) const {
  const WindowPtr window = windowAt(index);
  return window ? window->chains() : std::vector<ChainPtr>();
}

std::vector<BehaviorChainManager::ChainPtr> BehaviorChainManager::allChains() const {
  std::vector<ChainPtr> all;
  windArray_.lockMakeObjectsPerform([&all](const WindowPtr& window) {
    const std::vector<ChainPtr> list = window->chains();
    all.insert(all.end(), list.begin(), list.end());
  });
  return all;
}

void BehaviorChainManager::addChainToList(const ChainPtr& chain, int listIndex) {
  if (!chain) return;
  WindowPtr window = windowAt(listIndex);
  if (!window) window = windowAt(0);
  if (window) window->addChainToMyList(chain);
}

bool BehaviorChainManager::nameInUse(const QString& name) const {
  return findBehaviorChainNamed(name) != nullptr;
}

QString BehaviorChainManager::newChainName() const {
  QSet<QString> used;
  for (const ChainPtr& chain : allChains()) used.insert(chain->chainName());
  for (long number = 1;; ++number) {
    const QString name = QStringLiteral("untitled %1").arg(number);
    if (!used.contains(name)) return name;
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
  ChainPtr found;
  windArray_.lockMakeObjectsPerform([&](const WindowPtr& window) {
    if (found) return;
    for (const ChainPtr& chain : window->chains())
      if (chain->chainName() == name) {
        found = chain;
        return;
      }
  });
  return found;
}

void BehaviorChainManager::deleteChain(const ChainPtr& chain) {
  if (!chain) return;
  const WindowPtr window = windowHolding(chain.get());
  if (!window) return;
  NotificationCenter::defaultCenter().post(QKSliderManager::kBehaviorChainDeletedNotification,
                                           static_cast<BehaviorChainInterface*>(chain.get()));
  if (!window->removeChainFromMyList(chain)) return;
  chain->prepareToBeDeleted();
  files_.moveToDeleted(chain->chainName());
  updateChainBasedLists();
}

bool BehaviorChainManager::renameChain(const ChainPtr& chain, const QString& name) {
  if (!chain || name.isEmpty() || nameInUse(name)) return false;
  const QString oldName = chain->chainName();
  QVariantMap dict = fileDictFor(*chain);
  dict.insert(kPresetNameKey, name);
  if (files_.writeIfChanged(name, dict, true,
                            QStringLiteral("\t\terror writing fx chain to disk at ")) ==
      ChainFileFolder::Outcome::Failed) {
    Log::line(QStringLiteral("\t\terr: the chain \"%1\" keeps its name").arg(oldName));
    return false;
  }
  QString error;
  const QString oldPath = files_.userFilePath(oldName, &error);
  if (!oldPath.isEmpty() && QFileInfo::exists(oldPath) && !QFile::remove(oldPath))
    Log::line(QStringLiteral("\t\terr: the old chain file %1 cannot be removed").arg(oldPath));
  files_.hideShipped(oldName);
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
  for (const ChainPtr& chain : allChains()) names.append(chain->chainName());
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
  windArray_.lockMakeObjectsPerform([](const WindowPtr& window) { window->resetChainEvalFlags(); });
}

// --- Files ---------------------------------------------------------------------

QVariantMap BehaviorChainManager::fileDictFor(const BehaviorFXChain& chain) const {
  return {{kPresetNameKey, chain.chainName()}, {kPresetSnapshotKey, chain.createSnapshot()}};
}

namespace {

struct ChainFile {
  QString path;
  QString name;
  QVariantList snapshot;
};

// The file's chain, or why it is skipped (logged).
std::optional<ChainFile> readChainFile(const QString& path) {
  const PropertyList::Result read = PropertyList::read(path);
  QString why;
  const QVariantMap dict = read.value.toMap();
  const QVariant name = dict.value(FXChainManager::kPresetNameKey);
  const QVariant snapshot = dict.value(FXChainManager::kPresetSnapshotKey);
  if (!read.ok())
    why = read.error;
  else if (read.value.typeId() != QMetaType::QVariantMap)
    why = QStringLiteral("not a dictionary");
  else if (name.typeId() != QMetaType::QString || name.toString().isEmpty())
    why = QStringLiteral("no name");
  else if (snapshot.typeId() != QMetaType::QVariantList)
    why = QStringLiteral("no snapshot array");
  if (!why.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: the chain file %1 was skipped: %2").arg(path, why));
    return std::nullopt;
  }
  return ChainFile{path, name.toString(), snapshot.toList()};
}

}  // namespace

void BehaviorChainManager::loadFXChainsFromDisk() {
  if (filesRead_) return;
  filesRead_ = true;
  // Per name, the file at the name's own path wins; otherwise the first read.
  std::vector<ChainFile> chosen;
  QMap<QString, std::size_t> byName;
  for (const QString& folder : files_.searchFolders()) {
    QSet<QString> namesOfFolder;
    for (const QString& path : files_.chainFilesIn(folder)) {
      std::optional<ChainFile> file = readChainFile(path);
      if (!file || !files_.admits(folder, file->name)) continue;
      const bool ownPath = QFileInfo(path).fileName() == files_.fileNameFor(file->name);
      const auto known = byName.constFind(file->name);
      if (known == byName.constEnd()) {
        byName.insert(file->name, chosen.size());
        chosen.push_back(*file);
        namesOfFolder.insert(file->name);
        continue;
      }
      ChainFile& kept = chosen[*known];
      if (ownPath && namesOfFolder.contains(file->name)) {
        Log::line(QStringLiteral("\t\terr: the chain file %1 was skipped: %2 holds \"%3\"")
                      .arg(kept.path, path, file->name));
        kept = *file;
      } else {
        Log::line(QStringLiteral("\t\terr: the chain file %1 was skipped: %2 holds \"%3\"")
                      .arg(path, kept.path, file->name));
      }
    }
  }
  for (const ChainFile& file : chosen) restoreChain(file.name, file.snapshot);
  updateChainBasedLists();
}

BehaviorChainManager::ChainPtr BehaviorChainManager::restoreChain(const QString& name,
                                                                  const QVariant& snapshot) {
  ChainPtr chain = findBehaviorChainNamed(name);
  if (!chain) {
    chain = std::make_shared<BehaviorFXChain>(this);
    chain->setChainName(name);
    addChainToList(chain, 0);
  }
  chain->loadSnapshot(snapshot);
  return chain;
}

bool BehaviorChainManager::writeThisFXChainDictToDisk(const QVariantMap& dict) {
  return files_.writeIfChanged(dict.value(kPresetNameKey).toString(), dict, false,
                               QStringLiteral("\t\terror writing fx chain to disk at ")) !=
         ChainFileFolder::Outcome::Failed;
}

bool BehaviorChainManager::saveFXChainsToDisk() {
  bool ok = true;
  for (const ChainPtr& chain : allChains())
    ok = writeThisFXChainDictToDisk(fileDictFor(*chain)) && ok;
  return ok;
}

// --- Projects ------------------------------------------------------------------

QVariantList BehaviorChainManager::createSnapshot() const {
  QVariantList snapshot;
  for (const ChainPtr& chain : allChains()) snapshot.append(fileDictFor(*chain));
  return snapshot;
}

void BehaviorChainManager::loadSnapshot(const QVariant& snapshot) {
  if (snapshot.typeId() != QMetaType::QVariantList) {
    if (snapshot.isValid())
      Log::line(QStringLiteral("\t\terr: the behaviour chain snapshot is not an array"));
    return;
  }
  loadFXChainsFromDisk();
  std::vector<ChainPtr> restored;
  for (const QVariant& entry : snapshot.toList()) {
    const QVariantMap dict = entry.toMap();
    const QVariant name = dict.value(kPresetNameKey);
    const QVariant chainSnapshot = dict.value(kPresetSnapshotKey);
    if (entry.typeId() != QMetaType::QVariantMap || name.typeId() != QMetaType::QString ||
        name.toString().isEmpty() || chainSnapshot.typeId() != QMetaType::QVariantList) {
      Log::line(QStringLiteral(
          "\t\terr: a behaviour chain entry without a name or a snapshot was skipped"));
      continue;
    }
    restored.push_back(restoreChain(name.toString(), chainSnapshot));
  }
  // The user's own files are kept aside, never overwritten, when they differ.
  for (const ChainPtr& chain : restored)
    files_.writeIfChanged(chain->chainName(), fileDictFor(*chain), true,
                          QStringLiteral("\t\terror writing fx chain to disk at "));
  updateChainBasedLists();
}
