#pragma once

#include "framework/media/CompositorInterface.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/UniqueIDCounter.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QMap>
#include <QFile>
#include <QString>
#include <QStringList>

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

// The compositor as media files see it: the ID counter, a render lock that
// counts how it is used, the master clock's beats per measure, the
// project's path, the style tables and the file loader.
class FakeCompositor : public CompositorInterface {
 public:
  long getUniqueID() override { return ids.next(); }
  void uniqueIDRecovered(long uniqueID) override { ids.recovered(uniqueID); }
  void lockForRender() override {
    renderMutex.lock();
    ++locks;
    heldSince = threadCpuMicros();
  }
  void unlockRender() override {
    const long long held = threadCpuMicros() - heldSince;
    if (held > longestHoldCpuMicros) longestHoldCpuMicros = held;
    renderMutex.unlock();
  }
  // What a frame does: it never waits for the lock.
  bool tryLockForFrame() { return renderMutex.try_lock(); }
  void unlockFrame() { renderMutex.unlock(); }

  // Work done by the holder while it held the lock (its own CPU time, so a
  // holder that the system merely put aside does not count).
  static long long threadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (long long)now.tv_sec * 1000000 + now.tv_nsec / 1000;
  }
  int beatsPerMeasure() override { return beats; }
  QString projectSavePath() override { return savePath; }
  QMap<QString, QString> imageSourcesPathsDict() override { return imageSources; }
  QStringList imageSourcesNames() override { return imageSourceMenu; }
  QMap<QString, QString> fontSynthPathsDict() override { return fontSynths; }
  QStringList fontSynthNames() override { return fontSynthMenu; }
  QKFileLoaderInterface* fileLoader() override { return loader; }

  UniqueIDCounter ids;
  std::mutex renderMutex;
  std::atomic<int> locks{0};
  long long heldSince = 0;  // under renderMutex
  std::atomic<long long> longestHoldCpuMicros{0};
  int beats = 4;
  QString savePath;
  QMap<QString, QString> imageSources;
  QStringList imageSourceMenu;
  QMap<QString, QString> fontSynths;
  QStringList fontSynthMenu;
  QKFileLoaderInterface* loader = nullptr;
};

// The file loader's thumbnail requests, kept.
class FakeFileLoader : public QKFileLoaderInterface {
 public:
  void createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) override {
    if (file) requested.push_back(file);
  }
  std::vector<std::shared_ptr<QKURLFile>> requested;
};

inline bool writeFile(const QString& path, const QByteArray& bytes = "x") {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The fixture of a media kind's tests: the user defaults and the memory
// check as at start-up, a compositor, and a fresh folder to write media in.
class MediaKindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UserDefaults::standard().resetForTesting();
    QKStatChecker::reset();
  }
  void TearDown() override {
    UserDefaults::standard().resetForTesting();
    QKStatChecker::reset();
  }

  // A file of the folder with these bytes.
  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_ + QLatin1Char('/') + name;
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
  }

  FakeCompositor compositor_;
  QString dir_ = TestEnvironment::makeTempDir(QStringLiteral("media"));
};
