#include "platform/web/WebEngineSetup.h"

#include "platform/foundation/Log.h"
#include "platform/web/WebArchiveResources.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QWebEngineUrlScheme>

#include <unistd.h>

namespace {
void registerArchiveScheme() {
  QWebEngineUrlScheme scheme(WebArchiveResources::kScheme);
  // With a host, relative addresses inside an archived page resolve against
  // the page's own (served) address.
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);
}
}  // namespace

void WebEngineSetup::beforeApplication() {
  static bool done = false;
  if (done) return;
  done = true;
  registerArchiveScheme();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // WebEngine prints its GL set-up at start; QT_LOGGING_RULES still wins.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
  if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    Log::line("\tweb pages run without Chromium's sandbox: the program runs as root");
  }
}
