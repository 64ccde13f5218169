#include "platform/foundation/Alert.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <deque>
#include <mutex>
#include <optional>

namespace {

std::mutex& recordMutex() {
  static std::mutex m;
  return m;
}

std::vector<Alert::Record>& records() {
  static std::vector<Alert::Record> list;
  return list;
}

void record(const Alert::Record& r) {
  std::lock_guard<std::mutex> lock(recordMutex());
  records().push_back(r);
}

int showBox(const QString& title, const QString& message, const QStringList& buttons,
            int defaultButton) {
  // The title is the alert's question, shown large; the message explains it
  // below. Window titles are not shown everywhere (no window manager, some
  // desktops' modal sheets), so neither lives only there.
  QMessageBox box;
  box.setWindowTitle(QCoreApplication::applicationName());
  if (title.isEmpty()) {
    box.setText(message);
  } else {
    box.setText(title);
    box.setInformativeText(message);
  }
  std::vector<QPushButton*> made;
  for (const QString& text : buttons) made.push_back(box.addButton(text, QMessageBox::AcceptRole));
  if (defaultButton >= 0 && defaultButton < static_cast<int>(made.size()))
    box.setDefaultButton(made[static_cast<size_t>(defaultButton)]);
  box.exec();
  for (size_t i = 0; i < made.size(); ++i)
    if (box.clickedButton() == made[i]) return static_cast<int>(i);
  return defaultButton;
}

std::deque<QString>& scripted() {
  static std::deque<QString> answers = [] {
    std::deque<QString> fromEnvironment;
    const QString list = qEnvironmentVariable("ZAPH_ALERT_ANSWERS");
    if (!list.isEmpty())
      for (const QString& title : list.split(QLatin1Char('|'))) fromEnvironment.push_back(title);
    return fromEnvironment;
  }();
  return answers;
}

std::optional<QString> nextScriptedAnswer() {
  std::lock_guard<std::mutex> lock(recordMutex());
  if (scripted().empty()) return std::nullopt;
  QString title = scripted().front();
  scripted().pop_front();
  return title;
}

}  // namespace

void Alert::scriptAnswers(const QStringList& buttonTitles) {
  std::lock_guard<std::mutex> lock(recordMutex());
  for (const QString& title : buttonTitles) scripted().push_back(title);
}

void Alert::clearScriptedAnswers() {
  std::lock_guard<std::mutex> lock(recordMutex());
  scripted().clear();
}

bool Alert::headless() {
  if (qEnvironmentVariableIsSet("ZAPH_HEADLESS_ALERTS")) return true;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

int Alert::show(const QString& title, const QString& message, const QStringList& buttons,
                int defaultButton) {
  const QStringList shown = buttons.isEmpty() ? QStringList{QStringLiteral("Okay")} : buttons;
  // Callers index their buttons with the answer: keep it in range.
  const int fallback = defaultButton >= 0 && defaultButton < shown.size() ? defaultButton : 0;
  int answer = fallback;
  if (const std::optional<QString> scriptedTitle = nextScriptedAnswer()) {
    if (shown.contains(*scriptedTitle)) answer = static_cast<int>(shown.indexOf(*scriptedTitle));
    Log::line(QStringLiteral("alert (answered %1): %2: %3").arg(shown.at(answer), title, message));
  } else if (headless()) {
    Log::line(QStringLiteral("alert (headless): %1: %2").arg(title, message));
  } else {
    MainThread::runAndWait([&] { answer = showBox(title, message, shown, fallback); });
  }
  record({title, message, shown, answer});
  return answer;
}

void Alert::postWarning(const QString& message) {
  MainThread::post([message] { show(QStringLiteral("Warning!"), message); });
}

std::vector<Alert::Record> Alert::recorded() {
  std::lock_guard<std::mutex> lock(recordMutex());
  return records();
}

void Alert::clearRecorded() {
  std::lock_guard<std::mutex> lock(recordMutex());
  records().clear();
}
