#pragma once

#include "framework/render/QKBufferHolder.h"

#include <QSizeF>
#include <QVariantMap>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

// The compositor's render buffers shared by size: one entry per size in
// use, with the count of its users (the canvas and every sized layer) and
// three buffers of that size. Changed on the main thread while frames read
// it, so it has a mutex of its own; a frame takes the set it needs and keeps
// it for the frame. Buffers get their GL storage on the render thread when
// first drawn into; an entry that loses its last user goes to the
// deferred-release arrays, so a frame still holding it finishes with it.
class BufferSetPool {
 public:
  struct BufferSet {
    QKBufferHolderPtr a, b, c;
    // The dictionary form that MutableTextureObject is made from.
    QVariantMap dictionary(long users) const;
  };
  using SetPtr = std::shared_ptr<const BufferSet>;

  BufferSetPool() = default;
  ~BufferSetPool();
  BufferSetPool(const BufferSetPool&) = delete;
  BufferSetPool& operator=(const BufferSetPool&) = delete;

  // Moves one user from the old size to the new one; a size with a zero
  // side is no entry.
  void layerSizeChanged(QSizeF from, QSizeF to);

  SetPtr setFor(QSizeF size) const;
  // The dictionary of the size (empty when there is no entry).
  QVariantMap dictionaryFor(QSizeF size) const;
  long usersOf(QSizeF size) const;
  std::size_t entryCount() const;

 private:
  using Key = std::pair<double, double>;
  struct Entry {
    long users = 0;
    SetPtr set;
  };
  static Key keyOf(QSizeF size) { return {size.width(), size.height()}; }
  static bool hasArea(QSizeF size) { return size.width() > 0 && size.height() > 0; }
  void dropUser(QSizeF size);
  void addUser(QSizeF size);

  mutable std::mutex mutex_;
  std::map<Key, Entry> entries_;
};
