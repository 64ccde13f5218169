#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The process-wide memory and pre-roll watchdog. Media files ask it before
// they cache a still image or pre-roll a movie: it counts the pre-rolled
// movies, tells whether available memory has fallen below a floor, warns the
// user once in each case, and blocks further pre-rolling on request until the
// count falls again. All state is shared (class operations); an instance has
// none of its own.
//
// Every operation may run on any thread (the loading threads call them): the
// counters are atomic, the count never goes below zero, and the warnings are
// queued to the main thread without waiting, so a loader never waits for a
// panel or for the main thread.
class QKStatChecker {
 public:
  static constexpr unsigned kMovieThreshold = 100;
  static constexpr double kMemoryFloorKilobytes = 102400.0;  // 100 MB available
  // The system version number the program asks for: the newer-system paths.
  static constexpr int kSystemVersion = 6;

  QKStatChecker() = default;

  static void incrementCachedMovieCount();
  static void decrementCachedMovieCount();
  static unsigned cachedMovieCount();
  // Memory short (or found short before), or a warning open.
  static bool checkMemoryThreshold();
  static void openMemoryWarningAlert();
  static bool stopPrerolling();
  // Available physical memory in kilobytes (MemAvailable); -2.0 when it
  // cannot be read.
  static double availableRAM();
  static bool belowPhysicalRAMThreshold();
  static void updateBelowMemoryThreshold();
  static int majorSysVersion() { return kSystemVersion; }
  // The vendor of the OpenGL renderer of each screen, read on the main
  // thread. Another thread does not wait for the main thread: it gets the
  // main thread's last answer (empty when it never looked; the look is then
  // queued for the main thread).
  static QStringList gpuVendorArray();

  // Where MemAvailable is read (/proc/meminfo; tests point it elsewhere).
  static void setMemInfoPath(const QString& path);
  // Shows a panel and answers the chosen button (Alert::show by default).
  using Presenter = std::function<int(const QString& title, const QString& message,
                                      const QStringList& buttons, int defaultButton)>;
  static void setPresenter(Presenter presenter);
  // Back to the state at start-up (tests).
  static void reset();
};
