#include "framework/controls/SliderGeometry.h"

#include <cmath>

namespace {

// (w - 1) x fraction, truncated toward zero.
double alongTrack(const QRectF& track, float fraction) {
  return std::trunc((track.width() - 1.0) * static_cast<double>(fraction));
}

}  // namespace

QRectF SliderGeometry::track(const QRectF& bounds, bool toggleShown) {
  if (!toggleShown) return bounds;
  const double column = bounds.height() / 2.0;
  return {bounds.x() + column, bounds.y(), bounds.width() - column, bounds.height()};
}

QRectF SliderGeometry::sliderHead(const QRectF& track, float value) {
  return {track.x() + alongTrack(track, value) - 2.0, track.y(), 5.0, track.height()};
}

QRectF SliderGeometry::sliderBG(const QRectF& track, float value, float fillValue) {
  const double w = track.width();
  if (value == fillValue) return {};
  if (value > fillValue)
    return {track.x() + static_cast<double>(fillValue) * w, track.y(),
            w * static_cast<double>(value - fillValue), track.height()};
  const QRectF head = sliderHead(track, value);
  return {head.x() + 2.5, track.y(), w * static_cast<double>(fillValue - value), track.height()};
}

QRectF SliderGeometry::leftEnv(const QRectF& track, float minEnv) {
  return {track.x(), track.y(), alongTrack(track, minEnv), track.height()};
}

QRectF SliderGeometry::leftEnvHandle(const QRectF& track, const QRectF& leftEnv) {
  return {track.x() + leftEnv.width() - 6.0, track.y(), 12.0, 6.0};
}

QRectF SliderGeometry::rightEnv(const QRectF& track, float maxEnv) {
  return {track.x() + alongTrack(track, maxEnv), track.y(),
          (1.0 - static_cast<double>(maxEnv)) * (track.width() - 1.0), track.height()};
}

QRectF SliderGeometry::rightEnvHandle(const QRectF& rightEnv) {
  return {rightEnv.x() - 6.0, rightEnv.y(), 12.0, 6.0};
}

std::vector<QRectF> SliderGeometry::markHandles(const QRectF& track, const QList<float>& marks) {
  std::vector<QRectF> handles;
  handles.reserve(static_cast<size_t>(marks.size()));
  for (float mark : marks)
    handles.emplace_back(track.x() + (track.width() * static_cast<double>(mark) - 2.0),
                         track.y() + track.height() - 4.0, 4.0, 4.0);
  return handles;
}

double SliderGeometry::markLineX(const QRectF& track, float mark) {
  return track.x() + alongTrack(track, mark);
}

SliderGeometry::ToggleFrames SliderGeometry::toggleFrames(const QRectF& bounds, bool syncShown,
                                                          bool behavShown) {
  const double h = bounds.height();
  const double b = h / 2.0;
  const double x = bounds.x();
  const double y = bounds.y();
  if (syncShown && behavShown) return {{x, y + b, b, b}, {x, y, b, b}};
  const QRectF whole(x, y, b, h);
  return {syncShown ? whole : QRectF(), behavShown ? whole : QRectF()};
}

void SliderGeometry::layOut(SliderLayout& layout, bool syncShown, bool behavShown, float value,
                            float fillValue, float minEnv, float maxEnv,
                            const QList<float>& marks) {
  const QRectF bounds = layout.controlFrame;
  layout.clipToTrack = syncShown || behavShown;
  layout.track = track(bounds, layout.clipToTrack);
  const ToggleFrames toggles = toggleFrames(bounds, syncShown, behavShown);
  layout.syncToggleFrame = toggles.sync;
  layout.behavToggleFrame = toggles.behav;
  layout.sliderHead = sliderHead(layout.track, value);
  layout.sliderBG = sliderBG(layout.track, value, fillValue);
  layout.leftEnv = leftEnv(layout.track, minEnv);
  layout.leftEnvHandle = leftEnvHandle(layout.track, layout.leftEnv);
  layout.rightEnv = rightEnv(layout.track, maxEnv);
  layout.rightEnvHandle = rightEnvHandle(layout.rightEnv);
  layout.markHandles = markHandles(layout.track, marks);
}
