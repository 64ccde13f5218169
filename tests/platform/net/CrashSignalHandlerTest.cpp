#include "platform/foundation/Paths.h"
#include "platform/net/QKCrashReporter.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

struct CrashCase {
  const char* name;
  int signal;
  void (*crash)();
};
void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.name; }

// A store into a page that allows no access: a genuine fault.
void segmentationFault() {
  void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  *static_cast<volatile int*>(page) = 1;
}
void abortion() { std::abort(); }
void illegalInstruction() { __builtin_trap(); }
void raisedBusError() { ::raise(SIGBUS); }
void raisedFloatingPointError() { ::raise(SIGFPE); }

class CrashLog : public testing::TestWithParam<CrashCase> {};

// Runs in the forked child: arm the handler, then die.
void crashWithHandler(const CrashCase& c) {
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  if (!QKCrashReporter::installCrashHandler()) std::_Exit(3);
  c.crash();
  std::_Exit(4);  // not reached
}

TEST_P(CrashLog, ACrashWritesALogThatTheNextCheckFinds) {
  const CrashCase& c = GetParam();
  Paths::setUserDataDirOverride(TestEnvironment::makeTempDir(QString::fromLatin1(c.name)));
  EXPECT_EXIT(crashWithHandler(c), testing::KilledBySignal(c.signal), "");

  const QStringList logs = QKCrashReporter::unreportedLogs();
  ASSERT_EQ(logs.size(), 1);
  EXPECT_TRUE(logs[0].startsWith(QKCrashReporter::crashLogFolder() + QStringLiteral("/")));
  QFile file(logs[0]);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(
      text.contains(QByteArray("signal: ") + QByteArray::number(c.signal) + " (" + c.name + ")"))
      << text.toStdString();
  const QByteArray frames = text.mid(text.indexOf("backtrace:\n") + 11);
  EXPECT_GE(frames.count('\n'), 3) << text.toStdString();
  Paths::setUserDataDirOverride({});
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashLog,
                         testing::Values(CrashCase{"SIGSEGV", SIGSEGV, &segmentationFault},
                                         CrashCase{"SIGABRT", SIGABRT, &abortion},
                                         CrashCase{"SIGILL", SIGILL, &illegalInstruction},
                                         CrashCase{"SIGBUS", SIGBUS, &raisedBusError},
                                         CrashCase{"SIGFPE", SIGFPE, &raisedFloatingPointError}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
