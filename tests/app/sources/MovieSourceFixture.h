#pragma once

#include "app/sources/MovieSource.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/SourceFactories.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/WorkerPool.h"
#include "platform/movie/MovieClock.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/support/Eventually.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/TestClip.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <future>
#include <map>

class FakeMasterClock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage&) override {}
  int beatsPerMeasure() const override { return beats; }
  float measureDuration() const override { return duration; }
  int beats = 4;
  float duration = 2.0f;
};

// A layer showing the movie source, in a compositor without GL, and 1 s
// clips (30 frames at 30 per second, 32 x 24) on a hand-moved clock.
class MovieSourceFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    previousOptions_ = QKQTFile::movieOptions();
    Movie::Options options = previousOptions_;
    options.clock = &clock;
    options.audio = false;
    QKQTFile::setMovieOptions(options);
    SourceFactories::install(*world.compositor);
    world.compositor->setMasterClock(&masterClock);
    SourceFileLookup::set([this](long id) -> std::shared_ptr<QKFile> {
      auto it = files.find(id);
      return it == files.end() ? nullptr : it->second;
    });
    layer = world.compositor->createNewLayer();
    layer->useSourceNamed(Layer::kMovie);
  }
  void TearDown() override {
    SourceFileLookup::set(nullptr);
    if (layer) layer->useSourceNamed(Layer::kNil);
    MainThread::processUntil([] { return false; }, 0.05);
    for (auto& file : made) file->prepareToBeDeleted();
    files.clear();
    made.clear();
    world.compositor->setMasterClock(nullptr);
    QKQTFile::setMovieOptions(previousOptions_);
  }

  MovieSource& source() {
    return static_cast<MovieSource&>(*layer->sourceOfKind(VidSourceObject::kMovieSource));
  }
  QKSliderCell& time() { return *source().timeSlider()->cell(); }

  static QKTimeRange range(double start, double length) {
    return {QKTime{int64_t(start * 600), 600, 0}, QKTime{int64_t(length * 600), 600, 0}};
  }

  std::shared_ptr<QKQTFile> clip(const QVariantMap& props = {}) {
    TestClipSpec spec;
    spec.frames = 30;
    QString error;
    const QString path = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    auto movie = QKQTMovie::movieWithFile(path, &error, QKQTFile::movieOptions());
    EXPECT_TRUE(movie) << error.toStdString();
    auto file =
        QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie, world.compositor.get());
    for (auto it = props.begin(); it != props.end(); ++it) file->setMovieProp(it.key(), it.value());
    made.push_back(file);
    return file;
  }

  void trigger(const std::shared_ptr<QKQTFile>& file) { layer->unlockedTriggerFile(file); }
  bool loaded(const std::shared_ptr<QKQTFile>& file) {
    return MainThread::processUntil(
        [&] { return source().currentFile() == file && source().movie() && !source().loading(); },
        5.0);
  }
  // Two passes of the main thread's idle timer: queued calls, the idle
  // step, and what it queued (a pending speed goes before a pending time).
  void idle() {
    for (int pass = 0; pass < 2; ++pass) {
      QCoreApplication::processEvents();
      source().movieTaskNow();
      QCoreApplication::processEvents();
    }
  }
  // Keeps every worker of the shared pool busy until the gates open.
  static std::vector<std::shared_ptr<std::promise<void>>> holdWorkers() {
    std::vector<std::shared_ptr<std::promise<void>>> gates;
    for (int i = 0; i < 3; ++i) {
      auto gate = std::make_shared<std::promise<void>>();
      auto opened = gate->get_future().share();
      WorkerPool::shared().post([opened] { opened.wait(); });
      gates.push_back(gate);
    }
    return gates;
  }

  ManualMovieClock clock;
  FakeMasterClock masterClock;
  LayerWorld world;
  std::shared_ptr<Layer> layer;
  std::map<long, std::shared_ptr<QKFile>> files;
  std::vector<std::shared_ptr<QKQTFile>> made;

 private:
  Movie::Options previousOptions_;
};
