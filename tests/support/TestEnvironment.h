#pragma once

#include <QString>

// Per-process isolation for tests: a temporary HOME with its own XDG config,
// data, cache and runtime folders, headless alerts and a private defaults
// file. Call before the application object exists.
class TestEnvironment {
 public:
  static void prepareProcess();
  static void cleanUpProcess();
  static QString rootDir();  // the temporary HOME
  // A fresh empty folder under the temporary HOME.
  static QString makeTempDir(const QString& prefix = QStringLiteral("t"));
  static bool hasDisplay();
  // Under AddressSanitizer: the GL driver stays loaded until exit, so that
  // leak reports inside it carry its name and can be suppressed (an unloaded
  // driver leaves frames without a module). Under ThreadSanitizer: Mesa's
  // GLX library stays loaded, as its suppression needs.
  static void keepGLDriverLoaded();
};
