#include "coders/EncodedWords.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/SystemLocale.h"

namespace quillet {
namespace {

// ---- A small RFC 2047 reader, to check what the encoder writes ----

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  ADD_FAILURE() << "not an upper-case hexadecimal digit: " << digit;
  return 0;
}

std::string DecodeQ(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      bytes += ' ';
    } else if (text[i] == '=' && i + 2 < text.size()) {
      bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      EXPECT_TRUE(text[i] > 32 && text[i] < 127 && text[i] != '=' && text[i] != '?')
          << "bare byte " << int(text[i]) << " in " << text;
      bytes += text[i];
    }
  }
  return bytes;
}

std::string DecodeB(const std::string& text) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  EXPECT_EQ(text.size() % 4, 0u) << text;
  std::string bytes;
  unsigned bits = 0;
  int bitCount = 0;
  for (char c : text) {
    if (c == '=') break;
    size_t value = alphabet.find(c);
    EXPECT_NE(value, std::string::npos) << text;
    bits = (bits << 6) | static_cast<unsigned>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      bytes += static_cast<char>((bits >> bitCount) & 0xFF);
    }
  }
  return bytes;
}

struct DecodedHeader {
  std::string bytes;                   // the header text with its encoded words decoded
  std::vector<std::string> words;      // every encoded word as written
  std::vector<std::string> wordBytes;  // the bytes each of them carries
};

// Encoded words of the expected charset are decoded; the white space between
// two adjacent encoded words is dropped (RFC 2047 section 6.2).
DecodedHeader DecodeHeader(const std::string& header, const std::string& charset) {
  static const std::regex encodedWord(R"(=\?([^?]+)\?([A-Za-z])\?([^?]*)\?=)");
  DecodedHeader decoded;
  std::string pendingSpace;
  bool lastWasEncoded = false;
  size_t i = 0;
  while (i < header.size()) {
    size_t tokenEnd = header.find_first_of(" \t\r\n", i);
    if (tokenEnd == i) {
      pendingSpace += header[i++];
      continue;
    }
    if (tokenEnd == std::string::npos) tokenEnd = header.size();
    std::string token = header.substr(i, tokenEnd - i);
    i = tokenEnd;
    std::smatch match;
    if (std::regex_match(token, match, encodedWord) && match[1] == charset) {
      if (!lastWasEncoded) decoded.bytes += pendingSpace;
      bool q = match[2] == "Q" || match[2] == "q";
      std::string bytes = q ? DecodeQ(match[3]) : DecodeB(match[3]);
      decoded.bytes += bytes;
      decoded.words.push_back(token);
      decoded.wordBytes.push_back(bytes);
      lastWasEncoded = true;
    } else {
      decoded.bytes += pendingSpace + token;
      lastWasEncoded = false;
    }
    pendingSpace.clear();
  }
  decoded.bytes += pendingSpace;
  return decoded;
}

// True when the bytes end on a character boundary of the double-byte code page.
bool HoldsWholeCharacters(const std::string& bytes, int codePage) {
  size_t i = 0;
  while (i < bytes.size()) i += IsLeadByte(codePage, bytes[i]) ? 2 : 1;
  return i == bytes.size();
}

// True when ISO-2022-JP bytes start and end in ASCII mode and hold whole pairs.
bool StandsAloneInIso2022Jp(const std::string& bytes) {
  bool doubleByte = false;
  size_t i = 0;
  while (i < bytes.size()) {
    if (bytes.compare(i, 3, "\x1B$B") == 0 || bytes.compare(i, 3, "\x1B(B") == 0) {
      doubleByte = bytes[i + 1] == '$';
      i += 3;
    } else {
      i += doubleByte ? 2 : 1;
    }
  }
  return i == bytes.size() && !doubleByte;
}

std::string Iso2022JpToUtf8(const std::string& bytes) {
  iconv_t handle = iconv_open("UTF-8", "ISO-2022-JP");
  std::string in = bytes;
  std::string out(bytes.size() * 4 + 16, '\0');
  char* inPointer = in.data();
  char* outPointer = out.data();
  size_t inLeft = in.size();
  size_t outLeft = out.size();
  size_t result = iconv(handle, &inPointer, &inLeft, &outPointer, &outLeft);
  iconv_close(handle);
  EXPECT_NE(result, static_cast<size_t>(-1)) << "not valid ISO-2022-JP";
  out.resize(out.size() - outLeft);
  return out;
}

void ExpectEveryWordAtMost75Characters(const DecodedHeader& decoded) {
  for (const std::string& word : decoded.words) EXPECT_LE(word.size(), 75u) << word;
}

// Table rows print as their names.
template <class Row>
  requires requires(const Row& row) { row.rowName; }
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.rowName;
}

// ---- The charset label of the locale in force ----

struct CharsetRow {
  std::string rowName;
  std::string locale;
  TTransfer transfer;
  char letter;
  std::string charset;
};

class ChooseHeaderCharsetTest : public testing::TestWithParam<CharsetRow> {};

TEST_P(ChooseHeaderCharsetTest, FollowsTheLocale) {
  ScopedSystemLocale locale(GetParam().locale);
  HeaderEncodingSettings settings = ChooseHeaderCharset();
  EXPECT_EQ(settings.VTransferHeader, GetParam().transfer);
  EXPECT_EQ(settings.VHeaderEncoding, GetParam().letter);
  EXPECT_EQ(settings.VCharSet, GetParam().charset);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, ChooseHeaderCharsetTest,
    testing::Values(
        CharsetRow{"Russian", "ru_RU.UTF-8", TTransfer::bit8, 'Q', "windows-1251"},
        CharsetRow{"Ukrainian", "uk_UA.UTF-8", TTransfer::bit8, 'Q', "windows-1251"},
        CharsetRow{"Polish", "pl_PL.UTF-8", TTransfer::bit8, 'Q', "windows-1250"},
        CharsetRow{"English", "en_US.UTF-8", TTransfer::bit8, 'Q', "windows-1252"},
        CharsetRow{"Posix", "C", TTransfer::bit8, 'Q', "windows-1252"},
        CharsetRow{"Greek", "el_GR.UTF-8", TTransfer::bit8, 'Q', "windows-1253"},
        CharsetRow{"Thai", "th_TH.UTF-8", TTransfer::bit8, 'Q', "windows-874"},
        CharsetRow{"ChineseMainland", "zh_CN.UTF-8", TTransfer::bit8, 'B', "GB2312"},
        // Singapore's ANSI code page is the mainland's 936, so its words are GB2312 too.
        CharsetRow{"ChineseSingapore", "zh_SG.UTF-8", TTransfer::bit8, 'B', "GB2312"},
        CharsetRow{"ChineseTaiwan", "zh_TW.UTF-8", TTransfer::bit8, 'B', "Big5"},
        CharsetRow{"ChineseHongKong", "zh_HK.UTF-8", TTransfer::bit8, 'B', "Big5"},
        CharsetRow{"Japanese", "ja_JP.UTF-8", TTransfer::iso2022jp, 'B', "ISO-2022-JP"},
        CharsetRow{"Korean", "ko_KR.UTF-8", TTransfer::bit8, 'B', "EUC-KR"}),
    [](const testing::TestParamInfo<CharsetRow>& info) { return info.param.rowName; });

// ---- EncodeWords with the settings of the locale in force ----

struct EncodeRow {
  std::string rowName;
  std::string locale;
  std::string text;
  std::string expected;
  std::string_view extraChars = {};
};

class EncodeWordsTest : public testing::TestWithParam<EncodeRow> {};

TEST_P(EncodeWordsTest, GivesTheHeaderText) {
  const EncodeRow& row = GetParam();
  ScopedSystemLocale locale(row.locale);
  HeaderEncodingSettings settings = ChooseHeaderCharset();
  std::string encoded = EncodeWords(row.text, row.extraChars, settings.VHeaderEncoding,
                                    settings.VTransferHeader, settings.VCharSet);
  EXPECT_EQ(encoded, row.expected);
}

const std::string kPrivet = "\xCF\xF0\xE8\xE2\xE5\xF2";  // Привет in code page 1251
const std::string kMir = "\xEC\xE8\xF0";                  // мир
const std::string kPrivetQ = "=CF=F0=E8=E2=E5=F2";
const std::string kShiftJisNihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語

INSTANTIATE_TEST_SUITE_P(
    SingleByte, EncodeWordsTest,
    testing::Values(
        EncodeRow{"EmptyText", "ru_RU.UTF-8", "", ""},
        EncodeRow{"AsciiUnchangedSpacesIncluded", "ru_RU.UTF-8", "  Hello,  world = ?_ ",
                  "  Hello,  world = ?_ "},
        EncodeRow{"CyrillicWord", "ru_RU.UTF-8", kPrivet, "=?windows-1251?Q?" + kPrivetQ + "?="},
        EncodeRow{"ReAndSpaceStayPlain", "ru_RU.UTF-8", "Re: " + kPrivet,
                  "Re: =?windows-1251?Q?" + kPrivetQ + "?="},
        EncodeRow{"TwoWordsOneRunSpaceAsUnderscore", "ru_RU.UTF-8", kPrivet + " " + kMir,
                  "=?windows-1251?Q?" + kPrivetQ + "_=EC=E8=F0?="},
        EncodeRow{"AsciiWordAfterRunStaysPlain", "ru_RU.UTF-8", kPrivet + " John",
                  "=?windows-1251?Q?" + kPrivetQ + "?= John"},
        EncodeRow{"GapsAroundRunStayPlain", "ru_RU.UTF-8", " \t" + kPrivet + "  ",
                  " \t=?windows-1251?Q?" + kPrivetQ + "?=  "},
        EncodeRow{"SpecialsEscapedOnlyInsideRun", "ru_RU.UTF-8", "a=b?_ " + kPrivet + "_=? c=d",
                  "a=b?_ =?windows-1251?Q?" + kPrivetQ + "=5F=3D=3F?= c=d"},
        EncodeRow{"TabInsideRun", "ru_RU.UTF-8", kPrivet + "\t" + kMir,
                  "=?windows-1251?Q?" + kPrivetQ + "=09=EC=E8=F0?="},
        EncodeRow{"ControlAndDeleteBytes", "ru_RU.UTF-8", "a\x01" "b c\x7F",
                  "=?windows-1251?Q?a=01b_c=7F?="},
        // 18 letters fill a word of 73 characters under this label; a 19th would make 76.
        EncodeRow{"TwentyLetterWordSplitsAfterEighteen", "ru_RU.UTF-8", std::string(20, '\xE0'),
                  "=?windows-1251?Q?" + [] {
                    std::string q;
                    for (int i = 0; i < 18; ++i) q += "=E0";
                    return q;
                  }() + "?=\r\n\t=?windows-1251?Q?=E0=E0?="},
        EncodeRow{"DisplayNameSpecialsJoinTheRun", "ru_RU.UTF-8", "Smith, " + kPrivet + " Jr",
                  "=?windows-1251?Q?Smith=2C_" + kPrivetQ + "?= Jr", kRfc822Specials},
        EncodeRow{"PolishLabel", "pl_PL.UTF-8", "Za\xBF\xF3\xB3\xE6", "=?windows-1250?Q?Za=BF=F3=B3=E6?="},
        EncodeRow{"EnglishLabel", "en_US.UTF-8", "Caf\xE9 au lait",
                  "=?windows-1252?Q?Caf=E9?= au lait"}),
    [](const testing::TestParamInfo<EncodeRow>& info) { return info.param.rowName; });

INSTANTIATE_TEST_SUITE_P(
    EastAsian, EncodeWordsTest,
    testing::Values(
        EncodeRow{"ChineseMainland", "zh_CN.UTF-8", "Re: \xD6\xD0\xCE\xC4", "Re: =?GB2312?B?1tDOxA==?="},
        EncodeRow{"ChineseTaiwan", "zh_TW.UTF-8", "\xA4\xA4\xA4\xE5", "=?Big5?B?pKSk5Q==?="},
        EncodeRow{"Korean", "ko_KR.UTF-8", "\xC7\xD1\xB1\xB9 ok", "=?EUC-KR?B?x9GxuQ==?= ok"},
        EncodeRow{"Japanese", "ja_JP.UTF-8", "Re: " + kShiftJisNihongo + " test",
                  "Re: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?= test"},
        EncodeRow{"JapaneseAsciiOnly", "ja_JP.UTF-8", "plain text", "plain text"}),
    [](const testing::TestParamInfo<EncodeRow>& info) { return info.param.rowName; });

TEST(EncodeWordsLetterTest, EightPassesTextThroughAndLowerCaseQIsQ) {
  EXPECT_EQ(EncodeWords(kPrivet + " x", "", '8', TTransfer::bit8, "windows-1251"), kPrivet + " x");
  // With ISO-2022-JP the text is still converted before it passes.
  EXPECT_EQ(EncodeWords("\x8A\xBF", "", '8', TTransfer::iso2022jp, "ISO-2022-JP"),
            "\x1B$B4A\x1B(B");
  EXPECT_EQ(EncodeWords(kPrivet, "", 'q', TTransfer::bit8, "windows-1251"),
            "=?windows-1251?q?" + kPrivetQ + "?=");
  EXPECT_EQ(EncodeWords(kPrivet, "", 'B', TTransfer::bit7, "KOI8-R"), "=?KOI8-R?B?z/Do4uXy?=");
}

TEST(EncodeWordsLetterTest, AnOverlongLabelStillPutsAtLeastOneCharacterInEachWord) {
  std::string label(80, 'x');
  std::string encoded = EncodeWords("\xE0\xE1", "", 'Q', TTransfer::bit8, label);
  EXPECT_EQ(encoded, "=?" + label + "?Q?=E0?=\r\n\t=?" + label + "?Q?=E1?=");
}

// ---- Long runs: each encoded word at most 75 characters and whole characters ----

TEST(EncodeWordsSplitTest, GbWordsCutBetweenCharacters) {
  ScopedSystemLocale chinese("zh_CN.UTF-8");
  std::string text;
  for (int i = 0; i < 30; ++i) text += "\xD6\xD0";
  std::string encoded = EncodeWords(text, "", 'B', TTransfer::bit8, "GB2312");
  DecodedHeader decoded = DecodeHeader(encoded, "GB2312");
  EXPECT_EQ(decoded.bytes, text);
  ExpectEveryWordAtMost75Characters(decoded);
  // 45 bytes would fit the first word, but the 23rd character would be cut.
  ASSERT_EQ(decoded.wordBytes.size(), 2u);
  EXPECT_EQ(decoded.wordBytes[0].size(), 44u);
  EXPECT_EQ(decoded.wordBytes[1].size(), 16u);
}

TEST(EncodeWordsSplitTest, Big5CharacterAfterAnAsciiLetterStaysWhole) {
  ScopedSystemLocale taiwan("zh_TW.UTF-8");
  std::string text = "a";
  for (int i = 0; i < 30; ++i) text += "\xA4\x40";  // 一, its trail byte "@"
  std::string encoded = EncodeWords(text, "", 'B', TTransfer::bit8, "Big5");
  DecodedHeader decoded = DecodeHeader(encoded, "Big5");
  EXPECT_EQ(decoded.bytes, text);
  ExpectEveryWordAtMost75Characters(decoded);
  ASSERT_EQ(decoded.wordBytes.size(), 2u);
  EXPECT_EQ(decoded.wordBytes[0], text.substr(0, 47));
}

TEST(EncodeWordsSplitTest, Iso2022JpWordsEndInAsciiModeAndReenterDoubleByteMode) {
  ScopedSystemLocale japan("ja_JP.UTF-8");
  std::string text;
  for (int i = 0; i < 40; ++i) text += "\x8A\xBF";  // 漢
  std::string encoded = EncodeWords(text, "", 'B', TTransfer::iso2022jp, "ISO-2022-JP");
  DecodedHeader decoded = DecodeHeader(encoded, "ISO-2022-JP");
  ExpectEveryWordAtMost75Characters(decoded);
  ASSERT_EQ(decoded.wordBytes.size(), 3u);
  std::string eighteen;
  for (int i = 0; i < 18; ++i) eighteen += "4A";
  EXPECT_EQ(decoded.wordBytes[0], "\x1B$B" + eighteen + "\x1B(B");
  EXPECT_EQ(decoded.wordBytes[1], "\x1B$B" + eighteen + "\x1B(B");
  EXPECT_EQ(decoded.wordBytes[2], "\x1B$B4A4A4A4A\x1B(B");
}

// ---- Any text reads back as it went in ----

struct RoundTripRow {
  std::string rowName;
  std::string locale;
  char letter;
  std::vector<std::string> pieces;  // the text is made of these, at random
};

class EncodeWordsRoundTripTest : public testing::TestWithParam<RoundTripRow> {};

TEST_P(EncodeWordsRoundTripTest, DecodedWordsGiveBackTheText) {
  const RoundTripRow& row = GetParam();
  ScopedSystemLocale locale(row.locale);
  HeaderEncodingSettings settings = ChooseHeaderCharset();
  const int codePage = AnsiCodePage();
  std::mt19937 random(20240607);
  for (int sample = 0; sample < 300; ++sample) {
    std::string text;
    int pieceCount = std::uniform_int_distribution<int>(0, 70)(random);
    for (int i = 0; i < pieceCount; ++i) {
      text += row.pieces[std::uniform_int_distribution<size_t>(0, row.pieces.size() - 1)(random)];
    }
    std::string_view extras = sample % 2 == 0 ? std::string_view() : kRfc822Specials;
    std::string encoded =
        EncodeWords(text, extras, row.letter, settings.VTransferHeader, settings.VCharSet);
    DecodedHeader decoded = DecodeHeader(encoded, settings.VCharSet);
    ExpectEveryWordAtMost75Characters(decoded);
    for (const std::string& bytes : decoded.wordBytes) {
      if (settings.VTransferHeader == TTransfer::iso2022jp) {
        EXPECT_TRUE(StandsAloneInIso2022Jp(bytes)) << testing::PrintToString(bytes);
      } else {
        EXPECT_TRUE(HoldsWholeCharacters(bytes, codePage)) << testing::PrintToString(bytes);
      }
    }
    if (settings.VTransferHeader == TTransfer::iso2022jp) {
      ASSERT_EQ(Iso2022JpToUtf8(decoded.bytes), Iso2022JpToUtf8(ConvertToIso2022Jp(text)))
          << testing::PrintToString(text);
    } else {
      ASSERT_EQ(decoded.bytes, text) << testing::PrintToString(encoded);
    }
  }
}

const std::vector<std::string> kAsciiPieces = {"a", "Z", "=", "?", "_", ".", ",", " ", " ", "\t", "\x01"};

std::vector<std::string> With(std::vector<std::string> pieces) {
  pieces.insert(pieces.end(), kAsciiPieces.begin(), kAsciiPieces.end());
  return pieces;
}

INSTANTIATE_TEST_SUITE_P(
    Locales, EncodeWordsRoundTripTest,
    testing::Values(
        RoundTripRow{"RussianQ", "ru_RU.UTF-8", 'Q', With({"\xCF", "\xF0", "\xE0", "\xFF", "\x80"})},
        RoundTripRow{"RussianB", "ru_RU.UTF-8", 'B', With({"\xCF", "\xF0", "\xE0", "\xFF"})},
        RoundTripRow{"ChineseMainlandB", "zh_CN.UTF-8", 'B', With({"\xD6\xD0", "\xCE\xC4", "\x81\x40"})},
        RoundTripRow{"ChineseMainlandQ", "zh_CN.UTF-8", 'Q', With({"\xD6\xD0", "\x81\x5F"})},
        RoundTripRow{"ChineseTaiwanB", "zh_TW.UTF-8", 'B', With({"\xA4\x40", "\xA4\xE5"})},
        RoundTripRow{"KoreanB", "ko_KR.UTF-8", 'B', With({"\xC7\xD1", "\x81\x41", "\xB1\xB9"})},
        RoundTripRow{"JapaneseB", "ja_JP.UTF-8", 'B',
                     With({"\x93\xFA", "\x82\xA0", "\x81\x5C", "\xB1", "\xB6\xDE", "\xCA\xDF"})},
        RoundTripRow{"JapaneseQ", "ja_JP.UTF-8", 'Q', With({"\x93\xFA", "\x82\xA0", "\xB1"})}),
    [](const testing::TestParamInfo<RoundTripRow>& info) { return info.param.rowName; });

// ---- Shift_JIS to ISO-2022-JP ----

struct Iso2022JpRow {
  std::string rowName;
  std::string shiftJis;
  std::string expected;
};

class ConvertToIso2022JpTest : public testing::TestWithParam<Iso2022JpRow> {};

TEST_P(ConvertToIso2022JpTest, Converts) {
  EXPECT_EQ(ConvertToIso2022Jp(GetParam().shiftJis), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToIso2022JpTest,
    testing::Values(
        Iso2022JpRow{"Empty", "", ""},
        Iso2022JpRow{"AsciiUnchanged", "abc \x7F", "abc \x7F"},
        Iso2022JpRow{"KanjiInAndOutOfDoubleByteMode", "A\x82\xA0 a", "A\x1B$B$\"\x1B(B a"},
        Iso2022JpRow{"TrailAboveNinetyEightStepsTheRow", "\x88\x9F", "\x1B$B0!\x1B(B"},
        Iso2022JpRow{"TrailInUpperHalf", "\x81\x80", "\x1B$B!`\x1B(B"},
        Iso2022JpRow{"HalfWidthKatakanaBecomeFullWidth", "\xB1\xB0", "\x1B$B%\"!<\x1B(B"},
        Iso2022JpRow{"VoicedAndSemiVoicedMarksJoin", "\xB6\xDE\xB7\xDE\xCA\xDF\xCE\xDF\xB1\xCA\xDE",
                     "\x1B$B%,%.%Q%]%\"%P\x1B(B"},
        Iso2022JpRow{"VoicedU", "\xB3\xDE", "\x1B$B%t\x1B(B"},
        Iso2022JpRow{"MarkWithoutAVoicedFormStandsAlone", "\xB1\xDE\xB6\xDF", "\x1B$B%\"!+%+!,\x1B(B"},
        Iso2022JpRow{"SingleBytesWithoutMeaningDropped", "a\x80\xA0\xFD\xFE\xFF" "b", "ab"},
        Iso2022JpRow{"UserDefinedPairDropped", "a\xF0\x40" "b", "ab"},
        Iso2022JpRow{"InvalidTrailDroppedWithItsLead", "\x88\x7Fx\x88", "x"}),
    [](const testing::TestParamInfo<Iso2022JpRow>& info) { return info.param.rowName; });

}  // namespace
}  // namespace quillet
