#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The one alert function. With a display it shows a modal message box on the
// main thread; headless (the offscreen or minimal platform, or
// ZAPH_HEADLESS_ALERTS set) it answers the default button at once. Every
// alert is recorded so that tests can see what the user would have seen.
class Alert {
 public:
  struct Record {
    QString title;
    QString message;
    QStringList buttons;
    int answer;
  };

  // Shows the alert and answers the index of the chosen button (the default
  // when headless). Buttons default to {"Okay"}. Must not be called with a
  // lock held; from another thread it waits for the main thread.
  static int show(const QString& title, const QString& message,
                  const QStringList& buttons = {QStringLiteral("Okay")}, int defaultButton = 0);
  // The usual "Warning!" alert with an "Okay" button, shown without waiting
  // (queued to the main thread).
  static void postWarning(const QString& message);

  static bool headless();
  // Answers the next alerts with these buttons, by title, in order, without
  // showing them (tests; ZAPH_ALERT_ANSWERS, titles separated by "|", for a
  // program a test starts). A title the alert lacks answers its default.
  static void scriptAnswers(const QStringList& buttonTitles);
  static void clearScriptedAnswers();
  static std::vector<Record> recorded();
  static void clearRecorded();
};
