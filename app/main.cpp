#include "app/shell/AppController.h"
#include "framework/render/TheApplication.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UnixSignalWatcher.h"
#include "platform/net/QKCrashReporter.h"
#include "platform/web/WebEngineSetup.h"

#include <curl/curl.h>

#include <csignal>

#include <malloc.h>

int main(int argc, char** argv) {
  // Decoded pictures are large and come and go with the movies: in mappings
  // of their own they go back to the system when freed, instead of keeping
  // the heap at its peak for the rest of the show.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
    Log::line("\terr: curl_global_init failed!  curl totally unsafe to use!");

  // Palettes need absolute window positions, which only X11 gives.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");

  // Web pages: the archive scheme and shared GL contexts must be set up
  // before the application object.
  WebEngineSetup::beforeApplication();

  int status = 0;
  {
    TheApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZAPH"));
    QKCrashReporter::installCrashHandler();
    // Every quit goes through the controller's question; a signal quits
    // without it (the quit notification is still posted).
    QApplication::setQuitOnLastWindowClosed(false);
    // Before anything slow: a signal during start-up then quits cleanly
    // (handled once the event loop runs) instead of killing the process.
    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM}, [](int) { QApplication::quit(); });

    AppController controller;
    QObject::connect(&app, &QApplication::aboutToQuit, &controller,
                     &AppController::applicationWillTerminate);
    if (controller.compositionRuntimeFailed()) {
      status = 1;
    } else {
      // Files named on the command line are the files opened with the program.
      QStringList paths = QApplication::arguments().mid(1);
      paths.removeIf([](const QString& argument) { return argument.startsWith(QLatin1Char('-')); });
      if (!paths.isEmpty()) controller.applicationOpenFiles(paths);
      controller.applicationDidFinishLaunching();
      status = app.exec();
    }
  }
  curl_global_cleanup();
  return status;
}
