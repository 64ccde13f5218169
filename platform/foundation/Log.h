#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The one logging function of the program. Lines go to standard error
// (callers pass the texts with their "\t\terr: " prefixes). Errors that can
// repeat every frame go through `limited`, which lets one line per key
// through per interval and counts the rest.
//
// Log lines carry text from outside (OSC addresses, port and device names,
// file names, answers of servers), so every line is escaped here, once,
// before anything sees it: the tabs that begin it stay, and every other
// control character (C0, DEL, C1, the Unicode line and paragraph
// separators) is written as an escape, so one call is one line and no escape
// sequence reaches a terminal.
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

  // The text as it is logged: "\n", "\r", "\t" and "\e" for those characters,
  // "\xNN" for the other C0 ones and DEL, "\uNNNN" for C1 and the
  // separators; leading tabs kept.
  static QString escaped(const QString& text);

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
