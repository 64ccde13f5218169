// One frame's tap pass: 32 source taps with 2 receivers each. Ours takes the
// manager's lock, sorts the stubs deepest first, hands each stub a frame and
// lets every receiver take its frame's handle. Side by side: a bare loop
// copying the same counted handles into a vector (32 frames handed over, 64
// taken).
#include "bench/SideBySide.h"
#include "framework/taps/LayerInterface.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/TexturePool.h"

#include <benchmark/benchmark.h>

#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kSources = 32;
constexpr int kReceiversEach = 2;

class BenchLayer : public LayerInterface {
 public:
  BenchLayer(QString name, int index) : name_(std::move(name)), index_(index) {}
  QString layerName() const override { return name_; }
  QSizeF layerSize() const override { return {640, 480}; }
  int depth() const override { return index_ % 4; }
  int orderedLayerIndex() const override { return index_; }

 private:
  QString name_;
  int index_;
};

void BM_TapPass(benchmark::State& state) {
  QKTapManager manager;
  std::list<BenchLayer> layers;
  std::vector<std::shared_ptr<QKSTap>> sources;
  std::vector<std::shared_ptr<QKRTap>> receivers;
  std::vector<gl::TextureHandle> frames;
  for (int i = 0; i < kSources; ++i) {
    layers.emplace_back(QStringLiteral("Layer %1").arg(i), i);
    sources.push_back(QKSTap::create(&layers.back()));
    for (int r = 0; r < kReceiversEach; ++r) {
      receivers.push_back(QKRTap::create());
      receivers.back()->useTapNamed(layers.back().layerName());
    }
    frames.push_back(gl::TexturePool::shared().acquire(QSize(64, 64)));
  }

  std::vector<gl::TextureHandle> published(kSources);
  std::vector<gl::TextureHandle> taken;
  taken.reserve(receivers.size());
  const auto bare = [&] {
    for (int i = 0; i < kSources; ++i) published[i] = frames[i];
    for (std::size_t r = 0; r < receivers.size(); ++r)
      taken.push_back(published[r / kReceiversEach]);
    benchmark::DoNotOptimize(taken.data());
    taken.clear();
  };
  const auto ours = [&] {
    {
      std::lock_guard<QKTapManager> lock(manager);
      const auto& stubs = manager.stubsDeepestFirst();
      for (std::size_t i = 0; i < stubs.size(); ++i) stubs[i]->setTextureRef(frames[i]);
      for (const auto& receiver : receivers) taken.push_back(receiver->getTextureRef());
    }
    benchmark::DoNotOptimize(taken.data());
    taken.clear();
  };
  const auto [bareSeconds, ourSeconds] = bench::sideBySide(state, bare, ours);
  const double n = double(state.iterations());
  state.counters["bare_us"] = 1e6 * bareSeconds / n;
  state.counters["ours_us"] = 1e6 * ourSeconds / n;
  state.counters["ours_vs_bare"] = ourSeconds / bareSeconds;

  for (auto& source : sources) source->prepareToBeDeleted();
  for (auto& receiver : receivers) receiver->prepareToBeDeleted();
}

}  // namespace

BENCHMARK(BM_TapPass)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The program always has other threads, so counted handles change their
// counts atomically there; an idle thread makes the benchmark do the same.
int main(int argc, char** argv) {
  std::promise<void> done;
  std::thread idle([&] { done.get_future().wait(); });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  done.set_value();
  idle.join();
  return 0;
}
