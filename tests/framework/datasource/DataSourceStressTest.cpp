// Many threads use the tree at once while it ticks: values are set,
// subscriptions come and go, nodes are created, moved and deleted, menus are
// built. Run under ThreadSanitizer (the tsan preset) to find races; in every
// build it checks that no value and no deletion notice is lost.
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "tests/framework/datasource/DataSourceFakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

const QString kZaph = QStringLiteral("ZAPH");
constexpr int kRounds = 4000;
constexpr int kChurnNames = 12;

// Remembers the highest value delivered; values written per node only grow,
// so the last one written is the highest.
class MaxTarget : public DataSourceTarget {
 public:
  void received(DataSource* source) {
    const float value = source->value();
    float seen = max_.load();
    while (value > seen && !max_.compare_exchange_weak(seen, value)) {
    }
    deliveries_.fetch_add(1);
  }
  void currentDataSourceDeletedUnderMe() override { deletions_.fetch_add(1); }
  float max() const { return max_.load(); }
  int deliveries() const { return deliveries_.load(); }
  int deletions() const { return deletions_.load(); }

 private:
  std::atomic<float> max_{-1.0f};
  std::atomic<int> deliveries_{0};
  std::atomic<int> deletions_{0};
};

KeyPath churnPath(int k) {
  return {kZaph, QStringLiteral("churn"), QStringLiteral("n%1").arg(k % kChurnNames)};
}

class DataSourceStress : public testing::Test {
 protected:
  DataSourceStress() {
    dsc.setDataSource(DataSourceHolder::createWithName("stable"), {kZaph, "stable"});
    dsc.setDataSource(DataSourceHolder::createWithName("churn"), {kZaph, "churn"});
    dsc.setDataSource(DataSourceHolder::createWithName("A"), {kZaph, "A"});
    dsc.setDataSource(DataSourceHolder::createWithName("B"), {kZaph, "B"});
    for (int i = 0; i < 8; ++i) {
      std::shared_ptr<DSFloatFrequent> node;
      if (i % 2)
        node = DSFloatInfreqRepeat::createWithName(QStringLiteral("s%1").arg(i));
      else
        node = DSFloatFrequent::createWithName(QStringLiteral("s%1").arg(i));
      dsc.setDataSource(node, {kZaph, "stable", node->sourceName()});
      stable.push_back(node);
      stableTargets.push_back(subscribe(node->pathArray()));
    }
    mover = DSFloatFrequent::createWithName("mover");
    dsc.setDataSource(mover, {kZaph, "A", "mover"});
    moverTarget = subscribe({kZaph, "A", "mover"});
  }

  std::shared_ptr<MaxTarget> subscribe(const KeyPath& path) {
    auto target = std::make_shared<MaxTarget>();
    return dsc.subscribeObject(target, &MaxTarget::received, path) ? target : nullptr;
  }

  // Writes 1 … kRounds into its nodes (each node has one writer).
  void setter(int first, int step) {
    for (int round = 1; round <= kRounds; ++round) {
      for (std::size_t i = static_cast<std::size_t>(first); i < stable.size();
           i += static_cast<std::size_t>(step))
        stable[i]->setValue(static_cast<float>(round));
      if (first == 0) mover->setValue(static_cast<float>(round));
    }
  }

  void treeChurn(unsigned seed) {
    std::mt19937 random(seed);
    for (int round = 0; round < kRounds; ++round) {
      const int k = static_cast<int>(random() % kChurnNames);
      switch (random() % 5) {
        case 0:
          dsc.setDataSource(DSFloatInfreqRepeat::createWithName("x"), churnPath(k));
          break;
        case 1:
          dsc.setDataSource(nullptr, churnPath(k));
          break;
        case 2:
          dsc.changeNameFrom(churnPath(k), churnPath(k + 1 + static_cast<int>(random() % 3)));
          break;
        case 3: {
          const auto holder = DataSourceHolder::createWithName("h");
          if (dsc.setDataSource(holder, churnPath(k)))
            dsc.setDataSource(DSFloatFrequent::createWithName("leaf"), churnPath(k) << "leaf");
          break;
        }
        default:
          if (round % 2)
            dsc.changeNameFrom({kZaph, "A", "mover"}, {kZaph, "B", "mover"});
          else
            dsc.changeNameFrom({kZaph, "B", "mover"}, {kZaph, "A", "mover"});
      }
    }
  }

  void subscriberChurn(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::shared_ptr<MaxTarget>> temporary;
    for (int round = 0; round < kRounds; ++round) {
      const int k = static_cast<int>(random() % kChurnNames);
      switch (random() % 4) {
        case 0:
          if (auto target = subscribe(churnPath(k))) {
            std::lock_guard<std::mutex> lock(keptMutex);
            kept.push_back(target);
          }
          break;
        case 1:
          if (auto target = subscribe(stable[random() % stable.size()]->pathArray()))
            temporary.push_back(target);
          break;
        case 2:
          if (!temporary.empty()) {
            // Half unsubscribe, half just go away.
            if (random() % 2)
              for (const auto& node : stable)
                dsc.unsubscribeObject(temporary.back().get(), node->pathArray());
            temporary.pop_back();
          }
          break;
        default:
          if (const auto node = dsc.dataSourceForKeyArray(churnPath(k)))
            node->setValue(static_cast<float>(round));
      }
    }
  }

  void input(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::shared_ptr<MaxTarget>> targets;
    for (int round = 0; round < kRounds; ++round) {
      const QString name = QStringLiteral("ctrl [%1] ch. 1").arg(random() % 8);
      if (const auto node = dsc.inputSourceForKeyArray({"MIDI", name}))
        node->setValue(static_cast<float>(random() % 128) / 127.0f);
      if (round % 16 == 0)
        if (auto target = subscribe({"OSC", QStringLiteral("/fader/%1").arg(random() % 8)}))
          targets.push_back(target);
    }
  }

  void reader() {
    for (int round = 0; round < kRounds / 10; ++round) {
      (void)dsc.getDataSourcesMenu();
      (void)dsc.getDataSourceMenuItemArray();
      (void)dsc.description();
      (void)dsc.dataSourceForKeyArray(churnPath(round));
    }
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  std::vector<std::shared_ptr<DSFloatFrequent>> stable;
  std::vector<std::shared_ptr<MaxTarget>> stableTargets;
  std::shared_ptr<DSFloatFrequent> mover;
  std::shared_ptr<MaxTarget> moverTarget;
  std::mutex keptMutex;
  std::vector<std::shared_ptr<MaxTarget>> kept;
};

TEST_F(DataSourceStress, NoValueOrDeletionNoticeIsLostWhileEverythingChanges) {
  LogCapture quiet;  // moves of nodes that others moved or deleted first are logged
  std::atomic<bool> done{false};
  std::thread ticker([&] {
    while (!done.load()) dsc.threadProc();
  });
  std::vector<std::thread> workers;
  workers.emplace_back([&] { setter(0, 2); });
  workers.emplace_back([&] { setter(1, 2); });
  workers.emplace_back([&] { treeChurn(1); });
  workers.emplace_back([&] { treeChurn(2); });
  workers.emplace_back([&] { subscriberChurn(3); });
  workers.emplace_back([&] { subscriberChurn(4); });
  workers.emplace_back([&] { input(5); });
  workers.emplace_back([&] { reader(); });
  for (auto& worker : workers) worker.join();
  done.store(true);
  ticker.join();
  dsc.threadProc();  // delivers what the last frequent sets left pending

  for (std::size_t i = 0; i < stable.size(); ++i) {
    ASSERT_NE(stableTargets[i], nullptr);
    EXPECT_EQ(stableTargets[i]->max(), static_cast<float>(kRounds)) << "node " << i;
  }
  // The node moved back and forth all along kept its subscriber.
  ASSERT_NE(moverTarget, nullptr);
  EXPECT_EQ(moverTarget->max(), static_cast<float>(kRounds));
  EXPECT_EQ(moverTarget->deletions(), 0);
  EXPECT_TRUE(dsc.dataSourceForKeyArray({kZaph, "A", "mover"}) == mover ||
              dsc.dataSourceForKeyArray({kZaph, "B", "mover"}) == mover);

  // Every subscription made under "churn" hears of its node's deletion
  // exactly once.
  ASSERT_TRUE(dsc.setDataSource(nullptr, {kZaph, "churn"}));
  for (const auto& target : kept) EXPECT_EQ(target->deletions(), 1);
  EXPECT_FALSE(kept.empty());
}

}  // namespace
