#pragma once

#include "platform/movie/Movie.h"
#include "tests/support/TestClip.h"

#include <memory>

// A test clip written and opened as a movie, usually on a clock the test
// moves by hand. A failure to write or open is reported to the running test
// (and answers null).
class TestMovie {
 public:
  static std::shared_ptr<Movie> open(const TestClipSpec& spec, MovieClock* clock = nullptr,
                                     Movie::Options options = {}, QString* path = nullptr);
};
