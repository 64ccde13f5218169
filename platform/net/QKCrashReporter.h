#pragma once

#include "platform/net/QKCrashReporterDelegate.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

// Crash logs and problem-report material.
//
// `installCrashHandler` makes a crash of this process write a log into the
// user's "crash logs" folder. At the next launch `check` looks for logs not
// yet reported (on a worker thread), asks the user whether to send them, and
// uploads each as a multipart form to the upload address (with the user's
// address from the user default "crashReporterEmail"); a sent log is
// renamed "….sent", a declined one "….declined"; a log whose upload fails
// stays for the next check. Whatever happens, the delegate's
// `crashReporterCheckDone` follows once, on the main thread.
//
// `consoleLogString` and `systemProfilerDict` give the bug reporter the
// recent console lines and a description of the machine.
class QKCrashReporter {
 public:
  QKCrashReporter();
  ~QKCrashReporter();
  QKCrashReporter(const QKCrashReporter&) = delete;
  QKCrashReporter& operator=(const QKCrashReporter&) = delete;

  // Paths::userDataDir()/"crash logs".
  static QString crashLogFolder();
  static bool installCrashHandler();
  // Logs in the folder that were neither sent nor declined, oldest first.
  static QStringList unreportedLogs();

  void setDelegate(QKCrashReporterDelegate* delegate);
  void setUploadURL(const QString& url);
  void setDeveloperEmail(const QString& email);
  QString uploadURL() const;
  QString developerEmail() const;

  void check();

  // The last lines written through Log, or nothing when there are none.
  std::optional<QString> consoleLogString() const;
  std::optional<QVariantMap> systemProfilerDict() const;

 private:
  struct Shared {
    std::mutex mutex;
    QKCrashReporterDelegate* delegate = nullptr;
    QString uploadURL;
    QString developerEmail;
  };

  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};
