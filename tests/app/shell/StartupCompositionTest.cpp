#include "app/shell/StartupComposition.h"

#include "platform/foundation/Alert.h"
#include "platform/foundation/PropertyList.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// A composition whose one shader does not compile (it reads fine).
QVariantMap brokenShaderFile() {
  const QVariantMap shader{
      {"key", "s"},
      {"class", "QCGLSLShader"},
      {"state", QVariantMap{{"fragmentSource", "vec4 shaderMain() { nope }"}}}};
  return {{"rootPatch", QVariantMap{{"state", QVariantMap{{"nodes", QVariantList{shader}},
                                                          {"renderedNode", "s"}}}}}};
}

class StartupCompositionTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    Alert::clearRecorded();
  }
  QTemporaryDir dir_;
};

}  // namespace

TEST_F(StartupCompositionTest, TheShippedBlackOpens) {
  EXPECT_EQ(StartupComposition::open(), StartupComposition::Result::Opened);
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(StartupCompositionTest, AMissingResourceIsSkippedWithALog) {
  LogCapture log;
  EXPECT_EQ(StartupComposition::open(dir_.filePath("black.qtz")),
            StartupComposition::Result::Missing);
  EXPECT_TRUE(log.contains("missing"));
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(StartupCompositionTest, ARuntimeThatCannotOpenItShowsTheAlert) {
  struct Case {
    const char* name;
    QByteArray contents;
    const char* reason;
  };
  const Case cases[] = {
      {"unreadable", "not a property list", "black.qtz"},
      {"shader that does not compile", PropertyList::toXml(brokenShaderFile()), "compile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Alert::clearRecorded();
    const QString path = dir_.filePath("black.qtz");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(c.contents);
    file.close();
    LogCapture log;
    EXPECT_EQ(StartupComposition::open(path), StartupComposition::Result::Failed);
    ASSERT_EQ(Alert::recorded().size(), 1u);
    EXPECT_EQ(Alert::recorded()[0].title, QStringLiteral("Warning!"));
    EXPECT_TRUE(Alert::recorded()[0].message.contains("cannot launch"));
    EXPECT_TRUE(Alert::recorded()[0].message.contains(c.reason))
        << Alert::recorded()[0].message.toStdString();
  }
}
