#include "framework/media/MovieTempoSync.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(MovieTempoSync, LengthInMeasuresAndTheMoviesOwnTempo) {
  struct Case {
    const char* name;
    float seconds;
    int beatsPerMeasure;
    bool syncOn;
    std::optional<float> defaultTempo;
    float measures;
    float tempo;
  };
  const Case cases[] = {
      {"7.5 s", 7.5f, 4, false, std::nullopt, 2.0f, 64.0f},
      {"3 s", 3.0f, 4, false, std::nullopt, 1.0f, 80.0f},
      {"1.5 s snaps to half a measure", 1.5f, 4, false, std::nullopt, 0.5f, 80.0f},
      {"0.5 s snaps to a quarter", 0.5f, 4, false, std::nullopt, 0.25f, 120.0f},
      {"halves round away from zero", 10.0f, 4, false, std::nullopt, 3.0f, 72.0f},
      {"0 beats per measure counts as 4", 7.5f, 0, false, std::nullopt, 2.0f, 64.0f},
      {"3 beats per measure", 6.0f, 3, false, std::nullopt, 2.0f, 60.0f},
      {"default tempo with sync", 10.0f, 4, true, 120.0f, 5.0f, 120.0f},
      {"default tempo 0 counts as 60", 10.0f, 4, true, 0.0f, 2.5f, 60.0f},
      {"default tempo ignored without sync", 7.5f, 4, false, 120.0f, 2.0f, 64.0f},
      {"no length: a quarter at 60", 0.0f, 4, false, std::nullopt, 0.25f, 60.0f},
      {"no length with a default tempo", 0.0f, 4, true, 100.0f, 0.0f, 100.0f},
      {"an unreadable length", NAN, 4, false, std::nullopt, 0.25f, 60.0f},
  };
  for (const Case& c : cases) {
    const MovieTempoSync sync =
        MovieTempoSync::compute(c.seconds, c.beatsPerMeasure, c.syncOn, c.defaultTempo);
    EXPECT_FLOAT_EQ(sync.durationInMeasures, c.measures) << c.name;
    EXPECT_NEAR(sync.beatsPerMinute, c.tempo, 1e-3) << c.name;
    EXPECT_TRUE(std::isfinite(sync.beatsPerMinute)) << c.name;
  }
}
