#pragma once

// What Qt WebEngine needs of the process before the application object
// exists: the URL scheme that serves web archives (schemes cannot be added
// later), contexts shared with WebEngine's own (Qt::AA_ShareOpenGLContexts),
// and, when running as root, Chromium's sandbox turned off (it refuses to
// start as root otherwise). Called by ZAPH's main and the tests' main,
// before TheApplication is made; calling it again does nothing.
class WebEngineSetup {
 public:
  static void beforeApplication();
};
