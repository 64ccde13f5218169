#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The one logging function of the program. Lines go to standard error as
// given (callers pass the texts with their "\t\terr: " prefixes). Errors that
// can repeat every frame go through `limited`, which lets one line per key
// through per interval and counts the rest.
class Log {
 public:
  using Sink = std::function<void(const QString&)>;

  static void line(const QString& text);
  static void line(const char* text);
  // printf-style convenience, formatted with the C locale.
  static void format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

  // At most one line per `key` every `intervalSeconds`; the lines held back
  // are reported as a count with the next line let through.
  static void limited(const QString& key, const QString& text, double intervalSeconds = 2.0);

  // Replaces the sink (standard error by default); an empty function restores
  // it. Returns the previous sink. Used by tests to capture lines.
  static Sink setSink(Sink sink);
  // Forgets the rate-limit history (tests).
  static void resetLimits();

  // The last lines written (at most kRecentLineCount), oldest first, whatever
  // the sink: the console log that problem reports carry.
  static constexpr int kRecentLineCount = 500;
  static QStringList recentLines();
};
