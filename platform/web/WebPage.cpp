#include "platform/web/WebPage.h"

#include "platform/foundation/Log.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  holdBack();
  refuseRequests();
}

void WebPage::holdBack() {
  QWebEngineSettings* s = settings();
  // Scripts may ask for windows, so that every request reaches createWindow,
  // which refuses it (and logs).
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
  s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
  s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
  s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
  // A failed load leaves an empty page rather than the engine's error page.
  s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
  setAudioMuted(true);
}

void WebPage::refuseRequests() {
  connect(this, &QWebEnginePage::featurePermissionRequested, this,
          [this](const QUrl& origin, Feature feature) {
            refused(QStringLiteral("permission %1").arg(int(feature)), origin);
            setFeaturePermission(origin, feature, PermissionDeniedByUser);
          });
  connect(this, &QWebEnginePage::certificateError, this,
          [this](const QWebEngineCertificateError& error) {
            refused(QStringLiteral("a bad certificate (%1)").arg(error.description()), error.url());
            auto rejected = error;
            rejected.rejectCertificate();
          });
  connect(this, &QWebEnginePage::selectClientCertificate, this,
          [](QWebEngineClientCertificateSelection selection) { selection.selectNone(); });
  connect(this, &QWebEnginePage::fullScreenRequested, this,
          [](QWebEngineFullScreenRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::quotaRequested, this,
          [](QWebEngineQuotaRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
          [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
          [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [this](const QUrl& url, QAuthenticator* authenticator) {
            *authenticator = QAuthenticator();  // a null authenticator cancels
            Q_EMIT authenticationRefused(url);
          });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [this](const QUrl& url, QAuthenticator* authenticator, const QString&) {
            *authenticator = QAuthenticator();
            Q_EMIT authenticationRefused(url);
          });
  connect(this, &QWebEnginePage::renderProcessTerminated, this,
          [this](RenderProcessTerminationStatus status, int exitCode) {
            if (status == NormalTerminationStatus) return;
            Log::line(QStringLiteral("\t\terr: web page %1: its renderer ended (status %2, "
                                     "exit code %3)")
                          .arg(url().toDisplayString())
                          .arg(int(status))
                          .arg(exitCode));
          });
}

void WebPage::refused(const QString& what, const QUrl& origin) {
  Log::limited(
      QStringLiteral("web page refused ") + what,
      QStringLiteral("\t\terr: web page %1: %2 refused").arg(origin.toDisplayString(), what));
}

QWebEnginePage* WebPage::createWindow(WebWindowType) {
  refused(QStringLiteral("a new window"), url());
  return nullptr;
}

QStringList WebPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) {
  refused(QStringLiteral("a file chooser"), url());
  return {};
}

void WebPage::javaScriptAlert(const QUrl& securityOrigin, const QString&) {
  refused(QStringLiteral("an alert"), securityOrigin);
}

bool WebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString&) {
  refused(QStringLiteral("a confirmation"), securityOrigin);
  return false;
}

bool WebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString&, const QString&,
                               QString*) {
  refused(QStringLiteral("a prompt"), securityOrigin);
  return false;
}

void WebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                       const QString&) {
  // A page's console is not ours to print.
}
