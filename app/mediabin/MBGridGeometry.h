#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

// The media bin grid's layout and hit-testing as pure functions, in the
// grid's model space: y grows upwards from the bottom of the view, and
// the pages are laid out downwards from its top. The view converts at its
// paint and event boundaries (`toWidget`, `toModel`).
//
// Drawing, hit-testing and the frame size share one geometry: the cell is
// (width - 3) / columns wide and 0.75 of that high; a page block is its
// 13-point tab, plus rows x cell height + 2 when it is expanded.
namespace MBGridGeometry {

constexpr double kTabHeight = 13.0;
constexpr int kMinColumns = 1;
constexpr int kMaxColumns = 32;

struct Page {
  long id = -1;
  bool exists = true;
  bool expanded = true;
  bool current = false;
  int entryCount = 0;
};

struct Block {
  long pageId = -1;
  double tabY = 0;        // bottom of the tab strip
  double gridBottom = 0;  // bottom of the grid (cells start 1 point above)
  double gridHeight = 0;  // 0 for a collapsed or missing page
  int rows = 0;
  bool showsGrid = false;
};

struct Hit {
  enum Item { None, DisclosureTriangle, PageTab, Grid };
  Item item = None;
  long pageId = -1;
  int index = -1;
};

int clampColumns(int columns);
QSizeF cellSize(double width, int columns);
// Rows of a page: enough for its entries (at least 1); the current page
// also has a cell for every trigger listener.
int rows(const Page& page, int columns, int listenerCount);
// The blocks of the visible pages from the top of a view `height` high.
std::vector<Block> layout(const std::vector<Page>& pages, double width, double height, int columns,
                          int listenerCount);
// The height the pages need (the view is at least as high as its scroll
// area).
double contentHeight(const std::vector<Page>& pages, double width, int columns, int listenerCount);
Hit hitTest(const QPointF& point, const std::vector<Page>& pages, double width, double height,
            int columns, int listenerCount);
// Auto-close mode: the current page fills the view; every point is a cell.
int autoCloseRows(int entryCount, double width, double height, int columns, int listenerCount);
Hit autoCloseHitTest(const QPointF& point, long currentPageId, double width, double height,
                     int columns);
// Cell `index` of a block, in model space (the frame, inset by 1 point).
QRectF cellRect(const Block& block, int index, double width, int columns);
// "Loops :: 5 items", "Loops :: 1 item".
QString pageTitle(const QString& name, long fileCount);

inline QRectF toWidget(const QRectF& model, double height) {
  return {model.x(), height - model.y() - model.height(), model.width(), model.height()};
}
inline QPointF toModel(const QPointF& widget, double height) {
  return {widget.x(), height - widget.y()};
}

}  // namespace MBGridGeometry
