#include "framework/media/QKFlashThumbnailGenerator.h"

#include "framework/media/MediaNotifications.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/web/WebArchive.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/framework/media/ThumbnailTestSupport.h"
#include "tests/support/ManualDelayedCalls.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// The generator's page, driven by the test: it records what it is asked,
// and the test sends the page's events and chooses its pictures.
class FakeRenderer : public WebThumbnailRenderer {
 public:
  void setListener(Listener* l) override { listener = l; }
  void prepare() override { prepared = true; }
  void close() override {
    prepared = false;
    ++closes;
  }
  bool isPrepared() const override { return prepared; }
  bool load(const QUrl& url) override {
    loads << url.toString();
    loading = !refused.contains(url.toString());
    return loading;
  }
  bool loadArchive(const WebArchive& archive) override {
    loads << QStringLiteral("archive:") + archive.mainResource().url.toString();
    loading = true;
    return true;
  }
  void stop() override {
    if (loading) ++stops;
    loading = false;
  }
  bool isLoading() const override { return loading; }
  QImage render() override {
    ++renders;
    if (pictures.empty()) return {};
    QImage next = pictures.front();
    if (pictures.size() > 1) pictures.pop_front();
    return next;
  }
  QImage icon() const override { return siteIcon; }
  QColor backgroundColor() const override { return Qt::white; }

  // The page's events, as the view sends them.
  void finish() {
    loading = false;
    listener->pageFinished();
  }

  Listener* listener = nullptr;
  bool prepared = false;
  int closes = 0;
  QStringList loads;
  QStringList refused;  // addresses the view will not load
  bool loading = false;
  int stops = 0;
  int renders = 0;
  std::deque<QImage> pictures;  // the last one is kept
  QImage siteIcon;
};

QImage filled(const QColor& color, int width = 480, int height = 360) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(color);
  return image;
}

QColor posterCentre(const QKFile& file) { return file.posterImage().pixelColor(40, 30); }

class ThumbnailGeneratorTest : public testing::Test {
 protected:
  void SetUp() override {
    allowRemote(true);
    auto fake = std::make_unique<FakeRenderer>();
    renderer = fake.get();
    generator = std::make_unique<QKFlashThumbnailGenerator>(std::move(fake), calls);
    generator->setAppController(&host);
  }

  static void allowRemote(bool allowed) {
    UserDefaults::standard().setValue(QKFlashThumbnailGenerator::kLoadRemoteDefault,
                                      allowed ? 1 : 0);
  }

  std::shared_ptr<TestWebFile> webFile(const QString& address) {
    auto file = std::make_shared<TestWebFile>(&compositor, nextId++);
    file->setUrlString(address);
    host.files[file->uniqueFileId()] = file;
    return file;
  }
  std::shared_ptr<TestWebFile> local(const QString& name) {
    return webFile(QStringLiteral("file:///pages/%1.html").arg(name));
  }
  std::shared_ptr<TestWebFile> remote(const QString& name) {
    return webFile(QStringLiteral("http://example.com/%1").arg(name));
  }

  // The page in work finishes, drawn in `color`, and is captured.
  void finishDrawn(const QColor& color) {
    renderer->pictures = {filled(color)};
    renderer->finish();
    calls.advance(QKFlashThumbnailGenerator::kCaptureDelay);
  }

  FakeCompositor compositor;
  FakeThumbnailHost host;
  ManualDelayedCalls calls;
  FakeRenderer* renderer = nullptr;
  std::unique_ptr<QKFlashThumbnailGenerator> generator;
  long nextId = 100;
};

TEST_F(ThumbnailGeneratorTest, LocalFilesGoAheadOfRemotePagesAndAFileIsQueuedOnce) {
  const auto r1 = remote("one"), r2 = remote("two"), r3 = remote("three");
  const auto l1 = local("first"), l2 = local("second");
  for (const auto& file : {r1, r2, r3, l1, r1, l1}) generator->addFileToQueue(file);
  EXPECT_EQ(generator->queue(), (std::deque<long>{l1->uniqueFileId(), r1->uniqueFileId(),
                                                  r2->uniqueFileId(), r3->uniqueFileId()}));
  EXPECT_TRUE(renderer->prepared);
  EXPECT_TRUE(renderer->loads.isEmpty());  // the run starts a moment later
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  ASSERT_EQ(renderer->loads, QStringList{l1->urlString()});

  // A local file queued while a page is in work comes right after it.
  generator->addFileToQueue(l2);
  generator->addFileToQueue(l1);
  for (int page = 0; page < 5; ++page) finishDrawn(Qt::red);
  EXPECT_EQ(renderer->loads, (QStringList{l1->urlString(), l2->urlString(), r1->urlString(),
                                          r2->urlString(), r3->urlString()}));
  for (const auto& file : {l1, l2, r1, r2, r3}) EXPECT_EQ(posterCentre(*file), QColor(Qt::red));
  EXPECT_FALSE(generator->loading());
}

struct RemoteCase {
  const char* name;
  bool preference;
  bool internet;
  bool queued;
  bool loaded;
};

class ThumbnailRemoteTest : public ThumbnailGeneratorTest,
                            public testing::WithParamInterface<RemoteCase> {};

TEST_P(ThumbnailRemoteTest, RemotePagesNeedThePreferenceAndAConnection) {
  const RemoteCase& c = GetParam();
  allowRemote(c.preference);
  host.internet = c.internet;
  LogCapture log;
  const auto page = remote("page");
  generator->addFileToQueue(page);
  EXPECT_EQ(generator->queue().size(), c.queued ? 1u : 0u);
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  EXPECT_EQ(renderer->loads.size(), c.loaded ? 1 : 0);
  EXPECT_EQ(log.contains(QStringLiteral("blocked by prefs or no connection")),
            c.queued && !c.loaded);
}

INSTANTIATE_TEST_SUITE_P(Remote, ThumbnailRemoteTest,
                         testing::Values(RemoteCase{"Allowed", true, true, true, true},
                                         RemoteCase{"PreferenceOff", false, true, false, false},
                                         RemoteCase{"NoConnection", true, false, true, false},
                                         RemoteCase{"Neither", false, false, false, false}),
                         [](const testing::TestParamInfo<RemoteCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ThumbnailGeneratorTest, CapturesAMomentAfterTheFinishIntoAnEightyBySixtyPoster) {
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  const auto page = local("page");
  generator->addFileToQueue(page);
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  renderer->pictures = {filled(Qt::red)};
  renderer->finish();
  calls.advance(0.09);
  EXPECT_EQ(renderer->renders, 0);
  EXPECT_TRUE(page->posterImage().isNull());
  calls.advance(0.01);
  EXPECT_EQ(renderer->renders, 1);
  EXPECT_EQ(page->posterImage().size(), QSize(80, 60));
  EXPECT_EQ(posterCentre(*page), QColor(Qt::red));
  EXPECT_EQ(reloads.count(), 1);
  ASSERT_EQ(reloads.notes().front().object, generator.get());

  // The queue has run empty: the view is closed a moment later.
  EXPECT_EQ(renderer->closes, 0);
  calls.advance(QKFlashThumbnailGenerator::kCloseDelay);
  EXPECT_EQ(renderer->closes, 1);
  EXPECT_EQ(calls.pendingCount(), 0);
}

struct TimeoutCase {
  const char* name;
  bool someData;
  bool blank;  // what was drawn is only the background
  bool siteIcon;
  QColor poster;  // invalid: no poster
};

class ThumbnailTimeoutTest : public ThumbnailGeneratorTest,
                             public testing::WithParamInterface<TimeoutCase> {};

TEST_P(ThumbnailTimeoutTest, APageThatNeverFinishesIsCapturedAtItsTimeout) {
  const TimeoutCase& c = GetParam();
  LogCapture log;
  const auto hanging = remote("hanging");
  const auto next = local("next");
  generator->addFileToQueue(hanging);
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  generator->addFileIDToQueue(next->uniqueFileId());
  renderer->pictures = {filled(c.blank ? Qt::white : Qt::blue)};
  if (c.siteIcon) renderer->siteIcon = filled(Qt::green, 16, 16);
  if (c.someData) renderer->listener->pageProgressed();

  calls.advance(QKFlashThumbnailGenerator::kLoadTimeout - 0.01);
  EXPECT_EQ(renderer->stops, 0);
  calls.advance(0.01);
  EXPECT_EQ(renderer->stops, 1);       // stopped at 8 s
  renderer->listener->pageFinished();  // too late: ignored
  // The capture, and a blank picture's three retries.
  calls.advance(4 * QKFlashThumbnailGenerator::kCaptureDelay);

  EXPECT_EQ(hanging->posterImage().isNull(), !c.poster.isValid());
  if (c.poster.isValid()) {
    EXPECT_EQ(posterCentre(*hanging), c.poster);
  }
  EXPECT_EQ(log.contains(QStringLiteral("the page drew nothing")), !c.poster.isValid());
  // The run goes on with the next file.
  EXPECT_EQ(renderer->loads.last(), next->urlString());
}

INSTANTIATE_TEST_SUITE_P(
    Timeout, ThumbnailTimeoutTest,
    testing::Values(TimeoutCase{"DataAndIcon", true, false, true, QColor(Qt::blue)},
                    TimeoutCase{"DataOnly", true, false, false, QColor(Qt::blue)},
                    TimeoutCase{"IconOnly", false, false, true, QColor(Qt::green)},
                    TimeoutCase{"Nothing", false, false, false, QColor()},
                    TimeoutCase{"BlankDataAndIcon", true, true, true, QColor(Qt::green)},
                    TimeoutCase{"BlankData", true, true, false, QColor()}),
    [](const testing::TestParamInfo<TimeoutCase>& info) { return std::string(info.param.name); });

TEST_F(ThumbnailGeneratorTest, PagesThatAskForAPasswordOrFailAreSkippedWithoutAPoster) {
  LogCapture log;
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  const auto secret = remote("secret");
  const auto gone = remote("gone");
  const auto good = remote("good");
  for (const auto& file : {secret, gone, good}) generator->addFileToQueue(file);
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);

  renderer->listener->pageNeedsAuthentication(QUrl(secret->urlString()));
  EXPECT_EQ(renderer->stops, 1);
  renderer->listener->pageFinished();  // the refused page's own end: ignored
  calls.advance(QKFlashThumbnailGenerator::kSkipDelay);
  renderer->listener->pageFailed(QStringLiteral("connection refused"));
  calls.advance(QKFlashThumbnailGenerator::kSkipDelay);
  finishDrawn(Qt::red);

  EXPECT_TRUE(secret->posterImage().isNull());
  EXPECT_TRUE(gone->posterImage().isNull());
  EXPECT_EQ(posterCentre(*good), QColor(Qt::red));
  EXPECT_EQ(renderer->renders, 1);
  EXPECT_EQ(reloads.count(), 3);
  EXPECT_TRUE(
      log.contains(QStringLiteral("URL required authorization on thumbnail creation: skipping")));
  EXPECT_TRUE(log.contains(QStringLiteral("connection refused")));
}

TEST_F(ThumbnailGeneratorTest, ARunWithNothingQueuedPostsOneReloadAndClosesTheView) {
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  allowRemote(false);
  generator->addFileToQueue(remote("refused"));  // not queued, but a run starts
  EXPECT_TRUE(generator->loading());
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  EXPECT_EQ(reloads.count(), 1);
  EXPECT_FALSE(generator->loading());
  EXPECT_EQ(renderer->closes, 0);
  calls.advance(QKFlashThumbnailGenerator::kCloseDelay);
  EXPECT_EQ(renderer->closes, 1);
  EXPECT_EQ(reloads.count(), 1);
}

TEST_F(ThumbnailGeneratorTest, FilesThatCannotBeShownGetNoPosterAndTheRunGoesOn) {
  LogCapture log;
  auto other = QKFile::createWithName(QStringLiteral("movie"), &compositor);
  host.files[other->uniqueFileId()] = other;
  const auto flash = local("clip");
  flash->setUrlString(QStringLiteral("file:///pages/clip.SWF"));
  const auto noAddress = webFile(QString());  // a broken archive leaves neither
  const auto emptyArchive = webFile(QString());
  WebResource empty;
  empty.url = QUrl(QStringLiteral("http://archived.example/"));
  empty.mimeType = QStringLiteral("text/html");
  emptyArchive->setWebArchive(WebArchive(empty));
  const auto refused = local("refused");
  const auto good = local("good");

  generator->addFileIDToQueue(4242);  // no such file (deleted)
  for (const auto& id :
       {other->uniqueFileId(), flash->uniqueFileId(), noAddress->uniqueFileId(),
        emptyArchive->uniqueFileId(), refused->uniqueFileId(), good->uniqueFileId()})
    generator->addFileIDToQueue(id);
  renderer->refused << refused->urlString();
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  EXPECT_EQ(renderer->loads, (QStringList{refused->urlString(), good->urlString()}));
  EXPECT_EQ(log.lines().size(), 5);  // one line each (the view logs its own refusal)
  EXPECT_TRUE(log.contains(QStringLiteral("4242")));
  EXPECT_TRUE(log.contains(QStringLiteral("Flash")));

  finishDrawn(Qt::red);
  EXPECT_EQ(posterCentre(*good), QColor(Qt::red));
  for (const auto& file : {flash, noAddress, emptyArchive, refused})
    EXPECT_TRUE(file->posterImage().isNull());
  EXPECT_FALSE(generator->loading());
}

TEST_F(ThumbnailGeneratorTest, AWebArchiveIsLoadedAsAnArchive) {
  const auto saved = webFile(QString());
  WebResource main;
  main.url = QUrl(QStringLiteral("http://archived.example/page.html"));
  main.data = "<p>saved</p>";
  main.mimeType = QStringLiteral("text/html");
  saved->setWebArchive(WebArchive(main));
  generator->addFileToQueue(saved);
  EXPECT_EQ(generator->queue().size(), 1u);  // an archive is local
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  EXPECT_EQ(renderer->loads,
            QStringList{QStringLiteral("archive:http://archived.example/page.html")});
}

struct BlankCase {
  const char* name;
  std::vector<QColor> pictures;  // invalid colour: no picture
  int renders;
  QColor poster;
};

class ThumbnailBlankGrabTest : public ThumbnailGeneratorTest,
                               public testing::WithParamInterface<BlankCase> {};

TEST_P(ThumbnailBlankGrabTest, ABlankPictureIsTakenAgainUpToThreeTimes) {
  const BlankCase& c = GetParam();
  const auto page = local("page");
  generator->addFileToQueue(page);
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  for (const QColor& color : c.pictures)
    renderer->pictures.push_back(color.isValid() ? filled(color) : QImage());
  renderer->finish();
  // One capture per 0.1 s: after the last expected one, nothing more.
  for (int i = 0; i < c.renders; ++i) {
    EXPECT_EQ(renderer->renders, i);
    calls.advance(QKFlashThumbnailGenerator::kCaptureDelay);
  }
  calls.advance(1.0);
  EXPECT_EQ(renderer->renders, c.renders);
  EXPECT_EQ(page->posterImage().isNull(), !c.poster.isValid());
  if (c.poster.isValid()) {
    EXPECT_EQ(posterCentre(*page), c.poster);
  }
}

const QColor kWhite(Qt::white);
const QColor kRed(Qt::red);
const QColor kNone;

INSTANTIATE_TEST_SUITE_P(
    Blank, ThumbnailBlankGrabTest,
    testing::Values(
        BlankCase{"DrawnAtOnce", {kRed}, 1, kRed},
        BlankCase{"OneOtherColourIsNotBlank", {QColor(Qt::black)}, 1, QColor(Qt::black)},
        BlankCase{"BlankOnce", {kWhite, kRed}, 2, kRed},
        BlankCase{"BlankThreeTimes", {kWhite, kWhite, kWhite, kRed}, 4, kRed},
        BlankCase{"BlankFourTimesKeepsTheBlank", {kWhite, kWhite, kWhite, kWhite, kRed}, 4, kWhite},
        BlankCase{"NoPictureThenDrawn", {kNone, kRed}, 2, kRed},
        BlankCase{"NeverAPicture", {kNone}, 4, kNone}),
    [](const testing::TestParamInfo<BlankCase>& info) { return std::string(info.param.name); });

TEST(ThumbnailBlankTest, APictureIsBlankOnlyWhenEveryPixelIsTheBackground) {
  QImage picture = filled(Qt::white, 40, 30);
  EXPECT_TRUE(QKFlashThumbnailGenerator::looksBlank(picture, Qt::white));
  EXPECT_FALSE(QKFlashThumbnailGenerator::looksBlank(picture, Qt::red));
  picture.setPixelColor(39, 29, Qt::black);
  EXPECT_FALSE(QKFlashThumbnailGenerator::looksBlank(picture, Qt::white));
  EXPECT_TRUE(QKFlashThumbnailGenerator::looksBlank(QImage(), Qt::white));
}

TEST_F(ThumbnailGeneratorTest, AGeneratorFreedMidRunLeavesNoCallBehind) {
  generator->addFileToQueue(local("page"));
  calls.advance(QKFlashThumbnailGenerator::kStartDelay);
  EXPECT_GT(calls.pendingCount(), 0);  // the time-out
  generator.reset();
  EXPECT_EQ(calls.pendingCount(), 0);
}

}  // namespace
