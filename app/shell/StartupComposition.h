#pragma once

#include <QString>

// The composition ZAPH opens at start-up: the resource "black", read and
// checked here and played once on the render thread (when it runs), so that
// a composition runtime that cannot work is found before anything else is
// made. A missing resource is skipped with a log line; a runtime that
// cannot open it shows the alert, after which ZAPH quits.
class StartupComposition {
 public:
  enum class Result { Opened, Missing, Failed };

  // The shipped "black.qtz".
  static Result open();
  static Result open(const QString& path);

  // The alert's text, with the reason on its own line.
  static QString failureMessage(const QString& reason);
};
