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
  // Writes bytes (a damaged or foreign "movie") as `name` in a fresh
  // temporary folder; answers its path. A failed write fails the test.
  static QString writeFile(const QString& name, const QByteArray& bytes);
};
