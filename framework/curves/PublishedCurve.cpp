#include "framework/curves/PublishedCurve.h"

#include <new>
#include <thread>

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}  // namespace

PublishedCurve::Buffer* PublishedCurve::Buffer::make(int capacity) {
  void* block = ::operator new(sizeof(Buffer) + sizeof(Slot) * capacity);
  Buffer* buffer = new (block) Buffer{capacity};
  for (int i = 0; i < capacity; ++i) new (buffer->slots() + i) Slot;
  return buffer;
}

void PublishedCurve::Buffer::Free::operator()(Buffer* buffer) const {
  // Slots and the header are trivially destroyed atomics and an int.
  ::operator delete(static_cast<void*>(buffer));
}

PublishedCurve::PublishedCurve() {
  buffers_.emplace_back(Buffer::make(8));
  buffer_.store(buffers_.back().get());
}

PublishedCurve::~PublishedCurve() = default;

void PublishedCurve::publish(const std::vector<CurveMath::Segment>& segments, float hOffset,
                             float vOffset, float amplitude) {
  Buffer* buffer = buffer_.load(kRelaxed);
  const int count = static_cast<int>(segments.size());
  if (count > buffer->capacity) {
    int capacity = buffer->capacity;
    while (capacity < count) capacity *= 2;
    buffers_.emplace_back(Buffer::make(capacity));
    buffer = buffers_.back().get();
  }
  const std::uint32_t sequence = sequence_.load(kRelaxed);
  sequence_.store(sequence + 1, kRelaxed);
  std::atomic_thread_fence(std::memory_order_release);
  for (int i = 0; i < count; ++i) {
    const CurveMath::Segment& s = segments[i];
    Slot& slot = buffer->slots()[i];
    slot.x0.store(s.x0, kRelaxed);
    slot.y0.store(s.y0, kRelaxed);
    slot.qx.store(s.qx, kRelaxed);
    slot.qy.store(s.qy, kRelaxed);
    slot.x2.store(s.x2, kRelaxed);
    slot.y2.store(s.y2, kRelaxed);
    slot.bent.store(s.bent, kRelaxed);
  }
  buffer_.store(buffer, kRelaxed);
  count_.store(count, kRelaxed);
  hOffset_.store(hOffset, kRelaxed);
  vOffset_.store(vOffset, kRelaxed);
  amplitude_.store(amplitude, kRelaxed);
  sequence_.store(sequence + 2, std::memory_order_release);
}

PublishedCurve::Result PublishedCurve::evaluateWhilePublishing(float phase) const {
  for (int attempt = 0;; ++attempt) {
    const std::uint32_t before = sequence_.load(std::memory_order_acquire);
    if (before & 1u) {
      // A publication is under way: a few dozen stores.
      if (attempt > 64) std::this_thread::yield();
      continue;
    }
    const Result result = evaluateOnce(phase);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (sequence_.load(kRelaxed) == before) return result;
  }
}
