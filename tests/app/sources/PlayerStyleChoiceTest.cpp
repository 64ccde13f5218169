#include "app/sources/PlayerStyleChoice.h"

#include <gtest/gtest.h>

namespace {

using Kind = PlayerStyleChoice::Kind;

struct Case {
  const char* name;
  Kind kind;
  QVariantMap props;
  std::optional<QString> last;
  QMap<QString, QString> players;
  std::optional<QString> style;
  bool useFileValues;
  QString path;
  bool builtIn;
  QString message;  // the last message logged; empty for none
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const QMap<QString, QString> kText{{"A.qtz", "/t/A.qtz"}, {"DefaultFontsynth.qtz", "/t/D.qtz"}};
const QMap<QString, QString> kTextNoDefault{{"B.qtz", "/t/B.qtz"}, {"C.qtz", "/t/C.qtz"}};
const QMap<QString, QString> kImage{{"Fit.qtz", "/i/Fit.qtz"},
                                    {"DefaultImageSource.qtz", "/i/D.qtz"}};

class PlayerStyleChoiceTest : public ::testing::TestWithParam<Case> {};

TEST_P(PlayerStyleChoiceTest, ChoosesStylePathAndFallback) {
  const Case& c = GetParam();
  const auto result = PlayerStyleChoice::choose(c.kind, c.props, "f.txt", c.last, c.players);
  EXPECT_EQ(result.style, c.style);
  EXPECT_EQ(result.useFileValues, c.useFileValues);
  EXPECT_EQ(result.path, c.path);
  EXPECT_EQ(result.builtInPlayer, c.builtIn);
  EXPECT_EQ(result.messages.isEmpty() ? QString() : result.messages.last(), c.message);
}

const QVariantMap kOwnA{{"useStyle", 1}, {"styleName", "A.qtz"}};
const QVariantMap kOwnMissing{{"useStyle", 1}, {"styleName", "Gone.qtz"}};

INSTANTIATE_TEST_SUITE_P(
    Table, PlayerStyleChoiceTest,
    ::testing::Values(Case{"FileStyleWins", Kind::Text, kOwnA, QString("B.qtz"), kText, "A.qtz",
                           true, "/t/A.qtz", false, ""},
                      Case{"LastStyleWithoutUseStyle",
                           Kind::Text,
                           {{"styleName", "A.qtz"}},
                           QString("DefaultFontsynth.qtz"),
                           kText,
                           "DefaultFontsynth.qtz",
                           false,
                           "/t/D.qtz",
                           false,
                           ""},
                      Case{"FileStyleWithoutLast",
                           Kind::Text,
                           {{"styleName", "A.qtz"}},
                           std::nullopt,
                           kText,
                           "A.qtz",
                           false,
                           "/t/A.qtz",
                           false,
                           ""},
                      Case{"MissingStyleTakesLast", Kind::Text, kOwnMissing, QString("A.qtz"),
                           kText, "Gone.qtz", true, "/t/A.qtz", false, ""},
                      Case{"MissingStyleTakesDefaultWithExtension", Kind::Text, kOwnMissing,
                           std::nullopt, kText, "Gone.qtz", true, "/t/D.qtz", false,
                           "\t\terror: using DefaultFontsynth"},
                      Case{"MissingStyleTakesFirstPlayer", Kind::Text, kOwnMissing, std::nullopt,
                           kTextNoDefault, "Gone.qtz", true, "/t/B.qtz", false,
                           "\t\terror: specified fontsynth unavailable, using B.qtz"},
                      Case{"NoStyleLogsAndFallsBack",
                           Kind::Text,
                           {},
                           std::nullopt,
                           kText,
                           std::nullopt,
                           false,
                           "/t/D.qtz",
                           false,
                           "\t\terror: using DefaultFontsynth"},
                      Case{"NoTextPlayer",
                           Kind::Text,
                           kOwnA,
                           std::nullopt,
                           {},
                           "A.qtz",
                           true,
                           "",
                           false,
                           "\t\terror: no qc available to play text file!"},
                      Case{"ImageBuiltInLast",
                           Kind::Image,
                           {{"useStyle", 0}, {"styleName", "Fit.qtz"}},
                           QString("<Built-In Player>"),
                           kImage,
                           "<Built-In Player>",
                           false,
                           "",
                           true,
                           ""},
                      Case{"ImageOwnBuiltInDespiteLast",
                           Kind::Image,
                           {{"useStyle", 1}, {"styleName", "<Built-In Player>"}},
                           QString("Fit.qtz"),
                           kImage,
                           "<Built-In Player>",
                           true,
                           "",
                           true,
                           ""},
                      Case{"ImageOwnComposition",
                           Kind::Image,
                           {{"useStyle", 1}, {"styleName", "Fit.qtz"}},
                           QString("<Built-In Player>"),
                           kImage,
                           "Fit.qtz",
                           true,
                           "/i/Fit.qtz",
                           false,
                           ""},
                      Case{"ImageMissingTakesDefault", Kind::Image, kOwnMissing, std::nullopt,
                           kImage, "Gone.qtz", true, "/i/D.qtz", false,
                           "\t\terror: using default image source"},
                      Case{"NoImagePlayer",
                           Kind::Image,
                           kOwnMissing,
                           std::nullopt,
                           {},
                           "Gone.qtz",
                           true,
                           "",
                           false,
                           "\t\terror: no qc available to play image file!"},
                      Case{"StyleOfWrongTypeIsNone",
                           Kind::Image,
                           {{"useStyle", 1}, {"styleName", 4}},
                           std::nullopt,
                           kImage,
                           std::nullopt,
                           false,
                           "/i/D.qtz",
                           false,
                           "\t\terror: using default image source"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
