#include "framework/splitview/SplitState.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(SplitState, ParsesWellFormedStrings) {
  const auto fields = SplitState::parse("3 120.25 -200 300H", 3);
  ASSERT_TRUE(fields);
  EXPECT_DOUBLE_EQ((*fields)[0].value, 120.25);
  EXPECT_DOUBLE_EQ((*fields)[1].value, -200);
  EXPECT_FALSE((*fields)[1].hidden);
  EXPECT_DOUBLE_EQ((*fields)[2].value, 300);
  EXPECT_TRUE((*fields)[2].hidden);
  EXPECT_TRUE(SplitState::parse("2 99.75 200H", 2));
  EXPECT_TRUE(SplitState::parse("2 1e+06 0", 2));
}

TEST(SplitState, RefusesAnyBadFieldWhole) {
  const char* bad[] = {"",          "2 100",       "3 100 200 300", "2 100 abc",   "2 100 nan",
                       "2 100 inf", "2 1e39 5",    "2 100  200",    "2 100,5 200", "x 100 200",
                       "2 100 H",   "2 100 200HH", "2 100 200 "};
  for (const char* text : bad) EXPECT_FALSE(SplitState::parse(text, 2)) << '"' << text << '"';
}

TEST(SplitState, FormatsSixSignificantDigitsWithAPointInAnyLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // a comma locale, where installed
  const QString text =
      SplitState::format({{120.25, false}, {-200, false}, {300, true}, {1234.5678, false}});
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "4 120.25 -200 300H 1234.57");
  const auto back = SplitState::parse(text, 4);
  ASSERT_TRUE(back);
  EXPECT_DOUBLE_EQ((*back)[0].value, 120.25);
}

TEST(SplitState, KeysKeepTheOrientationsApart) {
  EXPECT_EQ(SplitState::defaultsKey("Layers", false), "TQSplitView V Layers");
  EXPECT_EQ(SplitState::defaultsKey("Layers", true), "TQSplitView H Layers");
}

}  // namespace
