#include "tests/framework/controls/SliderViewFixture.h"
#include "framework/controls/SliderGeometry.h"

#include <atomic>
#include <thread>

namespace {

// Counts its paints and notes any request that arrives off the main thread.
class CountingSliderControl : public QKSliderControl {
 public:
  void setNeedsDisplay() override {
    if (!MainThread::isMainThread()) ++offMainThread;
    QKSliderControl::setNeedsDisplay();
  }
  std::atomic<int> paints{0};
  std::atomic<int> offMainThread{0};

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (!MainThread::isMainThread()) ++offMainThread;
    ++paints;
    QKSliderControl::paintEvent(event);
  }
};

class SliderRedrawRace : public testing::Test, public SliderViewFixture {};

}  // namespace

// Fifty sliders set 10,000 times each from a worker thread while the main
// thread runs: redraws are coalesced, every widget call stays on the main
// thread, and each slider ends drawn at its last value. Run under
// ThreadSanitizer this also proves the hand-over free of races.
TEST_F(SliderRedrawRace, FiftySlidersFromAWorkerThread) {
  constexpr int kSliders = 50;
  constexpr int kSets = 10000;
  std::vector<CountingSliderControl*> sliders;
  for (int i = 0; i < kSliders; ++i) {
    auto* c = new CountingSliderControl;
    control(QRect(5 + (i % 2) * 200, 5 + (i / 2) * 11, 190, 10), c);
    sliders.push_back(c);
  }
  window->resize(400, 290);
  window->show();
  settle();
  for (auto* c : sliders) c->paints = 0;

  std::vector<QKSliderCell::Ptr> cells;
  for (auto* c : sliders) cells.push_back(c->cellPtr());
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int n = 1; n <= kSets; ++n)
      for (const auto& cell : cells) cell->setValue(static_cast<float>(n) / kSets, false);
    done = true;
  });
  MainThread::processUntil([&] { return done.load(); }, 120.0);
  worker.join();
  settle();

  for (auto* c : sliders) {
    EXPECT_EQ(c->offMainThread.load(), 0);
    EXPECT_FLOAT_EQ(c->value(), 1.0f);
    EXPECT_EQ(c->sliderHead(), SliderGeometry::sliderHead(c->controlFrame(), 1.0f));
    EXPECT_GE(c->paints.load(), 1);
    EXPECT_LT(c->paints.load(), kSets / 10);
  }
  // The last value is what shows: the head at the right end of the bar.
  const QImage image = picture(sliders.front());
  EXPECT_EQ(qGray(image.pixel(188, 5)), qGray(QColor::fromRgbF(0.66f, 0.66f, 0.66f).rgb()));
  EXPECT_NE(image.pixel(188, 5), image.pixel(150, 5));
}
