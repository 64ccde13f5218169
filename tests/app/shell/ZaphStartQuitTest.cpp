// ZAPH as the user starts it: a child process that comes up and quits
// cleanly on SIGTERM and SIGINT, and an event loop that ends when the last
// window closes.
#include "app/shell/AppController.h"
#include "tests/support/HandMadeBinaryList.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <initializer_list>

namespace {

QString zaphProgram() { return QCoreApplication::applicationDirPath() + QStringLiteral("/ZAPH"); }

// Whether the process has handlers for all of `signalNumbers` (its "SigCgt"
// mask): then a signal is turned into a quit instead of killing it.
bool catchesSignals(qint64 pid, std::initializer_list<int> signalNumbers) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:")) continue;
    bool ok = false;
    const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
    if (!ok) return false;
    for (int signalNumber : signalNumbers)
      if (!(mask & (quint64(1) << (signalNumber - 1)))) return false;
    return true;
  }
  return false;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(10);
  }
  return true;
}

}  // namespace

TEST(ZaphStartQuit, QuitsCleanlyOnTerminationSignals) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "needs a display (run under Xvfb)";
  ASSERT_TRUE(QFileInfo(zaphProgram()).isExecutable()) << zaphProgram().toStdString();
  struct Case {
    const char* name;
    int signalNumber;
  };
  const std::vector<Case> cases = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QProcess zaph;
    zaph.setProcessChannelMode(QProcess::MergedChannels);
#if defined(__SANITIZE_ADDRESS__)
    // The program unloads its GL driver at exit, and leaks inside an
    // unloaded driver cannot be told from ours: this test checks the exit.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    zaph.setProcessEnvironment(environment);
#endif
    zaph.start(zaphProgram(), {});  // with this test's environment
    ASSERT_TRUE(zaph.waitForStarted(5000)) << zaph.errorString().toStdString();
    const qint64 pid = zaph.processId();
    const bool up = waitFor([&] { return catchesSignals(pid, {SIGINT, SIGTERM}); }, 10000);
    if (!up) zaph.kill();
    ASSERT_TRUE(up) << "ZAPH did not come up: " << zaph.readAll().toStdString();

    ::kill(static_cast<pid_t>(pid), c.signalNumber);
    const bool finished = zaph.waitForFinished(5000);
    if (!finished) zaph.kill();
    const std::string output = zaph.readAll().toStdString();
    ASSERT_TRUE(finished) << "still running: " << output;
    EXPECT_EQ(zaph.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(zaph.exitCode(), 0) << output;
  }
}

TEST(ZaphStartQuit, StartsPastADefaultsFileItCannotRead) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "needs a display (run under Xvfb)";
  // A binary list nested 100,000 deep, once enough to overflow the stack.
  const QString defaults = TestEnvironment::makeTempDir() + QStringLiteral("/defaults.plist");
  QFile file(defaults);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(HandMadeBinaryList::nestedArrays(100000));
  file.close();

  QProcess zaph;
  zaph.setProcessChannelMode(QProcess::MergedChannels);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("ZAPH_DEFAULTS_FILE"), defaults);
#if defined(__SANITIZE_ADDRESS__)
  environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
#endif
  zaph.setProcessEnvironment(environment);
  zaph.start(zaphProgram(), {});
  ASSERT_TRUE(zaph.waitForStarted(5000)) << zaph.errorString().toStdString();
  const qint64 pid = zaph.processId();
  const bool up = waitFor([&] { return catchesSignals(pid, {SIGTERM}); }, 10000);
  if (!up) zaph.kill();
  ASSERT_TRUE(up) << "ZAPH did not come up: " << zaph.readAll().toStdString();
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  const bool finished = zaph.waitForFinished(5000);
  if (!finished) zaph.kill();
  const QString output = QString::fromLocal8Bit(zaph.readAll());
  ASSERT_TRUE(finished) << output.toStdString();
  EXPECT_EQ(zaph.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(QFileInfo::exists(defaults + QStringLiteral(".broken")));
  EXPECT_TRUE(output.contains(QLatin1String("nested too deeply"))) << output.toStdString();
}

// Started with a project, ZAPH opens no starting point and takes the
// project 1.5 s after launch; started without, the starting point is up
// after 1.5 s. Either way it runs until SIGTERM and ends with status 0.
TEST(ZaphStartQuit, StartsWithOrWithoutAProjectAndQuitsOnSIGTERM) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "needs a display (run under Xvfb)";
  const QString dir = TestEnvironment::makeTempDir();
  const QString project = dir + QStringLiteral("/Fixture.zaph");
  QFile file(project);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>presets</key><array/></dict></plist>\n");
  file.close();
  struct Case {
    const char* name;
    QStringList arguments;
    const char* expectedLine;
  };
  const std::vector<Case> cases = {
      {"with a project", {project}, "no files to load from project"},
      {"without", {}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QProcess zaph;
    zaph.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZAPH_DEFAULTS_FILE"), dir + QStringLiteral("/d.plist"));
#if defined(__SANITIZE_ADDRESS__)
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
#endif
    zaph.setProcessEnvironment(environment);
    zaph.start(zaphProgram(), c.arguments);
    ASSERT_TRUE(zaph.waitForStarted(5000)) << zaph.errorString().toStdString();
    const qint64 pid = zaph.processId();
    const bool up = waitFor([&] { return catchesSignals(pid, {SIGTERM}); }, 10000);
    if (!up) zaph.kill();
    ASSERT_TRUE(up);
    // Past the 1.5 s of the launch (and, with a project, until it is taken).
    QByteArray seen;
    waitFor(
        [&] {
          zaph.waitForReadyRead(100);
          seen += zaph.readAll();
          return c.expectedLine && seen.contains(c.expectedLine);
        },
        c.expectedLine ? 20000 : 2500);
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    const bool finished = zaph.waitForFinished(5000);
    if (!finished) zaph.kill();
    const QString output = QString::fromLocal8Bit(seen + zaph.readAll());
    ASSERT_TRUE(finished) << output.toStdString();
    EXPECT_EQ(zaph.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(zaph.exitCode(), 0) << output.toStdString();
    if (c.expectedLine)
      EXPECT_TRUE(output.contains(QLatin1String(c.expectedLine))) << output.toStdString();
  }
}
