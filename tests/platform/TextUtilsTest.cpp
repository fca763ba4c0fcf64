#include "platform/TextUtils.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"

namespace quillet {
namespace {

TEST(CutToken, YieldsEveryDelimitedPieceThenEmptiesTheSource) {
  std::string source = "a, b,, c";
  EXPECT_EQ(CutToken(source, ", "), "a");
  EXPECT_EQ(CutToken(source, ", "), "b,");
  EXPECT_EQ(source, "c");
  EXPECT_EQ(CutToken(source, ", "), "c");
  EXPECT_EQ(source, "");
}

TEST(CutToken, ComparesTheDelimiterExactly) {
  std::string source = "aXbxc";
  EXPECT_EQ(CutToken(source, "x"), "aXb");
  EXPECT_EQ(source, "c");
}

TEST(Trim, RemovesEveryByteOf32OrBelowFromTheChosenEnds) {
  const std::string text = "\t\x01 a b \r\n";
  EXPECT_EQ(Trim(text), "a b");
  EXPECT_EQ(TrimLeft(text), "a b \r\n");
  EXPECT_EQ(TrimRight(text), "\t\x01 a b");
  EXPECT_EQ(Trim("\xC0 "), "\xC0");  // bytes above 127 are text
}

struct IntCase {
  const char* name;
  const char* text;
  bool ok;
  int32_t value;
};

class StrToIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(StrToIntTest, FollowsTheRuntimeRules) {
  const auto& c = GetParam();
  int32_t value = -7;
  EXPECT_EQ(TryStrToInt(c.text, value), c.ok);
  if (c.ok) {
    EXPECT_EQ(value, c.value);
  } else {
    try {
      StrToInt(c.text);
      FAIL() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid integer value");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrToIntTest,
    testing::Values(IntCase{"Plain", "25", true, 25}, IntCase{"LeadingBlanks", "  25", true, 25},
                    IntCase{"TrailingBlank", "25 ", false, 0}, IntCase{"Empty", "", false, 0},
                    IntCase{"Letters", "abc", false, 0}, IntCase{"Dollar", "$19", true, 25},
                    IntCase{"ZeroX", "0x19", true, 25}, IntCase{"X", "X19", true, 25},
                    IntCase{"Signs", "-25", true, -25}, IntCase{"Plus", "+25", true, 25},
                    IntCase{"SignOnly", "-", false, 0}, IntCase{"HexPrefixOnly", "0x", false, 0},
                    IntCase{"Max", "2147483647", true, 2147483647},
                    IntCase{"Min", "-2147483648", true, INT32_MIN},
                    IntCase{"TooLarge", "2147483648", false, 0},
                    IntCase{"TabIsNoBlank", "\t25", false, 0}),
    [](const auto& info) { return info.param.name; });

TEST(SplitLines, BreaksAtEveryKindOfLineEndWithoutATrailingEmptyLine) {
  EXPECT_EQ(SplitLines("b\na"), (StringList{"b", "a"}));
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (StringList{"a", "b"}));
  EXPECT_EQ(SplitLines("a\rb\n\nc"), (StringList{"a", "b", "", "c"}));
  EXPECT_EQ(SplitLines("\r\n"), (StringList{""}));
  EXPECT_EQ(SplitLines(""), StringList{});
  EXPECT_EQ(SplitLines(std::string("a\nb\0c\nd", 7), true), (StringList{"a", "b"}));
}

TEST(JoinLines, EndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(JoinLines({}), "");
}

}  // namespace
}  // namespace quillet
