#pragma once

#include "framework/media/QKWarpMarker.h"
#include "platform/movie/MovieTimeMap.h"

#include <memory>
#include <vector>

// The warp markers of a movie file, kept sorted by original time, and the
// warp they describe. With D the movie's original duration, the start
// (time 0, beat 0.0) and the end (time D, beat 1.0) complete the markers; a
// rebuilt warp plays each marker at D x its beat position and each stretch
// between neighbours in D x the difference of their beat positions. Every
// time is taken in the scale of D. Main-thread object.
class WarpMarkerList {
 public:
  using Marker = std::shared_ptr<QKWarpMarker>;

  const std::vector<Marker>& markers() const { return markers_; }
  bool empty() const { return markers_.empty(); }
  void clear() { markers_.clear(); }
  // Restored markers, put in the order of their original times.
  void setMarkers(std::vector<Marker> markers);

  // A marker at an original (or a warped) time, placed on the current warp
  // line; null when a marker already holds the time, the time lies outside
  // the movie, or the stretch it falls in has no length.
  Marker addAtTime(const QKTime& time, const QKTime& duration);
  Marker addAtWarpedTime(const QKTime& time, const QKTime& duration);
  bool remove(const Marker& marker);
  // Of several markers at the time, the last.
  Marker lastWithOriginalTime(const QKTime& time, const QKTime& duration) const;
  int indexOf(const Marker& marker) const;

  // Sets every marker's warp time from its beat position and answers the
  // warp; `warped` tells whether a stretch that begins at a marker changed
  // length.
  MovieTimeMap rebuild(const QKTime& duration, bool* warped);
  // Every marker back on its original time, beat positions from it.
  void unwarp(const QKTime& duration);
  // After `marker`'s beat position changed: its stretches in `current` are
  // played at their new lengths and its warp time moves.
  MovieTimeMap moved(const Marker& marker, const QKTime& duration, const MovieTimeMap& current);

 private:
  struct Point {
    int64_t original;
    int64_t warped;
    float beat;
  };
  enum class Axis { Original, Warped };
  Marker add(const QKTime& time, const QKTime& duration, Axis axis);

  std::vector<Marker> markers_;
};
