#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/HandMadeBinaryList.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace {

QVariant integer(qint64 n) { return QVariant::fromValue<qint64>(n); }

QVariantMap fileContents(const QString& path) { return PropertyList::read(path).value.toMap(); }

void put(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = TestEnvironment::makeTempDir(QStringLiteral("defaults"));
    path = folder + QStringLiteral("/defaults.plist");
    defaults().resetForTesting();
    defaults().setFilePath(path);
    defaults().setDebounceSeconds(0.02);
  }
  void TearDown() override {
    defaults().resetForTesting();
    defaults().setDebounceSeconds(1.0);
  }
  static UserDefaults& defaults() { return UserDefaults::standard(); }
  // Forgets the values in memory and reads them back from the file.
  void reload() {
    defaults().resetForTesting();
    defaults().setFilePath(path);
  }

  QString folder;
  QString path;
  LogCapture log;
};

}  // namespace

TEST_F(UserDefaultsTest, PersistentValuesOverrideRegisteredOnes) {
  defaults().registerDefaults(
      {{QStringLiteral("speed"), 1}, {QStringLiteral("name"), QStringLiteral("x")}});
  EXPECT_EQ(defaults().value(QStringLiteral("speed")), integer(1));
  defaults().setValue(QStringLiteral("speed"), 2);
  EXPECT_EQ(defaults().value(QStringLiteral("speed")), integer(2));
  defaults().remove(QStringLiteral("speed"));
  EXPECT_EQ(defaults().value(QStringLiteral("speed")), integer(1));
  EXPECT_TRUE(defaults().contains(QStringLiteral("name")));
  EXPECT_FALSE(defaults().contains(QStringLiteral("missing")));
  EXPECT_FALSE(defaults().value(QStringLiteral("missing")).isValid());

  // An equal number of another type replaces the stored one, type and all.
  defaults().setValue(QStringLiteral("speed"), 1);
  defaults().setValue(QStringLiteral("speed"), 1.0);
  EXPECT_EQ(defaults().value(QStringLiteral("speed")).typeId(), QMetaType::Double);
  defaults().remove(QStringLiteral("speed"));

  // Only the persistent domain reaches the file.
  defaults().setValue(QStringLiteral("kept"), true);
  ASSERT_TRUE(defaults().synchronize());
  EXPECT_EQ(fileContents(path), (QVariantMap{{QStringLiteral("kept"), true}}));
}

TEST_F(UserDefaultsTest, NestedValuesAndOddKeysSurviveAReload) {
  const QVariantMap frame{{QStringLiteral("x"), integer(10)},
                          {QStringLiteral("tabs"), QVariantList{QStringLiteral("a"), 2.5, false}}};
  defaults().setValue(QStringLiteral("window frames/Layer 1"), frame);
  defaults().setValue(QStringLiteral("a key with spaces"), QStringList{QStringLiteral("one")});
  ASSERT_TRUE(defaults().synchronize());
  reload();
  EXPECT_EQ(defaults().dictionaryValue(QStringLiteral("window frames/Layer 1")), frame);
  EXPECT_EQ(defaults().arrayValue(QStringLiteral("a key with spaces")),
            QVariantList{QStringLiteral("one")});
  // "/" is part of the key, not a path into nested values.
  EXPECT_FALSE(defaults().contains(QStringLiteral("window frames")));
}

TEST_F(UserDefaultsTest, ChangesAreWrittenOnceAfterTheDebounce) {
  defaults().setValue(QStringLiteral("a"), 1);
  defaults().setValue(QStringLiteral("b"), 2);
  defaults().remove(QStringLiteral("a"));
  defaults().setValue(QStringLiteral("c"), 3);
  EXPECT_FALSE(QFileInfo::exists(path)) << "written before the debounce";
  ASSERT_TRUE(MainThread::processUntil([&] { return QFileInfo::exists(path); }, 5.0));
  EXPECT_EQ(fileContents(path),
            (QVariantMap{{QStringLiteral("b"), integer(2)}, {QStringLiteral("c"), integer(3)}}));
}

TEST_F(UserDefaultsTest, PendingChangesAreWrittenAtQuit) {
  defaults().setDebounceSeconds(600);
  defaults().setValue(QStringLiteral("at quit"), QStringLiteral("yes"));
  MainThread::processUntil([] { return false; }, 0.05);
  ASSERT_FALSE(QFileInfo::exists(path));
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();
  EXPECT_EQ(fileContents(path).value(QStringLiteral("at quit")), QStringLiteral("yes"));
}

TEST_F(UserDefaultsTest, BrokenFilesAreMovedAsideAndTheProgramGoesOn) {
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const std::vector<Case> cases = {
      {"empty file", QByteArray()},
      {"truncated XML", "<?xml version=\"1.0\"?><plist><dict><key>a</key><integer>1"},
      {"key without a value", "<plist><dict><key>a</key></dict></plist>"},
      {"binary garbage", "bplist00\x01\x02\x03garbage"},
      {"binary list nested 100,000 deep", HandMadeBinaryList::nestedArrays(100000)},
      {"not a dictionary", "<plist><array><true/></array></plist>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    defaults().resetForTesting();
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".broken"));
    log.clear();
    put(path, c.bytes);

    defaults().setFilePath(path);
    EXPECT_FALSE(defaults().contains(QStringLiteral("a")));
    EXPECT_EQ(contents(path + QStringLiteral(".broken")), c.bytes);
    const QStringList logged = log.lines();
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged.first().startsWith(QStringLiteral("\t\terr: ")));
    EXPECT_TRUE(logged.first().contains(path + QStringLiteral(".broken")));

    defaults().setValue(QStringLiteral("fresh"), true);
    ASSERT_TRUE(defaults().synchronize());
    EXPECT_EQ(fileContents(path), (QVariantMap{{QStringLiteral("fresh"), true}}));
    EXPECT_EQ(contents(path + QStringLiteral(".broken")), c.bytes);
  }
}

TEST_F(UserDefaultsTest, AnEarlierBrokenFileIsNotReplaced) {
  put(path, "first broken");
  defaults().setFilePath(path);
  put(path, "second broken");
  defaults().setFilePath(path);
  EXPECT_EQ(contents(path + QStringLiteral(".broken")), QByteArray("first broken"));
  EXPECT_EQ(contents(path + QStringLiteral(".broken-2")), QByteArray("second broken"));
}

TEST_F(UserDefaultsTest, ValuesWithoutAPropertyListFormAreRefused) {
  QObject object;
  defaults().setValue(QStringLiteral("k"), 1);
  defaults().setValue(QStringLiteral("k"), QVariant::fromValue(&object));
  EXPECT_EQ(defaults().value(QStringLiteral("k")), integer(1));
  const QStringList refused = log.lines();
  ASSERT_EQ(refused.size(), 1);
  EXPECT_TRUE(refused.first().contains(QLatin1String("QObject*"))) << refused.first().toStdString();

  defaults().registerDefaults(
      {{QStringLiteral("bad"), QVariant::fromValue(&object)}, {QStringLiteral("good"), true}});
  EXPECT_FALSE(defaults().contains(QStringLiteral("bad")));
  EXPECT_TRUE(defaults().boolValue(QStringLiteral("good")));

  defaults().setValue(QStringLiteral("bell\a"), true);  // keys are written too
  EXPECT_FALSE(defaults().contains(QStringLiteral("bell\a")));

  defaults().setValue(QStringLiteral("k"), QVariant());  // an empty value removes
  EXPECT_FALSE(defaults().contains(QStringLiteral("k")));
}

TEST_F(UserDefaultsTest, TypedGettersConvertLikeTheirNamesSay) {
  struct Case {
    const char* name;
    QVariant stored;
    bool asBool;
    qint64 asInteger;
    double asDouble;
    QString asString;
  };
  const std::vector<Case> cases = {
      {"missing", QVariant(), false, 0, 0.0, QString()},
      {"true", true, true, 1, 1.0, QString()},
      {"integer", 5, true, 5, 5.0, QStringLiteral("5")},
      {"zero", 0, false, 0, 0.0, QStringLiteral("0")},
      {"real is cut toward zero", 2.7, true, 2, 2.7, QStringLiteral("2.7")},
      {"negative real is cut toward zero", -2.7, true, -2, -2.7, QStringLiteral("-2.7")},
      {"text YES", QStringLiteral("YES"), true, 0, 0.0, QStringLiteral("YES")},
      {"text number", QStringLiteral("12"), true, 12, 12.0, QStringLiteral("12")},
      {"text zero", QStringLiteral("0"), false, 0, 0.0, QStringLiteral("0")},
      {"dictionary", QVariantMap{{QStringLiteral("a"), 1}}, false, 0, 0.0, QString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    defaults().setValue(QStringLiteral("k"), c.stored);
    EXPECT_EQ(defaults().boolValue(QStringLiteral("k")), c.asBool);
    EXPECT_EQ(defaults().integerValue(QStringLiteral("k")), c.asInteger);
    EXPECT_DOUBLE_EQ(defaults().doubleValue(QStringLiteral("k")), c.asDouble);
    EXPECT_EQ(defaults().stringValue(QStringLiteral("k")), c.asString);
  }
  defaults().setValue(QStringLiteral("k"), QStringLiteral("text"));
  EXPECT_TRUE(defaults().dictionaryValue(QStringLiteral("k")).isEmpty());
  EXPECT_TRUE(defaults().arrayValue(QStringLiteral("k")).isEmpty());
}

TEST_F(UserDefaultsTest, ChangesFromManyThreadsAllReachTheFile) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kKeys; ++i) {
        const QString key = QStringLiteral("thread %1/key %2").arg(t).arg(i);
        defaults().setValue(key, i);
        if (defaults().integerValue(key) != i) std::abort();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const bool written =
      MainThread::processUntil([&] { return fileContents(path).size() == kThreads * kKeys; }, 5.0);
  EXPECT_TRUE(written);
  EXPECT_EQ(fileContents(path).value(QStringLiteral("thread 3/key 99")), integer(99));
}

TEST_F(UserDefaultsTest, AFailedWriteIsReportedAndRetried) {
  put(folder + QStringLiteral("/not a folder"), "x");
  const QString blocked = folder + QStringLiteral("/not a folder/defaults.plist");
  defaults().setFilePath(blocked);
  defaults().setValue(QStringLiteral("k"), 1);
  EXPECT_FALSE(defaults().synchronize());
  const QStringList failed = log.lines();
  ASSERT_FALSE(failed.isEmpty());
  EXPECT_TRUE(failed.last().contains(blocked)) << failed.last().toStdString();

  // The change stays pending: once the way is clear, the next attempt writes it.
  QFile::remove(folder + QStringLiteral("/not a folder"));
  EXPECT_TRUE(defaults().synchronize());
  EXPECT_EQ(fileContents(blocked).value(QStringLiteral("k")), integer(1));
}

TEST_F(UserDefaultsTest, TheFileComesFromTheEnvironmentOrTheConfigFolder) {
  const QByteArray forced = qgetenv("ZAPH_DEFAULTS_FILE");
  ASSERT_FALSE(forced.isEmpty()) << "the test environment sets it";
  defaults().setFilePath({});
  EXPECT_EQ(defaults().filePath(), QString::fromLocal8Bit(forced));

  ::unsetenv("ZAPH_DEFAULTS_FILE");
  defaults().setFilePath({});
  EXPECT_EQ(defaults().filePath(), Paths::userConfigDir() + QStringLiteral("/defaults.plist"));
  ::setenv("ZAPH_DEFAULTS_FILE", forced.constData(), 1);
}
