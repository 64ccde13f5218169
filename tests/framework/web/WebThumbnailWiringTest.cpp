// ZAPH's own wiring: a web file imported through the file loader gets its
// poster from the generator the program makes at start-up.
#include "app/shell/AppController.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKFlashThumbnailGenerator.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "tests/framework/web/WebTestSupport.h"
#include "tests/support/NotificationCounter.h"

#include <gtest/gtest.h>

using namespace webtest;

TEST(WebThumbnailWiring, AnImportedPageGetsItsPosterAndTheMediaBinIsToldToReload) {
  AppController controller;
  ASSERT_NE(controller.thumbnailGenerator(), nullptr);
  NotificationCounter posters(MediaNotifications::kPosterImageChanged);
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  const QUrl page = writePage(pageFilledWith("red"));
  controller.fileLoaderObject()->addTheseFilesToQueue(
      {page.toLocalFile()}, controller.pageController()->pages().front().get(), -1, false);

  ASSERT_TRUE(MainThread::processUntil([&] { return reloads.count() > 0; }, kPageSeconds));
  ASSERT_GE(posters.count(), 1);
  const auto* file = static_cast<const QKFile*>(posters.notes().back().object);
  EXPECT_EQ(file->qkFileType(), QKFile::kWebKind);
  EXPECT_GT(shareOf(file->posterImage(), Qt::red), 0.9);
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return !controller.thumbnailGenerator()->renderer().isPrepared(); }, kPageSeconds));
  controller.applicationWillTerminate();
}
