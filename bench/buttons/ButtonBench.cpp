// Buttons measured beside bare baselines in the same run:
// - painting 64 buttons in mixed states into an image, against a bare
//   QPainter loop filling and stroking the same rounded rectangles and
//   drawing the same texts in colours and fonts chosen beforehand;
// - a source trigger of a momentary button with its view, on a thread of
//   its own as the tick thread (the bang, the redraw and the flash asked of
//   the main thread), against the same trigger of a cell without a view.
//   The main thread meanwhile runs its events, as in the program, so some
//   triggers hand a flash over and others find one pending.
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCellPainter.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceType.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kColumns = 8;
constexpr int kRows = 8;
constexpr QSizeF kButtonSize(60, 20);

QRectF frameAt(int index) {
  return QRectF(
      QPointF((index % kColumns) * kButtonSize.width(), (index / kColumns) * kButtonSize.height()),
      kButtonSize);
}

// 64 cells of the manager in every mix of value, pressed look, selection
// and learn mode.
std::vector<std::shared_ptr<QKButtonCell>> mixedCells() {
  std::vector<std::shared_ptr<QKButtonCell>> cells;
  for (int i = 0; i < kColumns * kRows; ++i) {
    auto cell = QKButtonCell::create();
    cell->setTitle(QStringLiteral("Off %1").arg(i));
    cell->setTitle2(QStringLiteral("On %1").arg(i));
    cell->setIntValue(i % 3 == 2 ? -1 : i % 3, false);
    cell->setIsDown(i % 7 == 0);
    if (i % 2) cell->select();
    if (i % 5 == 0) cell->hardwareLearnModeUpdated(true);
    cells.push_back(std::move(cell));
  }
  return cells;
}

// What the bare loop draws for one cell, chosen before timing.
struct BareButton {
  QRectF body;
  double radius;
  double strokeWidth;
  QColor fill, stroke, text;
  QFont font;
  QString title;
};

BareButton bareFor(const QKButtonCell& cell, const QRectF& frame) {
  const auto leaf = QKButtonCellPainter::leaf(QKButtonCellPainter::relevantColorDict(cell));
  const auto& look = QKButtonCellPainter::lookFor(cell, leaf);
  const QRectF body = QKButtonCellPainter::bodyRect(cell, frame, leaf.strokeWidth);
  return {
      body,        leaf.radius, leaf.strokeWidth, look.fill,
      look.stroke, look.text,   look.font,        QKButtonCellPainter::text(cell, body.width())};
}

void ButtonPainting(benchmark::State& state) {
  QKButtonManager manager;
  const auto cells = mixedCells();
  std::vector<BareButton> bare;
  for (size_t i = 0; i < cells.size(); ++i)
    bare.push_back(bareFor(*cells[i], frameAt(static_cast<int>(i))));
  QImage image(static_cast<int>(kColumns * kButtonSize.width()),
               static_cast<int>(kRows * kButtonSize.height()), QImage::Format_ARGB32_Premultiplied);

  const bench::SideBySideSeconds total = bench::sideBySide(
      state,
      [&] {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (const BareButton& b : bare) {
          QPainterPath path;
          path.addRoundedRect(b.body, b.radius, b.radius);
          painter.fillPath(path, b.fill);
          painter.strokePath(path, QPen(b.stroke, b.strokeWidth));
          painter.setFont(b.font);
          painter.setPen(b.text);
          painter.drawText(b.body.translated(0, 1), Qt::AlignCenter, b.title);
        }
      },
      [&] {
        QPainter painter(&image);
        for (size_t i = 0; i < cells.size(); ++i)
          QKButtonCellPainter::draw(painter, *cells[i], frameAt(static_cast<int>(i)));
      },
      [&] { image.fill(Qt::transparent); });
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  for (const auto& cell : cells) cell->prepareToBeDeleted();
}
BENCHMARK(ButtonPainting)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// A momentary button in straight sync on a source at 1: every delivery
// triggers it.
std::shared_ptr<QKButtonCell> triggeredCell(const std::shared_ptr<int>& target,
                                            std::atomic<long>& bangs) {
  auto cell = QKButtonCell::create();
  cell->setTriggerMode(0);
  cell->setTarget(target);
  cell->setAction([&bangs](QKButtonCell&) { bangs.fetch_add(1, std::memory_order_relaxed); });
  return cell;
}

void ButtonSourceTrigger(benchmark::State& state) {
  constexpr int kBatch = 1000;
  const auto target = std::make_shared<int>(0);
  std::atomic<long> bareBangs{0};
  std::atomic<long> viewedBangs{0};
  auto bare = triggeredCell(target, bareBangs);
  QKButton view(triggeredCell(target, viewedBangs));
  view.resize(60, 20);
  auto source = DSFloatFrequent::createWithName(QStringLiteral("level"), DSType::FloatFrequent);
  source->setValue(1.0f);

  std::atomic<bool> done{false};
  bench::SideBySideSeconds total;
  std::thread tick([&] {
    total = bench::sideBySide(
        state,
        [&] {
          for (int i = 0; i < kBatch; ++i) bare->dataSourceUpdated(source.get());
        },
        [&] {
          for (int i = 0; i < kBatch; ++i) view.cell()->dataSourceUpdated(source.get());
        });
    done.store(true);
  });
  while (!done.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  tick.join();
  QCoreApplication::processEvents();
  if (bareBangs.load() != viewedBangs.load() || bareBangs.load() == 0)
    state.SkipWithError("the two sides did not bang alike");
  const double triggers = double(state.iterations()) * kBatch;
  state.counters["bare_us"] = total.first / triggers * 1e6;
  state.counters["ours_us"] = total.second / triggers * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  bare->prepareToBeDeleted();
}
BENCHMARK(ButtonSourceTrigger)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
