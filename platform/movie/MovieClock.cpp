#include "platform/movie/MovieClock.h"

namespace {
class SteadyMovieClock : public MovieClock {
 public:
  int64_t nowNanos() const override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};
}  // namespace

MovieClock& MovieClock::steady() {
  // Never destroyed: worker and render threads may still read it while the
  // process exits.
  static SteadyMovieClock* clock = new SteadyMovieClock;
  return *clock;
}
