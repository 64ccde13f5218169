// The movie file: its properties at open, tempo sync, chapters, the
// snapshot and its restore, and the recording placeholder. Tiny clips are
// made at test time.
#include "framework/media/MediaNotifications.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKFileKindTable.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/movie/MovieClock.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
namespace P = MovieProps;

class QKQTFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UserDefaults::standard().resetForTesting();
    QKStatChecker::reset();
  }
  void TearDown() override {
    UserDefaults::standard().resetForTesting();
    QKStatChecker::reset();
  }

  // A clip written into `folder` (a fresh one when empty).
  static QString clip(const TestClipSpec& spec, const QString& name = QStringLiteral("clip.mov"),
                      QString folder = {}) {
    if (folder.isEmpty()) folder = TestEnvironment::makeTempDir(QStringLiteral("clip"));
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    const QString error = TestClip::write(path, spec);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return path;
  }

  std::shared_ptr<QKQTFile> open(const QString& path) {
    QString error;
    auto movie = QKQTMovie::movieWithFile(path, &error);
    EXPECT_TRUE(movie) << error.toStdString();
    return QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie, &compositor);
  }

  std::shared_ptr<QKQTFile> restore(const QVariantMap& snapshot) {
    auto file = std::dynamic_pointer_cast<QKQTFile>(
        QKFileKindTable::createForSnapshot(snapshot, &compositor));
    EXPECT_TRUE(file);
    if (file) file->loadFromSnapshot(snapshot, &compositor);
    return file;
  }

  FakeCompositor compositor;
};

TEST_F(QKQTFileTest, AnOpenedMovieDerivesItsProperties) {
  TestClipSpec spec;
  spec.frames = 30;  // 1 s at 30 fps
  auto file = open(clip(spec));
  ASSERT_TRUE(file->validFile());
  const QVariantMap props = file->movieProps();
  const QKTime duration = P::time(props.value(P::kDuration));
  EXPECT_DOUBLE_EQ(duration.seconds(), 1.0);
  EXPECT_EQ(P::time(props.value(P::kOriginalDuration)), duration);
  const QKTimeRange active = P::range(props.value(P::kActive));
  EXPECT_EQ(active.start.value, 0);
  EXPECT_EQ(active.duration, duration) << "an empty selection becomes the whole movie";
  EXPECT_EQ(P::range(props.value(P::kOriginalActive)), active);
  EXPECT_EQ(props.value(P::kResolution).toSizeF(), QSizeF(32, 24));
  EXPECT_EQ(props.value(P::kOriginalFrameCount).toLongLong(), 30);
  EXPECT_FLOAT_EQ(props.value(P::kOriginalFrameRate).toFloat(), 30.0f);
  EXPECT_EQ(props.value(P::kLoopMode).toInt(), 1);
  EXPECT_TRUE(props.value(P::kAllowLiveUpdating).toBool());
  EXPECT_EQ(props.value(P::kSpeed).toDouble(), 0.0);
  EXPECT_EQ(props.value(P::kRamloadDurationInFrames).toInt(), 10);
  EXPECT_EQ(props.value(P::kDoMoviePreroll).toInt(), 0);
  EXPECT_FALSE(props.contains(P::kTimeSlider));
  EXPECT_FLOAT_EQ(props.value(P::kDurationInMeasures).toFloat(), 0.5f);
  EXPECT_FLOAT_EQ(props.value(P::kBeatsPerMinute).toFloat(), 120.0f);
  EXPECT_EQ(file->posterImage().size(), QSize(80, 60));
  EXPECT_EQ(file->fileType(), QStringLiteral("mov"));
  EXPECT_TRUE(file->idleCheck());
  ASSERT_TRUE(file->movieFile());
  EXPECT_TRUE(file->movieFile()->isLocked()) << "parked until a layer plays it";
  EXPECT_TRUE(file->movieFile()->movie().playsSelectionOnly());
  EXPECT_EQ(file->movieFile()->movie().selection(), active);
}

TEST_F(QKQTFileTest, UserDefaultsSetTheStartingProperties) {
  UserDefaults& defaults = UserDefaults::standard();
  defaults.setValue(QStringLiteral("loopModeDefault"), 3);
  defaults.setValue(QStringLiteral("qtAllowLiveUpdatingDefault"), false);
  defaults.setValue(QStringLiteral("timeSliderDefault"), QVariantMap{{"value", 0.5}});
  defaults.setValue(QStringLiteral("ramloadRangeDefault"), 25);
  TestClipSpec spec;
  spec.frames = 6;
  const QVariantMap props = open(clip(spec))->movieProps();
  EXPECT_EQ(props.value(P::kLoopMode).toInt(), 3);
  EXPECT_FALSE(props.value(P::kAllowLiveUpdating).toBool());
  EXPECT_EQ(props.value(P::kTimeSlider).toMap().value("value").toDouble(), 0.5);
  EXPECT_EQ(props.value(P::kRamloadDurationInFrames).toInt(), 25);
}

TEST_F(QKQTFileTest, TempoSyncFollowsTheMasterClocksMeasure) {
  TestClipSpec spec;
  spec.frames = 15;
  spec.fpsNum = 2;       // 7.5 s
  compositor.beats = 0;  // counts as 4
  const QVariantMap props = open(clip(spec))->movieProps();
  EXPECT_FLOAT_EQ(props.value(P::kDurationInMeasures).toFloat(), 2.0f);
  EXPECT_FLOAT_EQ(props.value(P::kBeatsPerMinute).toFloat(), 64.0f);

  UserDefaults::standard().setValue(QStringLiteral("bpmSyncOnOffDefault"), 1);
  UserDefaults::standard().setValue(QStringLiteral("bpmDefault"), 120);
  compositor.beats = 3;
  const QVariantMap synced = open(clip(spec))->movieProps();
  EXPECT_FLOAT_EQ(synced.value(P::kBeatsPerMinute).toFloat(), 120.0f);
  EXPECT_FLOAT_EQ(synced.value(P::kDurationInMeasures).toFloat(), 5.0f);
}

TEST_F(QKQTFileTest, StillImagesAreKnownByTheirExtension) {
  TestClipSpec spec;
  spec.frames = 2;
  const QString folder = TestEnvironment::makeTempDir();
  const std::pair<const char*, bool> cases[] = {
      {"clip.mov", false}, {"still.JPG", true}, {"still.tiff", true}, {"still.Pdf", true}};
  for (const auto& [name, still] : cases) {
    auto file = open(clip(spec, QString::fromUtf8(name), folder));
    EXPECT_EQ(file->stillFlag(), still) << name;
  }
}

TEST_F(QKQTFileTest, ChaptersBecomeWarpMarkersUntilAStoredListReplacesThem) {
  TestClipSpec spec;
  spec.frames = 30;
  spec.chapters = {
      {0, QStringLiteral("Intro")}, {10, QStringLiteral("Verse")}, {20, QStringLiteral("Drop")}};
  NotificationCounter changed(MediaNotifications::kWarpMarkersChanged);
  auto file = open(clip(spec));
  ASSERT_EQ(file->warpMarkers().size(), 3u);
  EXPECT_EQ(file->warpMarkers()[0]->originalTime().value, 0);
  // Chapter times are stored to the millisecond.
  EXPECT_NEAR(file->warpMarkers()[1]->originalTime().seconds(), 1.0 / 3.0, 1e-3);
  EXPECT_NEAR(file->warpMarkers()[2]->originalTime().seconds(), 2.0 / 3.0, 1e-3);
  EXPECT_EQ(changed.count(), 3);
  EXPECT_FALSE(file->movieIsWarped());

  QVariantMap snapshot = file->createSnapshot();
  QVariantList stored = snapshot.value(QKQTFile::kWarpArrayKey).toList();
  ASSERT_EQ(stored.size(), 3);
  stored.removeLast();
  snapshot.insert(QKQTFile::kWarpArrayKey, stored);
  auto restored = restore(snapshot);
  EXPECT_EQ(restored->warpMarkers().size(), 2u) << "exactly the stored markers";

  spec.chapters.clear();
  EXPECT_FALSE(open(clip(spec))->createSnapshot().contains(QKQTFile::kWarpArrayKey));
}

TEST_F(QKQTFileTest, AProjectMovedElsewherePlaysTheSameSelectionWarpAndProperties) {
  TestClipSpec spec;
  spec.frames = 60;  // 2 s
  const QString from = TestEnvironment::makeTempDir(QStringLiteral("gig"));
  const QString path = clip(spec, QStringLiteral("intro.mov"), from + "/show/clips");
  compositor.savePath = from + "/show/set.zaph";
  auto file = open(path);
  ASSERT_TRUE(file->validFile());
  const QKTime duration = file->movieFile()->movie().duration();
  const int32_t scale = duration.scale;
  const QKTimeRange active{QKTime{duration.value / 4, scale, 0},
                           QKTime{duration.value / 2, scale, 0}};
  file->setMovieProp(P::kActive, P::fromRange(active));
  file->setMovieProp(P::kLoopMode, 2);
  file->setMovieProp(P::kSpeed, 1.5);
  file->setMovieProp(P::kInstancePosterTime, P::fromTime(QKTime{duration.value / 2, scale, 0}));
  file->addWarpMarkerAtTime(QKTime{duration.value / 2, scale, 0});
  file->warpMarkers()[0]->setBeatPosition(0.25f);
  file->createWarpedMovieFile();
  ASSERT_TRUE(file->movieIsWarped());
  const QVariantMap snapshot = file->createSnapshot();
  const long id = file->uniqueFileId();
  file->prepareToBeDeleted();
  file.reset();

  const QString to = TestEnvironment::makeTempDir(QStringLiteral("venue"));
  ASSERT_TRUE(QDir().rename(from + "/show", to + "/show"));
  FakeCompositor venue;
  venue.savePath = to + "/show/set.zaph";
  NotificationCounter missing(MediaNotifications::kMissingFile);
  auto moved =
      std::dynamic_pointer_cast<QKQTFile>(QKFileKindTable::createForSnapshot(snapshot, &venue));
  ASSERT_TRUE(moved);
  ASSERT_TRUE(moved->loadFromSnapshot(snapshot, &venue));
  EXPECT_EQ(missing.count(), 0);
  EXPECT_EQ(moved->fullPath(), to + "/show/clips/intro.mov");
  EXPECT_EQ(moved->uniqueFileId(), id);
  EXPECT_EQ(venue.ids.peek(), id + 1);
  const QVariantMap props = moved->movieProps();
  EXPECT_EQ(P::range(props.value(P::kActive)), active);
  EXPECT_EQ(moved->movieFile()->movie().selection(), active);
  EXPECT_EQ(props.value(P::kLoopMode).toInt(), 2);
  EXPECT_EQ(props.value(P::kSpeed).toDouble(), 1.5);
  EXPECT_TRUE(props.contains(P::kInstancePosterTime));

  ASSERT_TRUE(MainThread::processUntil([&] { return moved->movieIsWarped(); }, 5.0))
      << "the warp is rebuilt after the restore";
  const auto map = moved->timeMap();
  ASSERT_TRUE(map);
  EXPECT_EQ(map->originalAt(duration.value / 4), duration.value / 2)
      << "a quarter into the warped movie plays its middle";
  Movie& movie = moved->movieFile()->movie();
  movie.setCurrentTime(QKTime{duration.value / 4, scale, 0});
  EXPECT_EQ(movie.frameIndexAt(movie.clock().nowNanos()), 30);
}

TEST_F(QKQTFileTest, ASelectionStoredInAnotherTimeScaleIsCarriedOver) {
  TestClipSpec spec;
  spec.frames = 60;
  auto file = open(clip(spec));
  const QKTime duration = file->movieFile()->movie().duration();
  const int32_t scale = duration.scale;
  ASSERT_NE(scale, 7);
  struct Case {
    const char* name;
    QKTimeRange stored;
    QKTimeRange expected;
  };
  const Case cases[] = {
      {"seven units a second", {{7, 7, 0}, {7, 7, 0}}, {{scale, scale, 0}, {scale, scale, 0}}},
      {"no time scale: the whole movie", {{5, 0, 0}, {9, 0, 0}}, {{0, scale, 0}, duration}},
      {"already in the movie's scale",
       {{3, scale, 0}, {4, scale, 0}},
       {{3, scale, 0}, {4, scale, 0}}},
  };
  for (const Case& c : cases) {
    file->convertDictToMovieProps(
        {{P::kActive, P::storedForm({{P::kActive, P::fromRange(c.stored)}}).value(P::kActive)}});
    EXPECT_EQ(P::range(file->movieProp(P::kActive)), c.expected) << c.name;
    EXPECT_EQ(file->movieFile()->movie().selection(), c.expected) << c.name;
  }
}

TEST_F(QKQTFileTest, AMissingMovieKeepsEveryStoredPropertyForTheNextSave) {
  const QVariantMap storedProps{
      {"duration", QVariantMap{{"timeValue", 1200}, {"timeScale", 600}, {"flags", 0}}},
      {"originalDuration", QVariantMap{{"timeValue", 1200}, {"timeScale", 600}, {"flags", 0}}},
      {"originalActive",
       QVariantMap{
           {"timeDict", QVariantMap{{"timeValue", 0}, {"timeScale", 600}, {"flags", 0}}},
           {"durationDict", QVariantMap{{"timeValue", 1200}, {"timeScale", 600}, {"flags", 0}}}}},
      {"active",
       QVariantMap{
           {"timeDict", QVariantMap{{"timeValue", 60}, {"timeScale", 600}, {"flags", 0}}},
           {"durationDict", QVariantMap{{"timeValue", 600}, {"timeScale", 600}, {"flags", 0}}}}},
      {"ramloadRange",
       QVariantMap{
           {"timeDict", QVariantMap{{"timeValue", 0}, {"timeScale", 600}, {"flags", 0}}},
           {"durationDict", QVariantMap{{"timeValue", 200}, {"timeScale", 600}, {"flags", 0}}}}},
      {"ramload", 1},
      {"originalFrameCount", 48},
      {"originalFrameRate", 24.0},
      {"InstancePosterTime", QVariantMap{{"timeValue", 300}, {"timeScale", 600}, {"flags", 0}}},
      {"loopMode", 2},
      {"futureKey", QStringLiteral("kept")},
  };
  const QVariantMap snapshot{{"qkFileType", 0},
                             {"uniqueFileId", 12},
                             {"name", "gone.mov"},
                             {"fullPath", "/no/such/folder/gone.mov"},
                             {"relPathToProject", "./gone.mov"},
                             {"movieProps", storedProps},
                             {"warpArray", QVariantList{QVariantMap{{"beatPosition", 0.5}}}}};
  compositor.savePath = TestEnvironment::makeTempDir() + "/set.zaph";
  NotificationCounter missing(MediaNotifications::kMissingFile);
  auto file = restore(snapshot);
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->validFile());
  ASSERT_EQ(missing.count(), 1) << "one notice, whatever number of paths failed";
  EXPECT_EQ(missing.notes()[0].object, file.get());
  EXPECT_EQ(missing.notes()[0].userInfo.value("snap").toMap(), snapshot);
  EXPECT_EQ(file->fullPath(), QStringLiteral("/no/such/folder/gone.mov"));

  const QVariantMap saved = file->createSnapshot();
  EXPECT_EQ(saved.value("movieProps").toMap(), storedProps);
  EXPECT_EQ(saved.value("warpArray").toList().size(), 1);
  EXPECT_EQ(saved.value("fullPath").toString(), QStringLiteral("/no/such/folder/gone.mov"));

  // Nor does it make up properties it was not given.
  QVariantMap bare = snapshot;
  bare.insert("movieProps", QVariantMap{});
  EXPECT_EQ(restore(bare)->createSnapshot().value("movieProps").toMap(), QVariantMap{});
}

TEST_F(QKQTFileTest, AnUnopenableFileIsMissingAndSaysWhy) {
  TestClipSpec spec;
  spec.frames = 10;
  const QString dir = TestEnvironment::makeTempDir();
  QFile whole(clip(spec, QStringLiteral("whole.mov"), dir));
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  const QByteArray bytes = whole.readAll();
  ASSERT_TRUE(writeFile(dir + "/cut.mov", bytes.left(bytes.size() / 2)));
  LogCapture log;
  NotificationCounter missing(MediaNotifications::kMissingFile);
  auto file = restore({{"qkFileType", 0}, {"fullPath", dir + "/cut.mov"}});
  EXPECT_FALSE(file->validFile());
  EXPECT_EQ(missing.count(), 1);
  // The file object holds the reason for the media bin; the log says it too.
  EXPECT_TRUE(file->loadError().contains(QStringLiteral("“cut.mov”")))
      << file->loadError().toStdString();
  EXPECT_TRUE(file->loadError().contains(QStringLiteral("damaged or incomplete")));
  EXPECT_TRUE(log.contains(QStringLiteral("%1/cut.mov").arg(dir)));
  EXPECT_TRUE(log.contains(file->loadError())) << log.lines().join('\n').toStdString();
}

TEST_F(QKQTFileTest, PreRollBlockedAtTheLimitLeavesTheKeyOut) {
  QKStatChecker::setPresenter(
      [](const QString&, const QString&, const QStringList&, int) { return 1; });
  LogCapture log;
  for (unsigned i = 0; i <= QKStatChecker::kMovieThreshold; ++i)
    QKStatChecker::incrementCachedMovieCount();
  ASSERT_TRUE(MainThread::processUntil([] { return QKStatChecker::stopPrerolling(); }, 5.0));
  TestClipSpec spec;
  spec.frames = 4;
  auto file = open(clip(spec));
  EXPECT_FALSE(file->movieProps().contains(P::kDoMoviePreroll));
  EXPECT_FALSE(file->createSnapshot().value("movieProps").toMap().contains(P::kDoMoviePreroll));

  file->setMovieProp(P::kDoMoviePreroll, 1);
  file->threadedVisualContextInit();
  EXPECT_EQ(file->movieProp(P::kDoMoviePreroll).toInt(), 0) << "the user's choice is stored";
  EXPECT_FALSE(file->visualContext());
}

TEST_F(QKQTFileTest, RecordingsFillTheirOwnPlaceholdersAndKeepTheirIDs) {
  TestClipSpec spec;
  spec.frames = 4;
  const QString first = clip(spec, QStringLiteral("cam-one.mov"));
  const QString second = clip(spec, QStringLiteral("cam-two.mov"));
  for (bool secondFirst : {false, true}) {
    auto one = QKQTFile::createFromRecordingSource(QStringLiteral("Cam 1"), &compositor);
    auto two = QKQTFile::createFromRecordingSource(QStringLiteral("Cam 2"), &compositor);
    EXPECT_EQ(one->name(), QStringLiteral("rec-Cam 1"));
    EXPECT_FALSE(one->validFile());
    const long oneId = one->uniqueFileId();
    const long twoId = two->uniqueFileId();
    NotificationCounter reload(MediaNotifications::kReloadAll);
    const auto finish = [](const QString& tap, const QString& path) {
      NotificationCenter::defaultCenter().post(MediaNotifications::kExportDone, nullptr,
                                               {{"tapName", tap}, {"path", path}});
    };
    if (secondFirst) finish(QStringLiteral("Cam 2"), second);
    finish(QStringLiteral("Cam 1"), first);
    if (!secondFirst) finish(QStringLiteral("Cam 2"), second);
    ASSERT_TRUE(
        MainThread::processUntil([&] { return one->validFile() && two->validFile(); }, 5.0));
    EXPECT_EQ(one->fullPath(), first);
    EXPECT_EQ(two->fullPath(), second);
    EXPECT_EQ(one->name(), QStringLiteral("cam-one.mov"));
    EXPECT_EQ(one->uniqueFileId(), oneId) << "the page still knows it by its ID";
    EXPECT_EQ(two->uniqueFileId(), twoId);
    EXPECT_TRUE(one->recSourceName().isNull());
    EXPECT_EQ(reload.count(), 2);
  }
}

TEST_F(QKQTFileTest, ARecordingWithoutAPathStopsWaitingAndStillNotifies) {
  auto placeholder = QKQTFile::createFromRecordingSource(QStringLiteral("Cam"), &compositor);
  NotificationCounter finished(MediaNotifications::kFileLoaderFinishedLoad);
  LogCapture log;
  placeholder->recordingDidStopMainThread({{"tapName", "Other"}});
  EXPECT_EQ(finished.count(), 0) << "another input's recording";
  placeholder->recordingDidStopMainThread({{"tapName", "Cam"}});
  EXPECT_TRUE(log.contains(QStringLiteral("err: record path was nil")));
  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(placeholder->validFile());
  EXPECT_TRUE(placeholder->recSourceName().isNull());
}

}  // namespace

namespace {
class PlayingSource : public QKQTMovieSubscriber {
 public:
  bool paused() const override { return paused_; }
  void setPausedMainThread(bool paused) override {
    paused_ = paused;
    if (!paused) ++resumed;
  }
  bool paused_ = false;
  int resumed = 0;
};
}  // namespace

TEST_F(QKQTFileTest, WarpEditsKeepAPlayingLayerWhereItWas) {
  TestClipSpec spec;
  spec.frames = 40;
  auto file = open(clip(spec));
  const std::shared_ptr<QKQTMovie> movie = file->movieFile();
  const QKTime duration = movie->movie().duration();
  const auto at = [&](double share) {
    return QKTime{int64_t(duration.value * share), duration.scale, 0};
  };
  auto source = std::make_shared<PlayingSource>();
  movie->setSubscriber(source);
  movie->unlock();  // playing

  NotificationCounter changed(MediaNotifications::kWarpMarkersChanged);
  file->addWarpMarkerAtTime(at(0.5));
  file->addWarpMarkerAtTime(at(0.5));
  EXPECT_EQ(file->warpMarkers().size(), 1u);
  EXPECT_EQ(changed.count(), 1) << "a time already taken adds and posts nothing";
  file->warpMarkers()[0]->setBeatPosition(0.25f);
  movie->movie().setCurrentTime(at(0.125));
  file->createWarpedMovieFile();
  EXPECT_TRUE(file->movieIsWarped());
  EXPECT_EQ(movie->movie().currentTime(), at(0.125)) << "the layer goes on where it was";
  EXPECT_EQ(source->resumed, 1);
  EXPECT_FALSE(movie->isLocked()) << "the edit gives the lock back";

  file->warpMarkers()[0]->setBeatPosition(0.5f);
  file->warpMarkerMoved(file->warpMarkers()[0]);
  EXPECT_EQ(file->warpMarkers()[0]->warpTime().value, duration.value / 2);
  EXPECT_TRUE(file->timeMap() == nullptr || file->timeMap()->isIdentity());
  EXPECT_EQ(source->resumed, 1) << "a moved marker does not resume a layer";

  LogCapture log;
  file->createUnwarpedMovieFile();
  file->createUnwarpedMovieFile();
  EXPECT_TRUE(log.contains(QStringLiteral("err: movie was not warped on createWarpedMovie")));
  EXPECT_FALSE(file->movieIsWarped());
  EXPECT_EQ(file->warpMarkers()[0]->warpTime(), file->warpMarkers()[0]->originalTime());

  file->addWarpMarkerAtTime(at(0.25));
  file->deleteWarpMarkerWithOriginalTime(at(0.7));
  EXPECT_EQ(file->warpMarkers().size(), 2u) << "no marker at that time";
  file->deleteWarpMarkerWithOriginalTime(at(0.25));
  EXPECT_EQ(file->warpMarkers().size(), 1u);
  movie->clearSubscriber();
  movie->lock();
}
