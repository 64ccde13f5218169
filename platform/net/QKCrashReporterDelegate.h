#pragma once

// What the crash reporter tells its owner.
class QKCrashReporterDelegate {
 public:
  virtual ~QKCrashReporterDelegate() = default;
  // The check for crash logs has finished (called on the main thread, once
  // per `check`).
  virtual void crashReporterCheckDone() {}
};
