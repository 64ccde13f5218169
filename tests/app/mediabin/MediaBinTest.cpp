#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MBLayerQueueHostSource.h"
#include "app/mediabin/MBPageButton.h"
#include "app/mediabin/MBPageTabsView.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "app/mediabin/MBViewsController.h"
#include "app/mediabin/MediaBin.h"
#include "app/mediabin/MBTOCController.h"
#include "app/mediabin/MediaBinCandidates.h"
#include "framework/media/QKPage.h"
#include "framework/splitview/QKTQSplitView.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/mediabin/FakeQueueHost.h"
#include "tests/framework/media/MediaBinTestSupport.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QDialog>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// ZAPH as a media bin finds it: pages, a file loader and layers "Top" and
// "Bottom" whose queue host serves files from the pages.
class MediaBinHost : public PluginHost, public QKMediaBinHost, public MBLayerQueueHostSource {
 protected:
  class PagesQueueHost : public FakeQueueHost {
   public:
    explicit PagesQueueHost(QKPageController* pages)
        : FakeQueueHost({"Top", "Bottom"}), pages(pages) {}
    std::shared_ptr<QKFile> fileForUniqueId(long id) const override {
      return pages->fileForUniqueId(id);
    }
    QKPageController* pages;
  };

  MediaBinHost() { media.makePageController(); }
  ~MediaBinHost() override { manager.reset(); }

  CompositorInterface* compositor() override { return media.compositor(); }
  void stopRecordingFromExternalSource() override { ++recordingStops; }
  QKPageController* pageController() override { return media.pages.get(); }
  QKFileLoaderInterface* fileLoader() override { return media.fileLoader(); }
  std::unique_ptr<MBLayerQueueHost> makeLayerQueueHost() override {
    auto host = std::make_unique<PagesQueueHost>(media.pages.get());
    queueHosts.push_back(host.get());
    return host;
  }

  MediaBin* makeBin() {
    auto* bin = make<MediaBin>();
    MainThread::processUntil([] { return false; }, 0.02);
    return bin;
  }
  long pageId(int index) const { return media.pages->pages()[size_t(index)]->uniqueFileId(); }

  FakeMediaBinHost media;
  std::vector<PagesQueueHost*> queueHosts;
  int recordingStops = 0;
};

using MediaBinTest = MediaBinHost;

TEST_F(MediaBinTest, TheManagerMakesABinWithItsWindowAndParts) {
  NotificationCounter windows("QKWMCAddPluginWindowNotification");
  MediaBin* bin = makeBin();
  ASSERT_NE(bin, nullptr);
  EXPECT_EQ(bin->windowTitle(), "MediaBin 1");
  ASSERT_NE(bin->window(), nullptr);
  EXPECT_EQ(windows.count(), 1);
  EXPECT_NE(bin->gridView(), nullptr);
  EXPECT_NE(bin->pageTabsView(), nullptr);
  EXPECT_NE(bin->layerController(), nullptr);
  EXPECT_NE(bin->triggerListenersController(), nullptr);
  EXPECT_NE(bin->quantizePicker(), nullptr);
  EXPECT_EQ(bin->layerController()->items().size(), 2u);
  EXPECT_EQ(bin->currentPageId(), pageId(0));
}

TEST_F(MediaBinTest, VisiblePagesFollowTheirSettings) {
  media.pages->addBlankPage();
  media.pages->addBlankPage();
  MediaBin* bin = makeBin();
  struct Case {
    const char* name;
    QVariant setting;  // for page 1; invalid: absent
    bool visible;
  };
  const Case cases[] = {{"absent", QVariant(), true},
                        {"YES", true, true},
                        {"NO", false, false},
                        {"a number", 0, false},
                        {"a string", "NO", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QVariantMap settings;
    if (c.setting.isValid())
      settings.insert(QStringLiteral("PageVisible-%1").arg(pageId(1)), c.setting);
    bin->loadSnapshot({{"pageSettingsDict", settings}});
    const std::vector<long> expected = c.visible
                                           ? std::vector<long>{pageId(0), pageId(1), pageId(2)}
                                           : std::vector<long>{pageId(0), pageId(2)};
    EXPECT_EQ(bin->visiblePageIds(), expected);
  }
}

TEST_F(MediaBinTest, WakingOpensTheFirstPageOnlyWhenThereIsOne) {
  {
    NotificationCounter posts("QKMBVisiblePagesChangedNotification");
    MediaBin* bin = makeBin();
    ASSERT_EQ(posts.count(), 1);
    EXPECT_EQ(posts.notes()[0].object, bin);
    EXPECT_EQ(posts.notes()[0].userInfo.value("Reason"), "ExpandedStateChanged");
    EXPECT_EQ(posts.notes()[0].userInfo.value("PageId").toLongLong(), pageId(0));
    EXPECT_EQ(posts.notes()[0].userInfo.value("BinId").toLongLong(), bin->uniqueID());
    EXPECT_TRUE(bin->pageExpanded(pageId(0)));
  }
  media.pages->removeAllPages();
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  MediaBin* empty = makeBin();
  EXPECT_EQ(posts.count(), 0);
  EXPECT_EQ(empty->currentPageId(), -1);
}

TEST_F(MediaBinTest, NoteNamesCountOctavesFromA) {
  const std::pair<int, const char*> cases[] = {{21, "A-1"}, {32, "G#-1"}, {33, "A0"}, {57, "A2"},
                                               {60, "C2"},  {69, "A3"},   {0, "C-3"}};
  for (const auto& [note, name] : cases) EXPECT_EQ(MediaBin::stringForMIDINoteValue(note), name);
}

TEST_F(MediaBinTest, ASnapshotComesBackWhole) {
  media.pages->addBlankPage();
  MediaBin* bin = makeBin();
  bin->setPageVisible(pageId(0), false);
  bin->setCurrentPageId(pageId(1));
  bin->autoClosePagesButton()->setChecked(true);
  bin->triggerListenersController()->addListenerWithSyncArray(KeyPath{"Key", "z"});
  bin->tocController()->loadSnapshot(
      {{"addPageButton", QVariantMap{{"syncArray", QStringList{"Key", "p"}}}}});
  QVariantMap snap = bin->createSnapshot();
  for (const char* key : {"superSnap", "gridView", "autoClosePagesButton",
                          "triggerListenersController", "layerController", "pageTabsView",
                          "viewsController", "tocController", "pageSettingsDict", "currentPageId"})
    EXPECT_TRUE(snap.contains(key)) << key;
  EXPECT_EQ(snap.value("autoClosePagesButton"), 1);

  MediaBin* other = makeBin();
  other->loadSnapshot(snap);
  EXPECT_EQ(other->currentPageId(), pageId(1));
  EXPECT_EQ(other->visiblePageIds(), std::vector<long>{pageId(1)});
  EXPECT_TRUE(other->autoClosePagesButton()->isChecked());
  EXPECT_EQ(other->triggerListenersController()->count(), 1);
  EXPECT_EQ(other->tocController()->createSnapshot(), bin->tocController()->createSnapshot());
  EXPECT_EQ(other->tocController()
                ->createSnapshot()
                .value("addPageButton")
                .toMap()
                .value("syncArray")
                .toStringList(),
            (QStringList{"Key", "p"}));
  ASSERT_EQ(other->pageTabsView()->pageTabsArray().size(), 1u);
  EXPECT_EQ(other->pageTabsView()->pageTabsArray()[0]->pageId(), pageId(1));
  EXPECT_EQ(other->pageTabsView()->pageTabsArray()[0]->intValue(), 1);
}

TEST_F(MediaBinTest, TheOlderLayoutGoesComponentByComponent) {
  media.pages->addBlankPage();
  MediaBin* bin = makeBin();
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  const QVariantMap old{
      {"pageSettingsDict", QVariantMap{{QStringLiteral("PageVisible-%1").arg(pageId(1)), false}}},
      {"componentArray",
       QVariantList{
           QVariantMap{{"componentName", "trigger zone"},
                       {"transpose", 3},
                       {"triggerCells", QVariantList{QVariantMap{
                                            {"QKMBTriggerCell-syncGen", "MIDI"},
                                            {"QKMBTriggerCell-syncSpec", "note [60] ch. 1"}}}}},
           QVariantMap{{"componentName", "current folder"},
                       {"currentlyDisplayedFileID", qint64(pageId(1))}},
           QVariantMap{{"componentName", "split view setup"}}}}};
  bin->loadSnapshot(old);
  EXPECT_EQ(bin->currentPageId(), pageId(1));
  EXPECT_TRUE(bin->pageVisible(pageId(1)));  // the other keys are not read
  EXPECT_EQ(bin->triggerListenersController()->count(), 1);
  EXPECT_EQ(bin->triggerListenersController()->transpose(), 3);
  ASSERT_EQ(posts.count(), 1);
  EXPECT_EQ(posts.notes()[0].userInfo.value("PageId").toLongLong(), pageId(1));
}

TEST_F(MediaBinTest, ACollapsedQueuePaneShowsTheNextLayerPopUp) {
  MediaBin* bin = makeBin();
  bin->window()->show();
  MBViewsController* views = bin->viewsController();
  const auto& o = views->outlets();
  EXPECT_FALSE(o.nextLayerLabel->isVisibleTo(o.window));
  o.layerSubview->collapse();
  views->didAdjustSubviews(o.topBottomSplitView);
  EXPECT_TRUE(o.nextLayerLabel->isVisibleTo(o.window));
  EXPECT_TRUE(o.nextLayerPopUpButton->isVisibleTo(o.window));
  o.layerSubview->expand();
  views->didAdjustSubviews(o.topBottomSplitView);
  EXPECT_FALSE(o.nextLayerPopUpButton->isVisibleTo(o.window));
}

TEST_F(MediaBinTest, ARestoreClosesTheOptionsSheetAndStopsLearning) {
  MediaBin* bin = makeBin();
  bin->window()->show();
  MBViewsController* views = bin->viewsController();
  views->openOptionsPanelButtonUsed();
  EXPECT_TRUE(views->optionsPanelOpen());
  bin->triggerListenersController()->continuousDetectButtonUsed(1);
  NotificationCenter::defaultCenter().post("QKPMRestoreStartNotification", nullptr);
  MainThread::processUntil([&] { return !views->optionsPanelOpen(); }, 1.0);
  EXPECT_FALSE(views->optionsPanelOpen());
  EXPECT_FALSE(bin->triggerListenersController()->continuousDetectSetup());
  EXPECT_EQ(views->outlets().continuousDetectButton->intValue(), 0);
}

TEST_F(MediaBinTest, AClickOnACellAndALearntKeyPlayIt) {
  auto page = media.pages->pages().front();
  page->setName("Loops");
  fillPage(*page, "abc_d");
  for (const auto& cell : page->contents())
    if (cell) cell->initNonQTFile();
  MediaBin* bin = makeBin();
  bin->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(bin->window()));
  bin->triggerListenersController()->addListenerWithSyncArray(KeyPath{"Key", "q"});
  bin->triggerListenersController()->addListenerWithSyncArray(KeyPath{"Key", "w"});
  MainThread::processUntil([] { return false; }, 0.1);
  const QImage picture = bin->window()->grab().toImage();
  EXPECT_FALSE(saveScreenshot(picture, "media-bin").isEmpty());
  QKeyEvent press(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier, "w");
  dsc.keyDown(&press);
  PagesQueueHost* layers = queueHosts.back();
  MainThread::processUntil([&] { return !layers->loadsSoFar().empty(); }, 3.0);
  ASSERT_EQ(layers->loadsSoFar().size(), 1u);
  EXPECT_EQ(layers->loadsSoFar()[0].fileId, page->contents()[1]->uniqueFileId());
  EXPECT_TRUE(layers->loadsSoFar()[0].onMain);
}

// Command-clicked layer tabs and synced previews choose among the bins whose
// queue holds the layer (active), and make it next there.
TEST_F(MediaBinTest, BinsHoldingALayerAreItsCandidates) {
  MediaBin* first = makeBin();
  MediaBin* second = makeBin();
  ASSERT_TRUE(first && second);
  first->window()->setGeometry(10, 10, 300, 200);
  second->window()->setGeometry(600, 400, 300, 200);
  for (const auto& item : first->layerController()->items())
    if (item->layerName() == "Bottom") item->setActive(false);

  const auto bottom = MediaBinCandidates::holding(manager->pluginArray(), "Bottom");
  ASSERT_EQ(bottom.size(), 1u);
  EXPECT_EQ(bottom[0].frame, QRectF(second->window()->geometry()));
  bottom[0].take(nullptr);
  EXPECT_EQ(second->layerController()->currentLayer(), "Bottom");

  EXPECT_EQ(MediaBinCandidates::holding(manager->pluginArray(), "Top").size(), 2u);
  EXPECT_TRUE(MediaBinCandidates::holding(manager->pluginArray(), "Nowhere").empty());
}

// The recording indicator shows while the capture records; a click on it
// stops the recording through the application.
TEST_F(MediaBinTest, TheRecordingIndicatorStopsTheRecording) {
  MediaBin* bin = makeBin();
  ASSERT_NE(bin, nullptr);
  bin->window()->show();
  bin->viewsController()->recordIndicatorButtonUsed();
  EXPECT_EQ(recordingStops, 0) << "hidden while nothing records";
  NotificationCenter::defaultCenter().post(QStringLiteral("QKSGStartRecordingNotification"),
                                           nullptr);
  MainThread::processUntil([] { return false; }, 0.05);
  bin->viewsController()->recordIndicatorButtonUsed();
  EXPECT_EQ(recordingStops, 1);
}

// A press on the bin's resize corner reaches the palette through the panes
// over it, as the window system delivers it; a drag up and left makes the
// window smaller than its first frame, down to the bin's minimum.
TEST_F(MediaBinTest, TheWindowShrinksFromItsResizeCornerToItsMinimum) {
  MediaBin* bin = makeBin();
  ASSERT_NE(bin, nullptr);
  QKWindow* window = bin->window();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  const QSize first = window->size();
  const QPoint topLeft = window->geometry().topLeft();
  const auto dragCorner = [&](QPoint by) {
    const QPoint corner(window->width() - 10, window->height() - 10);
    QWindow* handle = window->windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, corner);
    QTest::mouseMove(handle, corner + by / 2);
    QTest::mouseMove(handle, corner + by);
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, corner + by);
    MainThread::processUntil([] { return false; }, 0.05);
  };
  dragCorner(QPoint(-20, -20));
  EXPECT_EQ(window->size(), first - QSize(20, 20));
  dragCorner(QPoint(-2000, -2000));
  EXPECT_EQ(QSizeF(window->size()), MediaBin::kMinimumSize);
  EXPECT_EQ(window->geometry().topLeft(), topLeft) << "the top edge stays";
  EXPECT_FALSE(saveScreenshot(window->grab().toImage(), "media-bin-smallest").isEmpty());
}

TEST_F(MediaBinTest, DeletionGoesThroughTheParts) {
  MediaBin* bin = makeBin();
  bin->triggerListenersController()->continuousDetectButtonUsed(1);
  manager->deleteAllPlugins();
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_TRUE(manager->pluginArray().empty());
}

}  // namespace
