#include "framework/media/WarpMarkerList.h"

#include "platform/foundation/Log.h"
#include "platform/movie/QKTimeMath.h"

#include <algorithm>

namespace {
int64_t valueIn(const QKTime& time, const QKTime& duration) {
  if (time.scale == duration.scale || time.scale == 0 || duration.scale == 0) return time.value;
  return QKTimeMath::valueIn(time, duration.scale);
}

QKTime timeIn(int64_t value, const QKTime& duration) { return QKTime{value, duration.scale, 0}; }

// a + (b - a) x (x - x0) / (x1 - x0): the product first, truncating.
int64_t along(int64_t a, int64_t b, int64_t x, int64_t x0, int64_t x1) {
  return int64_t(a + (__int128(b) - a) * (__int128(x) - x0) / (__int128(x1) - x0));
}

// D x fraction in single precision, truncated.
int64_t share(const QKTime& duration, float fraction) {
  return int64_t(float(duration.value) * fraction);
}
}  // namespace

void WarpMarkerList::setMarkers(std::vector<Marker> markers) {
  std::erase(markers, nullptr);
  std::stable_sort(markers.begin(), markers.end(), [](const Marker& a, const Marker& b) {
    return a->originalTime().value < b->originalTime().value;
  });
  markers_ = std::move(markers);
}

WarpMarkerList::Marker WarpMarkerList::addAtTime(const QKTime& time, const QKTime& duration) {
  return add(time, duration, Axis::Original);
}

WarpMarkerList::Marker WarpMarkerList::addAtWarpedTime(const QKTime& time, const QKTime& duration) {
  return add(time, duration, Axis::Warped);
}

WarpMarkerList::Marker WarpMarkerList::add(const QKTime& time, const QKTime& duration, Axis axis) {
  const int64_t t = valueIn(time, duration);
  const int64_t d = duration.value;
  if (t < 0 || t > d) {
    Log::line(QStringLiteral("\t\terr: warp marker time %1 lies outside the movie (0..%2)")
                  .arg(t)
                  .arg(d));
    return nullptr;
  }
  const auto key = [axis](const Point& p) {
    return axis == Axis::Original ? p.original : p.warped;
  };
  Point prev{0, 0, 0.0f};
  Point cur{d, d, 1.0f};
  std::size_t index = 0;
  bool found = false;
  bool taken = false;
  for (const Marker& marker : markers_) {
    const Point here{marker->originalTime().value, marker->warpTime().value,
                     marker->beatPosition()};
    if (key(prev) < t && t < key(here)) {
      cur = here;
      found = true;
      break;
    }
    if (t != key(prev) && t != key(here)) {
      prev = here;
      ++index;
    } else {
      taken = true;
    }
  }
  if (!found) cur = Point{d, d, 1.0f};
  if (taken) return nullptr;
  if (key(cur) <= key(prev) || t < key(prev) || t > key(cur)) {
    // A stretch of no length (a movie of no length, markers out of order on
    // this axis) has no place for it.
    Log::line(QStringLiteral("\t\terr: no warp stretch holds time %1").arg(t));
    return nullptr;
  }
  auto marker = std::make_shared<QKWarpMarker>();
  marker->setBeatPosition(prev.beat + (cur.beat - prev.beat) * float(t - key(prev)) /
                                          float(key(cur) - key(prev)));
  if (axis == Axis::Original) {
    marker->setOriginalTime(timeIn(t, duration));
    marker->setWarpTime(
        timeIn(along(prev.warped, cur.warped, t, prev.original, cur.original), duration));
  } else {
    marker->setWarpTime(timeIn(t, duration));
    marker->setOriginalTime(
        timeIn(along(prev.original, cur.original, t, prev.warped, cur.warped), duration));
  }
  markers_.insert(markers_.begin() + std::ptrdiff_t(index), marker);
  return marker;
}

bool WarpMarkerList::remove(const Marker& marker) {
  auto it = std::find(markers_.begin(), markers_.end(), marker);
  if (it == markers_.end()) return false;
  markers_.erase(it);
  return true;
}

WarpMarkerList::Marker WarpMarkerList::lastWithOriginalTime(const QKTime& time,
                                                            const QKTime& duration) const {
  const int64_t t = valueIn(time, duration);
  for (auto it = markers_.rbegin(); it != markers_.rend(); ++it)
    if ((*it)->originalTime().value == t) return *it;
  return nullptr;
}

int WarpMarkerList::indexOf(const Marker& marker) const {
  auto it = std::find(markers_.begin(), markers_.end(), marker);
  return it == markers_.end() ? -1 : int(it - markers_.begin());
}

MovieTimeMap WarpMarkerList::rebuild(const QKTime& duration, bool* warped) {
  const int64_t d = duration.value;
  MovieTimeMap map = MovieTimeMap::identity(d);
  bool changed = false;
  int64_t nextOriginal = d;
  float nextBeat = 1.0f;
  // From the last stretch to the first: the stretches still to come lie
  // where they were made, so each is found at its original time.
  for (auto it = markers_.rbegin(); it != markers_.rend(); ++it) {
    QKWarpMarker& marker = **it;
    const int64_t original = std::clamp<int64_t>(marker.originalTime().value, 0, d);
    marker.setWarpTime(timeIn(share(duration, marker.beatPosition()), duration));
    const int64_t length = std::max<int64_t>(nextOriginal - original, 0);
    const int64_t newLength = share(duration, nextBeat - marker.beatPosition());
    map = map.scaled(original, length, newLength);
    if (newLength != length) changed = true;
    nextOriginal = original;
    nextBeat = marker.beatPosition();
  }
  if (!markers_.empty()) map = map.scaled(0, nextOriginal, share(duration, nextBeat));
  if (warped) *warped = changed;
  return map;
}

void WarpMarkerList::unwarp(const QKTime& duration) {
  for (auto it = markers_.rbegin(); it != markers_.rend(); ++it) {
    QKWarpMarker& marker = **it;
    marker.setWarpTime(marker.originalTime());
    marker.setBeatPosition(
        duration.value != 0 ? float(marker.originalTime().value) / float(duration.value) : 0.0f);
  }
}

MovieTimeMap WarpMarkerList::moved(const Marker& marker, const QKTime& duration,
                                   const MovieTimeMap& current) {
  const int index = indexOf(marker);
  if (index < 0) return current;
  const int64_t d = duration.value;
  const Point prev = index > 0 ? Point{0, markers_[index - 1]->warpTime().value,
                                       markers_[index - 1]->beatPosition()}
                               : Point{0, 0, 0.0f};
  const Point next =
      index + 1 < int(markers_.size())
          ? Point{0, markers_[index + 1]->warpTime().value, markers_[index + 1]->beatPosition()}
          : Point{0, d, 1.0f};
  const int64_t oldWarp = marker->warpTime().value;
  const int64_t before = share(duration, marker->beatPosition() - prev.beat);
  MovieTimeMap map = current.scaled(prev.warped, oldWarp - prev.warped, before);
  const int64_t newWarp = prev.warped + std::max<int64_t>(before, 0);
  marker->setWarpTime(timeIn(newWarp, duration));
  return map.scaled(newWarp, next.warped - oldWarp,
                    share(duration, next.beat - marker->beatPosition()));
}
