#include "tests/platform/composition/CompositionFixture.h"

#include "platform/composition/CompositionFormat.h"
#include "tests/support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>

using namespace composition;
using namespace plist;

namespace {

// A number passed from a published input through a splitter to an output.
QVariantMap goodState() {
  return state({splitter("in", "QCNumberPort"), value("v", "QCNumber")},
               {connection("in", "output", "v", "value")}, {port("x", "in", "input")},
               {port("y", "v", "outputValue")});
}

// `depth` states, each nesting the next; the innermost holds a number node.
QVariantMap nested(int depth) {
  QVariantMap inner =
      state({value("v", "QCNumber", 1.0)}, {}, {}, {port("out", "v", "outputValue")});
  for (int level = 1; level < depth; ++level)
    inner = state({node("m", "QCPatch", inner)}, {}, {}, {port("out", "m", "out")});
  return inner;
}

struct Refusal {
  const char* name;
  std::function<QVariant()> list;
  const char* reason;  // a part of the error
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

QVariantMap withState(const char* key, const QVariant& value) {
  QVariantMap s = goodState();
  s.insert(key, value);
  return file(s);
}

const Refusal kRefusals[] = {
    {"TopLevelNotADictionary", [] { return QVariant(QVariantList{1}); }, "not a dictionary"},
    {"NoRootPatch",
     [] {
       return QVariant(QVariantMap{{"x", 1}});
     },
     "no rootPatch"},
    {"StateNotADictionary",
     [] {
       return QVariant(QVariantMap{{kRootPatchKey, QVariantMap{{kStateKey, 3}}}});
     },
     "not a dictionary"},
    {"PortsNotAnArray", [] { return QVariant(withState(kPublishedInputPortsKey, "x")); },
     "not an array"},
    {"NodesNotAnArray", [] { return QVariant(withState(kNodesKey, QVariantMap())); },
     "not an array"},
    {"PortKeyNotAString",
     [] {
       return QVariant(withState(
           kPublishedInputPortsKey,
           QVariantList{QVariantMap{{kKeyKey, 5}, {kNodeKey, "in"}, {kPortKey, "input"}}}));
     },
     "not a string"},
    {"NodeKeyMissing", [] { return QVariant(file(state({node("", "QCNumber")}))); }, "no key"},
    {"DuplicateNodeKeys",
     [] {
       return QVariant(file(state({value("a", "QCNumber"), value("a", "QCBoolean")})));
     },
     "two nodes"},
    {"NestedTooDeep", [] { return QVariant(file(nested(kMaxNestingDepth + 1))); }, "nested deeper"},
    {"ConnectionToMissingNode",
     [] {
       return QVariant(file(
           state({value("a", "QCNumber")}, {connection("a", "outputValue", "ghost", "value")})));
     },
     "no node ghost"},
    {"ConnectionToMissingPort",
     [] {
       return QVariant(file(state({value("a", "QCNumber"), value("b", "QCNumber")},
                                  {connection("a", "outputValue", "b", "nothing")})));
     },
     "no port nothing"},
    {"PublishedPortToMissingPort",
     [] {
       return QVariant(file(state({value("a", "QCNumber")}, {}, {port("x", "a", "nothing")})));
     },
     "no port nothing"},
    {"Cycle",
     [] {
       return QVariant(file(state({value("a", "QCNumber"), value("b", "QCNumber")},
                                  {connection("a", "outputValue", "b", "value"),
                                   connection("b", "outputValue", "a", "value")})));
     },
     "cycle"},
    {"TwoConnectionsIntoOnePort",
     [] {
       return QVariant(
           file(state({value("a", "QCNumber"), value("b", "QCNumber"), value("c", "QCNumber")},
                      {connection("a", "outputValue", "c", "value"),
                       connection("b", "outputValue", "c", "value")})));
     },
     "two connections"},
    {"ConnectionOfIncompatibleTypes",
     [] {
       return QVariant(file(state({value("a", "QCColor"), value("b", "QCNumber")},
                                  {connection("a", "outputValue", "b", "value")})));
     },
     "cannot feed"},
    {"UnknownClass", [] { return QVariant(file(state({node("a", "QCTeapot")}))); },
     "unknown class"},
    {"UnknownPortClass", [] { return QVariant(file(state({splitter("a", "QCTeapotPort")}))); },
     "portClass"},
    {"ShaderWithoutSource", [] { return QVariant(file(state({node("s", "QCGLSLShader")}))); },
     "fragmentSource"},
    {"ShaderUniformOfUnsupportedType",
     [] {
       return QVariant(
           file(state({shader("s", "uniform mat4 m;\nvec4 shaderMain() { return vec4(1.0); }")})));
     },
     "cannot set"},
    {"ImageFileMissing",
     [] {
       return QVariant(file(state({node("i", "QCImageFile", {{kFileKey, "nowhere.png"}})})));
     },
     "cannot read"},
    {"RenderedPortNotAnImage",
     [] {
       QVariantMap s = goodState();
       s.insert(kRenderedPortKey, "outputValue");
       return QVariant(file(s, "v"));
     },
     "not an image"},
};

class CompositionRefusal : public CompositionFixture,
                           public ::testing::WithParamInterface<Refusal> {};

}  // namespace

TEST_P(CompositionRefusal, IsRefusedWithItsReason) {
  QString error;
  EXPECT_FALSE(document(GetParam().list(), &error));
  EXPECT_TRUE(error.contains(QLatin1String(GetParam().reason))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BadFiles, CompositionRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CompositionFixture, TheDeepestNestingAllowedIsRead) {
  QString error;
  const auto doc = document(file(nested(kMaxNestingDepth)), &error);
  ASSERT_TRUE(doc) << error.toStdString();
  EXPECT_EQ(doc->outputKeys(), QStringList{"out"});
}

TEST_F(CompositionFixture, APortWithoutAKeyIsSkipped) {
  QVariantMap s = goodState();
  s.insert(kPublishedInputPortsKey, QVariantList{QVariantMap{{kNodeKey, "in"}, {kPortKey, "input"}},
                                                 port("x", "in", "input")});
  const auto doc = document(file(s));
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->inputKeys(), QStringList{"x"});
}

TEST_F(CompositionFixture, AnUnreadableFileIsRefusedWithItsPath) {
  QTemporaryDir dir;
  const QString path = dir.filePath("broken.qtz");
  QFile out(path);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write("<?xml version=\"1.0\"?><plist><dict><key>rootPatch</key>");
  out.close();
  QString error;
  EXPECT_FALSE(CompositionDocument::load(path, &error));
  EXPECT_TRUE(error.contains(path)) << error.toStdString();
}

TEST_F(CompositionFixture, AShaderThatDoesNotCompileGivesNoRendererAndOneLogLine) {
  const auto doc =
      document(file(state({shader("s", "vec4 shaderMain() { return undefinedThing; }")}), "s"));
  ASSERT_TRUE(doc);
  LogCapture log;
  Log::resetLimits();
  EXPECT_FALSE(rendererOf(doc));
  EXPECT_FALSE(rendererOf(doc));  // the failure is remembered, not logged again
  ASSERT_EQ(log.lines().size(), 1) << log.lines().join("\n").toStdString();
  EXPECT_TRUE(log.lines()[0].contains("does not compile"));
}
