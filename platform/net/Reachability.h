#pragma once

#include <QString>

#include <functional>

// Whether a web site can be reached: a TCP connection to its host and port
// (libcurl's connect-only mode) within a short time-out. `probe` blocks and
// belongs on a worker; `probeLater` runs it on one and answers on the main
// thread, so the interface never waits for the network.
class Reachability {
 public:
  static constexpr double kDefaultTimeout = 2.0;

  // An address that is not http(s) is not reachable.
  static bool probe(const QString& address, double timeoutSeconds = kDefaultTimeout);
  // Answers false at once (on the main thread) when no worker takes the probe.
  static void probeLater(const QString& address, std::function<void(bool reachable)> done,
                         double timeoutSeconds = kDefaultTimeout);
};
