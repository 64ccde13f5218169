// The media bin's trigger road, each beside the least code doing the same
// work:
// - `triggerThisFile` on a 16-item queue from a thread that is not the
//   main thread, beside a bare read-locked scan of 16 items and one atomic
//   store;
// - painting the file grid (four expanded pages of 64 cells with 80 x 60
//   posters, 1280 x 800 exposed) into a QImage, beside a bare QPainter loop
//   drawing the same pre-scaled posters and frames.
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBLayerController.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/media/QKFile.h"
#include "platform/foundation/MainThread.h"
#include "platform/threading/RWTryLock.h"
#include "tests/app/mediabin/FakeMediaBin.h"
#include "tests/app/mediabin/FakeQueueHost.h"

#include <QPainter>

#include <array>
#include <atomic>
#include <thread>

namespace {

// Sixteen layers and one file that no layer plays, on a page without "@".
class QueueHost : public FakeQueueHost {
 public:
  QueueHost() : FakeQueueHost(names()) { file = QKFile::createWithName("clip", &ids); }
  static QStringList names() {
    QStringList list;
    for (int i = 0; i < 16; ++i) list << QStringLiteral("Layer %1").arg(i);
    return list;
  }
  std::shared_ptr<QKFile> fileForUniqueId(long) const override { return file; }
  QString pageNameOfFile(const QKFile&) const override { return QStringLiteral("Page 1"); }
  bool fileIsPlaying(const QKFile&, QString*) const override { return false; }
  std::shared_ptr<QKFile> file;
};

struct BareItem {
  QString name;
  std::atomic<int> pending{-1};
};

void BM_TriggerThisFileOffTheMainThread(benchmark::State& state) {
  QueueHost host;
  MBLayerController queue(&host, 1);
  queue.awakeFromNib();
  queue.setNextTriggerRow(15);  // the last item: the bare scan walks all 16
  RWTryLock bareLock;
  std::array<BareItem, 16> bare;
  for (int i = 0; i < 16; ++i) bare[i].name = QueueHost::names()[15 - i];
  const QString wanted = bare[15].name;
  bench::SideBySideSeconds total;
  std::thread([&] {
    total = bench::sideBySide(
        state, [&] { queue.triggerThisFile(7); },
        [&] {
          RWTryLock::ReadGuard guard(bareLock);
          for (BareItem& item : bare)
            if (item.name == wanted) item.pending.store(7);
        });
  }).join();
  MainThread::processUntil([] { return false; }, 0.2);
  state.counters["ours_us"] = 1e6 * total.first / double(state.iterations());
  state.counters["bare_us"] = 1e6 * total.second / double(state.iterations());
  state.counters["ours_vs_bare"] = total.first / total.second;
  queue.prepareToBeDeleted();
}

void BM_PaintGrid(benchmark::State& state) {
  FakeMediaBin bin;
  QKPageController* pages = bin.pageController();
  QImage poster(80, 60, QImage::Format_ARGB32_Premultiplied);
  poster.fill(QColor(90, 140, 200));
  for (int p = 0; p < 4; ++p) {
    auto page = p == 0 ? pages->pages().front() : pages->addBlankPage();
    QKPage::Cells cells;
    for (int i = 0; i < 64; ++i) {
      auto file = QKFile::createWithName(QStringLiteral("clip %1").arg(i), bin.compositor());
      file->initNonQTFile();
      file->setPosterImage(poster);
      cells.push_back(file);
    }
    pages->addObjects(cells, page, 0);
  }
  FakeQueueHost host;
  MBLayerController queue(&host, 1);
  MBFileGridView grid(&bin, &queue);
  grid.setNumberOfColumns(8);
  grid.resize(1280, 800);
  grid.recomputeSize();
  grid.resize(1280, grid.height());
  const QRect exposed(0, 0, 1280, 800);
  QImage ours(1280, 800, QImage::Format_ARGB32_Premultiplied);
  QImage bare(1280, 800, QImage::Format_ARGB32_Premultiplied);
  // The bare loop: the same visible cells, posters scaled once.
  const QSizeF cell = MBGridGeometry::cellSize(1280, 8);
  const QImage scaled = poster.scaled(QSizeF(cell.width() - 2, cell.height() - 2).toSize(),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  std::vector<QRectF> rects;
  for (const auto& block : MBGridGeometry::layout(grid.pages(), 1280, grid.height(), 8, 0))
    for (int i = 0; i < 64; ++i) {
      const QRectF r =
          MBGridGeometry::toWidget(MBGridGeometry::cellRect(block, i, 1280, 8), grid.height());
      if (r.intersects(exposed)) rects.push_back(r);
    }
  const auto [oursSeconds, bareSeconds] = bench::sideBySide(
      state, [&] { grid.render(&ours, QPoint(), QRegion(exposed)); },
      [&] {
        QPainter painter(&bare);
        painter.fillRect(exposed, Qt::darkGray);
        painter.setPen(Qt::black);
        for (const QRectF& r : rects) {
          painter.fillRect(r, Qt::black);
          painter.drawImage(r.topLeft(), scaled);
          painter.drawRect(r);
        }
      });
  state.counters["cells"] = double(rects.size());
  state.counters["ours_ms"] = 1e3 * oursSeconds / double(state.iterations());
  state.counters["bare_ms"] = 1e3 * bareSeconds / double(state.iterations());
  state.counters["ours_vs_bare"] = oursSeconds / bareSeconds;
  grid.prepareToBeDeleted();
  queue.prepareToBeDeleted();
}

}  // namespace

BENCHMARK(BM_TriggerThisFileOffTheMainThread)
    ->UseManualTime()
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintGrid)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
