#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/SystemLocale.h"

namespace quillet {
namespace {

class SingleByteCodePageTest : public testing::TestWithParam<int> {};

// Every byte the code page defines comes back from UTF-16 unchanged; the few it
// leaves undefined read as "?".
TEST_P(SingleByteCodePageTest, EveryDefinedByteRoundTripsThroughUtf16) {
  int codePage = GetParam();
  int undefined = 0;
  for (int value = 0; value < 256; ++value) {
    std::string byte(1, static_cast<char>(value));
    std::u16string text = CodePageToUtf16(byte, codePage);
    ASSERT_EQ(text.size(), 1u) << "byte " << value;
    if (text == u"?" && value != '?') {
      ++undefined;
      continue;
    }
    EXPECT_EQ(Utf16ToCodePage(text, codePage), byte) << "byte " << value;
  }
  EXPECT_LE(undefined, 32);  // Thai leaves 31 bytes undefined, the most of these
}

INSTANTIATE_TEST_SUITE_P(WindowsCodePages, SingleByteCodePageTest,
                         testing::Values(874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258),
                         [](const testing::TestParamInfo<int>& info) {
                           return "CP" + std::to_string(info.param);
                         });

struct DoubleByteRow {
  int codePage;
  std::string bytes;
  std::u16string text;
};

class DoubleByteCodePageTest : public testing::TestWithParam<DoubleByteRow> {};

TEST_P(DoubleByteCodePageTest, KnownTextRoundTrips) {
  const DoubleByteRow& row = GetParam();
  EXPECT_EQ(CodePageToUtf16(row.bytes, row.codePage), row.text);
  EXPECT_EQ(Utf16ToCodePage(row.text, row.codePage), row.bytes);
}

// Some code pages hold one character twice (vendor duplicates), so a pair may
// come back as its twin; what it reads as never changes.
TEST_P(DoubleByteCodePageTest, EveryDefinedPairReadsTheSameAfterARoundTrip) {
  int codePage = GetParam().codePage;
  int defined = 0;
  for (int lead = 0x80; lead < 0x100; ++lead) {
    if (!IsLeadByte(codePage, static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail < 0xFF; ++trail) {
      std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      std::u16string text = CodePageToUtf16(pair, codePage);
      if (text.size() != 1 || text == u"?") continue;
      ++defined;
      std::string back = Utf16ToCodePage(text, codePage);
      ASSERT_EQ(back.size(), 2u) << std::hex << lead << " " << trail;
      ASSERT_EQ(CodePageToUtf16(back, codePage), text) << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(defined, 7000);
}

INSTANTIATE_TEST_SUITE_P(
    EastAsian, DoubleByteCodePageTest,
    testing::Values(DoubleByteRow{932, "\x93\xFA\x96\x7B\x8C\xEA \xB1", u"日本語 ｱ"},
                    DoubleByteRow{936, "\xD6\xD0\xCE\xC4", u"中文"},
                    DoubleByteRow{949, "\xC7\xD1\xB1\xB9", u"한국"},
                    DoubleByteRow{950, "\xA4\xA4\xA4\xE5", u"中文"}),
    [](const testing::TestParamInfo<DoubleByteRow>& info) {
      return "CP" + std::to_string(info.param.codePage);
    });

TEST(CodePageTest, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCodePage(u"Привет, 日本", 1252), "??????, ??");
  EXPECT_EQ(Utf16ToCodePage(u"a\U0001F600b", 1251), "a?b");   // one "?" for a surrogate pair
  EXPECT_EQ(Utf16ToCodePage(std::u16string(u"a\xD800" u"b"), 1251), "a?b");  // a lone surrogate
  EXPECT_EQ(Utf16ToCodePage(u"", 932), "");
}

TEST(CodePageTest, InvalidBytesBecomeQuestionMarksAndTheRestIsKept) {
  EXPECT_EQ(CodePageToUtf16("a\x98z", 1251), u"a?z");  // 98 is undefined in 1251
  EXPECT_EQ(CodePageToUtf16("\x81 x", 932), u"? x");  // lead byte without a trail
  EXPECT_EQ(CodePageToUtf16("x\x93", 932), u"x?");    // text cut after a lead byte
  EXPECT_EQ(CodePageToUtf16("", 936), u"");
}

TEST(CodePageTest, AnsiShorthandsFollowTheLocaleInForce) {
  ScopedSystemLocale russian("ru_RU.UTF-8");
  EXPECT_EQ(AnsiToUtf16("\xCF\xF0\xE8\xE2\xE5\xF2"), u"Привет");
  EXPECT_EQ(Utf16ToAnsi(u"Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(AnsiToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2!"), "Привет!");
  EXPECT_EQ(Utf8ToAnsi("Привет 😀!"), "\xCF\xF0\xE8\xE2\xE5\xF2 ?!");
  ScopedSystemLocale japanese("ja_JP.UTF-8");
  EXPECT_EQ(AnsiToUtf8("\x93\xFA\x96\x7B"), "日本");
  EXPECT_EQ(Utf8ToAnsi("日本"), "\x93\xFA\x96\x7B");
}

TEST(CodePageTest, IllFormedUtf8GivesOneQuestionMarkPerBadByte) {
  ScopedSystemLocale russian("ru_RU.UTF-8");
  EXPECT_EQ(Utf8ToAnsi("a\xFF" "b"), "a?b");
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");          // overlong "/"
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");     // an encoded surrogate
  EXPECT_EQ(Utf8ToAnsi("\xD0"), "?");               // cut-off sequence
}

TEST(CodePageTest, UnknownCodePageKeepsEveryByteAsLatin1) {
  EXPECT_EQ(CodePageToUtf16("a\xE9", 12345), u"a\u00E9");
  EXPECT_EQ(Utf16ToCodePage(u"a\u00E9\u0416", 12345), "a\xE9?");
}

TEST(CodePageTest, MimeNames) {
  EXPECT_EQ(CodePageMimeName(1250), "windows-1250");
  EXPECT_EQ(CodePageMimeName(1251), "windows-1251");
  EXPECT_EQ(CodePageMimeName(1258), "windows-1258");
  EXPECT_EQ(CodePageMimeName(874), "windows-874");
  EXPECT_EQ(CodePageMimeName(932), "Shift_JIS");
  EXPECT_EQ(CodePageMimeName(936), "GB2312");
  EXPECT_EQ(CodePageMimeName(949), "ks_c_5601-1987");
  EXPECT_EQ(CodePageMimeName(950), "Big5");
}

TEST(CodePageTest, LeadBytes) {
  EXPECT_TRUE(IsLeadByte(932, 0x81));
  EXPECT_TRUE(IsLeadByte(932, 0x9F));
  EXPECT_FALSE(IsLeadByte(932, 0xA0));  // half-width katakana stand alone
  EXPECT_FALSE(IsLeadByte(932, 0xDF));
  EXPECT_TRUE(IsLeadByte(932, 0xE0));
  EXPECT_TRUE(IsLeadByte(932, 0xFC));
  EXPECT_FALSE(IsLeadByte(932, 0xFD));
  for (int codePage : {936, 949, 950}) {
    EXPECT_FALSE(IsLeadByte(codePage, 0x80)) << codePage;
    EXPECT_TRUE(IsLeadByte(codePage, 0x81)) << codePage;
    EXPECT_TRUE(IsLeadByte(codePage, 0xFE)) << codePage;
    EXPECT_FALSE(IsLeadByte(codePage, 0xFF)) << codePage;
  }
  EXPECT_FALSE(IsLeadByte(1251, 0xCF));
  EXPECT_FALSE(IsLeadByte(932, 'A'));
  ScopedSystemLocale chinese("zh_CN.UTF-8");
  EXPECT_TRUE(IsAnsiLeadByte(0xD6));
  ScopedSystemLocale russian("ru_RU.UTF-8");
  EXPECT_FALSE(IsAnsiLeadByte(0xD6));
}

}  // namespace
}  // namespace quillet
