#include "app/compositor/LayerTabGeometry.h"

#include <cmath>
#include <cstdlib>

namespace LayerTabGeometry {

int tabWidth(double viewWidth, int count) {
  if (count > 0 && count * (kMaxTabWidth + kGap) > viewWidth)
    return int(std::trunc(viewWidth / count)) - kGap;
  return kMaxTabWidth;
}

std::vector<TabRecord> records(int count, const QSizeF& viewSize,
                               const std::function<bool(int)>& isGroup,
                               const std::function<bool(int, int)>& isChildOf) {
  std::vector<TabRecord> result(std::size_t(std::max(count, 0)));
  std::vector<int> open;  // groups whose members are still coming
  for (int i = 0; i < count; ++i) {
    while (!open.empty() && !isChildOf(open.back(), i)) {
      result[std::size_t(open.back())].rightSideIndex = i - 1;
      open.pop_back();
    }
    TabRecord& record = result[std::size_t(i)];
    record.depth = int(open.size());
    record.leftSideIndex = i;
    record.rightSideIndex = i;
    if (isGroup(i)) open.push_back(i);
  }
  for (int group : open) result[std::size_t(group)].rightSideIndex = count - 1;

  const int w = tabWidth(viewSize.width(), count);
  for (TabRecord& record : result) {
    const int span = record.rightSideIndex - record.leftSideIndex;
    const double x = record.leftSideIndex * (w + kGap);
    const double h = viewSize.height() - kGap * record.depth;
    record.tabRect = QRectF(x, -1, w * (span + 1) + kGap * span, h);
    const double th = h - 3;
    const double tw = th / 3 * 4;
    record.thumbRect = QRectF(x + w - tw - 1, 1, tw, th);
    record.deleteRect = QRectF(x + 1, h - 11, 12, 12);
    record.labelLocation = h <= 22 ? QPointF(x + 12, 2) : QPointF(x, 2);
    record.fxTextOrigin = QPointF(record.thumbRect.x() - 10, th - 7);
  }
  return result;
}

int hitTest(const std::vector<TabRecord>& records, const QPointF& point) {
  int hit = -1;
  for (std::size_t i = 0; i < records.size(); ++i)
    if (records[i].tabRect.contains(point)) hit = int(i);
  return hit;
}

bool dragStarts(const QPointF& from, const QPointF& to) {
  const int dx = std::abs(int(to.x() - from.x()));
  const int dy = std::abs(int(to.y() - from.y()));
  return dx > kDragDistance || dy > kDragDistance;
}

DropPlace dropPlace(double x, int tabWidth, int count, const std::function<bool(int)>& emptyGroup) {
  const double p = x / (tabWidth + kGap);
  const double k = std::trunc(p);
  const double f = p - k;
  // Left of the strip counts as past the end, as an unsigned index would.
  if (k < 0 || k >= count) return {count - 1, 1};
  const int index = int(k);
  if (emptyGroup(index)) return {index, 0};
  return {index, f < 0.5 ? -1 : 1};
}

double markerX(const DropPlace& place, int tabWidth) {
  const double x = place.index * (tabWidth + kGap);
  switch (place.direction) {
    case -1:
      return x + 2;
    case 0:
      return x + tabWidth / 2 - 5;
    default:
      return x + tabWidth - 12;
  }
}

}  // namespace LayerTabGeometry
