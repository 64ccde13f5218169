#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// The internet thread of a launch: asks the version service (user default
// "updateServerURL") whether a newer version exists, offers it in the
// update panel, and then lets the crash reporter look for logs to send.
// Without an address, or without a 200 answer reading exactly "old" or
// "latest", it answers NO: no crash report is offered and the fullscreen
// gate's half is released. Outcomes act on the main thread; the main thread
// never waits for the network. Destroying it aborts a transfer under way
// and joins the thread.
class InternetCheck {
 public:
  enum class Reply { Old, Latest, Other };
  struct Environment {
    QString bundleVersion;
    // Main thread. Whether a modal panel would sit hidden behind the output.
    std::function<bool()> fullscreenHidesModal;
    // Opens a web page in the user's browser.
    std::function<bool(const QUrl&)> openUrl;
    // Main thread, after the check: its result, then either the crash
    // reporter's check (YES) or the release of the fullscreen gate (NO).
    std::function<void(bool available)> setInternetAvailable;
    std::function<void()> crashReporterCheck;
    std::function<void()> releaseGate;
    double connectTimeout = 3.0;
    double totalTimeout = 10.0;
  };

  static constexpr qsizetype kLongestReply = 1024;

  explicit InternetCheck(Environment environment);
  ~InternetCheck();
  InternetCheck(const InternetCheck&) = delete;
  InternetCheck& operator=(const InternetCheck&) = delete;

  // Detaches the thread (once).
  void start();
  bool finished() const { return finished_.load(); }
  // The thread's body, also run directly by tests.
  void run();
  // Asks the service; on "old" runs the update panel on the main thread
  // (or, when the output would hide it, logs and skips it). Internet thread.
  bool checkForUpdate();
  // The panel's buttons.
  void updateOpenClicked();
  void updateCancelClicked() {}

  // The version as the service takes it: the first "alt" removed.
  static QString serviceVersion(const QString& bundleVersion);
  // The configured address under `key`: empty when unset or not http(s)
  // (logged).
  static QString configuredAddress(const QString& key);
  static QString versionCheckAddress(const QString& server, const QString& version);
  static QString versionDetailsAddress(const QString& server, const QString& version);
  static Reply classify(long httpStatus, const QByteArray& body);
  // Copies the bug reporter's address to "crashReporterEmail" when that has none.
  static void copyBugReportEmail();

 private:
  void runUpdatePanel();

  Environment environment_;
  std::atomic<bool> abort_{false};
  std::atomic<bool> finished_{false};
  // Outcomes queued for the main thread are dropped once this is gone.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
  std::thread thread_;
};
