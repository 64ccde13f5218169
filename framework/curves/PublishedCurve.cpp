#include "framework/curves/PublishedCurve.h"

#include <algorithm>
#include <new>

PublishedCurve::Copy* PublishedCurve::Copy::make(const std::vector<CurveMath::Segment>& segments,
                                                 float hOffset, float vOffset, float amplitude) {
  void* block = ::operator new(sizeof(Copy) + sizeof(CurveMath::Segment) * segments.size());
  Copy* copy = new (block) Copy{hOffset, vOffset, amplitude, static_cast<int>(segments.size())};
  auto* slots = reinterpret_cast<CurveMath::Segment*>(copy + 1);
  for (std::size_t i = 0; i < segments.size(); ++i) new (slots + i) CurveMath::Segment(segments[i]);
  return copy;
}

void PublishedCurve::Copy::free(const Copy* copy) {
  // The header and the segments are trivially destroyed.
  ::operator delete(const_cast<void*>(static_cast<const void*>(copy)));
}

PublishedCurve::PublishedCurve() { current_.store(Copy::make({}, 0, 0, 1)); }

PublishedCurve::~PublishedCurve() {
  for (const Retired& r : retired_) Copy::free(r.copy);
  Copy::free(current_.load());
}

void PublishedCurve::publish(const std::vector<CurveMath::Segment>& segments, float hOffset,
                             float vOffset, float amplitude) {
  const Copy* replaced = current_.exchange(Copy::make(segments, hOffset, vOffset, amplitude),
                                           std::memory_order_acq_rel);
  retired_.push_back({replaced, CurveReaders::insideNow()});
  reclaim();
}

void PublishedCurve::reclaim() {
  const auto freed = std::remove_if(retired_.begin(), retired_.end(), [](const Retired& r) {
    if (!CurveReaders::allLeft(r.inside)) return false;
    Copy::free(r.copy);
    return true;
  });
  retired_.erase(freed, retired_.end());
}
