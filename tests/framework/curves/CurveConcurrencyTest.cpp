// A tick thread evaluates a curve (through its monitor view) while the main
// thread drags, inserts, removes and loads snapshots: every value stays a
// value of 0..1, and ThreadSanitizer (the tsan preset) sees no race.
#include "framework/curves/CurveReaders.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineOpenGLView.h"
#include "platform/foundation/MainThread.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

TEST(CurveConcurrency, ATickThreadEvaluatesWhileTheMainThreadEdits) {
  QKSingleSplineOpenGLView view;
  view.resize(210, 100);
  const std::shared_ptr<QKSingleSpline> curve = view.theSpline();
  curve->setBounds(QRectF(0, 0, 200, 100));
  QKSingleSpline other;
  other.insertControlPointAtXLoc(0.7f);
  other.setHandleForPoint(0, 0.4f, 0.9f);
  other.setAmplitude(0.5f);
  const QVariantMap bent = other.createSnapshot();
  const QVariantMap ramp = QKSingleSpline().createSnapshot();

  std::atomic<bool> stop{false};
  std::atomic<int> outOfRange{0};
  std::atomic<long> evaluations{0};
  std::thread tick([&] {
    float phase = 0;
    while (!stop.load()) {
      const float value = view.evaluateAt(phase);
      if (!(value >= 0.0f && value <= 1.0f)) ++outOfRange;
      const QPointF last = curve->lastEvalPoint();
      if (std::isnan(last.x()) || std::isnan(last.y())) ++outOfRange;
      view.requestRedraw();
      phase = std::fmod(phase + 0.0137f, 1.5f);
      ++evaluations;
    }
  });

  // The edits overlap evaluations only once the tick thread is running.
  while (evaluations.load() == 0) std::this_thread::yield();
  for (int round = 0; round < 150; ++round) {
    const double wiggle = (round % 10) * 0.01;
    ASSERT_TRUE(curve->loadSnapshot(round % 2 ? bent : ramp));
    // A point drag: press on the first point, move, release.
    curve->handleClick(QPointF(1, curve->evaluateAt(0.0f) * 100 - 1), 0);
    curve->selectedPointMovedTo(QPointF(0.0, 0.3 + wiggle));
    curve->setDragMode(0);
    // An offset drag on empty space, then the amplitude with command.
    curve->handleClick(QPointF(120, 95), 0);
    curve->selectedPointMovedTo(QPointF(0.62 + wiggle, 0.9));
    curve->handleClick(QPointF(120, 95), 1 << 20);
    curve->selectedPointMovedTo(QPointF(0.6, 0.7 + wiggle));
    curve->setDragMode(0);
    const int inserted = curve->insertControlPointAtXLoc(static_cast<float>(0.15 + wiggle));
    if (inserted > 0) curve->removeControlPointAtIndex(inserted);
    curve->addControlPointAtXLoc(0.33f, 0.4f);
    curve->removeAllControlPoints();
    view.prepareCurvePoints();
    if (round % 25 == 0) view.grab();
    QCoreApplication::processEvents();
  }
  stop.store(true);
  tick.join();
  MainThread::processUntil([&] { return !view.redrawPending(); }, 3.0);
  EXPECT_EQ(outOfRange.load(), 0);
  EXPECT_GT(evaluations.load(), 0);
}

}  // namespace

namespace {

// A publisher keeps a replaced copy while a reader that was inside at the
// replacement is still inside, and may free it once that reader has left;
// a reader that enters afterwards does not hold it up, nor does a thread
// that has ended (its slot goes to the next thread).
TEST(CurveReaders, AReplacedCopyWaitsOnlyForTheReadersInsideAtTheReplacement) {
  std::atomic<int> step{0};
  std::thread reader([&] {
    CurveReaders::Slot& slot = CurveReaders::mine();
    const std::uint32_t state = CurveReaders::enter(slot);
    step = 1;
    while (step.load() != 2) std::this_thread::yield();
    CurveReaders::leave(slot, state);
    step = 3;
    while (step.load() != 4) std::this_thread::yield();
    const std::uint32_t again = CurveReaders::enter(slot);  // a later read
    step = 5;
    while (step.load() != 6) std::this_thread::yield();
    CurveReaders::leave(slot, again);
  });
  while (step.load() != 1) std::this_thread::yield();
  const CurveReaders::Inside inside = CurveReaders::insideNow();
  EXPECT_EQ(inside.size(), 1u);
  EXPECT_FALSE(CurveReaders::allLeft(inside));
  step = 2;
  while (step.load() != 3) std::this_thread::yield();
  EXPECT_TRUE(CurveReaders::allLeft(inside));
  step = 4;
  while (step.load() != 5) std::this_thread::yield();
  EXPECT_TRUE(CurveReaders::allLeft(inside)) << "a read begun after the replacement";
  EXPECT_EQ(CurveReaders::insideNow().size(), 1u);
  step = 6;
  reader.join();
  EXPECT_TRUE(CurveReaders::insideNow().empty());

  // A new thread takes the ended thread's slot instead of a new one.
  const CurveReaders::Slot* first = nullptr;
  std::thread([&] { first = &CurveReaders::mine(); }).join();
  const CurveReaders::Slot* second = nullptr;
  std::thread([&] { second = &CurveReaders::mine(); }).join();
  EXPECT_EQ(first, second);
}

// Edits while other threads evaluate give each evaluation the curve before
// or after an edit, never a mix: two shapes whose values never meet.
TEST(CurveReaders, EvaluationsSeeOneWholeCopyWhilePublicationsReplaceIt) {
  QKSingleSpline curve;
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&] {
      while (!stop.load()) {
        for (float phase = 0.05f; phase < 1; phase += 0.1f) {
          const float v = curve.evaluateAt(phase);
          // The ramp gives 1 - phase; the raised one 0.5 + (1 - phase) / 4.
          const bool ramp = std::fabs(v - (1 - phase)) < 1e-5f;
          const bool raised = std::fabs(v - (0.5f + (1 - phase) / 4)) < 1e-5f;
          if (!ramp && !raised) ++wrong;
        }
      }
    });
  for (int i = 0; i < 2000; ++i) {
    curve.setSplineArray(QKSingleSpline().splineArray());
    curve.loadSnapshot(i % 2 ? QVariantMap{{"vOffset", 0.5}, {"amplitude", 0.25}}
                             : QVariantMap{{"vOffset", 0.0}, {"amplitude", 1.0}});
  }
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
