#include "app/mediabin/MBFileGridView.h"
#include "framework/datasource/DataSourceController.h"
#include "app/mediabin/MBLayerController.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/app/mediabin/FakeMediaBin.h"
#include "tests/app/mediabin/FakeQueueHost.h"
#include "tests/support/LogCapture.h"

#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

namespace G = MBGridGeometry;

// The queue's files come from the bin's page controller.
class PagesQueueHost : public FakeQueueHost {
 public:
  PagesQueueHost(QKPageController* pages) : FakeQueueHost({"Top", "Bottom"}), pages(pages) {}
  std::shared_ptr<QKFile> fileForUniqueId(long id) const override {
    return pages->fileForUniqueId(id);
  }
  QKPageController* pages;
};

// Page 1 holds "ab_c" (a blank at 2), shown 403 x 400 with 4 columns:
// cells of 100 x 75.
struct GridFixture {
  GridFixture() : queueHost(bin.pageController()), queue(&queueHost, 42), grid(&bin, &queue) {
    page = bin.pageController()->pages().front();
    page->setName(QStringLiteral("Loops"));
    fillPage(*page, QStringLiteral("ab_c"));
    for (const auto& cell : page->contents())
      if (cell) cell->initNonQTFile();
    queue.awakeFromNib();
    grid.setNumberOfColumns(4);
    grid.resize(403, 400);
    grid.show();
    NotificationCenter::defaultCenter().addObserver(
        this, QStringLiteral("QKMBVisiblePagesChangedNotification"), &grid,
        [this](const Notification& n) { posts << n.userInfo; });
    settle();
  }
  ~GridFixture() { NotificationCenter::defaultCenter().removeObserver(this); }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }
  long id(int index) const { return page->contents()[size_t(index)]->uniqueFileId(); }
  QPoint cellPoint(int index) const {
    const auto blocks = G::layout(grid.pages(), grid.width(), grid.height(), 4, bin.listeners);
    return G::toWidget(G::cellRect(blocks[0], index, grid.width(), 4), grid.height())
        .center()
        .toPoint();
  }
  QString lastReason() const {
    return posts.isEmpty() ? QString() : posts.last().value("Reason").toString();
  }
  FakeMediaBin bin;
  std::shared_ptr<QKPage> page;
  PagesQueueHost queueHost;
  MBLayerController queue;
  MBFileGridView grid;
  QList<QVariantMap> posts;
};

TEST(MBFileGridView, MouseDownOutcomes) {
  struct Case {
    const char* name;
    const char* where;  // "cell N", "disclosure", "tab", "nothing"
    Qt::KeyboardModifiers modifiers;
    bool preselectA;
    const char* reason;  // posted, "" for nothing
    bool triggersA;
    QList<bool> selected;  // a, b, c
  };
  const Case cases[] = {
      {"plain click triggers", "cell 0", {}, false, "SelectedFilesChanged", true, {0, 0, 0}},
      {"plain click deselects others",
       "cell 0",
       {},
       false,
       "SelectedFilesChanged",
       true,
       {0, 0, 0}},
      {"shift toggles",
       "cell 1",
       Qt::ShiftModifier,
       true,
       "SelectedFilesChanged",
       false,
       {1, 1, 0}},
      {"blank deselects", "cell 2", {}, true, "SelectedFilesChanged", false, {0, 0, 0}},
      {"past the entries deselects", "cell 6", {}, true, "SelectedFilesChanged", false, {0, 0, 0}},
      {"disclosure collapses", "disclosure", {}, true, "ExpandedStateChanged", false, {1, 0, 0}},
      {"tab of an expanded page", "tab", {}, true, "ExpandedStateChanged", false, {1, 0, 0}},
      {"nothing hit deselects", "nothing", {}, true, "SelectedFilesChanged", false, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    GridFixture f;
    if (c.preselectA) f.bin.setSelected(f.id(0), true);
    const QString where = QString::fromLatin1(c.where);
    QPoint point;
    if (where.startsWith("cell"))
      point = f.cellPoint(where.mid(5).toInt());
    else if (where == "disclosure")
      point = {5, 6};
    else if (where == "tab")
      point = {200, 6};
    else
      point = {200, 399};
    QTest::mouseClick(&f.grid, Qt::LeftButton, c.modifiers, point);
    f.settle();
    EXPECT_EQ(f.lastReason(), QString::fromLatin1(c.reason)) << c.name;
    EXPECT_EQ(f.queue.items()[0]->toBeTriggeredId() != -1 || !f.queueHost.loadsSoFar().empty(),
              c.triggersA)
        << c.name;
    QList<bool> selected;
    for (int i : {0, 1, 3}) selected << f.bin.isSelected(f.id(i));
    EXPECT_EQ(selected, c.selected) << c.name;
  }
}

TEST(MBFileGridView, AClickOnAValidCellLoadsItOnTheChosenLayerOnce) {
  GridFixture f;
  QTest::mouseClick(&f.grid, Qt::LeftButton, {}, f.cellPoint(3));
  MainThread::processUntil([&] { return !f.queueHost.loadsSoFar().empty(); }, 3.0);
  f.settle();
  const auto loads = f.queueHost.loadsSoFar();
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].layer, QStringLiteral("Bottom"));
  EXPECT_EQ(loads[0].fileId, f.id(3));
  EXPECT_TRUE(loads[0].onMain);
  EXPECT_EQ(f.posts.last().value("PageId").toLongLong(), f.page->uniqueFileId());
}

TEST(MBFileGridView, ShiftSweepsAboveAndBelow) {
  for (bool above : {true, false}) {
    GridFixture f;
    const QPoint start = f.cellPoint(1);
    QTest::mousePress(&f.grid, Qt::LeftButton, Qt::ShiftModifier, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(above ? QPoint(200, 2) : QPoint(200, 398)),
                     f.grid.mapToGlobal(QPointF(0, 0)), Qt::NoButton, Qt::LeftButton,
                     Qt::ShiftModifier);
    QCoreApplication::sendEvent(&f.grid, &move);
    QTest::mouseRelease(&f.grid, Qt::LeftButton, Qt::ShiftModifier, start);
    QList<bool> selected;
    for (int i : {0, 1, 3}) selected << f.bin.isSelected(f.id(i));
    // The shift-press toggled b on; the sweep adds a (above) or c (below).
    EXPECT_EQ(selected, above ? (QList<bool>{1, 1, 0}) : (QList<bool>{0, 1, 1})) << above;
  }
}

TEST(MBFileGridView, KeysAndTheDeleteQuestion) {
  GridFixture f;
  f.bin.setSelected(f.id(0), true);
  QTest::keyClick(&f.grid, Qt::Key_Escape);
  EXPECT_TRUE(f.bin.selectedIds().empty());
  QTest::keyClick(&f.grid, Qt::Key_Delete);  // nothing selected: nothing asked
  EXPECT_TRUE(Alert::recorded().empty());
  f.bin.setSelected(f.id(0), true);
  f.bin.fullscreen = true;
  LogCapture log;
  QTest::keyClick(&f.grid, Qt::Key_Backspace);
  EXPECT_EQ(f.page->filesOnlyContents().size(), 3u);  // never deleted unasked
  EXPECT_FALSE(log.lines().isEmpty());
  f.bin.fullscreen = false;
  QTest::keyClick(&f.grid, Qt::Key_Delete);  // headless: the default, "Cancel"
  ASSERT_FALSE(Alert::recorded().empty());
  EXPECT_EQ(f.page->filesOnlyContents().size(), 3u);
  Alert::clearRecorded();
}

// Other keys reach the key data sources while the grid has the focus,
// releases included.
TEST(MBFileGridView, OtherKeysGoToTheControlData) {
  GridFixture f;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  f.grid.setDataSourceController(&dsc);
  QTest::keyPress(&f.grid, Qt::Key_K, Qt::NoModifier);
  const auto node = dsc.dataSourceForKeyArray({QStringLiteral("Key"), QStringLiteral("k")});
  ASSERT_NE(node, nullptr);
  EXPECT_FLOAT_EQ(node->value(), 1.0f);
  QTest::keyRelease(&f.grid, Qt::Key_K, Qt::NoModifier);
  EXPECT_FLOAT_EQ(node->value(), 0.0f);
  f.grid.setDataSourceController(nullptr);
}

TEST(MBFileGridView, Drops) {
  {  // Files sorted without regard to case, queued at the cell.
    GridFixture f;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/clips/b.mov"), QUrl::fromLocalFile("/clips/A.mov")});
    const QPointF at = G::toModel(QPointF(f.cellPoint(2)), f.grid.height());
    f.grid.performDrop(&mime, at, nullptr, false);
    ASSERT_EQ(f.bin.host.recordingLoader.calls.size(), 1u);
    const auto& call = f.bin.host.recordingLoader.calls[0];
    EXPECT_EQ(call.paths, (QStringList{"/clips/A.mov", "/clips/b.mov"}));
    EXPECT_EQ(call.parentId, f.page->uniqueFileId());
    EXPECT_EQ(call.index, 2);
  }
  {  // Below the last page: nothing loaded, logged.
    GridFixture f;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/clips/a.mov")});
    LogCapture log;
    f.grid.performDrop(&mime, {200, 1}, nullptr, false);
    EXPECT_TRUE(f.bin.host.recordingLoader.calls.empty());
    EXPECT_TRUE(log.contains("dest page was nil"));
  }
  {  // A web address becomes a web entry with a thumbnail request.
    GridFixture f;
    QMimeData mime;
    mime.setUrls({QUrl("http://example.org/page")});
    f.grid.performDrop(&mime, G::toModel(QPointF(f.cellPoint(2)), f.grid.height()), nullptr, false);
    EXPECT_EQ(f.bin.host.recordingLoader.thumbnails.size(), 1u);
    EXPECT_EQ(f.page->contents()[2]->qkFileType(), QKFile::kWebKind);
  }
  for (bool copy : {true, false}) {  // Grid cells: copied, or moved leaving blanks.
    GridFixture f;
    f.bin.setSelected(f.id(0), true);
    ASSERT_TRUE(f.grid.prepareDragContents());
    QMimeData mime;
    mime.setData(MBFileGridView::kDragType, {});
    f.grid.performDrop(&mime, G::toModel(QPointF(f.cellPoint(2)), f.grid.height()), &f.grid, copy);
    if (copy) {
      EXPECT_EQ(f.bin.host.recordingLoader.calls.size(), 1u);  // copies come through the loader
      EXPECT_EQ(cellsOf(f.page->contents()).left(2), QStringLiteral("ab"));
    } else {
      EXPECT_EQ(cellsOf(f.page->contents()), QStringLiteral("_bac"));
    }
  }
  {  // An unknown type is refused.
    GridFixture f;
    QMimeData mime;
    mime.setText("x");
    f.grid.performDrop(&mime, G::toModel(QPointF(f.cellPoint(2)), f.grid.height()), nullptr, false);
    EXPECT_EQ(cellsOf(f.page->contents()), QStringLiteral("ab_c"));
  }
}

TEST(MBFileGridView, ManyRedrawRequestsGiveOneUpdate) {
  GridFixture f;
  const int before = f.grid.redrawsDone();
  for (int i = 0; i < 50; ++i) f.grid.startLowPriorityRedraw();
  MainThread::processUntil([] { return false; }, 0.45);
  EXPECT_EQ(f.grid.redrawsDone(), before + 1);
}

// Redraws draw from cached posters and name strips: what changed since the
// last redraw must show all the same.
TEST(MBFileGridView, ANewPosterOrNameShowsAtTheNextRedraw) {
  GridFixture f;
  const auto file = f.page->contents()[0];
  const QPoint centre = f.cellPoint(0);
  const QRect nameStrip(centre.x() - 40, centre.y() + 25, 80, 10);
  auto poster = [](QColor colour) {
    QImage image(80, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
  };
  auto redraw = [&] {
    QImage shot(f.grid.size(), QImage::Format_ARGB32_Premultiplied);
    f.grid.render(&shot);
    return shot;
  };
  file->setPosterImage(poster(Qt::red));
  const QImage red = redraw();
  EXPECT_EQ(QColor(red.pixel(centre)), QColor(Qt::red));
  file->setPosterImage(poster(Qt::blue));
  const QImage blue = redraw();
  EXPECT_EQ(QColor(blue.pixel(centre)), QColor(Qt::blue));
  EXPECT_EQ(blue.copy(nameStrip), redraw().copy(nameStrip)) << "the same name draws the same";
  file->setName(QStringLiteral("a much longer name"));
  EXPECT_NE(redraw().copy(nameStrip), blue.copy(nameStrip));
}

TEST(MBFileGridView, SnapshotAndLook) {
  GridFixture f;
  f.bin.listeners = 6;
  f.bin.setSelected(f.id(1), true);
  f.queue.items()[1]->setToBeTriggeredId(int(f.id(3)));
  f.grid.loadSnapshot({{"numberOfColumns", 0}, {"showFileNamesButton", 1}});
  EXPECT_EQ(f.grid.numberOfColumns(), 1);
  f.grid.loadSnapshot({{"numberOfColumns", 4}, {"showShortcutNamesButton", QString("x")}});
  EXPECT_EQ(f.grid.createSnapshot(), (QVariantMap{{"numberOfColumns", 4},
                                                  {"showShortcutNamesButton", 1},
                                                  {"showFileNamesButton", 1}}));
  const QImage shot = f.grid.grab().toImage();
  shot.save(QStringLiteral("/tmp/mediabin-grid.png"));
  EXPECT_FALSE(shot.isNull());
}

}  // namespace
