// Relinking by name over a fake search and a fake window: what 0, 1 and
// several matches do, the results sheet's buttons, stopping, and the rows
// the sheet shows.
#include "app/shell/MissingFilesSearch.h"
#include "framework/media/QKFile.h"
#include "tests/support/Screenshot.h"

#include <QDialog>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using Files = MissingFilesSearch::Files;

class MissingFilesSearchTest : public testing::Test {
 protected:
  std::shared_ptr<QKFile> missing(const QString& name) {
    auto file = std::make_shared<QKFile>(name, nullptr);
    file->setFullPath(QStringLiteral("/gone/") + name);
    files_.push_back(file);
    return file;
  }
  FileSearch::Answer answer(const QString& name, QStringList paths, bool incomplete = false) {
    FileSearch::Answer a;
    a.name = name;
    for (const QString& path : paths) a.hits << FileSearch::Hit{path, QDateTime()};
    a.incomplete = incomplete;
    return a;
  }
  MissingFilesSearch::Host host() {
    MissingFilesSearch::Host host;
    host.missingFiles = [this] { return files_; };
    host.isMissing = [this](const QKFile& file) { return !found_.count(&file); };
    host.snapshotOf = [](const QKFile& file) {
      return QVariantMap{{QStringLiteral("name"), file.name()}};
    };
    host.queue = [this]() -> Files& { return queue_; };
    host.relink = [this](const std::shared_ptr<QKFile>& file, const QVariantMap& snapshot,
                         const QString& path) {
      relinked_ << file->name() + QStringLiteral(" -> ") + path;
      EXPECT_EQ(snapshot.value(QStringLiteral("name")).toString(), file->name());
      if (onRelink_) onRelink_(file);
    };
    host.update = [this] { ++updates_; };
    host.setStatus = [this](const QString& text) { status_ = text; };
    host.hideMissingCount = [] {};
    host.window = [] { return nullptr; };
    return host;
  }
  MissingFilesSearch::EngineFactory engine() {
    return [this] {
      return MissingFilesSearch::Engine{
          [this](const QString& name, FileSearch::Accept, FileSearch::Done done) {
            searched_ << name;
            if (answers_.count(name))
              done(answers_[name]);
            else
              pending_ = std::move(done);
          },
          [this] { ++stops_; }};
    };
  }

  Files files_;
  Files queue_;
  std::set<const QKFile*> found_;
  std::map<QString, FileSearch::Answer> answers_;
  FileSearch::Done pending_;
  std::function<void(const std::shared_ptr<QKFile>&)> onRelink_;
  QStringList searched_;
  QStringList relinked_;
  QString status_;
  int updates_ = 0;
  int stops_ = 0;
};

TEST_F(MissingFilesSearchTest, NoneOneAndSeveralMatches) {
  missing(QStringLiteral("a.mov"));
  missing(QStringLiteral("b.mov"));
  missing(QStringLiteral("c.mov"));
  answers_[QStringLiteral("a.mov")] = answer(QStringLiteral("a.mov"), {});
  answers_[QStringLiteral("b.mov")] =
      answer(QStringLiteral("b.mov"), {QStringLiteral("/new/b.mov")});
  answers_[QStringLiteral("c.mov")] =
      answer(QStringLiteral("c.mov"), {QStringLiteral("/x/c.mov"), QStringLiteral("/y/c.mov")});
  MissingFilesSearch flow(host(), engine());
  flow.startSpotlightSearchForAllMissingFiles();
  EXPECT_EQ(searched_, QStringList({"a.mov", "b.mov", "c.mov"}));
  EXPECT_EQ(relinked_, QStringList({"b.mov -> /new/b.mov"}));
  ASSERT_TRUE(flow.spotlightPanel()->isVisible()) << "several matches wait for the user";
  EXPECT_EQ(flow.spotlightTargetFileTextField()->text(), QStringLiteral("c.mov"));
  EXPECT_EQ(flow.spotlightResultsTable()->selectionModel()->selectedRows().value(0).row(), 0);
  saveScreenshot(flow.spotlightPanel()->grab().toImage(), QStringLiteral("search-results-sheet"));

  flow.relinkWithSelectedFileButtonUsed();
  EXPECT_EQ(relinked_.last(), QStringLiteral("c.mov -> /x/c.mov"));
  EXPECT_FALSE(flow.spotlightPanel()->isVisible());
  EXPECT_TRUE(queue_.empty());
  EXPECT_EQ(updates_, 1) << "the emptied queue refreshes the window";
  EXPECT_EQ(status_, QStringLiteral(" "));
}

TEST_F(MissingFilesSearchTest, SheetButtons) {
  const QStringList two = {QStringLiteral("/x/f.mov"), QStringLiteral("/y/f.mov")};
  for (const QString& name : {QStringLiteral("a.mov"), QStringLiteral("b.mov")}) {
    missing(name);
    answers_[name] = answer(name, two);
  }
  MissingFilesSearch flow(host(), engine());
  flow.startSpotlightSearchForAllMissingFiles();
  flow.spotlightResultsTable()->selectRow(1);
  Q_EMIT flow.spotlightResultsTable()->doubleClicked(flow.resultsModel()->index(1, 0));
  EXPECT_EQ(relinked_, QStringList({"a.mov -> /y/f.mov"})) << "a double click relinks";
  ASSERT_TRUE(flow.spotlightPanel()->isVisible());
  EXPECT_EQ(flow.targetedFile()->name(), QStringLiteral("b.mov"));

  flow.spotlightResultsTable()->clearSelection();
  EXPECT_FALSE(flow.relinkButton()->isEnabled());
  flow.relinkWithSelectedFileButtonUsed();
  EXPECT_EQ(relinked_.size(), 1) << "nothing relinks to no path";

  flow.skipButtonUsed();
  EXPECT_TRUE(queue_.empty());
  EXPECT_EQ(updates_, 1);

  queue_.clear();
  updates_ = 0;
  flow.startSpotlightSearchForAllMissingFiles();
  const QString before = status_;
  flow.skipAllButtonUsed();
  EXPECT_TRUE(queue_.empty());
  EXPECT_FALSE(flow.spotlightPanel()->isVisible());
  EXPECT_EQ(status_, before) << "skip all keeps the status line";
  EXPECT_EQ(updates_, 0);
}

TEST_F(MissingFilesSearchTest, HeadsThatNeedNoSearchArePassedOver) {
  auto found = missing(QStringLiteral("found.mov"));
  found_.insert(found.get());
  auto nameless = missing(QString());
  nameless->setFullPath(QString());
  missing(QStringLiteral("b.mov"));
  missing(QStringLiteral("c.mov"));
  answers_[QStringLiteral("b.mov")] = answer(QStringLiteral("b.mov"), {QStringLiteral("/n/b.mov")});
  // Same-folder relinking takes c along with b.
  onRelink_ = [this](const std::shared_ptr<QKFile>&) { std::erase(queue_, files_[3]); };
  MissingFilesSearch flow(host(), engine());
  flow.startSpotlightSearchForAllMissingFiles();
  EXPECT_EQ(searched_, QStringList({"b.mov"}));
  EXPECT_EQ(relinked_, QStringList({"b.mov -> /n/b.mov"}));
  EXPECT_EQ(updates_, 1);

  queue_.clear();
  files_.clear();
  updates_ = 0;
  flow.startSpotlightSearchForAllMissingFiles();
  EXPECT_EQ(updates_, 1) << "an empty queue refreshes at once";
}

TEST_F(MissingFilesSearchTest, StoppingDropsTheAnswerAndACutSearchAsks) {
  missing(QStringLiteral("a.mov"));
  missing(QStringLiteral("b.mov"));
  MissingFilesSearch flow(host(), engine());
  QPushButton stop;
  flow.setStopButton(&stop);
  flow.startSpotlightSearchForAllMissingFiles();
  EXPECT_TRUE(flow.searching());
  EXPECT_TRUE(stop.isEnabled());
  EXPECT_EQ(status_, QStringLiteral("Searching for ... a.mov"));
  stop.click();
  EXPECT_FALSE(stop.isEnabled());
  EXPECT_GE(stops_, 1);
  EXPECT_TRUE(queue_.empty());
  pending_(answer(QStringLiteral("a.mov"), {QStringLiteral("/late/a.mov")}));
  EXPECT_TRUE(relinked_.isEmpty()) << "a stopped search's answer is dropped";

  answers_[QStringLiteral("a.mov")] =
      answer(QStringLiteral("a.mov"), {QStringLiteral("/only/a.mov")}, true);
  flow.startSpotlightSearchForAllMissingFiles();
  EXPECT_TRUE(relinked_.isEmpty()) << "a cut search never relinks unasked";
  EXPECT_TRUE(flow.spotlightPanel()->isVisible());
  EXPECT_TRUE(status_.contains(QStringLiteral("cut short")));
}

TEST_F(MissingFilesSearchTest, ResultRows) {
  SearchResultsModel model;
  const QString home = QDir::homePath();
  model.setHits({{home + QStringLiteral("/clips/intro.mov"), QDateTime()},
                 {QStringLiteral("/media/stick/b.c.mov"),
                  QDateTime(QDate(2024, 5, 1), QTime(12, 0))}});
  EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(),
            QStringLiteral("~/clips/intro"));
  EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(),
            QStringLiteral("/media/stick/b.c"));
  EXPECT_EQ(model.data(model.index(0, 0), Qt::ToolTipRole).toString(),
            home + QStringLiteral("/clips/intro.mov"));
  EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QString())
      << "no date shows empty";
  EXPECT_FALSE(model.data(model.index(1, 1), Qt::ToolTipRole).toString().isEmpty());
  const QString long_ = QStringLiteral("/media/stick/a/very/long/folder/name/clip");
  for (const float width : {0.0f, 5.0f, 400.0f, 2000.0f}) {
    const QString shown = model.shownPath(long_ + QStringLiteral(".mov"), width);
    EXPECT_LE(shown.size(), long_.size() + 3) << width;
    if (shown != long_) EXPECT_TRUE(shown.contains(QStringLiteral("..."))) << width;
  }
  EXPECT_EQ(model.shownPath(long_ + QStringLiteral(".mov"), 2000.0f), long_);
}

TEST_F(MissingFilesSearchTest, NamesAndExclusions) {
  const struct {
    const char* path;
    bool excluded;
  } cases[] = {{"/m/a.eml", true}, {"/m/a.emlx", true}, {"/m/c.vcf", true}, {"/m/clip.mov", false}};
  for (const auto& c : cases)
    EXPECT_EQ(MissingFilesSearch::isMailOrContact(QString::fromLatin1(c.path)), c.excluded)
        << c.path;
  for (const QString& name : {QString(), QStringLiteral("a/b"), QStringLiteral("a") + QChar(0)})
    EXPECT_FALSE(MissingFilesSearch::searchableName(name));
  EXPECT_TRUE(MissingFilesSearch::searchableName(QStringLiteral("a*b?.mov")));
}

}  // namespace
