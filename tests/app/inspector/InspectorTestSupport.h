#pragma once

#include "app/inspector/MIPane.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/MediaInspectorHost.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileKindTable.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/TestClip.h"

#include <QFileInfo>

#include <memory>
#include <vector>

// A pane that records what the inspector tells it.
class FakePane : public MIPane {
 public:
  void readFile(const std::shared_ptr<QKFile>& file) override { reads.push_back(file); }
  void updateSelection() override { ++updates; }
  void storeParamsForSelectedFiles() override {
    ++stores;
    if (onStore) onStore();
  }
  void draw() override { ++draws; }
  std::shared_ptr<QKFile> currentFile() const override { return current; }

  // The last file read, or null when the last read was of none (or none).
  std::shared_ptr<QKFile> lastRead() const { return reads.empty() ? nullptr : reads.back(); }
  std::vector<std::shared_ptr<QKFile>> reads;
  int updates = 0;
  int stores = 0;
  std::atomic<int> draws{0};
  std::function<void()> onStore;
  std::shared_ptr<QKFile> current;
};

class FakeInspectorHost : public MediaInspectorHost {
 public:
  QKPageController* pageController() override { return pages; }
  int beatsPerMeasure() override { return beats; }
  int quantizedSubdivisions() override { return subdivisions; }
  QKPageController* pages = nullptr;
  int beats = 4;
  int subdivisions = 2;
  // Adopts the tap pane when the inspector wakes, as the compositor's does.
  QKTapManager taps;
};

// Files of each kind, with fresh IDs and a few stored properties.
class InspectorFiles {
 public:
  std::shared_ptr<QKFile> make(int kind, const QString& name, const QVariantMap& props = {}) {
    const QVariantMap snapshot{{QKFile::kTypeKey, kind},
                               {QKFile::kUniqueIdKey, qint64(compositor.getUniqueID())},
                               {QKFile::kNameKey, name}};
    std::shared_ptr<QKFile> file = QKFileKindTable::createForSnapshot(snapshot, &compositor);
    file->QKFile::loadFromSnapshot(snapshot, &compositor);
    file->setMovieProps(props);
    return file;
  }
  std::shared_ptr<QKFolder> folder() { return std::make_shared<QKFolder>(&compositor, nullptr); }
  // A real movie file on a generated clip (frame numbers in the pixels).
  std::shared_ptr<QKQTFile> movie(const TestClipSpec& spec,
                                  const QString& name = QStringLiteral("clip.mov")) {
    QString error;
    const QString path = TestClip::create(spec, name, &error);
    EXPECT_FALSE(path.isEmpty()) << error.toStdString();
    auto movie = QKQTMovie::movieWithFile(path, &error);
    EXPECT_TRUE(movie) << error.toStdString();
    return QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie, &compositor);
  }
  FakeCompositor compositor;
};

inline MIEntry entry(const std::shared_ptr<QKFile>& file) { return {file, {}}; }
inline MIEntry entry(const std::shared_ptr<QKFolder>& folder) { return {{}, folder}; }

// Runs the main thread's queued calls for a moment.
inline void settle(double seconds = 0.02) {
  MainThread::processUntil([] { return false; }, seconds);
}

inline QVariant range(int64_t start, int64_t duration, int32_t scale) {
  return MovieProps::fromRange({QKTime{start, scale, 0}, QKTime{duration, scale, 0}});
}
