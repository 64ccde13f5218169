// The main() of a benchmark program that needs widgets but no window on a
// screen: a QApplication on the offscreen platform unless one is chosen.

#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

namespace bench {

inline int runWithWidgets(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
