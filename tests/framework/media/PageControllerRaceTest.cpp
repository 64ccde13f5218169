// The page list read from another thread (as the trigger thread and the
// layer sources read it) while the main thread edits it; run under
// ThreadSanitizer by the tsan build.
#include "framework/media/QKFileRelease.h"
#include "framework/media/QKQTFile.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/media/MediaBinTestSupport.h"
#include "tests/support/HangWatchdog.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A movie file that tells on which thread it was destroyed.
class WatchedMovieFile : public QKQTFile {
 public:
  WatchedMovieFile(CompositorInterface* compositor, std::atomic<int>* destroyedOn)
      : QKQTFile(QStringLiteral("watched"), compositor), destroyedOn_(destroyedOn) {}
  ~WatchedMovieFile() override { destroyedOn_->store(MainThread::isMainThread() ? 1 : 2); }

 private:
  std::atomic<int>* destroyedOn_;
};

TEST(PageControllerRace, LookupsFromAnotherThreadWhileTheMainThreadEdits) {
  HangWatchdog watchdog("page list race", 60);
  FakeMediaBinHost host;
  host.makePageController();
  QKPageController& pages = *host.pages;
  pages.addObjects(filesNamed("ABCD", &host.fakeCompositor), pages.firstPage(), 0);

  std::atomic<bool> stop{false};
  std::atomic<long> found{0};
  std::thread reader([&] {
    long id = 0;
    while (!stop.load()) {
      std::shared_ptr<QKFile> file = pages.fileForUniqueId(id);
      if (file && file->uniqueFileId() == id) found.fetch_add(1);
      QKFileRelease::release(file);
      id = (id + 1) % std::max(host.fakeCompositor.ids.peek(), 1L);
    }
  });

  // At least 200 rounds, and on until the reader has found files.
  for (int round = 0; round < 200 || (found.load() < 50 && round < 20000); ++round) {
    auto page = pages.firstPage();
    pages.addObjects(filesNamed("XY", &host.fakeCompositor), page, round % 3);
    pages.addBlankPage();
    const auto cells = page->contents();  // main thread: the only writer
    std::vector<long> ids;
    for (const auto& cell : cells)
      if (cell) ids.push_back(cell->uniqueFileId());
    if (ids.size() >= 2) {
      pages.moveFilesWithIds({ids[0]}, pages.pages().back(), 0, round % 2 == 0);
      pages.deleteFilesWithIds({ids[1]}, round % 2 == 1);
    }
    if (pages.pages().size() > 4) pages.removePageAtIndex(1);
    pages.movePageAtIndex(0, 2);
    QCoreApplication::processEvents();
  }
  stop.store(true);
  reader.join();
  QCoreApplication::processEvents();
  EXPECT_GT(found.load(), 0);
}

// A movie file deleted from its page while a lookup on another thread still
// holds it is destroyed on the main thread (its destructor takes the render
// lock), not where the lookup lets it go.
TEST(PageControllerRace, ADeletedMovieHeldByALookupIsDestroyedOnTheMainThread) {
  HangWatchdog watchdog("movie hand-back", 60);
  FakeMediaBinHost host;
  host.makePageController();
  QKPageController& pages = *host.pages;
  std::atomic<int> destroyedOn{0};
  auto movie = std::make_shared<WatchedMovieFile>(&host.fakeCompositor, &destroyedOn);
  const long id = movie->uniqueFileId();
  pages.addObjects({movie}, pages.firstPage(), 0);
  movie.reset();

  std::atomic<int> step{0};
  std::thread reader([&] {
    std::shared_ptr<QKFile> held = pages.fileForUniqueId(id);
    step.store(1);
    while (step.load() != 2) std::this_thread::yield();
    QKFileRelease::release(held);
    step.store(3);
  });
  ASSERT_TRUE(MainThread::processUntil([&] { return step.load() == 1; }, 10));
  pages.deleteFilesWithIds({id}, true);
  EXPECT_EQ(destroyedOn.load(), 0) << "the lookup still holds it";
  step.store(2);
  ASSERT_TRUE(MainThread::processUntil([&] { return destroyedOn.load() != 0; }, 10));
  reader.join();
  EXPECT_EQ(destroyedOn.load(), 1);
}

}  // namespace
