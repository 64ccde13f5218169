#include "LayerFixture.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "platform/foundation/Alert.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <map>

namespace {

// A source of any kind that records what the layer asks of it and plays
// a file the way every source does: it becomes the file's current source.
class RecordingSource : public SolidSource {
 public:
  using SolidSource::SolidSource;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override {
    if (file_ && file_ != file) eject();
    file_ = file;
    if (file) file->setCurrentSource(shared_from_this());
    ++loads;
    setBlackFrame(false);
  }
  std::shared_ptr<QKFile> currentFile() const override { return file_; }
  QString currentPath() const override { return file_ ? file_->fullPath() : QString(); }
  void eject() override {
    ++ejects;
    if (file_) file_->setCurrentSource(nullptr);
    file_.reset();
    setBlackFrame(true);
  }
  void stop() override { ++stops; }
  void start() override { ++starts; }
  void refresh() override { ++refreshes; }
  QString lastImageStyleName() const override { return style; }
  void setLastImageStyleName(const QString& name) override { style = name; }
  bool refusedVideoInput() const override { return refuses; }
  bool useTapNamed(const QString& name) override {
    tapName = name;
    return true;
  }
  QString receivingTapName() const override { return tapName; }
  LayerInterface* tappedLayer() const override { return tapped; }

  QString style;
  bool refuses = false;
  QString tapName;
  LayerInterface* tapped = nullptr;
  int loads = 0, stops = 0, starts = 0, refreshes = 0;

 private:
  std::shared_ptr<QKFile> file_;
};

// A file of any kind number.
class KindFile : public QKFile {
 public:
  KindFile(int kind, CompositorInterface* compositor) : QKFile(QStringLiteral("f"), compositor) {
    qkFileType_ = kind;
    setFullPath(QStringLiteral("/media/f%1").arg(kind));
  }
};

// Answers the image players the image rule looks up.
class PlayerCompositor : public CompositorInterface {
 public:
  long getUniqueID() override { return ++id_; }
  void uniqueIDRecovered(long) override {}
  void lockForRender() override {}
  void unlockRender() override {}
  QStringList imageSourcesNames() override { return {QKImageFile::kBuiltInPlayer, "Glow"}; }

 private:
  long id_ = 0;
};

class LayerTriggerTest : public ::testing::Test {
 protected:
  LayerTriggerTest() {
    for (const QString& key : Compositor::sourceClassNames())
      world.compositor->registerSourceFactory(key, [](const QString& name, Layer& layer) {
        return std::make_shared<RecordingSource>(name, &layer);
      });
  }
  static RecordingSource& source(Layer& layer, const QString& key) {
    return static_cast<RecordingSource&>(*layer.sourceOfKind(key));
  }
  std::shared_ptr<QKFile> file(int kind) { return std::make_shared<KindFile>(kind, &files); }
  std::shared_ptr<QKFile> image(const QVariantMap& props) {
    auto file = std::make_shared<QKImageFile>(QStringLiteral("i"), &files);
    file->setMovieProps(props);
    return file;
  }
  QVariant moviePos(Layer& layer) {
    auto source = world.dsc.dataSourceForKeyArray(
        {QStringLiteral("ZAPH"), layer.layerName() + QStringLiteral(" moviePos")});
    return source ? QVariant(true) : QVariant();
  }

  PlayerCompositor files;
  LayerWorld world;
};

TEST_F(LayerTriggerTest, EachKindPlaysInItsSource) {
  const std::vector<std::pair<int, QString>> table{
      {QKFile::kMovieKind, Layer::kMovie},  {QKFile::kCompositionKind, Layer::kQCPatch},
      {QKFile::kTapKind, Layer::kVideoTap}, {QKFile::kTextKind, Layer::kQCPatch},
      {QKFile::kWebKind, Layer::kWeb},      {QKFile::kImageKind, Layer::kImage}};
  auto layer = world.compositor->createNewLayer();
  for (const auto& [kind, name] : table) {
    auto f = file(kind);
    layer->unlockedTriggerFile(f);
    EXPECT_EQ(layer->currentSourceAsString(), name) << kind;
    EXPECT_EQ(layer->currentSource()->currentFile(), f) << kind;
  }
}

TEST_F(LayerTriggerTest, TheImageRuleChoosesBetweenImageAndCompositionSources) {
  const QVariantMap plain;
  const QVariantMap styled{{QKImageFile::kStyleNameKey, "Glow"}};
  const QVariantMap layerChooses{{QKImageFile::kUseStyleKey, 0}};
  struct Case {
    QVariantMap props;
    QString lastStyle;
    QString source;
  };
  const std::vector<Case> cases{
      {plain, QString(), Layer::kImage},
      {plain, "Glow", Layer::kImage},
      {styled, QString(), Layer::kQCPatch},
      {styled, QKImageFile::kBuiltInPlayer, Layer::kQCPatch},
      {layerChooses, QString(), Layer::kImage},
      {layerChooses, QKImageFile::kBuiltInPlayer, Layer::kImage},
      {layerChooses, "Glow", Layer::kQCPatch},
  };
  for (const Case& c : cases) {
    auto layer = world.compositor->createNewLayer();
    source(*layer, VidSourceObject::kQCSource).style = c.lastStyle;
    layer->unlockedTriggerFile(image(c.props));
    EXPECT_EQ(layer->currentSourceAsString(), c.source)
        << c.props.keys().join(",").toStdString() << " " << c.lastStyle.toStdString();
    if (c.source == Layer::kImage)
      EXPECT_EQ(source(*layer, VidSourceObject::kQCSource).style, QKImageFile::kBuiltInPlayer);
  }
}

TEST_F(LayerTriggerTest, AMovieOnACompositionLayerSwitchesAndAnnouncesBothFiles) {
  NotificationCounter triggers(Layer::kTriggerFileNotification);
  auto layer = world.compositor->createNewLayer();
  auto composition = file(QKFile::kCompositionKind);
  layer->unlockedTriggerFile(composition);
  RecordingSource& qc = source(*layer, VidSourceObject::kQCSource);
  EXPECT_FALSE(moviePos(*layer).isValid());

  auto movie = file(QKFile::kMovieKind);
  layer->unlockedTriggerFile(movie);
  EXPECT_EQ(qc.ejects, 1);
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kMovie);
  EXPECT_TRUE(moviePos(*layer).isValid());
  ASSERT_EQ(triggers.count(), 2);
  const QVariantMap info = triggers.notes().back().userInfo;
  EXPECT_EQ(info.value("newFile").value<std::shared_ptr<QKFile>>(), movie);
  EXPECT_EQ(info.value("oldFile").value<std::shared_ptr<QKFile>>(), composition);
  EXPECT_FALSE(triggers.notes().front().userInfo.contains("oldFile"));
  // The replaced source showed a picture: the new one does not flash black
  // before its first frame.
  EXPECT_FALSE(layer->currentSource()->blackFrame());
}

TEST_F(LayerTriggerTest, ASecondMovieLoadsWithoutASwitch) {
  NotificationCounter switches(Layer::kSourceChangeNotification);
  auto layer = world.compositor->createNewLayer();
  layer->unlockedTriggerFile(file(QKFile::kMovieKind));
  const int afterFirst = switches.count();
  auto second = file(QKFile::kMovieKind);
  layer->unlockedTriggerFile(second);
  RecordingSource& movie = source(*layer, VidSourceObject::kMovieSource);
  EXPECT_EQ(switches.count(), afterFirst);
  EXPECT_EQ(movie.loads, 2);
  EXPECT_EQ(movie.stops, 0);
  EXPECT_EQ(movie.currentFile(), second);
  EXPECT_TRUE(moviePos(*layer).isValid());
}

TEST_F(LayerTriggerTest, AFilePlayingElsewhereIsEjectedThereFirst) {
  auto first = world.compositor->createNewLayer();
  auto second = world.compositor->createNewLayer();
  auto movie = file(QKFile::kMovieKind);
  first->unlockedTriggerFile(movie);
  second->unlockedTriggerFile(movie);
  EXPECT_EQ(first->currentSource()->currentFile(), nullptr);
  EXPECT_EQ(source(*first, VidSourceObject::kMovieSource).ejects, 1);
  EXPECT_EQ(second->currentSource()->currentFile(), movie);
}

TEST_F(LayerTriggerTest, AnUnknownKindLoadsNothingButIsStillAnnounced) {
  NotificationCounter triggers(Layer::kTriggerFileNotification);
  auto layer = world.compositor->createNewLayer();
  auto movie = file(QKFile::kMovieKind);
  layer->unlockedTriggerFile(movie);
  layer->unlockedTriggerFile(file(5));
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kMovie);
  EXPECT_EQ(layer->currentSource()->currentFile(), movie);
  EXPECT_EQ(triggers.count(), 2);
  layer->unlockedTriggerFile(nullptr);
  EXPECT_EQ(triggers.count(), 2);
}

TEST_F(LayerTriggerTest, AnUnknownSourceNameChangesNothing) {
  LogCapture log;
  NotificationCounter switches(Layer::kSourceChangeNotification);
  auto layer = world.compositor->createNewLayer();
  auto movie = file(QKFile::kMovieKind);
  layer->unlockedTriggerFile(movie);
  const int before = switches.count();
  layer->useSourceNamed(QStringLiteral("Movies"));
  RecordingSource& source = LayerTriggerTest::source(*layer, VidSourceObject::kMovieSource);
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kMovie);
  EXPECT_EQ(source.currentFile(), movie);
  EXPECT_EQ(source.stops, 0);
  EXPECT_EQ(switches.count(), before);
  EXPECT_TRUE(log.contains("Movies"));
}

TEST_F(LayerTriggerTest, SwitchingWindsDownAndStartsTheRightWay) {
  auto layer = world.compositor->createNewLayer();
  layer->useSourceNamed(Layer::kVideoTap);
  RecordingSource& tap = source(*layer, VidSourceObject::kTapSource);
  EXPECT_EQ(tap.starts, 1);
  layer->useSourceNamed(Layer::kWeb);
  EXPECT_EQ(tap.stops, 1);
  EXPECT_EQ(tap.ejects, 1);
  EXPECT_EQ(source(*layer, VidSourceObject::kWebSource).refreshes, 1);
  layer->useSourceNamed(Layer::kMovie);
  EXPECT_TRUE(moviePos(*layer).isValid());
  layer->useSourceNamed(Layer::kNil);
  EXPECT_EQ(layer->currentSource(), nullptr);
  EXPECT_FALSE(moviePos(*layer).isValid());
}

TEST_F(LayerTriggerTest, TheTapLoopTestFollowsTappedLayersAndEndsOnALoop) {
  auto first = world.compositor->createNewLayer();
  auto second = world.compositor->createNewLayer();
  auto third = world.compositor->createNewLayer();
  for (Layer* layer : {second.get(), third.get()}) layer->useSourceNamed(Layer::kVideoTap);
  EXPECT_TRUE(second->useTapNamed(first->layerName()));
  EXPECT_TRUE(third->useTapNamed(second->layerName()));
  EXPECT_TRUE(third->checkForSourceNamed(first->layerName()));
  EXPECT_FALSE(third->checkForSourceNamed(QStringLiteral("elsewhere")));
  EXPECT_FALSE(first->checkForSourceNamed(first->layerName()));

  // A loop made behind the test's back (a restore): the walk still ends.
  first->useSourceNamed(Layer::kVideoTap);
  source(*first, VidSourceObject::kTapSource).tapName = third->layerName();
  EXPECT_FALSE(third->checkForSourceNamed(QStringLiteral("elsewhere")));
  source(*first, VidSourceObject::kTapSource).tapped = third.get();
  source(*third, VidSourceObject::kTapSource).tapped = first.get();
  EXPECT_TRUE(third->layerThumb().isNull());
}

TEST_F(LayerTriggerTest, UseTapNamedAnswersNoWithoutTheTapSource) {
  auto layer = world.compositor->createNewLayer();
  layer->useSourceNamed(Layer::kMovie);
  EXPECT_FALSE(layer->useTapNamed(QStringLiteral("Layer 1")));
  EXPECT_TRUE(source(*layer, VidSourceObject::kTapSource).tapName.isEmpty());
}

TEST_F(LayerTriggerTest, TheThumbnailIsThePosterOfTheFileOrOfTheTappedLayer) {
  auto first = world.compositor->createNewLayer();
  auto second = world.compositor->createNewLayer();
  auto movie = file(QKFile::kMovieKind);
  QImage poster(80, 60, QImage::Format_ARGB32);
  poster.fill(Qt::red);
  movie->setPosterImage(poster);
  first->unlockedTriggerFile(movie);
  EXPECT_EQ(first->layerThumb().pixelColor(1, 1), QColor(Qt::red));
  second->useSourceNamed(Layer::kVideoTap);
  EXPECT_TRUE(second->layerThumb().isNull());
  source(*second, VidSourceObject::kTapSource).tapped = first.get();
  EXPECT_EQ(second->layerThumb().pixelColor(1, 1), QColor(Qt::red));
}

TEST_F(LayerTriggerTest, ACompositionWithAVideoInputIsEjectedWithAWarning) {
  Alert::clearRecorded();
  auto layer = world.compositor->createNewLayer();
  source(*layer, VidSourceObject::kQCSource).refuses = true;
  layer->unlockedTriggerFile(file(QKFile::kCompositionKind));
  EXPECT_EQ(source(*layer, VidSourceObject::kQCSource).currentFile(), nullptr);
  QCoreApplication::processEvents();
  const auto alerts = Alert::recorded();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Hang on a second....");
  EXPECT_EQ(alerts[0].buttons, QStringList{"Okay"});

  Alert::clearRecorded();
  world.compositor->setModalHiddenTest([] { return true; });
  layer->unlockedTriggerFile(file(QKFile::kCompositionKind));
  QCoreApplication::processEvents();
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(LayerTriggerTest, TriggeringADeletedLayerOnlyLogs) {
  LogCapture log;
  auto layer = world.compositor->createNewLayer();
  layer->prepareToBeDeleted();
  layer->unlockedTriggerFile(file(QKFile::kMovieKind));
  EXPECT_TRUE(log.contains("attempted to unlock trigger on deleted layer"));
  EXPECT_EQ(source(*layer, VidSourceObject::kMovieSource).loads, 0);
}

}  // namespace
