// A tick thread evaluates a curve (through its monitor view) while the main
// thread drags, inserts, removes and loads snapshots: every value stays a
// value of 0..1, and ThreadSanitizer (the tsan preset) sees no race.
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineOpenGLView.h"
#include "platform/foundation/MainThread.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

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
