#include "framework/render/TheApplication.h"

#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestEnvironment.h"

#include <QDialog>
#include <QDir>
#include <QFontInfo>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

TEST(TheApplication, IsTheRunningApplicationObject) {
  ASSERT_NE(TheApplication::instance(), nullptr);
  EXPECT_EQ(TheApplication::instance(), qApp);
}

TEST(TheApplication, SmallPixelFontAnswersToItsDesignName) {
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  EXPECT_TRUE(app->smallFontLoaded());
  EXPECT_TRUE(TheApplication::smallFontAvailable());
  QFont font(TheApplication::kSmallFontFamily);
  font.setPixelSize(8);
  EXPECT_NE(QFontInfo(font).family(),
            QFontInfo(QFont(QStringLiteral("NoSuchFamilyAtAll"))).family());
  app->loadFonts();  // a second call keeps the registered font
  EXPECT_TRUE(TheApplication::smallFontAvailable());
}

class TheApplicationFolders : public testing::Test {
 protected:
  void SetUp() override {
    userData_ = TestEnvironment::makeTempDir(QStringLiteral("data"));
    resources_ = TestEnvironment::makeTempDir(QStringLiteral("res"));
    Paths::setUserDataDirOverride(userData_);
    Paths::setResourcesDirOverride(resources_);
  }
  void TearDown() override {
    Paths::setUserDataDirOverride({});
    Paths::setResourcesDirOverride({});
    UserDefaults::standard().remove(QStringLiteral("QCUserDirectoryPath"));
  }
  QString userData_, resources_;
};

TEST_F(TheApplicationFolders, NamedFolderPrefersTheUsersCopyAndEndsInASlash) {
  QDir(userData_).mkpath(QStringLiteral("qcFX"));
  QDir(resources_).mkpath(QStringLiteral("qcFX"));
  QDir(resources_).mkpath(QStringLiteral("qcCompModes"));
  struct Case {
    QString name, expected;
  };
  const Case cases[] = {
      {QStringLiteral("qcFX"), userData_ + QStringLiteral("/qcFX/")},
      {QStringLiteral("qcCompModes"), resources_ + QStringLiteral("/qcCompModes/")},
      // Missing everywhere: where the user's copy would be, not created.
      {QStringLiteral("media"), userData_ + QStringLiteral("/media/")},
      {QString(), QString()},
  };
  for (const Case& c : cases) EXPECT_EQ(TheApplication::pathToFolderNamed(c.name), c.expected);
  EXPECT_FALSE(QDir(userData_ + QStringLiteral("/media")).exists());
}

TEST_F(TheApplicationFolders, SubResourcesFolderLiesInsideTheResources) {
  EXPECT_EQ(TheApplication::pathToSubResourcesFolderNamed(QStringLiteral("x")),
            resources_ + QStringLiteral("/x"));
  EXPECT_TRUE(TheApplication::pathToSubResourcesFolderNamed({}).isEmpty());
}

TEST_F(TheApplicationFolders, CustomUserFolderExpandsTheTilde) {
  EXPECT_TRUE(TheApplication::pathToCustomUserFolder().isEmpty());
  struct Case {
    QString stored, expected;
  };
  const Case cases[] = {
      {QStringLiteral("~/Compositions"), QDir::homePath() + QStringLiteral("/Compositions")},
      {QStringLiteral("/opt/comps"), QStringLiteral("/opt/comps")},
  };
  for (const Case& c : cases) {
    UserDefaults::standard().setValue(QStringLiteral("QCUserDirectoryPath"), c.stored);
    EXPECT_EQ(TheApplication::pathToCustomUserFolder(), c.expected);
  }
}

TEST(TheApplication, DefaultPixelFormatMakesACoreContext) {
  const QSurfaceFormat format = TheApplication::defaultPixelFormat();
  EXPECT_EQ(format.redBufferSize(), 8);
  EXPECT_EQ(format.alphaBufferSize(), 8);
  EXPECT_EQ(format.depthBufferSize(), 16);
  EXPECT_EQ(format.profile(), QSurfaceFormat::CoreProfile);
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "no display for GL";
  QOpenGLContext context;
  context.setFormat(format);
  ASSERT_TRUE(context.create());
  const QSurfaceFormat actual = context.format();
  EXPECT_GE(std::make_pair(actual.majorVersion(), actual.minorVersion()), std::make_pair(3, 3));
  EXPECT_EQ(actual.profile(), QSurfaceFormat::CoreProfile);
}

TEST(TheApplication, ColourSettersMergeIntoTheLiveDictionary) {
  TheApplication* app = TheApplication::instance();
  ASSERT_NE(app, nullptr);
  const QVariantMap& live = app->popUpColorDict();
  const QVariant before = live.value(QStringLiteral("strokeColor"));
  app->setPopUpColorDict({{QStringLiteral("fillColor"), InterfaceColorScheme::grey(0.5)}});
  EXPECT_EQ(live.value(QStringLiteral("fillColor")), InterfaceColorScheme::grey(0.5));
  EXPECT_EQ(live.value(QStringLiteral("strokeColor")), before);
}

TEST(TheApplication, KnowsOnEveryThreadWhetherAModalWindowIsOpen) {
  auto askedFromAnotherThread = [] {
    bool answer = true;
    std::thread([&] { answer = TheApplication::modalWindowRunning(); }).join();
    return answer;
  };
  EXPECT_FALSE(TheApplication::modalWindowRunning());
  EXPECT_FALSE(askedFromAnotherThread());
  {
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(TheApplication::modalWindowRunning());
    EXPECT_TRUE(askedFromAnotherThread());
    dialog.hide();
    QCoreApplication::processEvents();
  }
  EXPECT_FALSE(askedFromAnotherThread());
}

TEST(TheApplication, HandedOverGpuObjectsGoAfterTheirNumberOfPurges) {
  struct Case {
    const char* kind;
    std::function<void(std::shared_ptr<void>)> handOver;
    std::function<void()> purge;
    std::function<void()> otherPurge;
    int purgesToRelease;
  };
  const Case cases[] = {
      {"renderer", TheApplication::addItemToQCDeleteArray, TheApplication::purgeQCDeleteArray,
       TheApplication::purgeBufferDeleteArray, 1},
      {"buffer", TheApplication::addItemToBufferDeleteArray, TheApplication::purgeBufferDeleteArray,
       TheApplication::purgeQCDeleteArray, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    std::atomic<bool> released{false};
    // Handed over by a decoder or loader thread, as the owners do.
    std::thread([&] {
      c.handOver(std::shared_ptr<int>(new int(0), [&](int* p) {
        released = true;
        delete p;
      }));
    }).join();
    c.otherPurge();
    for (int purge = 1; purge < c.purgesToRelease; ++purge) c.purge();
    EXPECT_FALSE(released) << "alive after " << c.purgesToRelease - 1 << " purges";
    c.purge();
    EXPECT_TRUE(released);
  }
}
