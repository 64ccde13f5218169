#include "platform/net/QKCrashReporter.h"

#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/CrashSignalHandler.h"
#include "platform/net/QKCURLDL.h"
#include "platform/net/SystemProfiler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>
#include <thread>

namespace {

const QString kSentSuffix = QStringLiteral(".sent");
const QString kDeclinedSuffix = QStringLiteral(".declined");
// The user's address, copied from the bug reporter's by the application.
const QString kUserEmailDefault = QStringLiteral("crashReporterEmail");
constexpr double kUploadTimeout = 60.0;

void markLog(const QString& log, const QString& suffix) {
  if (!QFile::rename(log, log + suffix))
    Log::line(QStringLiteral("\t\terr: could not mark crash log %1").arg(log));
}

bool uploadLog(const QString& log, const QString& url, const QString& developerEmail) {
  QFile file(log);
  if (!file.open(QIODevice::ReadOnly)) {
    Log::line(QStringLiteral("\t\terr: could not read crash log %1").arg(log));
    return false;
  }
  const QByteArray contents = file.readAll();
  const QByteArray fileName = QFileInfo(log).fileName().toUtf8();
  const QByteArray email = developerEmail.toUtf8();
  const QByteArray userEmail = UserDefaults::standard().stringValue(kUserEmailDefault).toUtf8();
  const QByteArray system = SystemProfiler().software().toUtf8();

  QKCURLDL upload(url);
  upload.setTimeout(kUploadTimeout);
  upload.appendHeader("Expect:");
  curl_mimepart* part = upload.addFormPart();
  curl_mime_name(part, "crashLog");
  curl_mime_filename(part, fileName.constData());
  curl_mime_type(part, "text/plain");
  curl_mime_data(part, contents.constData(), size_t(contents.size()));
  part = upload.addFormPart();
  curl_mime_name(part, "developerEmail");
  curl_mime_data(part, email.constData(), size_t(email.size()));
  part = upload.addFormPart();
  curl_mime_name(part, "email");
  curl_mime_data(part, userEmail.constData(), size_t(userEmail.size()));
  part = upload.addFormPart();
  curl_mime_name(part, "os");
  curl_mime_data(part, system.constData(), size_t(system.size()));

  if (!upload.perform()) return false;
  if (upload.httpStatus() < 200 || upload.httpStatus() >= 300) {
    Log::line(QStringLiteral("\t\terr: crash log upload answered %1").arg(upload.httpStatus()));
    return false;
  }
  return true;
}

void reportLogs(const QString& url, const QString& developerEmail) {
  const QStringList logs = QKCrashReporter::unreportedLogs();
  if (logs.isEmpty()) return;
  if (url.isEmpty()) {
    Log::line("\t\terr: crash logs found, but there is no address to send them to");
    return;
  }
  const int answer = Alert::show(
      QStringLiteral("Crash Report"),
      QStringLiteral("ZAPH quit unexpectedly the last time it ran. Send the crash report to the "
                     "developer%1 so that the problem can be fixed?")
          .arg(developerEmail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(developerEmail)),
      {QStringLiteral("Send Report"), QStringLiteral("Don't Send")}, 0);
  for (const QString& log : logs) {
    if (answer != 0)
      markLog(log, kDeclinedSuffix);
    else if (uploadLog(log, url, developerEmail))
      markLog(log, kSentSuffix);
  }
}

}  // namespace

QKCrashReporter::QKCrashReporter() = default;
QKCrashReporter::~QKCrashReporter() = default;

QString QKCrashReporter::crashLogFolder() {
  return Paths::userDataDir() + QStringLiteral("/crash logs");
}

bool QKCrashReporter::installCrashHandler() {
  return CrashSignalHandler::install(crashLogFolder());
}

QStringList QKCrashReporter::unreportedLogs() {
  const QDir folder(crashLogFolder());
  QStringList logs;
  for (const QFileInfo& info :
       folder.entryInfoList({QStringLiteral("*") + CrashSignalHandler::kLogSuffix}, QDir::Files,
                            QDir::Time | QDir::Reversed))
    logs << info.absoluteFilePath();
  return logs;
}

void QKCrashReporter::setDelegate(QKCrashReporterDelegate* delegate) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->delegate = delegate;
}

void QKCrashReporter::setUploadURL(const QString& url) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->uploadURL = url;
}

void QKCrashReporter::setDeveloperEmail(const QString& email) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->developerEmail = email;
}

QString QKCrashReporter::uploadURL() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->uploadURL;
}

QString QKCrashReporter::developerEmail() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->developerEmail;
}

void QKCrashReporter::check() {
  const std::weak_ptr<Shared> weak = shared_;
  const QString url = uploadURL();
  const QString email = developerEmail();
  // Detached: an upload may outlive the reporter; the delegate is then not
  // called, since it may be gone too.
  std::thread([weak, url, email] {
    try {
      reportLogs(url, email);
    } catch (const std::exception& e) {
      Log::line(QStringLiteral("\t\terr: caught exception in crash reporter: %1").arg(e.what()));
    } catch (...) {
      Log::line("\t\terr: caught unknown exception in crash reporter");
    }
    MainThread::run([weak] {
      const std::shared_ptr<Shared> shared = weak.lock();
      if (!shared) return;
      QKCrashReporterDelegate* delegate = nullptr;
      {
        std::lock_guard<std::mutex> lock(shared->mutex);
        delegate = shared->delegate;
      }
      if (delegate) delegate->crashReporterCheckDone();
    });
  }).detach();
}

std::optional<QString> QKCrashReporter::consoleLogString() const {
  const QStringList lines = Log::recentLines();
  if (lines.isEmpty()) return std::nullopt;
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

std::optional<QVariantMap> QKCrashReporter::systemProfilerDict() const {
  return SystemProfiler().profile();
}
