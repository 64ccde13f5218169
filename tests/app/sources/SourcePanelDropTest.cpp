#include "tests/app/sources/MovieSourceFixture.h"

#include "app/sources/VidSourceObjectPanel.h"
#include "app/sources/VidSourceObjectPanelNonQT.h"
#include "framework/media/QKFile.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// A source that only counts the files handed to it.
class CountingSource : public VidSourceObject {
 public:
  using VidSourceObject::VidSourceObject;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override { loaded.push_back(file); }
  std::vector<std::shared_ptr<QKFile>> loaded;
};

QVariantMap rows(const std::vector<std::shared_ptr<QKFile>>& files) {
  QVariantList list;
  for (const auto& file : files) list << QVariant::fromValue(file);
  return {{QStringLiteral("rowArray"), list}};
}

TEST_F(MovieSourceFixture, APanelTakesExactlyOneFileOfItsKindAndSaysWhetherItDid) {
  auto movie = clip();
  auto composition = QKFile::createWithName(QStringLiteral("c"), world.compositor.get());
  files[composition->uniqueFileId()] = composition;
  struct Case {
    bool anyFile;
    QVariantMap contents;
    bool taken;
  };
  const std::vector<Case> cases{
      {false, rows({movie}), true},
      {false, rows({composition}), false},
      {true, rows({composition}), true},
      {true, rows({movie, composition}), false},
      {true, {{"rowArray", QVariantList{QStringLiteral("not a file")}}}, false},
      {true, {{"uniqueIdArray", QVariantList{qint64(composition->uniqueFileId())}}}, true},
      {true, {{"uniqueIdArray", QVariantList{qint64(424242)}}}, false},
      {false, {}, false},
  };
  for (const Case& c : cases) {
    auto source = std::make_shared<CountingSource>(QStringLiteral("QCSource"), nullptr);
    std::unique_ptr<VidSourceObjectPanel> panel;
    if (c.anyFile)
      panel = std::make_unique<VidSourceObjectPanelNonQT>();
    else
      panel = std::make_unique<VidSourceObjectPanel>();
    panel->setMyObject(source);
    EXPECT_EQ(panel->acceptedFile(c.contents) != nullptr, c.taken);
    EXPECT_EQ(panel->performDrop(c.contents), c.taken);
    EXPECT_EQ(source->loaded.size(), c.taken ? 1u : 0u);
  }
}

TEST_F(MovieSourceFixture, AMovieDroppedOnTheMoviePanelPlays) {
  auto file = clip();
  auto* panel = static_cast<VidSourceObjectPanel*>(source().view());
  ASSERT_TRUE(panel);
  EXPECT_TRUE(panel->performDrop(rows({file})));
  ASSERT_TRUE(loaded(file));
  panel->show();
  QCoreApplication::processEvents();
  const QString png = QDir::temp().filePath(QStringLiteral("movie-source-panel.png"));
  EXPECT_TRUE(panel->grab().save(png));
}

}  // namespace
