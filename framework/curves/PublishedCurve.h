#pragma once

#include "framework/curves/CurveMath.h"
#include "framework/curves/CurveReaders.h"

#include <atomic>
#include <vector>

// The copy of a curve that other threads evaluate, without a lock, a retry
// or an allocation: an immutable copy of the segments and offsets, replaced
// whole by each publication (read-copy-update). A reader loads the pointer
// once and reads plain numbers; a replaced copy is freed by a later
// publication (or the destructor) once every reader that was inside when it
// was replaced has left (CurveReaders).
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

  // Any thread, but not while the object is being destroyed. Inline:
  // evaluation runs per sample on the tick and audio paths.
  inline Result evaluate(float phase) const;

 private:
  // The header followed by the segments, in one block.
  struct Copy {
    float hOffset, vOffset, amplitude;
    int count;
    const CurveMath::Segment* segments() const {
      return reinterpret_cast<const CurveMath::Segment*>(this + 1);
    }
    static Copy* make(const std::vector<CurveMath::Segment>& segments, float hOffset, float vOffset,
                      float amplitude);
    static void free(const Copy* copy);
  };
  static_assert(alignof(CurveMath::Segment) <= alignof(Copy) &&
                sizeof(Copy) % alignof(CurveMath::Segment) == 0);
  struct Retired {
    const Copy* copy;
    CurveReaders::Inside inside;
  };

  void reclaim();

  std::atomic<const Copy*> current_{nullptr};
  // Publisher's side: replaced copies not freed yet.
  std::vector<Retired> retired_;
};

[[gnu::always_inline]] inline PublishedCurve::Result PublishedCurve::evaluate(float phase) const {
  CurveReaders::Slot& slot = CurveReaders::mine();
  const std::uint32_t state = CurveReaders::enter(slot);
  const Copy* copy = current_.load(std::memory_order_acquire);
  const float u = CurveMath::wrappedPhase(double(phase) - double(copy->hOffset));
  CurveMath::Sample sample;
  const CurveMath::Segment* segments = copy->segments();
  for (int i = 0; i < copy->count; ++i) {
    if (CurveMath::contains(segments[i], u)) {
      sample = CurveMath::rawValue(segments[i], u);
      break;
    }
  }
  const Result result{sample.x, CurveMath::output(sample.y, copy->vOffset, copy->amplitude)};
  CurveReaders::leave(slot, state);
  return result;
}
