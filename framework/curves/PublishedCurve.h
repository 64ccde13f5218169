#pragma once

#include "framework/curves/CurveMath.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// The copy of a curve that other threads evaluate, without a lock and
// without allocating: a sequence lock over atomics. The curve publishes its
// segments and offsets after every edit (under its own lock, so publishers
// never overlap); a reader evaluates and starts again if a publication ran
// meanwhile, so it sees the curve either before or after each edit.
//
// Segment storage only grows (doubling) and every buffer lives as long as
// the object, so a reader that meets a replaced buffer still reads memory
// that exists; its result is then thrown away.
class PublishedCurve {
 public:
  struct Result {
    float x = 0;      // where on the segment the evaluation landed
    float value = 0;  // the output, clamped to 0..1
  };

  PublishedCurve();
  ~PublishedCurve();
  PublishedCurve(const PublishedCurve&) = delete;
  PublishedCurve& operator=(const PublishedCurve&) = delete;

  // Only one thread at a time (the curve's lock).
  void publish(const std::vector<CurveMath::Segment>& segments, float hOffset, float vOffset,
               float amplitude);

  // Any thread. Inline: evaluation runs per sample on the tick and audio
  // paths.
  inline Result evaluate(float phase) const;

 private:
  struct Slot {
    std::atomic<float> x0{0}, y0{0}, qx{0}, qy{0}, x2{0}, y2{0};
    std::atomic<bool> bent{false};
  };
  // The capacity followed by the slots, in one block: a reader follows one
  // pointer to the segments.
  struct Buffer {
    int capacity;
    Slot* slots() { return reinterpret_cast<Slot*>(this + 1); }
    const Slot* slots() const { return reinterpret_cast<const Slot*>(this + 1); }
    static Buffer* make(int capacity);
    struct Free {
      void operator()(Buffer* buffer) const;
    };
  };
  static_assert(alignof(Slot) <= alignof(Buffer) && sizeof(Buffer) % alignof(Slot) == 0);

  static CurveMath::Segment read(const Slot& slot);
  Result evaluateOnce(float phase) const;
  // A publication ran meanwhile: again until a pass sees none (out of line,
  // to keep the usual path short).
  Result evaluateWhilePublishing(float phase) const;

  mutable std::atomic<std::uint32_t> sequence_{0};
  std::atomic<Buffer*> buffer_{nullptr};
  std::atomic<int> count_{0};
  std::atomic<float> hOffset_{0}, vOffset_{0}, amplitude_{1};
  // Publisher's side: every buffer made, freed with the object.
  std::vector<std::unique_ptr<Buffer, Buffer::Free>> buffers_;
};

inline CurveMath::Segment PublishedCurve::read(const Slot& slot) {
  return {slot.x0.load(std::memory_order_relaxed),  slot.y0.load(std::memory_order_relaxed),
          slot.qx.load(std::memory_order_relaxed),  slot.qy.load(std::memory_order_relaxed),
          slot.x2.load(std::memory_order_relaxed),  slot.y2.load(std::memory_order_relaxed),
          slot.bent.load(std::memory_order_relaxed)};
}

[[gnu::always_inline]] inline PublishedCurve::Result PublishedCurve::evaluateOnce(
    float phase) const {
  const Buffer* buffer = buffer_.load(std::memory_order_relaxed);
  const int count = std::min(count_.load(std::memory_order_relaxed), buffer->capacity);
  const float u =
      CurveMath::wrappedPhase(double(phase) - double(hOffset_.load(std::memory_order_relaxed)));
  CurveMath::Sample sample;
  for (int i = 0; i < count; ++i) {
    const Slot& slot = buffer->slots()[i];
    if (slot.x0.load(std::memory_order_relaxed) <= u &&
        u <= slot.x2.load(std::memory_order_relaxed)) {
      sample = CurveMath::rawValue(read(slot), u);
      break;
    }
  }
  return {sample.x, CurveMath::output(sample.y, vOffset_.load(std::memory_order_relaxed),
                                      amplitude_.load(std::memory_order_relaxed))};
}

[[gnu::always_inline]] inline PublishedCurve::Result PublishedCurve::evaluate(float phase) const {
  const std::uint32_t before = sequence_.load(std::memory_order_acquire);
  if (__builtin_expect((before & 1u) == 0, 1)) {
    const Result result = evaluateOnce(phase);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (__builtin_expect(sequence_.load(std::memory_order_relaxed) == before, 1)) return result;
  }
  return evaluateWhilePublishing(phase);
}
