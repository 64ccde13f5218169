#include "framework/toolkit/QKStatChecker.h"

#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace {
const QString kWarningTitle = QStringLiteral("Warning!");

std::atomic<unsigned> cachedCount{0};
std::atomic<bool> alertOpen{false};
std::atomic<bool> stopFlag{false};
std::atomic<bool> belowMemory{false};

// The renderer vendors the main thread found last (none: it never looked).
std::mutex vendorMutex;
std::optional<QStringList> knownVendors;
bool vendorLookPosted = false;

std::mutex settingsMutex;
QString memInfoPath = QStringLiteral("/proc/meminfo");
QKStatChecker::Presenter presenter;

QString currentMemInfoPath() {
  std::lock_guard<std::mutex> lock(settingsMutex);
  return memInfoPath;
}

// Temporary contexts on every screen; main thread only (a surface is made
// there).
QStringList readRendererVendors() {
  QStringList vendors;
  if (!QGuiApplication::instance()) return vendors;
  QOpenGLContext* previous = QOpenGLContext::currentContext();
  QSurface* previousSurface = previous ? previous->surface() : nullptr;
  for (QScreen* screen : QGuiApplication::screens()) {
    QOffscreenSurface surface(screen);
    surface.create();
    QOpenGLContext context;
    context.setScreen(screen);
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface)) continue;
    const auto* vendor = reinterpret_cast<const char*>(context.functions()->glGetString(GL_VENDOR));
    if (vendor) vendors << QString::fromLatin1(vendor);
    context.doneCurrent();
  }
  if (previous && previousSurface) previous->makeCurrent(previousSurface);
  return vendors;
}

// Another thread never waits for the main thread (which may be waiting for
// it): it answers what the main thread found last, and when the main thread
// never looked, asks it to look and answers an empty list.
QStringList lastVendorsFound() {
  std::lock_guard<std::mutex> lock(vendorMutex);
  if (knownVendors) return *knownVendors;
  if (!std::exchange(vendorLookPosted, true))
    MainThread::post([] { QKStatChecker::gpuVendorArray(); });
  return {};
}

int present(const QString& title, const QString& message, const QStringList& buttons, int def) {
  QKStatChecker::Presenter show;
  {
    std::lock_guard<std::mutex> lock(settingsMutex);
    show = presenter;
  }
  return show ? show(title, message, buttons, def) : Alert::show(title, message, buttons, def);
}

void showPrerollWarning(unsigned count) {
  const QString message =
      QStringLiteral(
          "The current project now has over %1 pre-rolled movies. This may lead to "
          "performance or stability problems.")
          .arg(count);
  const int answer =
      present(kWarningTitle, message,
              {QStringLiteral("Continue loading"), QStringLiteral("Stop Pre-rolling")}, 0);
  if (answer == 1) {
    Log::line("err:Blocking prerolling until below threshold");
    stopFlag = true;
  }
  alertOpen = false;
}

void showMemoryWarning() {
  present(kWarningTitle,
          QStringLiteral("ZAPH is running low on available memory. This may result in stability or "
                         "performance issues. Image caching and movie pre-rolling / ramloading may "
                         "be temporarily disabled until more memory is available."),
          {QStringLiteral("Okay")}, 0);
  alertOpen = false;
}
}  // namespace

void QKStatChecker::incrementCachedMovieCount() {
  const unsigned old = cachedCount.fetch_add(1);
  const bool shortOfMemory = checkMemoryThreshold();
  if (shortOfMemory) belowMemory = true;
  if (old != kMovieThreshold || shortOfMemory) return;
  bool expected = false;
  if (!alertOpen.compare_exchange_strong(expected, true)) return;
  Log::line("err:Exceeded movie pre-roll safety threshold");
  const unsigned count = old + 1;
  MainThread::post([count] { showPrerollWarning(count); });
}

void QKStatChecker::decrementCachedMovieCount() {
  unsigned old = cachedCount.load();
  do {
    if (old == 0) {
      Log::line("\t\terr: more pre-rolled movies released than counted");
      break;
    }
  } while (!cachedCount.compare_exchange_weak(old, old - 1));
  belowMemory = belowPhysicalRAMThreshold();
  if (old == kMovieThreshold) {
    stopFlag = false;
    Log::line("err:Below VC threshold, resuming pre-rolling");
  }
}

unsigned QKStatChecker::cachedMovieCount() { return cachedCount.load(); }

bool QKStatChecker::checkMemoryThreshold() {
  if (alertOpen) return true;
  if (belowMemory) return true;
  if (!belowPhysicalRAMThreshold()) return false;
  belowMemory = true;
  Log::line("Err: exceeded memory usage threshold");
  openMemoryWarningAlert();
  return true;
}

void QKStatChecker::openMemoryWarningAlert() {
  alertOpen = true;
  MainThread::post(&showMemoryWarning);
}

bool QKStatChecker::stopPrerolling() { return stopFlag.load(); }

double QKStatChecker::availableRAM() {
  QFile file(currentMemInfoPath());
  // /proc files report no size: read until the end rather than by size.
  if (file.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (!line.startsWith("MemAvailable:")) continue;
      const QList<QByteArray> parts = line.mid(13).simplified().split(' ');
      bool ok = false;
      const double kilobytes = parts.value(0).toDouble(&ok);
      if (ok) return kilobytes;
    }
  }
  Log::line("Failed to get VM statistics.");
  return -2.0;
}

bool QKStatChecker::belowPhysicalRAMThreshold() {
  const double available = availableRAM();
  return available < 0.0 || available < kMemoryFloorKilobytes;
}

void QKStatChecker::updateBelowMemoryThreshold() { belowMemory = belowPhysicalRAMThreshold(); }

QStringList QKStatChecker::gpuVendorArray() {
  if (!MainThread::isMainThread()) return lastVendorsFound();
  const QStringList vendors = readRendererVendors();
  std::lock_guard<std::mutex> lock(vendorMutex);
  knownVendors = vendors;
  vendorLookPosted = false;
  return vendors;
}

void QKStatChecker::setMemInfoPath(const QString& path) {
  std::lock_guard<std::mutex> lock(settingsMutex);
  memInfoPath = path.isEmpty() ? QStringLiteral("/proc/meminfo") : path;
}

void QKStatChecker::setPresenter(Presenter show) {
  std::lock_guard<std::mutex> lock(settingsMutex);
  presenter = std::move(show);
}

void QKStatChecker::reset() {
  cachedCount = 0;
  alertOpen = false;
  stopFlag = false;
  belowMemory = false;
  setMemInfoPath({});
  setPresenter({});
  std::lock_guard<std::mutex> lock(vendorMutex);
  knownVendors.reset();
  vendorLookPosted = false;
}
