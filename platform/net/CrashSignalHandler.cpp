#include "platform/net/CrashSignalHandler.h"

#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <atomic>
#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

const QString CrashSignalHandler::kLogSuffix = QStringLiteral(".crash");

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int kMaxFrames = 128;
constexpr size_t kAlternateStackSize = 64 * 1024;

// Prepared at install time; read-only in the handler.
char gLogPath[4096];
char gHeader[1024];
alignas(16) char gAlternateStack[kAlternateStackSize];
std::atomic<bool> gHandling{false};

const char* signalName(int signal) {
  switch (signal) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGABRT:
      return "SIGABRT";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    default:
      return "signal";
  }
}

void writeText(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(fd, text, left);
    if (n <= 0) return;
    text += n;
    left -= size_t(n);
  }
}

// Unsigned number in the given base, without the C library's formatting.
void writeNumber(int fd, unsigned long value, unsigned base) {
  char digits[32];
  int at = sizeof(digits);
  digits[--at] = '\0';
  do {
    digits[--at] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0 && at > 0);
  writeText(fd, digits + at);
}

void onCrash(int signal, siginfo_t* info, void*) {
  // A crash while the log is written (in this handler, or another thread)
  // ends the process at once: never a hang.
  if (gHandling.exchange(true)) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  const int fd = ::open(gLogPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    writeText(fd, gHeader);
    writeText(fd, "signal: ");
    writeNumber(fd, unsigned(signal), 10);
    writeText(fd, " (");
    writeText(fd, signalName(signal));
    writeText(fd, ")\naddress: 0x");
    writeNumber(fd, reinterpret_cast<unsigned long>(info ? info->si_addr : nullptr), 16);
    writeText(fd, "\nbacktrace:\n");
    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, kMaxFrames);
    ::backtrace_symbols_fd(frames, count, fd);
    ::fsync(fd);
    ::close(fd);
  }
  // The handler was reset on entry: the signal now ends the process as usual.
  ::raise(signal);
}

bool copyInto(char* target, size_t capacity, const QByteArray& text) {
  if (size_t(text.size()) >= capacity) return false;
  std::memcpy(target, text.constData(), size_t(text.size()) + 1);
  return true;
}

QByteArray headerText() {
  const QString application = QCoreApplication::applicationName().isEmpty()
                                  ? QStringLiteral("ZAPH")
                                  : QCoreApplication::applicationName();
  QString header = QStringLiteral("%1 crash log\n").arg(application);
  if (!QCoreApplication::applicationVersion().isEmpty())
    header += QStringLiteral("version: %1\n").arg(QCoreApplication::applicationVersion());
  header += QStringLiteral("process: %1\nstarted: %2\n")
                .arg(::getpid())
                .arg(QDateTime::currentDateTime().toString(Qt::ISODate));
  return header.toUtf8();
}

}  // namespace

bool CrashSignalHandler::install(const QString& folder) {
  if (!QDir().mkpath(folder)) {
    Log::line(QStringLiteral("\t\terr: could not create the crash log folder %1").arg(folder));
    return false;
  }
  const QString name =
      QStringLiteral("ZAPH %1 %2%3")
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")))
          .arg(::getpid())
          .arg(kLogSuffix);
  const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
  if (!copyInto(gLogPath, sizeof(gLogPath), path) ||
      !copyInto(gHeader, sizeof(gHeader), headerText())) {
    Log::line("\t\terr: crash log path too long");
    gLogPath[0] = '\0';
    return false;
  }

  // The unwinder loads on first use; do that now, not in the handler.
  void* warmUp[4];
  ::backtrace(warmUp, 4);

  stack_t alternate{};
  alternate.ss_sp = gAlternateStack;
  alternate.ss_size = sizeof(gAlternateStack);
  ::sigaltstack(&alternate, nullptr);

  struct sigaction action {};
  action.sa_sigaction = &onCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) {
    if (::sigaction(signal, &action, nullptr) != 0) {
      Log::line(QStringLiteral("\t\terr: could not install the crash handler for %1")
                    .arg(QString::fromLatin1(signalName(signal))));
      return false;
    }
  }
  return true;
}

QString CrashSignalHandler::logPath() { return QFile::decodeName(gLogPath); }
