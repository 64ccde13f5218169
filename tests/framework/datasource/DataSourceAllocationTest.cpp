// The tick walks thousands of nodes 45 times a second: a step must not
// allocate. Every allocation of this program is counted while a thread asks
// for it.
#include "framework/datasource/DSColorHolder.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "tests/framework/datasource/DataSourceFakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local bool countingHere = false;
thread_local int allocationsHere = 0;

void* allocate(std::size_t size) {
  if (countingHere) ++allocationsHere;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

// AddressSanitizer brings its own allocator and checks that what one
// allocator gives the other frees; the counting allocator stays out of its way.
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#define ZAPH_COUNTS_ALLOCATIONS 1
#endif

namespace {

int allocationsDuring(const std::function<void()>& work) {
  allocationsHere = 0;
  countingHere = true;
  work();
  countingHere = false;
  return allocationsHere;
}

class Summing : public DataSourceTarget {
 public:
  void received(DataSource* source) { sum_.store(sum_.load() + source->value()); }
  float sum() const { return sum_.load(); }

 private:
  std::atomic<float> sum_{0.0f};
};

class Swatch : public DSColorHolderDelegate {
 public:
  float rValForColorHolder(DSColorHolder*) override { return 0.1f; }
  float gValForColorHolder(DSColorHolder*) override { return 0.2f; }
  float bValForColorHolder(DSColorHolder*) override { return 0.3f; }
};

TEST(DataSourceAllocation, ATickAndAnImmediateSetAllocateNothing) {
#ifndef ZAPH_COUNTS_ALLOCATIONS
  GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
#endif
  const QString zaph = QStringLiteral("ZAPH");
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  std::vector<std::shared_ptr<DSFloatFrequent>> nodes;
  std::vector<std::shared_ptr<Summing>> targets;
  for (int h = 0; h < 4; ++h) {
    const QString holder = QStringLiteral("h%1").arg(h);
    ASSERT_TRUE(dsc.setDataSource(DataSourceHolder::createWithName(holder), {zaph, holder}));
    for (int n = 0; n < 8; ++n) {
      const QString name = QStringLiteral("n%1").arg(n);
      std::shared_ptr<DSFloatFrequent> node;
      if (n % 2)
        node = DSFloatInfrequent::createWithName(name);
      else
        node = DSFloatFrequent::createWithName(name);
      ASSERT_TRUE(dsc.setDataSource(node, {zaph, holder, name}));
      auto target = std::make_shared<Summing>();
      ASSERT_TRUE(dsc.subscribeObject(target, &Summing::received, {zaph, holder, name}));
      nodes.push_back(node);
      targets.push_back(target);
    }
  }
  const auto swatch = DSColorHolder::createWithName("swatch");
  ASSERT_TRUE(dsc.setDataSource(swatch, {zaph, "swatch"}));
  const auto delegate = std::make_shared<Swatch>();
  swatch->setDelegate(delegate);
  const auto red = std::make_shared<Summing>();
  ASSERT_TRUE(dsc.subscribeObject(red, &Summing::received, {zaph, "swatch", "R"}));
  dsc.threadProc();  // first use of this thread's lock bookkeeping

  for (const auto& node : nodes) node->setValue(0.5f);
  EXPECT_EQ(allocationsDuring([&] { dsc.threadProc(); }), 0);
  EXPECT_EQ(allocationsDuring([&] { nodes[1]->setValue(0.75f); }), 0);
  EXPECT_GT(red->sum(), 0.0f);
  EXPECT_GT(targets[0]->sum(), 0.0f);
  EXPECT_GT(allocationsDuring([] { ::operator delete(::operator new(16)); }), 0);  // it counts
}

}  // namespace
