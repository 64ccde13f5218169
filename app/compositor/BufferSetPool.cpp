#include "app/compositor/BufferSetPool.h"

#include "framework/render/DeferredReleaseArrays.h"

BufferSetPool::~BufferSetPool() {
  for (auto& [key, entry] : entries_)
    DeferredReleaseArrays::shared().addBuffer(std::const_pointer_cast<BufferSet>(entry.set));
}

QVariantMap BufferSetPool::BufferSet::dictionary(long users) const {
  QVariantMap dict{{QKBufferHolder::kRetainKey, qlonglong(users)}};
  if (a) dict.insert(QKBufferHolder::kBufferAKey, QVariant::fromValue(a));
  if (b) dict.insert(QKBufferHolder::kBufferBKey, QVariant::fromValue(b));
  if (c) dict.insert(QKBufferHolder::kBufferCKey, QVariant::fromValue(c));
  return dict;
}

void BufferSetPool::layerSizeChanged(QSizeF from, QSizeF to) {
  if (from == to) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (hasArea(from)) dropUser(from);
  if (hasArea(to)) addUser(to);
}

void BufferSetPool::dropUser(QSizeF size) {
  auto it = entries_.find(keyOf(size));
  if (it == entries_.end()) return;
  if (--it->second.users > 0) return;
  DeferredReleaseArrays::shared().addBuffer(std::const_pointer_cast<BufferSet>(it->second.set));
  entries_.erase(it);
}

void BufferSetPool::addUser(QSizeF size) {
  Entry& entry = entries_[keyOf(size)];
  if (entry.users++ > 0) return;
  auto set = std::make_shared<BufferSet>();
  set->a = QKBufferHolder::create(size);
  set->b = QKBufferHolder::create(size);
  set->c = QKBufferHolder::create(size);
  entry.set = std::move(set);
}

BufferSetPool::SetPtr BufferSetPool::setFor(QSizeF size) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(keyOf(size));
  return it == entries_.end() ? nullptr : it->second.set;
}

QVariantMap BufferSetPool::dictionaryFor(QSizeF size) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(keyOf(size));
  return it == entries_.end() ? QVariantMap() : it->second.set->dictionary(it->second.users);
}

long BufferSetPool::usersOf(QSizeF size) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(keyOf(size));
  return it == entries_.end() ? 0 : it->second.users;
}

std::size_t BufferSetPool::entryCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}
