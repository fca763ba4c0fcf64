#include "app/LetterConversions.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/SystemLocale.h"

namespace quillet {
namespace {

class LetterConversions : public ::testing::Test {
 protected:
  ScopedSystemLocale russian_{"ru_RU.UTF-8"};  // ANSI code page 1251
};

TEST_F(LetterConversions, ToUtf8EncodesEachCodeUnit) {
  EXPECT_EQ(AnsiToUtf8Bytes("\xC0"), "\xD0\x90");           // А, U+0410
  EXPECT_EQ(AnsiToUtf8Bytes("a\xB9z"), "a\xE2\x84\x96z");   // №, U+2116, three bytes
  EXPECT_EQ(AnsiToUtf8Bytes(""), "");
}

struct BrokenCase {
  const char* name;
  std::string bytes;
};

class BrokenUtf8Test : public LetterConversions,
                       public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenUtf8Test, GivesTheEmptyText) { EXPECT_EQ(Utf8BytesToAnsi(GetParam().bytes), ""); }

INSTANTIATE_TEST_SUITE_P(
    Sequences, BrokenUtf8Test,
    ::testing::Values(BrokenCase{"CutAfterTwoByteLead", "ab\xD0"},
                      BrokenCase{"CutAfterThreeByteLead", "\xE2"},
                      BrokenCase{"ThreeByteCutAfterSecond", "x\xE2\x84"},
                      BrokenCase{"TwoByteMissingContinuation", "\xD0" "a"},
                      BrokenCase{"ThreeByteBadSecond", "\xE2" "a\x96"},
                      BrokenCase{"ThreeByteBadThird", "\xE2\x84" "a"},
                      BrokenCase{"LoneContinuationStartsACutSequence", "\x80"}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.name); });

TEST_F(LetterConversions, ToAnsiDecodesUpToThreeBytes) {
  EXPECT_EQ(Utf8BytesToAnsi("\xD0\x90"), "\xC0");
  EXPECT_EQ(Utf8BytesToAnsi("a\xE2\x84\x96z"), "a\xB9z");
  // A continuation byte is taken as a two-byte lead; no further test is made.
  EXPECT_EQ(Utf8BytesToAnsi("\x90\x80"), "?");
  // A character the code page lacks becomes "?".
  EXPECT_EQ(Utf8BytesToAnsi("\xE4\xB8\xAD"), "?");
}

TEST_F(LetterConversions, EveryCharacterOfTheCodePageSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    // 0x98 is the one byte code page 1251 leaves without a character.
    if (byte != '?' && AnsiToUtf16(one) == u"?") continue;
    all += one;
    EXPECT_EQ(Utf8BytesToAnsi(AnsiToUtf8Bytes(one)), one) << "byte " << byte;
  }
  EXPECT_GE(all.size(), 255u);
  EXPECT_EQ(Utf8BytesToAnsi(AnsiToUtf8Bytes(all)), all);
}

}  // namespace
}  // namespace quillet
