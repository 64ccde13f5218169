#include "platform/foundation/Paths.h"

#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

// Sets (or with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<QString> value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) previous_ = qEnvironmentVariable(name);
    set(value);
  }
  ~ScopedEnv() { set(previous_); }

 private:
  void set(const std::optional<QString>& value) {
    if (value)
      ::setenv(name_, value->toLocal8Bit().constData(), 1);
    else
      ::unsetenv(name_);
  }
  const char* name_;
  std::optional<QString> previous_;
};

class PathsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Paths::setResourcesDirOverride({});
    Paths::setUserDataDirOverride({});
    Paths::setUserConfigDirOverride({});
  }
  // User and resource folders of their own, with the given named folders.
  void useFolders(const QStringList& inUser, const QStringList& inResources) {
    user = TestEnvironment::makeTempDir(QStringLiteral("user"));
    resources = TestEnvironment::makeTempDir(QStringLiteral("resources"));
    for (const QString& name : inUser) QDir(user).mkpath(name);
    for (const QString& name : inResources) QDir(resources).mkpath(name);
    Paths::setUserDataDirOverride(user);
    Paths::setResourcesDirOverride(resources);
  }
  QString user;
  QString resources;
};

}  // namespace

TEST_F(PathsTest, UserFoldersFollowTheXdgVariables) {
  const QString home = QDir::homePath();
  struct Case {
    const char* name;
    std::optional<QString> value;
    QString expectedData;
    QString expectedConfig;
  };
  const std::vector<Case> cases = {
      {"absolute", QStringLiteral("/somewhere/xdg"), QStringLiteral("/somewhere/xdg/ZAPH"),
       QStringLiteral("/somewhere/xdg/ZAPH")},
      {"unset", std::nullopt, home + QStringLiteral("/.local/share/ZAPH"),
       home + QStringLiteral("/.config/ZAPH")},
      {"empty", QString(), home + QStringLiteral("/.local/share/ZAPH"),
       home + QStringLiteral("/.config/ZAPH")},
      {"relative is ignored", QStringLiteral("relative/xdg"),
       home + QStringLiteral("/.local/share/ZAPH"), home + QStringLiteral("/.config/ZAPH")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv data("XDG_DATA_HOME", c.value);
    ScopedEnv config("XDG_CONFIG_HOME", c.value);
    EXPECT_EQ(Paths::userDataDir(), c.expectedData);
    EXPECT_EQ(Paths::userConfigDir(), c.expectedConfig);
  }
}

TEST_F(PathsTest, OverridesWinUntilCleared) {
  ScopedEnv resourcesFromEnv("ZAPH_RESOURCES_DIR", QStringLiteral("/from/env"));
  EXPECT_EQ(Paths::resourcesDir(), QStringLiteral("/from/env"));
  const QString dataBefore = Paths::userDataDir();
  const QString configBefore = Paths::userConfigDir();

  Paths::setResourcesDirOverride(QStringLiteral("/forced/resources"));
  Paths::setUserDataDirOverride(QStringLiteral("/forced/data"));
  Paths::setUserConfigDirOverride(QStringLiteral("/forced/config"));
  EXPECT_EQ(Paths::resourcesDir(), QStringLiteral("/forced/resources"));
  EXPECT_EQ(Paths::userDataDir(), QStringLiteral("/forced/data"));
  EXPECT_EQ(Paths::userConfigDir(), QStringLiteral("/forced/config"));

  Paths::setResourcesDirOverride({});
  Paths::setUserDataDirOverride({});
  Paths::setUserConfigDirOverride({});
  EXPECT_EQ(Paths::resourcesDir(), QStringLiteral("/from/env"));
  EXPECT_EQ(Paths::userDataDir(), dataBefore);
  EXPECT_EQ(Paths::userConfigDir(), configBefore);
}

TEST_F(PathsTest, ResourcesSitBesideTheExecutable) {
  ScopedEnv noEnv("ZAPH_RESOURCES_DIR", std::nullopt);
  EXPECT_EQ(Paths::resourcesDir(), QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                                   QStringLiteral("/../share/zaph")));
}

TEST_F(PathsTest, ResourcePathsExistOrAreEmpty) {
  useFolders({}, {});
  QFile(resources + QStringLiteral("/black.qtz")).open(QIODevice::WriteOnly);
  QFile(resources + QStringLiteral("/README")).open(QIODevice::WriteOnly);
  EXPECT_EQ(Paths::resourcePath(QStringLiteral("black"), QStringLiteral("qtz")),
            resources + QStringLiteral("/black.qtz"));
  EXPECT_EQ(Paths::resourcePath(QStringLiteral("README")), resources + QStringLiteral("/README"));
  EXPECT_EQ(Paths::resourcePath(QStringLiteral("black"), QStringLiteral("png")), QString());
}

TEST_F(PathsTest, NamedFoldersAreFoundUserFirst) {
  useFolders({QStringLiteral("qcFX"), QStringLiteral("behavior chains")},
             {QStringLiteral("qcFX"), QStringLiteral("waves")});
  QFile(user + QStringLiteral("/waves")).open(QIODevice::WriteOnly);  // a file, not a folder
  struct Case {
    const char* name;
    QStringList expected;
  };
  const std::vector<Case> cases = {
      {"qcFX", {user + QStringLiteral("/qcFX"), resources + QStringLiteral("/qcFX")}},
      {"behavior chains", {user + QStringLiteral("/behavior chains")}},
      {"waves", {resources + QStringLiteral("/waves")}},
      {"numFX", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString name = QString::fromUtf8(c.name);
    EXPECT_EQ(Paths::namedFolderSearchList(name), c.expected);
    EXPECT_EQ(Paths::findNamedFolder(name), c.expected.isEmpty() ? QString() : c.expected.first());
  }
}

TEST_F(PathsTest, TheUsersNamedFolderIsCreatedOnDemand) {
  useFolders({}, {QStringLiteral("layer chains")});
  const QString expected = user + QStringLiteral("/layer chains");
  EXPECT_FALSE(QFileInfo::exists(expected));
  EXPECT_EQ(Paths::userNamedFolder(QStringLiteral("layer chains")), expected);
  EXPECT_TRUE(QFileInfo(expected).isDir());
  EXPECT_EQ(Paths::findNamedFolder(QStringLiteral("layer chains")), expected);
  EXPECT_EQ(Paths::userNamedFolder(QStringLiteral("layer chains")), expected);  // already there
}

TEST_F(PathsTest, AFolderThatCannotBeMadeIsReported) {
  const QString blocker = TestEnvironment::makeTempDir() + QStringLiteral("/a file");
  QFile(blocker).open(QIODevice::WriteOnly);
  Paths::setUserDataDirOverride(blocker);
  LogCapture log;
  EXPECT_EQ(Paths::userNamedFolder(QStringLiteral("media")), QString());
  const QStringList logged = log.lines();
  ASSERT_EQ(logged.size(), 1);
  EXPECT_TRUE(logged.first().startsWith(QStringLiteral("\t\terr: ")));
  EXPECT_TRUE(logged.first().contains(blocker + QStringLiteral("/media")));
}
