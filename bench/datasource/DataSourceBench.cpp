// The cost of the data-source tick and of setting a value.
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// A subscriber that does the least a real one does: read the value.
class Sink : public DataSourceTarget {
 public:
  void received(DataSource* source) { benchmark::DoNotOptimize(sum_ += source->value()); }

 private:
  float sum_ = 0.0f;
};

// ZAPH / 100 holders / 100 frequent floats each, one subscriber on every
// fifth node.
struct Tree {
  static constexpr int kHolders = 100;
  static constexpr int kPerHolder = 100;
  static constexpr int kSubscribeEvery = 5;

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  std::vector<std::shared_ptr<DSFloatFrequent>> subscribedNodes;
  std::vector<std::shared_ptr<Sink>> sinks;

  Tree() {
    const QString zaph = QStringLiteral("ZAPH");
    for (int h = 0; h < kHolders; ++h) {
      const QString holder = QStringLiteral("g%1").arg(h, 3, 10, QLatin1Char('0'));
      dsc.setDataSource(DataSourceHolder::createWithName(holder), {zaph, holder});
      for (int n = 0; n < kPerHolder; ++n) {
        const QString name = QStringLiteral("n%1").arg(n, 3, 10, QLatin1Char('0'));
        const auto node = DSFloatFrequent::createWithName(name);
        dsc.setDataSource(node, {zaph, holder, name});
        if (n % kSubscribeEvery) continue;
        auto sink = std::make_shared<Sink>();
        dsc.subscribeObject(sink, &Sink::received, {zaph, holder, name});
        sinks.push_back(std::move(sink));
        subscribedNodes.push_back(node);
      }
    }
  }
};

// One tick of 10,000 nodes with 2,000 subscribed ones, 200 of which have a
// pending value (2% of all nodes, a tenth of the subscribed ones; the 200
// sets are inside the timed loop and cost a few ns each).
void BM_TickTenThousandNodes200Pending(benchmark::State& state) {
  Tree tree;
  const std::size_t pending = tree.subscribedNodes.size() / 10;
  float value = 0.0f;
  for (auto _ : state) {
    value += 1.0f;
    for (std::size_t i = 0; i < pending; ++i) tree.subscribedNodes[i * 10]->setValue(value);
    tree.dsc.threadProc();
  }
  state.counters["nodes"] = Tree::kHolders * Tree::kPerHolder;
  state.counters["subscribers"] = static_cast<double>(tree.sinks.size());
  state.counters["pending"] = static_cast<double>(pending);
}
BENCHMARK(BM_TickTenThousandNodes200Pending)->Unit(benchmark::kMicrosecond);

void BM_TickTenThousandNodesNothingPending(benchmark::State& state) {
  Tree tree;
  for (auto _ : state) tree.dsc.threadProc();
}
BENCHMARK(BM_TickTenThousandNodesNothingPending)->Unit(benchmark::kMicrosecond);

// setValue on an immediate node with one subscriber: the delivery happens
// inside the call. Values alternate so that none is dropped as equal.
void BM_SetValueImmediateOneSubscriber(benchmark::State& state) {
  const auto node = DSFloatInfrequent::createWithName(QStringLiteral("input"));
  const auto sink = std::make_shared<Sink>();
  node->addThisFetchCall(DataSourceCall::createWithTarget(sink, &Sink::received));
  float value = 0.0f;
  for (auto _ : state) {
    value = value == 0.0f ? 1.0f : 0.0f;
    node->setValue(value);
  }
}
BENCHMARK(BM_SetValueImmediateOneSubscriber);

void BM_SetValueFrequent(benchmark::State& state) {
  const auto node = DSFloatFrequent::createWithName(QStringLiteral("frequent"));
  float value = 0.0f;
  for (auto _ : state) node->setValue(value += 1.0f);
}
BENCHMARK(BM_SetValueFrequent);

void BM_LookupThreeNames(benchmark::State& state) {
  Tree tree;
  const KeyPath path{QStringLiteral("ZAPH"), QStringLiteral("g050"), QStringLiteral("n050")};
  for (auto _ : state) benchmark::DoNotOptimize(tree.dsc.dataSourceForKeyArray(path));
}
BENCHMARK(BM_LookupThreeNames);

}  // namespace

BENCHMARK_MAIN();
