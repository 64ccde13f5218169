#include "tests/support/JackServer.h"

#include "tests/support/JackRegistry.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
void silentJackMessage(const char*) {}
void printJackError(const char* text) { std::fprintf(stderr, "jack: %s\n", text); }
}  // namespace

QString JackServer::uniqueName() {
  static int counter = 0;
  return QStringLiteral("%1%2-%3").arg(namePrefix()).arg(::getpid()).arg(++counter);
}

QString JackServer::namePrefix() { return QStringLiteral("zaph-test-"); }

bool JackServer::registryHasRoom() {
  JackRegistry registry;
  const QStringList removed = registry.removeStale(namePrefix());
  if (!removed.isEmpty())
    std::fprintf(stderr, "JackServer: removed the registry entries of dead test servers: %s\n",
                 removed.join(QStringLiteral(", ")).toLocal8Bit().constData());
  if (!registry.full()) return true;
  error_ = QStringLiteral(
               "JACK's server registry is full, no test server can start until one "
               "of these stops. %1")
               .arg(registry.describe());
  return false;
}

JackServer::JackServer(QString name) : name_(name.isEmpty() ? uniqueName() : std::move(name)) {
  // JACK admits only a few servers per machine, so test servers take turns:
  // one at a time across every test process (ctest runs them in parallel).
  machineLock_ = ::open("/tmp/zaph-test-jackd.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (machineLock_ >= 0) ::flock(machineLock_, LOCK_EX);
  if (!registryHasRoom()) return;
  logPath_ = TestEnvironment::rootDir() + QStringLiteral("/%1.log").arg(name_);
  ::setenv("JACK_DEFAULT_SERVER", name_.toLocal8Bit().constData(), 1);
  ::setenv("JACK_NO_START_SERVER", "1", 1);
  // Probing prints an error for every try while the server starts.
  jack_set_error_function(silentJackMessage);
  jack_set_info_function(silentJackMessage);

  const QByteArray serverName = name_.toLocal8Bit();
  const QByteArray log = logPath_.toLocal8Bit();
  pid_ = ::fork();
  if (pid_ == 0) {
    // The server must not outlive a test that crashes or is killed: JACK
    // admits only a few servers per machine.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int fd = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    // A starved test machine must not make the server drop a slow client
    // (its default allows a client half a second).
    ::execlp("jackd", "jackd", "-n", serverName.constData(), "-t", "5000", "-d", "dummy", "-r",
             "48000", "-p", "256", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) {
    error_ = QStringLiteral("fork failed");
    return;
  }
  ready_ = waitUntilAcceptingClients(10.0);
  jack_set_error_function(printJackError);
  if (!ready_) {
    QFile file(logPath_);
    file.open(QIODevice::ReadOnly);
    const QString output = QString::fromLocal8Bit(file.readAll());
    error_ = QStringLiteral("jackd %1 did not come up: %2").arg(name_, output);
    if (output.contains(QStringLiteral("Too many servers")))
      error_ += QLatin1Char('\n') + JackRegistry().describe();
  }
}

JackServer::~JackServer() {
  stopServer();
  if (machineLock_ >= 0) ::close(machineLock_);  // releases the turn
}

void JackServer::stopServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

bool JackServer::waitUntilAcceptingClients(double timeoutSeconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;  // the server gave up
    }
    jack_status_t status;
    jack_client_t* probe = jack_client_open("zaph-probe", JackNoStartServer, &status);
    if (probe) {
      jack_client_close(probe);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}
