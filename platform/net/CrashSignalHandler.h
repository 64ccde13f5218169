#pragma once

#include <QString>

// Writes a crash log when the process dies of SIGSEGV, SIGABRT, SIGBUS,
// SIGFPE or SIGILL, then lets the signal take its usual course (core dump,
// exit status). Everything the handler needs (the log's path, its header,
// an alternate stack for stack overflows, the unwinder) is prepared at
// install time: the handler itself only calls async-signal-safe functions
// (open, write, close, backtrace_symbols_fd, raise).
class CrashSignalHandler {
 public:
  // Crash logs not yet reported end in this suffix.
  static const QString kLogSuffix;

  // Installs the handler (again, when called again) writing into `folder`,
  // which is created when missing. Answers false, logged, when the folder
  // cannot be made or the handler cannot be installed.
  static bool install(const QString& folder);
  // The file the next crash of this process writes, or an empty string.
  static QString logPath();
};
