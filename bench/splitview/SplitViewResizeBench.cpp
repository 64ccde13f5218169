// Resizing a window that holds a three-level nested split view of 12 panes:
// side by side, with the same nesting built of TQSplitView (our layout passes
// and the widget frames) and of plain QSplitter. Each iteration gives the
// outermost view a new size, as the window's layout does when the window is
// resized; every level lays out at once.
#include "bench/WidgetBenchMain.h"
#include "framework/splitview/TQSplitSubview.h"
#include "framework/splitview/TQSplitView.h"

#include <QApplication>
#include <QImage>
#include <QSplitter>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;
constexpr int kThickness = 6;

// Three columns, each two rows, each two panes: 12 panes on three levels.
TQSplitView* nestedSplitViews(QWidget* window) {
  QImage divider(kThickness, kThickness, QImage::Format_ARGB32_Premultiplied);
  divider.fill(Qt::gray);
  auto* outer = new TQSplitView(QRectF(0, 0, kWidth, kHeight), window);
  outer->setDivider(divider);
  for (int c = 0; c < 3; ++c) {
    auto* column = new TQSplitView(QRectF(0, 0, kWidth / 3.0, kHeight));
    outer->addSubview(column);
    for (int r = 0; r < 2; ++r) {
      auto* row = new TQSplitView(QRectF(0, 0, kWidth / 3.0, kHeight / 2.0));
      column->addSubview(row);
      for (int p = 0; p < 2; ++p) row->addSubview(new TQSplitSubview(QRectF(0, 0, 150, 300)));
    }
  }
  outer->adjustSubviews();
  return outer;
}

QSplitter* nestedSplitters(QWidget* window) {
  auto* outer = new QSplitter(Qt::Horizontal, window);
  outer->setHandleWidth(kThickness);
  for (int c = 0; c < 3; ++c) {
    auto* column = new QSplitter(Qt::Vertical);
    column->setHandleWidth(kThickness);
    outer->addWidget(column);
    for (int r = 0; r < 2; ++r) {
      auto* row = new QSplitter(Qt::Horizontal);
      row->setHandleWidth(kThickness);
      column->addWidget(row);
      for (int p = 0; p < 2; ++p) row->addWidget(new QWidget);
    }
  }
  outer->setGeometry(0, 0, kWidth, kHeight);
  return outer;
}

// The right edge of the rightmost leaf, in the tree's coordinates.
int rightEdge(QWidget* tree) {
  int right = 0;
  for (QWidget* w : tree->findChildren<QWidget*>())
    if (w->findChildren<QWidget*>().isEmpty())
      right = std::max(right, w->mapTo(tree, QPoint(w->width(), 0)).x());
  return right;
}

template <typename Make>
void resizeLoop(benchmark::State& state, Make make) {
  QWidget window;
  window.resize(kWidth + 100, kHeight + 100);
  QWidget* tree = make(&window);
  window.show();
  QApplication::processEvents();
  int step = 0;
  for (auto _ : state) {
    ++step;
    tree->resize(kWidth - 200 + step % 200, kHeight - step % 50);
  }
  // Both views must have laid out at the last size: their panes end at the
  // right edge, the deepest ones included.
  if (rightEdge(tree) != tree->width()) state.SkipWithError("the panes were not laid out");
  QApplication::processEvents();
}

void BM_ResizeNestedTQSplitView(benchmark::State& state) {
  resizeLoop(state, [](QWidget* w) -> QWidget* { return nestedSplitViews(w); });
}
BENCHMARK(BM_ResizeNestedTQSplitView)->Unit(benchmark::kMicrosecond);

// The baseline: the same nesting of QSplitter.
void BM_ResizeNestedQSplitter(benchmark::State& state) {
  resizeLoop(state, [](QWidget* w) -> QWidget* { return nestedSplitters(w); });
}
BENCHMARK(BM_ResizeNestedQSplitter)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
