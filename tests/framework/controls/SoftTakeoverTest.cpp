#include "framework/controls/SoftTakeover.h"

#include <gtest/gtest.h>

#include <limits>

// One step of each mode, when a value arrives and when only a tick passes.
TEST(SoftTakeover, StepsOfTheFourModes) {
  struct Case {
    const char* name;
    int mode;
    bool valueArrives;
    float input, target;
    float expectInput;
    bool expectEnded;
  };
  const float tol = 0.05f, speed = 0.03f;
  const Case cases[] = {
      {"off ends and keeps the input", 0, true, 0.5f, 0.9f, 0.5f, true},
      {"off on a tick", 0, false, 0.5f, 0.9f, 0.5f, true},
      {"jump", 1, true, 0.5f, 0.9f, 0.9f, true},
      {"jump on a tick", 1, false, 0.5f, 0.9f, 0.9f, true},
      {"pick-up far below", 2, true, 0.5f, 0.1f, 0.5f, false},
      {"pick-up still outside", 2, true, 0.5f, 0.3f, 0.5f, false},
      {"pick-up within the tolerance", 2, true, 0.5f, 0.46f, 0.46f, true},
      {"pick-up on a tick waits", 2, false, 0.5f, 0.46f, 0.5f, false},
      {"glide up one step", 3, true, 0.2f, 0.25f, 0.23f, false},
      {"glide passing the target stops on it", 3, true, 0.23f, 0.25f, 0.25f, true},
      {"glide down one step", 3, false, 0.8f, 0.1f, 0.77f, false},
      {"glide landing on the target", 3, true, 0.5f, 0.5f, 0.5f, true},
      {"glide from no number lands", 3, false, std::numeric_limits<float>::infinity(), 0.4f, 0.4f,
       true},
      {"unknown mode keeps waiting", 7, true, 0.5f, 0.9f, 0.5f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SoftTakeover::Step step =
        c.valueArrives ? SoftTakeover::valueArrived(c.mode, c.input, c.target, tol, speed)
                       : SoftTakeover::tick(c.mode, c.input, c.target, speed);
    EXPECT_FLOAT_EQ(step.input, c.expectInput);
    EXPECT_EQ(step.ended, c.expectEnded);
  }
}

TEST(SoftTakeover, GlideReachesTheTargetAndStops) {
  float input = 0.2f;
  int steps = 0;
  for (bool ended = false; !ended; ++steps) {
    const SoftTakeover::Step step = SoftTakeover::glide(input, 0.5f, 0.03f);
    EXPECT_GT(step.input, input);
    input = step.input;
    ended = step.ended;
    ASSERT_LT(steps, 20);
  }
  EXPECT_EQ(input, 0.5f);
  EXPECT_EQ(steps, 10);
}
