// Composition files read without being run: port records, live input, what
// is refused, and the lookups and validity rules of effects and comp modes.
#include "framework/render/QCUtils.h"
#include "framework/render/QKQCComposition.h"
#include "tests/framework/render/CompositionFixtures.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using namespace CompositionFixtures;

const QString kInputs = QStringLiteral("publishedInputPorts");
const QString kOutputs = QStringLiteral("publishedOutputPorts");

// States nested `depth` deep (the root state counts as 1).
QVariantMap nestedStates(int depth, const QVariantMap& innermost = {
                                        {QStringLiteral("nodes"), QVariantList()}}) {
  QVariantMap state = innermost;
  for (int level = 1; level < depth; ++level)
    state = {{QStringLiteral("nodes"),
              QVariantList{node(QStringLiteral("macro"), QStringLiteral("QCPatch"), state)}}};
  return state;
}

}  // namespace

class CompositionFileTest : public testing::Test {
 protected:
  QString dir_ = TestEnvironment::makeTempDir(QStringLiteral("comp"));
};

TEST_F(CompositionFileTest, ReadsPortRecordsDefaultsAndAttributes) {
  const QVariantMap macroState{
      {kInputs, QVariantList{port(QStringLiteral("inner"), QStringLiteral("deep"),
                                  QStringLiteral("input"))}},
      {QStringLiteral("nodes"),
       QVariantList{splitter(QStringLiteral("deep"),
                             {{QStringLiteral("portClass"), QStringLiteral("QCColorPort")}})}}};
  const QVariantMap amountSplitterState{
      {QStringLiteral("portClass"), QStringLiteral("QCNumberPort")},
      {QStringLiteral("inputMin"), 0.0},
      {QStringLiteral("inputMax"), 4.0},
      // The keys that describe a patch, not the port: all dropped.
      {QStringLiteral("userInfo"), QByteArray("x")},
      {QStringLiteral("version"), 2},
      {QStringLiteral("nodes"), QVariantList()},
      {kInputs, QVariantList()},
      {kOutputs, QVariantList()},
      {QStringLiteral("ivarInputPortStates"), QVariantMap()},
      {QStringLiteral("systemInputPortStates"), QVariantMap()},
      {QStringLiteral("connections"), QVariantMap()}};
  const QVariantMap root{
      {kInputs,
       QVariantList{
           port(QStringLiteral("amount"), QStringLiteral("s1"), QStringLiteral("input")),
           port(QStringLiteral("colour"), QStringLiteral("macro"), QStringLiteral("inner")),
           port(QStringLiteral("lost"), QStringLiteral("nowhere"), QStringLiteral("input")),
           QVariantMap{{QStringLiteral("node"), QStringLiteral("s1")}},  // no key: skipped
           port(QStringLiteral("a"), QStringLiteral("s1"), QStringLiteral("input"))}},
      {kOutputs, QVariantList{port(QStringLiteral("outputImage"), QStringLiteral("out"),
                                   QStringLiteral("output"))}},
      {QStringLiteral("nodes"),
       QVariantList{splitter(QStringLiteral("s1"), amountSplitterState),
                    node(QStringLiteral("macro"), QStringLiteral("QCPatch"), macroState),
                    splitter(QStringLiteral("out"),
                             {{QStringLiteral("portClass"), QStringLiteral("QCGLImagePort")}})}}};
  const QString path =
      write(dir_, QStringLiteral("c.qtz"),
            fileWithState(root, {{QStringLiteral("category"), QStringLiteral("Blur")},
                                 {QStringLiteral("description"), QStringLiteral("Soft")},
                                 {QStringLiteral("inputParameters"),
                                  QVariantMap{{QStringLiteral("amount"), 2.5},
                                              {QStringLiteral("notAnInput"), 1.0}}}}));

  const auto c = QKQCComposition::compositionWithFile(path);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->compositionPath(), path);
  EXPECT_EQ(c->category(), QStringLiteral("Blur"));
  EXPECT_EQ(c->description(), QStringLiteral("Soft"));
  EXPECT_FALSE(c->hasLiveInput());
  EXPECT_EQ(c->inputKeys(), (QStringList{QStringLiteral("amount"), QStringLiteral("colour"),
                                         QStringLiteral("lost"), QStringLiteral("a")}));
  const QVariantMap expectedAmount{{QStringLiteral("portClass"), QStringLiteral("QCNumberPort")},
                                   {QStringLiteral("inputMin"), 0.0},
                                   {QStringLiteral("inputMax"), 4.0},
                                   {QStringLiteral("defaultVal"), 2.5}};
  const QVariantMap inputs = c->publishedInputsDict();
  EXPECT_EQ(inputs.value(QStringLiteral("amount")).toMap(), expectedAmount);
  EXPECT_EQ(inputs.value(QStringLiteral("colour")).toMap(),
            (QVariantMap{{QStringLiteral("portClass"), QStringLiteral("QCColorPort")}}))
      << "found through the macro's state by the inner port name";
  EXPECT_EQ(inputs.value(QStringLiteral("lost")).toMap(), QVariantMap());
  EXPECT_FALSE(inputs.contains(QStringLiteral("notAnInput")));
  EXPECT_EQ(c->publishedOutputsDict().keys(), QStringList{QStringLiteral("outputImage")});
  EXPECT_EQ(c->publishedOutputsDict().value(QStringLiteral("outputImage")).toMap(),
            (QVariantMap{{QStringLiteral("portClass"), QStringLiteral("QCGLImagePort")}}));
}

TEST_F(CompositionFileTest, LiveInputIsFoundAtAnyDepth) {
  const QVariantMap video{
      {QStringLiteral("nodes"),
       QVariantList{node(QStringLiteral("v"), QStringLiteral("QCVideoInput"))}}};
  struct Case {
    const char* name;
    QVariantMap state;
    bool live;
  };
  const Case cases[] = {
      {"none", stateWithInputs({QStringLiteral("x")}), false},
      {"top level", video, true},
      {"three states down", nestedStates(3, video), true},
      {"after a macro without it",
       {{QStringLiteral("nodes"),
         QVariantList{node(QStringLiteral("m"), QStringLiteral("QCPatch"), stateWithInputs({})),
                      node(QStringLiteral("v"), QStringLiteral("QCVideoInput"))}}},
       true},
  };
  for (const Case& c : cases) {
    const auto read = QKQCComposition::compositionWithFile(
        write(dir_, QString::fromLatin1(c.name), fileWithState(c.state)));
    ASSERT_TRUE(read) << c.name;
    EXPECT_EQ(read->hasLiveInput(), c.live) << c.name;
  }
}

TEST_F(CompositionFileTest, RefusesWhatItCannotReadWithALogLine) {
  struct Case {
    const char* name;
    QString path;
  };
  const Case cases[] = {
      {"no path", QString()},
      {"missing file", dir_ + QStringLiteral("/missing.qtz")},
      {"not a property list", writeBytes(dir_, QStringLiteral("junk.qtz"), "not a plist\x01")},
      {"an array", write(dir_, QStringLiteral("array.qtz"), QVariantList{1, 2})},
      {"no root patch", write(dir_, QStringLiteral("noroot.qtz"),
                              QVariantMap{{QStringLiteral("category"), QStringLiteral("x")}})},
      {"a root patch that is not a dictionary",
       write(dir_, QStringLiteral("rootstring.qtz"),
             QVariantMap{{QStringLiteral("rootPatch"), QStringLiteral("x")}})},
      {"a root patch without state",
       write(dir_, QStringLiteral("nostate.qtz"),
             QVariantMap{{QStringLiteral("rootPatch"), QVariantMap{{QStringLiteral("a"), 1}}}})},
      {"states nested too deep",
       write(dir_, QStringLiteral("deep.qtz"),
             fileWithState(nestedStates(QKQCComposition::kMaxStateDepth + 1)))},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(QKQCComposition::compositionWithFile(c.path), nullptr) << c.name;
    EXPECT_EQ(log.lines().size(), 1) << c.name;
  }
  EXPECT_TRUE(QKQCComposition::compositionWithFile(
      write(dir_, QStringLiteral("deepest.qtz"),
            fileWithState(nestedStates(QKQCComposition::kMaxStateDepth)))));
}

TEST_F(CompositionFileTest, ValuesOfTheWrongTypeAreSkippedWithALogLine) {
  struct Case {
    const char* name;
    QVariantMap state;
    QStringList keys;
  };
  const Case cases[] = {
      {"ports not an array", {{kInputs, QStringLiteral("inputImage")}}, {}},
      {"a key that is not a string",
       {{kInputs,
         QVariantList{QVariantMap{{QStringLiteral("key"), 3}},
                      port(QStringLiteral("ok"), QStringLiteral("n"), QStringLiteral("p"))}}},
       {QStringLiteral("ok")}},
      {"nodes not an array",
       {{kInputs,
         QVariantList{port(QStringLiteral("ok"), QStringLiteral("n"), QStringLiteral("p"))}},
        {QStringLiteral("nodes"), QVariantMap()}},
       {QStringLiteral("ok")}},
  };
  for (const Case& c : cases) {
    LogCapture log;
    const auto read = QKQCComposition::compositionWithFile(
        write(dir_, QString::fromLatin1(c.name), fileWithState(c.state)));
    ASSERT_TRUE(read) << c.name;
    EXPECT_EQ(read->inputKeys(), c.keys) << c.name;
    EXPECT_EQ(log.lines().size(), 1) << c.name;
  }
}

// Validity and lookups against a user data folder, shipped resources and a
// custom user folder of the test's own.
class CompositionLookupTest : public testing::Test {
 protected:
  void SetUp() override {
    Paths::setUserDataDirOverride(userData_);
    Paths::setResourcesDirOverride(resources_);
  }
  void TearDown() override {
    Paths::setUserDataDirOverride({});
    Paths::setResourcesDirOverride({});
    UserDefaults::standard().remove(QStringLiteral("QCUserDirectoryPath"));
  }
  QString user(const QString& folder) const { return userData_ + QLatin1Char('/') + folder; }
  QString shipped(const QString& folder) const { return resources_ + QLatin1Char('/') + folder; }

  QString userData_ = TestEnvironment::makeTempDir(QStringLiteral("data"));
  QString resources_ = TestEnvironment::makeTempDir(QStringLiteral("res"));
  QString elsewhere_ = TestEnvironment::makeTempDir(QStringLiteral("elsewhere"));
};

TEST_F(CompositionLookupTest, AnEffectNeedsOneOfTheNineImageInputsOutsideTheEffectFolders) {
  ASSERT_EQ(QCUtils::imageInputKeys().size(), 9);
  for (const QString& key : QCUtils::imageInputKeys())
    EXPECT_TRUE(QCUtils::isValidQCFXAtPath(
        write(elsewhere_, key + QStringLiteral(".qtz"), fileWithState(stateWithInputs({key})))))
        << key.toStdString();
  for (const QString& key :
       {QStringLiteral("INPUTIMAGE"), QStringLiteral("inputImage "), QStringLiteral("image")})
    EXPECT_FALSE(QCUtils::isValidQCFXAtPath(
        write(elsewhere_, key + QStringLiteral(".qtz"), fileWithState(stateWithInputs({key})))))
        << key.toStdString();
  // The version flag is never read.
  EXPECT_TRUE(QCUtils::isValidQCFXAtPath(
      write(elsewhere_, QStringLiteral("flag.qtz"),
            fileWithState(stateWithInputs({QStringLiteral("inputImage")}),
                          {{QStringLiteral("org.zaph.LeopardOnlyQCFlag"), true}}))));
}

TEST_F(CompositionLookupTest, TheEffectAndCompModeFoldersAreLenientWithAWarning) {
  const QVariant noImage = fileWithState(stateWithInputs({QStringLiteral("amount")}));
  const QVariant noRoot = QVariantMap{{QStringLiteral("category"), QStringLiteral("x")}};
  const QVariant compMode = compModeFile();
  const QVariant twoInputs =
      fileWithState(stateWithInputs({QStringLiteral("foreground"), QStringLiteral("background")}));
  struct Case {
    const char* name;
    bool compMode;
    QString path;
    bool valid;
    bool warns;
  };
  const Case cases[] = {
      {"effect without image, elsewhere", false,
       write(elsewhere_, QStringLiteral("a.qtz"), noImage), false, false},
      {"effect without image, user's qcFX", false,
       write(user(QStringLiteral("qcFX")), QStringLiteral("a.qtz"), noImage), true, true},
      {"effect without image, shipped qcFX", false,
       write(shipped(QStringLiteral("qcFX")), QStringLiteral("b.qtz"), noImage), true, true},
      {"bare name of a shipped effect", false, QStringLiteral("b.qtz"), true, true},
      {"bare name found nowhere", false, QStringLiteral("zz.qtz"), false, false},
      {"no root patch in qcFX", false,
       write(user(QStringLiteral("qcFX")), QStringLiteral("c.qtz"), noRoot), false, false},
      {"effect in a folder below qcFX", false,
       write(user(QStringLiteral("qcFX/sub")), QStringLiteral("d.qtz"), noImage), false, false},
      {"comp mode with all three inputs", true,
       write(elsewhere_, QStringLiteral("m.qtz"), compMode), true, false},
      {"comp mode without opacity, elsewhere", true,
       write(elsewhere_, QStringLiteral("n.qtz"), twoInputs), false, false},
      {"comp mode without opacity, shipped qcCompModes", true,
       write(shipped(QStringLiteral("qcCompModes")), QStringLiteral("n.qtz"), twoInputs), true,
       true},
      {"an effect in qcFX is no comp mode", true,
       write(user(QStringLiteral("qcFX")), QStringLiteral("e.qtz"),
             fileWithState(stateWithInputs({QStringLiteral("inputImage")}))),
       false, false},
  };
  for (const Case& c : cases) {
    LogCapture log;
    const bool valid =
        c.compMode ? QCUtils::isValidQCCompModeAtPath(c.path) : QCUtils::isValidQCFXAtPath(c.path);
    EXPECT_EQ(valid, c.valid) << c.name;
    EXPECT_EQ(log.contains(QStringLiteral("may not work properly")), c.warns) << c.name;
  }
}

TEST_F(CompositionLookupTest, AnUnreadableCompModeIsLoggedBeforeTheFolderIsTried) {
  write(shipped(QStringLiteral("qcCompModes")), QStringLiteral("Wipe.qtz"), compModeFile());
  LogCapture log;
  EXPECT_TRUE(QCUtils::isValidQCCompModeAtPath(QStringLiteral("Wipe.qtz")));
  EXPECT_TRUE(log.lines().contains(QStringLiteral("\t\terr: no qcComp at: Wipe.qtz")));
}

TEST_F(CompositionLookupTest, LookupsTakeTheFirstFolderAndTheExactName) {
  const QVariant any = fileWithState(stateWithInputs({QStringLiteral("inputImage")}));
  const QString custom = TestEnvironment::makeTempDir(QStringLiteral("custom"));
  UserDefaults::standard().setValue(QStringLiteral("QCUserDirectoryPath"), custom);
  const QString both = QStringLiteral("Both.qtz");
  const QString userCopy = write(user(QStringLiteral("qcFX")), both, any);
  write(shipped(QStringLiteral("qcFX")), both, any);
  const QString shippedOnly = write(shipped(QStringLiteral("qcFX")), QStringLiteral("S.qtz"), any);
  const QString customOnly = write(custom + QStringLiteral("/qcFX"), QStringLiteral("C.qtz"), any);
  const QString mode = write(shipped(QStringLiteral("qcCompModes")), QStringLiteral("M.qtz"), any);
  const QString plugin = write(custom + QStringLiteral("/plugins"), QStringLiteral("P"), any);
  write(shipped(QStringLiteral("qcFX")), QStringLiteral(".hidden.qtz"), any);

  struct Case {
    QString (*lookup)(const QString&);
    QString name;
    QString expected;
  };
  const Case cases[] = {
      {QCUtils::pathForQCFXNamed, both, userCopy},
      {QCUtils::pathForQCFXNamed, QStringLiteral("S.qtz"), shippedOnly},
      {QCUtils::pathForQCFXNamed, QStringLiteral("C.qtz"), customOnly},
      {QCUtils::pathForQCFXNamed, QStringLiteral(".hidden.qtz"),
       shipped(QStringLiteral("qcFX/.hidden.qtz"))},
      {QCUtils::pathForQCFXNamed, QStringLiteral("both.qtz"), QString()},
      {QCUtils::pathForQCFXNamed, QStringLiteral("Both"), QString()},
      {QCUtils::pathForQCFXNamed, QStringLiteral("../qcFX/S.qtz"), QString()},
      {QCUtils::pathForQCFXNamed, QString(), QString()},
      {QCUtils::pathForQCFXNamed, QStringLiteral("M.qtz"), QString()},
      {QCUtils::pathForQCCompModeNamed, QStringLiteral("M.qtz"), mode},
      {QCUtils::pathForQCPluginNamed, QStringLiteral("P"), plugin},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QDir::cleanPath(c.lookup(c.name)), QDir::cleanPath(c.expected))
        << c.name.toStdString();
}

TEST_F(CompositionLookupTest, CategoryIsTheTopLevelString) {
  const QVariantMap state = stateWithInputs({QStringLiteral("inputImage")});
  EXPECT_EQ(QCUtils::categoryForQCFXAtPath(write(
                elsewhere_, QStringLiteral("a.qtz"),
                fileWithState(state, {{QStringLiteral("category"), QStringLiteral("Glow")}}))),
            QStringLiteral("Glow"));
  EXPECT_TRUE(
      QCUtils::categoryForQCFXAtPath(write(elsewhere_, QStringLiteral("b.qtz"),
                                           fileWithState(state, {{QStringLiteral("category"), 4}})))
          .isEmpty());
  EXPECT_TRUE(QCUtils::categoryForQCFXAtPath(elsewhere_ + QStringLiteral("/none.qtz")).isEmpty());
}

TEST_F(CompositionLookupTest, DefaultCompModeIsCrossfadeElseTheFirstValidByName) {
  const QVariant valid = compModeFile();
  const QString modes = shipped(QStringLiteral("qcCompModes"));
  EXPECT_TRUE(QCUtils::defaultQCCompModePath().isEmpty()) << "no folder";
  QDir().mkpath(modes);
  EXPECT_TRUE(QCUtils::defaultQCCompModePath().isEmpty()) << "an empty folder";

  write(modes, QStringLiteral(".Alpha.qtz"), valid);            // hidden
  writeBytes(modes, QStringLiteral("Aardvark.qtz"), "broken");  // unreadable
  write(modes, QStringLiteral("C.qtz"), valid);
  write(user(QStringLiteral("qcCompModes")), QStringLiteral("b.qtz"), valid);
  EXPECT_EQ(QCUtils::defaultQCCompModePath(), QStringLiteral("b.qtz"));

  writeBytes(modes, QStringLiteral("Crossfade.qtz"), "broken");
  EXPECT_EQ(QCUtils::defaultQCCompModePath(), QStringLiteral("b.qtz")) << "a broken Crossfade";
  write(modes, QStringLiteral("Crossfade.qtz"), valid);
  EXPECT_EQ(QCUtils::defaultQCCompModePath(), QStringLiteral("Crossfade.qtz"));
}
