#include "app/mediabin/MBGridGeometry.h"

#include <algorithm>
#include <cmath>

namespace MBGridGeometry {

namespace {

// Half-open, as a click on a shared edge belongs to the upper-right cell.
bool contains(const QRectF& rect, const QPointF& point) {
  return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
         point.y() < rect.bottom();
}

int ceilDiv(double a, double b) { return b > 0 ? static_cast<int>(std::ceil(a / b)) : 0; }

}  // namespace

int clampColumns(int columns) { return std::clamp(columns, kMinColumns, kMaxColumns); }

QSizeF cellSize(double width, int columns) {
  const double w = std::max(0.0, (width - 3.0) / clampColumns(columns));
  return {w, 0.75 * w};
}

int rows(const Page& page, int columns, int listenerCount) {
  columns = clampColumns(columns);
  const int minimum = page.current ? std::max(1, ceilDiv(listenerCount, columns)) : 1;
  return std::max(minimum, ceilDiv(page.entryCount, columns));
}

std::vector<Block> layout(const std::vector<Page>& pages, double width, double height, int columns,
                          int listenerCount) {
  const QSizeF cell = cellSize(width, columns);
  std::vector<Block> blocks;
  double y = height;
  for (const Page& page : pages) {
    Block block;
    block.pageId = page.id;
    y -= kTabHeight;
    block.tabY = y;
    if (page.exists && page.expanded) {
      block.rows = rows(page, columns, listenerCount);
      block.gridHeight = block.rows * cell.height();
      y -= block.gridHeight + 2.0;
      block.gridBottom = y + 1.0;
      block.showsGrid = true;
    } else {
      block.gridBottom = y;
    }
    blocks.push_back(block);
  }
  return blocks;
}

double contentHeight(const std::vector<Page>& pages, double width, int columns, int listenerCount) {
  const std::vector<Block> blocks = layout(pages, width, 0.0, columns, listenerCount);
  if (blocks.empty()) return 0.0;
  const Block& last = blocks.back();
  return -(last.showsGrid ? last.gridBottom - 1.0 : last.tabY);
}

Hit hitTest(const QPointF& point, const std::vector<Page>& pages, double width, double height,
            int columns, int listenerCount) {
  const QSizeF cell = cellSize(width, columns);
  for (const Block& block : layout(pages, width, height, columns, listenerCount)) {
    if (contains(QRectF(1, block.tabY + 1, 12, 11), point))
      return {Hit::DisclosureTriangle, block.pageId, -1};
    if (contains(QRectF(0, block.tabY, width - 1, kTabHeight), point))
      return {Hit::PageTab, block.pageId, -1};
    if (!block.showsGrid || cell.width() <= 0) continue;
    if (contains(QRectF(1, block.gridBottom, width - 3, block.gridHeight), point)) {
      const int column = static_cast<int>((point.x() - 1.0) / cell.width());
      const int row = block.rows - ceilDiv(point.y() - block.gridBottom, cell.height());
      if (column < 0 || column >= clampColumns(columns) || row < 0 || row >= block.rows) return {};
      return {Hit::Grid, block.pageId, column + row * clampColumns(columns)};
    }
  }
  return {};
}

int autoCloseRows(int entryCount, double width, double height, int columns, int listenerCount) {
  columns = clampColumns(columns);
  const QSizeF cell = cellSize(width, columns);
  return std::max({ceilDiv(listenerCount, columns), ceilDiv(height, cell.height()),
                   ceilDiv(entryCount, columns), 1});
}

Hit autoCloseHitTest(const QPointF& point, long currentPageId, double width, double height,
                     int columns) {
  const QSizeF cell = cellSize(width, columns);
  if (cell.width() <= 0) return {Hit::Grid, currentPageId, 0};
  const int column = static_cast<int>(point.x() / cell.width());
  const int row = static_cast<int>((height - point.y()) / cell.height());
  return {Hit::Grid, currentPageId, column + row * clampColumns(columns)};
}

QRectF cellRect(const Block& block, int index, double width, int columns) {
  columns = clampColumns(columns);
  const QSizeF cell = cellSize(width, columns);
  const int row = index / columns;
  const int column = index % columns;
  const double rowBottom = block.gridBottom + (block.rows - 1 - row) * cell.height();
  return {column * cell.width() + 1.0, rowBottom + 1.0, cell.width() - 2.0, cell.height() - 2.0};
}

QString pageTitle(const QString& name, long fileCount) {
  return fileCount == 1 ? QStringLiteral("%1 :: %2 item").arg(name).arg(fileCount)
                        : QStringLiteral("%1 :: %2 items").arg(name).arg(fileCount);
}

}  // namespace MBGridGeometry
