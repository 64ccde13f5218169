#include "app/shell/InternetCheck.h"

#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/QKCURLDL.h"

namespace {

const QString kServerKey = QStringLiteral("updateServerURL");
const QString kServicePath = QStringLiteral("/version/zaph/versionInfo.php");

QString withoutTrailingSlash(QString address) {
  while (address.endsWith(u'/')) address.chop(1);
  return address;
}

QString encoded(const QString& version) {
  return QString::fromLatin1(QUrl::toPercentEncoding(version));
}

}  // namespace

InternetCheck::InternetCheck(Environment environment) : environment_(std::move(environment)) {}

InternetCheck::~InternetCheck() {
  *alive_ = false;
  abort_ = true;
  if (!thread_.joinable()) return;
  // The thread may be waiting for the main thread (the panel): keep serving it.
  if (MainThread::isMainThread()) MainThread::processUntil([this] { return finished(); }, 30.0);
  thread_.join();
}

void InternetCheck::start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] {
    try {
      run();
    } catch (const std::exception& error) {
      Log::line(
          QStringLiteral("\t\terr: internet thread: %1").arg(QString::fromUtf8(error.what())));
    } catch (...) {
      Log::line(QStringLiteral("\t\terr: internet thread failed"));
    }
    finished_ = true;
  });
}

void InternetCheck::run() {
  const bool available = checkForUpdate();
  if (abort_) return;
  MainThread::run([environment = environment_, available, alive = alive_] {
    if (!*alive) return;
    if (environment.setInternetAvailable) environment.setInternetAvailable(available);
    if (available) {
      copyBugReportEmail();
      if (environment.crashReporterCheck) environment.crashReporterCheck();
    } else if (environment.releaseGate) {
      environment.releaseGate();
    }
  });
}

QString InternetCheck::serviceVersion(const QString& bundleVersion) {
  QString version = bundleVersion;
  const qsizetype at = version.indexOf(QStringLiteral("alt"));
  if (at >= 0) version.remove(at, 3);
  return version;
}

QString InternetCheck::configuredAddress(const QString& key) {
  const QString address = UserDefaults::standard().stringValue(key).trimmed();
  if (address.isEmpty()) return {};
  const QUrl url(address, QUrl::StrictMode);
  if (url.isValid() && !url.host().isEmpty() &&
      (url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https")))
    return withoutTrailingSlash(address);
  Log::line(QStringLiteral("\terr: \"%1\" is not a web address: %2").arg(key, address));
  return {};
}

QString InternetCheck::versionCheckAddress(const QString& server, const QString& version) {
  return withoutTrailingSlash(server) + kServicePath +
         QStringLiteral("?&action=versionCheck&version=") + encoded(version);
}

QString InternetCheck::versionDetailsAddress(const QString& server, const QString& version) {
  return withoutTrailingSlash(server) + kServicePath +
         QStringLiteral("?action=versionDetails&version=") + encoded(version);
}

InternetCheck::Reply InternetCheck::classify(long httpStatus, const QByteArray& body) {
  if (httpStatus != 200 || body.size() > kLongestReply) return Reply::Other;
  if (body == "old") return Reply::Old;
  if (body == "latest") return Reply::Latest;
  return Reply::Other;
}

void InternetCheck::copyBugReportEmail() {
  UserDefaults& defaults = UserDefaults::standard();
  const QString crashKey = QStringLiteral("crashReporterEmail");
  const QString typed = defaults.stringValue(QStringLiteral("bugReportEmail"));
  if (!defaults.stringValue(crashKey).isEmpty() || typed.isEmpty()) return;
  defaults.setValue(crashKey, typed);
  defaults.synchronize();
}

bool InternetCheck::checkForUpdate() {
  const QString server = configuredAddress(kServerKey);
  if (server.isEmpty()) return false;
  const QString version = serviceVersion(environment_.bundleVersion);
  const QString address = versionCheckAddress(server, version);
  if (!QUrl(address).isValid()) {
    Log::line(QStringLiteral("\terr: couldn't make urlString from versionString: %1").arg(version));
    return false;
  }
  QKCURLDL download(address);
  download.setConnectTimeout(environment_.connectTimeout);
  download.setTimeout(environment_.totalTimeout);
  download.setAbortFlag(&abort_);
  if (!download.perform() || download.responseData().isEmpty()) {
    Log::line(QStringLiteral("\terr: couldn't load url %1").arg(QLatin1String("checkForUpdate")));
    return false;
  }
  switch (classify(download.httpStatus(), download.responseData())) {
    case Reply::Old:
      runUpdatePanel();
      return true;
    case Reply::Latest:
      return true;
    case Reply::Other:
      return false;
  }
  return false;
}

// A modal panel behind fullscreen output would make the program look hung:
// then the offer is only logged.
void InternetCheck::runUpdatePanel() {
  bool hidden = false;
  MainThread::runAndWait([this, &hidden] {
    hidden = environment_.fullscreenHidesModal && environment_.fullscreenHidesModal();
  });
  if (hidden) {
    Log::line(
        QStringLiteral("A newer version of ZAPH is available (not shown over fullscreen output)"));
    return;
  }
  const int answer = Alert::show(
      QStringLiteral("A new version of ZAPH is available!"),
      QStringLiteral(
          "A newer version of ZAPH can be downloaded. Would you like to see what is new?"),
      {QStringLiteral("Show Me"), QStringLiteral("Not Now")}, 0);
  if (answer == 0)
    updateOpenClicked();
  else
    updateCancelClicked();
}

void InternetCheck::updateOpenClicked() {
  const QString server = configuredAddress(kServerKey);
  if (server.isEmpty() || !environment_.openUrl) return;
  const QUrl page(versionDetailsAddress(server, serviceVersion(environment_.bundleVersion)));
  MainThread::run([open = environment_.openUrl, page, alive = alive_] {
    if (*alive) open(page);
  });
}
