#pragma once

#include <QPointF>
#include <QRectF>

#include <functional>
#include <vector>

// The geometry of a layer window's tab strip, as pure functions. The view's
// coordinates are y upward from the bottom left; lengths in points. Tab i
// stands for the window's layer i (depth first, a group followed by its
// members in the window).
namespace LayerTabGeometry {

constexpr int kMaxTabWidth = 150;
constexpr int kGap = 3;
constexpr int kDragDistance = 55;

struct TabRecord {
  int depth = 0;           // enclosing groups of this window
  int leftSideIndex = 0;   // the layer's own index
  int rightSideIndex = 0;  // a group: the last layer inside it
  QRectF tabRect;          // the drawn shape and the hit area
  QRectF thumbRect;
  QRectF deleteRect;  // 12 × 12, top-left corner: a click there picks nothing
  QPointF labelLocation;
  QPointF fxTextOrigin;
};

// 150, or trunc(width / count) − 3 when 150-point tabs do not fit.
int tabWidth(double viewWidth, int count);

// One record per layer. `isGroup(i)` tells a group; `isChildOf(g, i)`
// whether layer i lies directly in group g.
std::vector<TabRecord> records(int count, const QSizeF& viewSize,
                               const std::function<bool(int)>& isGroup,
                               const std::function<bool(int group, int layer)>& isChildOf);

// The last record whose tab holds the point (a member over its group);
// −1 for none.
int hitTest(const std::vector<TabRecord>& records, const QPointF& point);

// Whether the pointer went far enough from the click to start a tab drag.
bool dragStarts(const QPointF& from, const QPointF& to);

// Where a drag over the strip would drop: the tab index and −1 before it,
// 0 into it (an empty group), 1 after it.
struct DropPlace {
  int index = -1;
  int direction = 1;
  bool operator==(const DropPlace&) const = default;
};
DropPlace dropPlace(double x, int tabWidth, int count, const std::function<bool(int)>& emptyGroup);

// The x of the 10 × 10 drop marker of a place.
double markerX(const DropPlace& place, int tabWidth);

}  // namespace LayerTabGeometry
