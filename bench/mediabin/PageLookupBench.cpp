// Looking a file up by ID as the trigger thread does: through the page
// controller's read lock among 5,000 files on 50 pages, beside a bare scan
// of the same files in one vector with no lock.
#include "app/compositor/Compositor.h"
#include "bench/SideBySide.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKMediaBinHost.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kPages = 50;
constexpr int kFilesPerPage = 100;
constexpr int kLookups = 256;  // per iteration, spread over the whole list

class BenchHost : public QKMediaBinHost {
 public:
  CompositorInterface* compositor() override { return &compositor_; }
  QKPageController* pageController() override { return nullptr; }
  QKFileLoaderInterface* fileLoader() override { return nullptr; }

 private:
  Compositor compositor_{nullptr, Compositor::Environment{.gpuVendors = {QStringLiteral("NVIDIA")}}};
};

struct Fixture {
  BenchHost host;
  QKPageController pages{&host};
  std::vector<std::shared_ptr<QKFile>> flat;
  std::vector<long> wanted;

  Fixture() {
    pages.removeAllPages();
    for (int p = 0; p < kPages; ++p) {
      auto page = pages.addBlankPage();
      QKPage::Cells cells;
      for (int f = 0; f < kFilesPerPage; ++f) {
        cells.push_back(QKFile::createWithName(QStringLiteral("f"), host.compositor()));
        flat.push_back(cells.back());
      }
      pages.addObjects(cells, page, 0);
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, flat.size() - 1);
    for (int i = 0; i < kLookups; ++i) wanted.push_back(flat[pick(random)]->uniqueFileId());
  }
};

std::shared_ptr<QKFile> bareScan(const std::vector<std::shared_ptr<QKFile>>& files, long id) {
  for (const auto& file : files)
    if (file->uniqueFileId() == id) return file;
  return nullptr;
}

void BM_FileForUniqueId(benchmark::State& state) {
  Fixture f;
  const auto [ours, bare] = bench::sideBySide(
      state,
      [&] {
        for (long id : f.wanted) benchmark::DoNotOptimize(f.pages.fileForUniqueId(id));
      },
      [&] {
        for (long id : f.wanted) benchmark::DoNotOptimize(bareScan(f.flat, id));
      });
  const double lookups = double(state.iterations()) * kLookups;
  state.counters["page_lock_us"] = 1e6 * ours / lookups;
  state.counters["bare_scan_us"] = 1e6 * bare / lookups;
  state.counters["page_lock_vs_bare"] = ours / bare;
}

}  // namespace

BENCHMARK(BM_FileForUniqueId)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
