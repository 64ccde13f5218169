// The main() of a benchmark program without widgets that works on files it
// makes itself: a QCoreApplication in the tests' isolated environment
// (temporary home and folders).

#pragma once

#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace bench {

inline int runInTestEnvironment(int argc, char** argv) {
  TestEnvironment::prepareProcess();
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TestEnvironment::cleanUpProcess();
  return 0;
}

}  // namespace bench
