#include "framework/taps/QKTapManager.h"

#include "framework/taps/LayerInterface.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

const QString QKTapManager::kNewTapNotification = QStringLiteral("QKTapNewTapNotification");
const QString QKTapManager::kReloadSTapListNotification =
    QStringLiteral("QKTapReloadSTapListNotification");
const QString QKTapManager::kEmptyDeselectedString = QStringLiteral("QKEmptyDeselectedString");
const QString QKTapManager::kNoneTitle = QStringLiteral("<none>");
const QString QKTapManager::kReasonKey = QStringLiteral("reason");
const QString QKTapManager::kCreateTapReason = QStringLiteral("createTap");
const QString QKTapManager::kCreatedTapNameKey = QStringLiteral("createdTapName");
const QString QKTapManager::kDeleteTapReason = QStringLiteral("deleteTap");
const QString QKTapManager::kDeletedTapNameKey = QStringLiteral("deletedTapName");
const QString QKTapManager::kChangeNameReason = QStringLiteral("changeName");
const QString QKTapManager::kOldNameKey = QStringLiteral("oldName");
const QString QKTapManager::kNewNameKey = QStringLiteral("newName");

namespace {

// Fatal in debug builds; a log line in release builds, where the show goes on.
void failedCheck(const QString& what) {
  Log::line(QStringLiteral("\t\terr: ") + what);
  Q_ASSERT_X(false, "QKTapManager", qPrintable(what));
}

}  // namespace

QKTapManager::QKTapManager() : link_(std::make_shared<Link>()) {
  link_->manager = this;
  rebuildMenus();
  NotificationCenter::defaultCenter().addObserver(
      this, kNewTapNotification, nullptr,
      [this](const Notification& notification) { newTapNotification(notification); });
}

// Taps and stubs that outlive the manager keep the link and find no manager.
QKTapManager::~QKTapManager() {
  NotificationCenter::defaultCenter().removeObserver(this);
  Lock lock(link_->mutex);
  detachAll();
  link_->manager = nullptr;
}

void QKTapManager::announce(QKTapClient* client) {
  NotificationCenter::defaultCenter().post(kNewTapNotification, static_cast<void*>(client));
  if (!client->tapManager())
    failedCheck(QStringLiteral("no tap manager adopted a tap; it will not be served"));
}

bool QKTapManager::isValidTapName(const QString& name) {
  return !name.isEmpty() && name != kEmptyDeselectedString;
}

void QKTapManager::newTapNotification(const Notification& notification) {
  auto* client = static_cast<QKTapClient*>(notification.object);
  if (!client) return;
  // With several managers alive (several compositors, as in tests) each
  // takes the post and the last one keeps the client: the one that took it
  // before lets it go, so that no table keeps a tap it no longer serves.
  if (QKTapManager* previous = client->tapManager(); previous && previous != this) {
    if (auto* source = dynamic_cast<QKSTap*>(client))
      previous->removeThisSTap(source);
    else if (auto* receiver = dynamic_cast<QKRTap*>(client))
      previous->removeThisRTap(receiver);
  }
  client->setTapManager(this);
  if (auto* source = dynamic_cast<QKSTap*>(client)) adoptSource(source);
}

void QKTapManager::adoptSource(QKSTap* source) {
  const QString name = source->tapName();
  if (!isValidTapName(name)) {
    Log::line(QStringLiteral("\t\terr: a tap source named \"%1\" is not listed (%2)")
                  .arg(name, source->description()));
    return;
  }
  {
    Lock lock(link_->mutex);
    if (sTapDict_.value(name) == source) return;
    displace(name);
    sTapDict_.insert(name, source);
    serve(name);
  }
  reloadTapsPostDict({{kReasonKey, kCreateTapReason}, {kCreatedTapNameKey, name}});
}

// The newest source of a name wins it; the one filed before is detached.
void QKTapManager::displace(const QString& name) {
  QKSTap* previous = sTapDict_.value(name);
  if (!previous) return;
  Log::line(QStringLiteral("\t\terr: a second tap source named %1 replaces %2, which is detached")
                .arg(name, previous->description()));
  dropStub(name);
  sTapDict_.remove(name);
}

void QKTapManager::thisRTap(QKRTap* receiver, const QString& wantsToReceiveFrom) {
  Lock lock(link_->mutex);
  unbind(receiver);
  receiver->lastSelectedTapName_ = wantsToReceiveFrom;
  if (!isValidTapName(wantsToReceiveFrom)) return;  // bound to nothing: not filed
  std::vector<QKRTap*>& list = rTapDict_[wantsToReceiveFrom];
  if (std::find(list.begin(), list.end(), receiver) == list.end()) list.push_back(receiver);
  serve(wantsToReceiveFrom);
}

void QKTapManager::removeThisRTap(QKRTap* receiver) {
  Lock lock(link_->mutex);
  unbind(receiver);
  receiver->delegate_ = nullptr;
}

// Takes the receiver out of the list of its name; a name left without
// receivers loses its list and its stub.
void QKTapManager::unbind(QKRTap* receiver) {
  receiver->stub_.reset();
  const QString name = receiver->lastSelectedTapName_;
  auto found = rTapDict_.find(name);
  if (found == rTapDict_.end()) return;
  std::erase(*found, receiver);
  if (found->empty()) rTapDict_.erase(found);
  serve(name);
}

void QKTapManager::removeThisSTap(QKSTap* source) {
  QString name;
  {
    Lock lock(link_->mutex);
    name = source->tapName_;
    source->stub_.reset();
    if (!isValidTapName(name) || sTapDict_.value(name) != source) return;
    dropStub(name);
    sTapDict_.remove(name);
  }
  reloadTapsPostDict({{kReasonKey, kDeleteTapReason}, {kDeletedTapNameKey, name}});
}

void QKTapManager::sTapNameChange(QKSTap* source, const QString& newName) {
  if (!isValidTapName(newName)) {
    Log::line(QStringLiteral("\t\terr: %1 can't be renamed to \"%2\"")
                  .arg(source->description(), newName));
    return;
  }
  QString oldName;
  {
    Lock lock(link_->mutex);
    oldName = source->tapName_;
    const bool filed = isValidTapName(oldName) && sTapDict_.value(oldName) == source;
    if (!filed) {
      source->tapName_ = newName;
      return;
    }
    if (oldName != newName) moveFiledSource(source, oldName, newName);
  }
  reloadTapsPostDict(
      {{kReasonKey, kChangeNameReason}, {kOldNameKey, oldName}, {kNewNameKey, newName}});
}

// The source takes its stub and receivers along; a source filed under the
// new name is displaced, and receivers waiting for the new name join.
void QKTapManager::moveFiledSource(QKSTap* source, const QString& from, const QString& to) {
  sTapDict_.remove(from);
  const StubPtr stub = rTapStubDict_.take(from);
  const std::vector<QKRTap*> moved = rTapDict_.take(from);
  displace(to);
  source->tapName_ = to;
  sTapDict_.insert(to, source);
  if (stub) rTapStubDict_.insert(to, stub);
  std::vector<QKRTap*>& list = rTapDict_[to];
  for (QKRTap* receiver : moved) {
    receiver->lastSelectedTapName_ = to;
    if (std::find(list.begin(), list.end(), receiver) == list.end()) list.push_back(receiver);
  }
  if (list.empty()) rTapDict_.remove(to);
  serve(to);
}

// Detaches the name's stub: no source, and nobody points to it.
void QKTapManager::dropStub(const QString& name) {
  if (const StubPtr stub = rTapStubDict_.take(name)) {
    stub->sTap_ = nullptr;
    passStubsStale_ = true;
  }
  if (QKSTap* source = sTapDict_.value(name)) source->stub_.reset();
  for (QKRTap* receiver : rTapDict_.value(name)) receiver->stub_.reset();
}

// Restores the invariant for one name: a stub exactly while the name has a
// source and receivers, shared by all of them.
void QKTapManager::serve(const QString& name) {
  QKSTap* source = sTapDict_.value(name);
  const auto receivers = rTapDict_.constFind(name);
  if (!source || receivers == rTapDict_.cend() || receivers->empty()) {
    dropStub(name);
    return;
  }
  StubPtr& stub = rTapStubDict_[name];
  if (stub && stub->sTap_ != source) stub->sTap_ = nullptr;
  if (!stub || !stub->sTap_) {
    stub = QKRTapStub::create(link_, source);
    passStubsStale_ = true;
  }
  source->stub_ = stub;
  for (QKRTap* receiver : *receivers) receiver->stub_ = stub;
}

void QKTapManager::reloadTapsPostDict(const QVariantMap& userInfo) {
  {
    Lock lock(link_->mutex);
    rebuildMenus();
  }
  NotificationCenter::defaultCenter().post(kReloadSTapListNotification, this, userInfo);
}

void QKTapManager::rebuildMenus() {
  Menu all{QKTapMenuItem{}};
  Menu layers{QKTapMenuItem{}};
  Menu inputs{QKTapMenuItem{}};
  for (const QString& name : sortedNames()) {
    const LayerInterface* layer = sTapDict_.value(name)->layer();
    const QKTapMenuItem item{name, layer ? layer->depth() : 0, layer != nullptr};
    all.push_back(item);
    (layer ? layers : inputs).push_back(item);
  }
  sortedSTapMenu_ = std::move(all);
  sortedLayerSTapMenu_ = std::move(layers);
  sortedInputSTapMenu_ = std::move(inputs);
}

QStringList QKTapManager::sortedNames() const {
  QStringList names = sTapDict_.keys();
  std::sort(names.begin(), names.end());
  std::stable_sort(names.begin(), names.end(), [this](const QString& a, const QString& b) {
    return sTapDict_.value(a)->orderedIndexRelativeTo(*sTapDict_.value(b)) < 0;
  });
  return names;
}

void QKTapManager::detachAll() {
  for (QKSTap* source : std::as_const(sTapDict_)) source->stub_.reset();
  for (const auto& list : std::as_const(rTapDict_))
    for (QKRTap* receiver : list) receiver->stub_.reset();
  for (const StubPtr& stub : std::as_const(rTapStubDict_)) stub->sTap_ = nullptr;
  sTapDict_.clear();
  rTapDict_.clear();
  rTapStubDict_.clear();
  passStubs_.clear();
}

QKSTap* QKTapManager::sTapNamed(const QString& name) const {
  if (!isValidTapName(name)) return nullptr;
  Lock lock(link_->mutex);
  return sTapDict_.value(name);
}

LayerInterface* QKTapManager::layerForSTapNamed(const QString& name) const {
  Lock lock(link_->mutex);
  const QKSTap* source = sTapNamed(name);
  return source ? source->layer() : nullptr;
}

std::vector<QKRTap*> QKTapManager::rTapsForName(const QString& name) const {
  if (!isValidTapName(name)) return {};
  Lock lock(link_->mutex);
  return rTapDict_.value(name);
}

QStringList QKTapManager::sTapKeyArray() const {
  Lock lock(link_->mutex);
  return sTapDict_.keys();
}

QStringList QKTapManager::sTapKeyArraySortedByIndex() const {
  Lock lock(link_->mutex);
  return sortedNames();
}

QHash<QString, QKTapManager::StubPtr> QKTapManager::rTapStubDict() const {
  Lock lock(link_->mutex);
  return rTapStubDict_;
}

// The list is made again only after the stubs changed; each stub's depth is
// asked once per pass: the order of layerDepthComparison, reversed (equal
// depths in no particular order).
const std::vector<QKTapManager::StubPtr>& QKTapManager::stubsDeepestFirst() {
  Lock lock(link_->mutex);
  if (passStubsStale_) {
    passStubs_.assign(rTapStubDict_.cbegin(), rTapStubDict_.cend());
    passStubsStale_ = false;
  }
  for (const StubPtr& stub : passStubs_) stub->sortDepth_ = stub->depth();
  std::sort(passStubs_.begin(), passStubs_.end(),
            [](const StubPtr& a, const StubPtr& b) { return a->sortDepth_ > b->sortDepth_; });
  return passStubs_;
}

QKTapManager::Menu QKTapManager::sortedSTapMenu() const {
  Lock lock(link_->mutex);
  return sortedSTapMenu_;
}

QKTapManager::Menu QKTapManager::sortedLayerSTapMenu() const {
  Lock lock(link_->mutex);
  return sortedLayerSTapMenu_;
}

QKTapManager::Menu QKTapManager::sortedInputSTapMenu() const {
  Lock lock(link_->mutex);
  return sortedInputSTapMenu_;
}

QFont QKTapManager::fontAttribs() { return QFont(QStringLiteral("Lucida Grande"), 9); }
