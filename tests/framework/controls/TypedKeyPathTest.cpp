// The key path read from a typed source field.
#include "framework/controls/TypedKeyPath.h"

#include <gtest/gtest.h>

namespace {

struct TypedCase {
  const char* name;
  const char* text;
  std::optional<KeyPath> path;
};

class TypedKeyPath : public testing::TestWithParam<TypedCase> {};

TEST_P(TypedKeyPath, ReadsTheNamesAndKeepsAnOSCAddressWhole) {
  EXPECT_EQ(keyPathFromTypedText(QString::fromUtf8(GetParam().text)), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedKeyPath,
    testing::Values(
        TypedCase{"oscAddress", "OSC/layer/1/opacity", KeyPath{"OSC", "/layer/1/opacity"}},
        TypedCase{"oscOneName", "OSC/start", KeyPath{"OSC", "/start"}},
        TypedCase{"oscEmptyNamesDropped", "OSC//layer//1/", KeyPath{"OSC", "/layer/1"}},
        TypedCase{"midi", "MIDI/x", KeyPath{"MIDI", "x"}},
        TypedCase{"midiEmptyNameDropped", "MIDI//x", KeyPath{"MIDI", "x"}},
        TypedCase{"leadingSlash", "/Key/a", KeyPath{"Key", "a"}},
        TypedCase{"oneName", "ZAPH", KeyPath{"ZAPH"}}, TypedCase{"empty", "", std::nullopt},
        TypedCase{"slashesOnly", "//", std::nullopt}, TypedCase{"oscAlone", "OSC", std::nullopt},
        TypedCase{"oscWithoutAddress", "OSC/", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
