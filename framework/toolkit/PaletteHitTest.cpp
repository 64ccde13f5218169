#include "framework/toolkit/PaletteHitTest.h"

#include "framework/toolkit/PalettePaths.h"

PaletteHitTest::DragAction PaletteHitTest::dragActionFor(const Input& in,
                                                         const PalettePaths& paths) {
  const QPointF p = in.point;
  if (paths.titleRect.contains(p)) {
    if (paths.collapseToggleRect.contains(p) || in.clickCount == 2)
      return in.fullyLocked ? None : CollapseToggle;
    return in.clickCount == 1 && !in.locked ? Move : None;
  }
  if (in.collapsed) return None;
  if (paths.resizeHandleRect.contains(p)) return in.allowResize && !in.locked ? Resize : None;
  const bool onBorder =
      p.x() <= kBorderWidth || in.width - p.x() <= kBorderWidth || p.y() <= kBorderWidth;
  return onBorder && !in.locked ? Move : None;
}
