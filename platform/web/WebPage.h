#pragma once

#include <QWebEnginePage>

// The page of a view that is never shown. Nothing a page asks for may open
// a window, a dialog or a device, or stall the caller: pop-up windows are
// refused; JavaScript alerts, confirmations, prompts and leave-page
// questions answer at once (no, or nothing) without a dialog; permission
// requests (camera, microphone, location, notifications …), full screen,
// protocol handlers, file choosers and file-system access are denied;
// certificate errors are rejected and client certificates are not given;
// authentication requests are answered by cancelling, and announced. The
// page is muted. Each refusal is logged, at most once a few seconds per
// kind.
class WebPage : public QWebEnginePage {
  Q_OBJECT
 public:
  WebPage(QWebEngineProfile* profile, QObject* parent);

 Q_SIGNALS:
  // The server asked for a user name and password (or a proxy did); the
  // request has been cancelled.
  void authenticationRefused(const QUrl& url);

 protected:
  QWebEnginePage* createWindow(WebWindowType type) override;
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                          const QStringList& acceptedMimeTypes) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                        QString* result) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override;

 private:
  void holdBack();
  void refuseRequests();
  void refused(const QString& what, const QUrl& origin);
};
