#include "framework/toolkit/FileManagerAdditions.h"
#include "framework/toolkit/MetadataQueryAdditions.h"
#include "framework/toolkit/QKFontUtils.h"
#include "framework/toolkit/TabViewAdditions.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QMenu>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <thread>

namespace {

bool sortedCaseInsensitively(const QStringList& names) {
  for (int i = 1; i < names.size(); ++i)
    if (names.at(i - 1).compare(names.at(i), Qt::CaseInsensitive) > 0) return false;
  return true;
}

// The shipped pixel font under a family name of its own: the name table's
// "Atari" becomes `replacement` (five letters), in both its encodings.
QString writeRenamedFont(const QByteArray& replacement) {
  QFile source(Paths::resourcePath(QStringLiteral("fonts/AtariSmall"), QStringLiteral("ttf")));
  if (!source.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = source.readAll();
  bytes.replace("Atari", replacement);
  QByteArray wideFrom, wideTo;
  for (char c : QByteArray("Atari")) wideFrom.append('\0').append(c);
  for (char c : replacement) wideTo.append('\0').append(c);
  bytes.replace(wideFrom, wideTo);
  const QString path = TestEnvironment::makeTempDir() + QStringLiteral("/renamed.ttf");
  QFile target(path);
  if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size()) return {};
  return path;
}

void touch(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

}  // namespace

TEST(QKFontUtils, SortedListRebuiltWhenFontsChangeAndEarlierCopiesKept) {
  const QStringList before = QKFontUtils::fontMenuCopy();
  ASSERT_FALSE(before.isEmpty());
  EXPECT_TRUE(sortedCaseInsensitively(before));
  const QString path = writeRenamedFont("Zqxwv");
  ASSERT_FALSE(path.isEmpty());
  const int id = QFontDatabase::addApplicationFont(path);
  ASSERT_GE(id, 0);
  ASSERT_EQ(QFontDatabase::applicationFontFamilies(id).size(), 1);
  const QString family = QFontDatabase::applicationFontFamilies(id).first();
  ASSERT_TRUE(family.startsWith(QStringLiteral("Zqxwv")));

  const QStringList after = QKFontUtils::fontMenuCopy();
  EXPECT_TRUE(after.contains(family));
  EXPECT_TRUE(sortedCaseInsensitively(after));
  EXPECT_FALSE(before.contains(family));

  std::unique_ptr<QMenu> menu(QKFontUtils::makeFontMenu());
  EXPECT_EQ(menu->actions().size(), after.size());
  EXPECT_EQ(menu->actions().constLast()->text(), after.constLast());

  QFontDatabase::removeApplicationFont(id);
  EXPECT_FALSE(QKFontUtils::fontMenuCopy().contains(family));
}

TEST(QKFontUtils, CopiesAndRebuildsOnOtherThreads) {
  std::vector<std::thread> threads;
  std::atomic<int> empty{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        if (t == 0)
          QKFontUtils::populateFontMenu();
        else if (QKFontUtils::fontMenuCopy().isEmpty())
          ++empty;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(empty, 0);
}

TEST(FileManagerAdditions, DirectoryListingsWithFullPaths) {
  const QString dir = TestEnvironment::makeTempDir(QStringLiteral("listing"));
  for (const char* name : {"b.mov", "A.mov", ".hidden", "a.mov"}) touch(dir + "/" + name);
  QDir().mkdir(dir + QStringLiteral("/sub"));
  const QStringList expected{dir + "/.hidden", dir + "/A.mov", dir + "/a.mov", dir + "/b.mov",
                             dir + "/sub"};
  EXPECT_EQ(FileManagerAdditions::fullPathDirectoryContentsAtPath(dir), expected);
  EXPECT_EQ(FileManagerAdditions::fullPathDirectoryContentsAtPath(dir + "/"), expected);

  const QString emptyDir = TestEnvironment::makeTempDir(QStringLiteral("empty"));
  EXPECT_TRUE(FileManagerAdditions::fullPathDirectoryContentsAtPath(emptyDir).isEmpty());
  EXPECT_TRUE(FileManagerAdditions::fullPathDirectoryContentsAtPath(dir + "/missing").isEmpty());
  EXPECT_TRUE(FileManagerAdditions::fullPathDirectoryContentsAtPath(dir + "/a.mov").isEmpty());
  EXPECT_TRUE(FileManagerAdditions::fullPathDirectoryContentsAtPath(QString()).isEmpty());
  const QString locked = TestEnvironment::makeTempDir(QStringLiteral("locked"));
  touch(locked + "/x");
  QFile::setPermissions(locked, QFileDevice::Permissions());
  if (!QDir(locked).isReadable()) {  // root reads anyway
    EXPECT_TRUE(FileManagerAdditions::fullPathDirectoryContentsAtPath(locked).isEmpty());
  }
  QFile::setPermissions(locked,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(FileManagerAdditions, Visibility) {
  const QString dir = TestEnvironment::makeTempDir(QStringLiteral("visible"));
  touch(dir + "/clip.mov");
  touch(dir + "/.hidden.mov");
  ASSERT_TRUE(QFile::link(dir + "/clip.mov", dir + "/link.mov"));
  ASSERT_TRUE(QFile::link(dir + "/gone.mov", dir + "/dangling.mov"));
  struct Case {
    QString path;
    bool visible;
  };
  for (const Case& c : {Case{dir + "/clip.mov", true}, Case{dir, true}, Case{dir + "/", true},
                        Case{dir + "/link.mov", true}, Case{dir + "/.hidden.mov", false},
                        Case{dir + "/missing.mov", false}, Case{dir + "/dangling.mov", false},
                        Case{QString(), false}})
    EXPECT_EQ(FileManagerAdditions::fileVisibleAtPath(c.path), c.visible) << c.path.toStdString();
}

TEST(TabViewAdditions, SelectedTabIndex) {
  QTabWidget tabs;
  EXPECT_EQ(TabViewAdditions::indexOfSelectedTabViewItem(&tabs), -1);
  tabs.addTab(new QWidget, QStringLiteral("Sliders"));
  tabs.addTab(new QWidget, QStringLiteral("Buttons"));
  tabs.setCurrentIndex(1);
  EXPECT_EQ(TabViewAdditions::indexOfSelectedTabViewItem(&tabs), 1);
  EXPECT_EQ(TabViewAdditions::indexOfSelectedTabViewItem(nullptr), -1);
}

// Constants fold by their logic; the result is "no constraint" (nothing),
// "matches nothing" (FALSE) or a predicate without constants.
TEST(MetadataQueryAdditions, SpotlightFriendlyPredicateFoldsConstants) {
  using P = QueryPredicate;
  const P a = P::comparison(QStringLiteral("name == 'a.mov'"));
  const P b = P::comparison(QStringLiteral("name == 'b.mov'"));
  const P t = P::truePredicate();
  const P f = P::falsePredicate();
  struct Case {
    const char* name;
    P input;
    std::optional<P> expected;
  };
  const Case cases[] = {
      {"A AND TRUE is A", P::andPredicate({a, t}), a},
      {"NOT A stays", P::notPredicate(a), P::notPredicate(a)},
      {"TRUE OR FALSE is no constraint", P::orPredicate({t, f}), std::nullopt},
      {"TRUE is no constraint", t, std::nullopt},
      {"A AND FALSE matches nothing", P::andPredicate({a, f}), f},
      {"NOT TRUE matches nothing", P::notPredicate(t), f},
      {"NOT FALSE is no constraint", P::notPredicate(f), std::nullopt},
      {"A OR TRUE is no constraint", P::orPredicate({a, t}), std::nullopt},
      {"A OR FALSE is A", P::orPredicate({a, f}), a},
      {"FALSE matches nothing", f, f},
      {"nested", P::andPredicate({a, P::orPredicate({b, f}), P::notPredicate(P::notPredicate(t))}),
       P::andPredicate({a, b})},
      {"nested false", P::orPredicate({a, P::andPredicate({b, P::notPredicate(t)})}), a},
      {"NOT over folded AND", P::notPredicate(P::andPredicate({a, b, t})),
       P::notPredicate(P::andPredicate({a, b}))},
      {"comparison", a, a},
  };
  for (const Case& c : cases) {
    const std::optional<P> result = MetadataQueryAdditions::spotlightFriendlyPredicate(c.input);
    EXPECT_EQ(result, c.expected) << c.name << ": "
                                  << (result ? result->format().toStdString() : "nothing");
  }
}
