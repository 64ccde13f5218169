#pragma once

#include "framework/media/QKFileLoader.h"
#include "framework/media/QKQTMovie.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaBinTestSupport.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

// A real loader and page controller on the test's event loop.
class FileLoaderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Alert::clearRecorded();
    loader = std::make_unique<QKFileLoader>(&host);
    host.loader = loader.get();
    host.makePageController();
  }
  void TearDown() override {
    host.pages.reset();
    loader.reset();
    UserDefaults::standard().resetForTesting();
  }

  QKPageController& pages() { return *host.pages; }
  std::shared_ptr<QKPage> page(int i) { return pages().pages()[size_t(i)]; }
  // Runs the event loop until the load has ended.
  bool finishLoad(double seconds = 20.0) {
    return MainThread::processUntil([this] { return !loader->loading(); }, seconds);
  }
  // A tiny movie in a fresh folder.
  static QString clip(const QString& name = QStringLiteral("clip.mov"), int frames = 3) {
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("clip"));
    const QString path = folder + QLatin1Char('/') + name;
    TestClipSpec spec;
    spec.frames = frames;
    const QString error = TestClip::write(path, spec);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return path;
  }

  FakeMediaBinHost host;
  std::unique_ptr<QKFileLoader> loader;
};
