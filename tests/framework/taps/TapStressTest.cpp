// Run under ThreadSanitizer (the tsan preset) to catch races between the tap
// pass and the main thread's changes.
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/TexturePool.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <deque>
#include <list>
#include <mutex>
#include <random>
#include <thread>

namespace {

constexpr int kNames = 6;
constexpr int kReceivers = 8;
constexpr int kMainSteps = 3000;
const QSize kFrameSize(4, 4);

QString nameAt(int index) {
  return index < kNames ? QStringLiteral("T%1").arg(index) : QKTapManager::kEmptyDeselectedString;
}

// The render thread's part: the tap pass under the manager's lock (every
// stub gets a frame, every receiver's frame is read), then reads outside it
// as a preview would. Frames read are held for a few passes.
class TapPass {
 public:
  TapPass(QKTapManager& manager, const std::vector<std::shared_ptr<QKRTap>>& receivers)
      : manager_(manager), receivers_(receivers) {
    for (auto& frame : frames_) frame = gl::TexturePool::shared().acquire(kFrameSize);
  }

  void run() {
    {
      std::lock_guard<QKTapManager> lock(manager_);
      for (const auto& stub : manager_.stubsDeepestFirst())
        stub->setTextureRef(frames_[passes_ % frames_.size()]);
      for (const auto& receiver : receivers_) hold(receiver->getTextureRef());
    }
    for (const auto& receiver : receivers_) {
      hold(receiver->getTextureRef());
      (void)receiver->sourceSize();
    }
    passes_.fetch_add(1);
  }
  int passes() const { return passes_.load(); }
  int wrongFrames() const { return wrongFrames_; }

 private:
  void hold(gl::TextureHandle frame) {
    if (frame && frame.size() != kFrameSize) ++wrongFrames_;
    held_.push_back(std::move(frame));
    if (held_.size() > 3 * receivers_.size()) held_.pop_front();
  }

  QKTapManager& manager_;
  const std::vector<std::shared_ptr<QKRTap>>& receivers_;
  std::array<gl::TextureHandle, 3> frames_;
  std::deque<gl::TextureHandle> held_;
  std::atomic<int> passes_{0};
  int wrongFrames_ = 0;
};

// The main thread's part: sources made, renamed, resized and deleted;
// receivers rebound; short-lived receivers with delegates made and deleted.
class MainSide {
 public:
  MainSide(const std::vector<std::shared_ptr<QKRTap>>& receivers) : receivers_(receivers) {}
  ~MainSide() {
    for (auto& source : sources_)
      if (source) source->prepareToBeDeleted();
    for (auto& [receiver, delegate] : shortLived_) receiver->prepareToBeDeleted();
  }

  void step() {
    switch (random_() % 5) {
      case 0:
        receivers_[pick(kReceivers)]->useTapNamed(nameAt(pick(kNames + 1)));
        break;
      case 1:
        toggleSource(pick(kNames));
        break;
      case 2:
        renameSource(pick(kNames), pick(kNames));
        break;
      case 3:
        shortLivedReceiver();
        break;
      default:
        if (auto& source = sources_[pick(kNames)]) source->boundsChanged();
    }
  }
  int lateUpdates() const {
    int late = 0;
    for (const auto& delegate : delegates_) late += delegate.lateUpdates.load();
    return late;
  }

 private:
  int pick(int count) { return int(random_() % unsigned(count)); }

  void toggleSource(int slot) {
    if (sources_[slot]) {
      sources_[slot]->prepareToBeDeleted();
      sources_[slot].reset();
      return;
    }
    layers_.emplace_back(nameAt(slot), slot, slot % 3);
    sources_[slot] = QKSTap::create(&layers_.back());
  }
  void renameSource(int slot, int to) {
    if (sources_[slot]) sources_[slot]->changeTapNameTo(nameAt(to));
  }
  void shortLivedReceiver() {
    if (shortLived_.size() > 4) {
      auto [receiver, delegate] = shortLived_.front();
      shortLived_.pop_front();
      receiver->prepareToBeDeleted();
      delegate->gone.store(true);
      return;
    }
    auto receiver = QKRTap::create();
    delegates_.emplace_back();
    receiver->setDelegate(&delegates_.back());
    receiver->useTapNamed(nameAt(pick(kNames)));
    shortLived_.emplace_back(receiver, &delegates_.back());
  }

  const std::vector<std::shared_ptr<QKRTap>>& receivers_;
  std::mt19937 random_{2026};
  std::list<FakeLayer> layers_;  // outlive their taps
  std::array<std::shared_ptr<QKSTap>, kNames> sources_;
  std::list<CountingDelegate> delegates_;  // outlive their receivers
  std::deque<std::pair<std::shared_ptr<QKRTap>, CountingDelegate*>> shortLived_;
};

TEST(TapStressTest, TheTapPassRacesNothingTheMainThreadChanges) {
  LogCapture log;  // displaced sources log a line each
  QKTapManager manager;
  QKRTapMenuController controller;
  controller.awakeFromNib();
  std::vector<std::shared_ptr<QKRTap>> receivers;
  for (int i = 0; i < kReceivers; ++i) receivers.push_back(QKRTap::create());

  TapPass pass(manager, receivers);
  std::atomic<bool> stop{false};
  std::thread renderThread([&] {
    while (!stop.load()) pass.run();
  });
  // On a loaded machine the thread may not be scheduled for a while: the
  // main thread's changes must meet passes under way.
  while (pass.passes() == 0) std::this_thread::yield();
  {
    MainSide mainSide(receivers);
    for (int i = 0; i < kMainSteps; ++i) {
      mainSide.step();
      if (i % 64 == 0) std::this_thread::yield();
    }
    stop.store(true);
    renderThread.join();
    EXPECT_EQ(mainSide.lateUpdates(), 0);
  }
  EXPECT_GT(pass.passes(), 0);
  EXPECT_EQ(pass.wrongFrames(), 0);
  for (auto& receiver : receivers) receiver->prepareToBeDeleted();
  controller.prepareToBeDeleted();
}

}  // namespace
