#pragma once

#include <QString>
#include <QUrl>

// How a page's load ended.
struct WebLoadOutcome {
  enum class Kind { Succeeded, Stopped, Failed };

  Kind kind = Kind::Succeeded;
  QUrl url;
  // The HTTP status of a page the server refused (401, 404, 500 …); 0 when
  // the server gave the page or was never reached.
  int httpStatus = 0;
  QString error;  // why it failed, in the engine's words; empty otherwise
};
