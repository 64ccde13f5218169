#include "framework/datasource/DataSource.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DeliveryEpoch.h"
#include "platform/foundation/Log.h"

#include <exception>

namespace {

// A node's set call may write the node itself; an immediate node then runs
// its step again from inside the set call. The set call is banged once per
// step, not again from within itself.
// Initial-exec: the library is loaded at start-up, so the tick reaches it
// without a call into the dynamic linker.
thread_local const DataSource* nodeBangingItsSetCall __attribute__((tls_model("initial-exec"))) =
    nullptr;

// Longer paths than this can only come from a cycle.
constexpr int kMaxDepth = 4096;

QString exceptionText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("unknown exception");
  }
}

// Runs `work`; an exception is logged with `message`: %1 the node and %2
// the exception when a node is given, else %1 the exception.
template <class Work>
void catchAndLog(const DataSource* node, const char* message, Work&& work) {
  try {
    work();
  } catch (...) {
    const QString text = exceptionText(std::current_exception());
    const QString format = QString::fromLatin1(message);
    Log::line(node ? format.arg(node->description(), text) : format.arg(text));
  }
}

}  // namespace

std::shared_ptr<DataSource> DataSource::createWithName(const QString& name, int32_t ofType,
                                                       std::weak_ptr<DataSourceTarget> setByTarget,
                                                       DataSourceCall::Action withAction) {
  if (name.isNull()) return nullptr;
  return withSetCall(std::shared_ptr<DataSource>(new DataSource(name, ofType)),
                     std::move(setByTarget), std::move(withAction));
}

DataSource::DataSource(const QString& name, int32_t type) : sourceType_(type) {
  sourceName_ = KeyPathAdditions::ownCopy(name);
}

DataSource::~DataSource() = default;

void DataSource::setSourceType(int32_t type) {
  sourceType_.store(type, std::memory_order_release);
  const auto calls = fetchCalls();
  if (!calls) return;
  catchAndLog(nullptr, "\t\tcaught exception while making fetch calls perform type change: %1",
              [&] {
                for (const auto& call : *calls) call->dataSourceTypeChanged(this);
              });
}

QString DataSource::sourceName() const {
  std::lock_guard<std::mutex> lock(identityMutex_);
  return KeyPathAdditions::ownCopy(sourceName_);
}

void DataSource::setSourceName(const QString& name) {
  if (name.isNull()) return;
  QString copy = KeyPathAdditions::ownCopy(name);
  std::lock_guard<std::mutex> lock(identityMutex_);
  std::swap(sourceName_, copy);
}

std::shared_ptr<DataSourceHolder> DataSource::parentSource() const {
  std::lock_guard<std::mutex> lock(identityMutex_);
  return parentSource_.lock();
}

std::shared_ptr<DataSourceCall> DataSource::setCall() const {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return setCall_;
}

void DataSource::setSetCall(std::shared_ptr<DataSourceCall> call) {
  if (call) call->setDataSource(this);
  std::shared_ptr<DataSourceCall> old;
  {
    std::lock_guard<std::mutex> lock(writeMutex_);
    old = std::exchange(setCall_, std::move(call));
    publishedSetCall_.store(setCall_.get());
    hasSetCall_.store(setCall_ != nullptr, std::memory_order_release);
  }
  DeliveryEpoch::retire(std::move(old));
}

KeyPath DataSource::pathArray() const {
  KeyPath path;
  std::shared_ptr<const DataSource> keep;  // holds the ancestor being read
  const DataSource* node = this;
  for (int level = 0; node; ++level) {
    if (level == kMaxDepth) {
      Log::line("\t\terr: data-source path too deep (a cycle?)");
      break;
    }
    std::shared_ptr<DataSourceHolder> parent;
    {
      std::lock_guard<std::mutex> lock(node->identityMutex_);
      if (!node->sourceName_.isNull()) path.prepend(KeyPathAdditions::ownCopy(node->sourceName_));
      parent = node->parentSource_.lock();
    }
    keep = parent;
    node = parent.get();
  }
  return path;
}

std::shared_ptr<const DataSource::CallList> DataSource::fetchCalls() const {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return fetchCalls_;
}

std::shared_ptr<const DataSource::CallList> DataSource::publishCallsLocked(
    std::shared_ptr<const CallList> calls) {
  std::shared_ptr<const CallList> old = std::exchange(fetchCalls_, std::move(calls));
  publishedCalls_.store(fetchCalls_.get());
  return old;
}

std::size_t DataSource::fetchCallCount() const {
  const auto calls = fetchCalls();
  return calls ? calls->size() : 0;
}

bool DataSource::addThisFetchCall(std::shared_ptr<DataSourceCall> call) {
  if (!call || isDeleted()) return false;
  std::shared_ptr<const CallList> old;
  {
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (isDeleted()) return false;
    auto next = std::make_shared<CallList>();
    if (fetchCalls_) {
      for (const auto& existing : *fetchCalls_) {
        if (existing == call) return true;
        if (existing->isLive()) next->push_back(existing);  // drops calls of vanished targets
      }
    }
    call->setDataSource(this);
    next->push_back(std::move(call));
    old = publishCallsLocked(std::move(next));
  }
  DeliveryEpoch::retire(std::move(old));
  return true;
}

bool DataSource::removeFetchCallForObject(const DataSourceTarget* target) {
  if (!target || isDeleted()) return false;
  std::shared_ptr<const CallList> old;
  {
    std::lock_guard<std::mutex> lock(writeMutex_);
    old = removeFetchCallLocked(target);
  }
  if (!old) return false;
  DeliveryEpoch::retire(std::move(old));
  return true;
}

std::shared_ptr<const DataSource::CallList> DataSource::removeFetchCallLocked(
    const DataSourceTarget* target) {
  if (!fetchCalls_) return nullptr;
  // A living target's own call first; a call whose target matches by address
  // but has gone (a target unsubscribing from its destructor) otherwise.
  const DataSourceCall* removed = nullptr;
  for (const auto& call : *fetchCalls_)
    if (call->target() == target && call->isLive()) {
      removed = call.get();
      break;
    }
  if (!removed) {
    for (const auto& call : *fetchCalls_)
      if (call->target() == target) {
        removed = call.get();
        break;
      }
  }
  if (!removed) return nullptr;
  auto next = std::make_shared<CallList>();
  for (const auto& call : *fetchCalls_) {
    if (call.get() == removed)
      call->cancel();
    else if (call->isLive())
      next->push_back(call);
  }
  return publishCallsLocked(next->empty() ? nullptr : std::move(next));
}

void DataSource::DSCProc() {
  if (isDeleted()) return;
  if (hasSetCall_.load(std::memory_order_acquire)) bangSetCall();
  pushIfNeeded();
}

void DataSource::bangSetCall() {
  if (nodeBangingItsSetCall == this) return;
  const DeliveryEpoch::Reader reader;
  DataSourceCall* const call = publishedSetCall_.load();
  if (!call) return;
  const DataSource* outer = std::exchange(nodeBangingItsSetCall, this);
  catchAndLog(this, "\t\tcaught error while banging the set call of data source %1: %2",
              [&] { call->bang(); });
  nodeBangingItsSetCall = outer;
}

void DataSource::pushIfNeeded() {
  // Cleared before the delivery: a value set while the subscribers run is
  // delivered by the next step, not lost.
  if (!needsToBePushed_.load(std::memory_order_relaxed) ||
      !needsToBePushed_.exchange(false, std::memory_order_acq_rel))
    return;
  // Without subscribers there is nothing to read (the pointer is only
  // compared here, never followed).
  if (!publishedCalls_.load(std::memory_order_relaxed)) return;
  const DeliveryEpoch::Reader reader;
  const CallList* const calls = publishedCalls_.load();
  if (!calls) return;
  catchAndLog(this, "\t\tcaught error while banging fetch calls of data source %1: %2", [&] {
    for (const auto& call : *calls) call->bang();
  });
}

void DataSource::prepareToBeDeleted() {
  {
    std::lock_guard<std::mutex> lock(identityMutex_);
    if (sourceType_.exchange(DSType::Deleted, std::memory_order_acq_rel) == DSType::Deleted) return;
  }
  std::shared_ptr<const CallList> calls;
  std::shared_ptr<DataSourceCall> setCall;
  {
    std::lock_guard<std::mutex> lock(writeMutex_);
    calls = publishCallsLocked(nullptr);
    setCall = std::exchange(setCall_, nullptr);
    publishedSetCall_.store(nullptr);
    hasSetCall_.store(false, std::memory_order_release);
  }
  if (setCall) setCall->cancel();
  DeliveryEpoch::retire(std::move(setCall));
  if (!calls) return;
  // A push that read the list before it was emptied delivers nothing more.
  for (const auto& call : *calls) call->cancel();
  catchAndLog(this, "\t\tcaught error while data source %1 was prepping for deletion: %2", [&] {
    for (const auto& call : *calls) call->dataSourcePrepareToBeDeleted();
  });
  DeliveryEpoch::retire(std::move(calls));
}

void DataSource::setParentSource(const std::shared_ptr<DataSourceHolder>& parent,
                                 DataSourceController* fromDSC) {
  {
    std::lock_guard<std::mutex> lock(identityMutex_);
    parentSource_ = parent;
  }
  announcePlacement(fromDSC);
}

void DataSource::announcePlacement(DataSourceController* dsc) {
  if (sourceName().isNull() || isDeleted()) return;
  if (const auto calls = fetchCalls()) {
    catchAndLog(nullptr, "\t\tcaught exception while making fetch calls perform name change: %1",
                [&] {
                  for (const auto& call : *calls) call->dataSourceNameChanged(this);
                });
  }
  const KeyPath path = pathArray();
  depth_.store(static_cast<int32_t>(path.size()), std::memory_order_relaxed);
  if (dsc) dsc->checkForBrokenSlidersAtKeyArray(path);
}

bool DataSource::visibleInContextualMenu() const {
  const auto parent = parentSource();
  return parent ? parent->visibleInContextualMenu() : true;
}

QString DataSource::descriptionPrefix() const { return QStringLiteral("DS"); }

QString DataSource::description() const {
  return QStringLiteral("<%1: %2>").arg(descriptionPrefix(), sourceName());
}

void DataSource::addTabsToMutString(QString& string) const {
  for (auto parent = parentSource(); parent; parent = parent->parentSource())
    string.append(QLatin1Char('\t'));
}

void DataSource::addObjectAtKey(const QString& key, QString& toDescriptionString) const {
  (void)key;
  addTabsToMutString(toDescriptionString);
  toDescriptionString.append(description());
  toDescriptionString.append(QLatin1Char('\n'));
}

int32_t DataSource::DSCTime() { return DataSourceController::DSCTime(); }
