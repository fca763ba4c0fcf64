#include "mail/HeaderList.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::string Repeat(const std::string& piece, int count, const std::string& separator = "") {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i > 0 ? separator : "") + piece;
  return text;
}

std::vector<size_t> Lengths(const StringList& lines) {
  std::vector<size_t> lengths;
  for (const auto& line : lines) lengths.push_back(line.size());
  return lengths;
}

TEST(HeaderListSetHeader, AddsReplacesInPlaceAndRemoves) {
  TQlHeaderList list;
  list.SetHeader("Subject", "Hello");
  EXPECT_EQ(list.Lines(), StringList{"Subject: Hello"});

  list.Add("To: a@example.com,");
  list.Add("  b@example.com");
  list.Add("X-Last: 1");
  list.SetHeader("to", "c@example.com");
  EXPECT_EQ(list.Lines(), (StringList{"Subject: Hello", "to: c@example.com", "X-Last: 1"}));

  list.SetHeader("X-New", "2");
  EXPECT_EQ(list[3], "X-New: 2");

  list.Add("Folded: a");
  list.Add("\tb");
  list.SetHeader("FOLDED", "");
  list.SetHeader("Absent", "");
  EXPECT_EQ(list.Lines(), (StringList{"Subject: Hello", "to: c@example.com", "X-Last: 1", "X-New: 2"}));
}

TEST(HeaderListSetHeader, WithoutFoldingKeepsContinuationsAndTheLongLine) {
  TQlHeaderList list;
  list.SetFoldOnWrite(false);
  list.Add("X: old");
  list.Add(" continued");
  const std::string value = Repeat("word", 30, " ");
  list.SetHeader("X", value);
  EXPECT_EQ(list.Lines(), (StringList{"X: " + value, " continued"}));
}

TEST(HeaderListRead, FindsNamesIgnoringCaseAndUnfoldsValues) {
  TQlHeaderList list;
  list.Add("Subject:  first  ");
  list.Add("   second ");
  list.Add("\tthird");
  list.Add("");
  list.Add(" after empty line");
  list.Add("NoColon");
  EXPECT_EQ(list.HeaderValue("subject"), "first second third");
  EXPECT_EQ(list.LineName(0), "SUBJECT");
  EXPECT_EQ(list.LineName(5), "");
  EXPECT_EQ(list.LineValue(5), "NoColon");
  EXPECT_EQ(list.HeaderValue("Absent"), "");
  EXPECT_EQ(list.LineValue(-1), "");
  EXPECT_EQ(list.LineValue(6), "");
  list.SetUnfoldOnRead(false);
  EXPECT_EQ(list.HeaderValue("Subject"), "first");
}

TEST(HeaderListRead, DropContinuationsStopsAtAnEmptyLine) {
  TQlHeaderList list;
  list.AddLines({"A: 1", " 2", "\t3", "", " 4"});
  list.DropContinuations(0);
  EXPECT_EQ(list.Lines(), (StringList{"A: 1", "", " 4"}));
}

struct FoldCase {
  const char* name;
  std::string line;
  StringList folded;
};

void PrintTo(const FoldCase& c, std::ostream* out) { *out << c.name; }

class FoldHeader : public testing::TestWithParam<FoldCase> {};

TEST_P(FoldHeader, CutsWhereTheRulesSay) {
  TQlHeaderList list;
  EXPECT_EQ(list.FoldHeader(GetParam().line), GetParam().folded);
}

const std::string kLetters68 = std::string(68, 'a');
const std::string kValue200 = std::string(200, 'v');
// An encoded word of 74 characters and one of 20.
const std::string kWord74 = "=?ISO-8859-1?Q?" + Repeat("=CF", 19) + "?=";
const std::string kWord20 = "=?ISO-8859-1?Q?=CF?=";
// A Q-encoded word of 60 characters with commas at its columns 36 and 52.
const std::string kCommaWord = "=?windows-1251?Q?=CF=F0=E8=E2=E5=F2,=EC=E8=F0=CF=F0,=E8=E2?=";

INSTANTIATE_TEST_SUITE_P(
    Cases, FoldHeader,
    testing::Values(
        FoldCase{"ShortLineUntouched", "Subject: Hello", {"Subject: Hello"}},
        FoldCase{"LineOf79WithOneCharAfterLastBlankStays",
                 "Subject: " + kLetters68 + " b",
                 {"Subject: " + kLetters68 + " b"}},
        FoldCase{"LongValueWithoutBreaksGoesWholeOnContinuation",
                 "X: " + kValue200,
                 {"X:", " " + kValue200}},
        FoldCase{"BareAddressesCutAfterComma",
                 "To: " + Repeat("user@example.com", 5, ", "),
                 {"To: " + Repeat("user@example.com", 4, ", ") + ",", " user@example.com"}},
        FoldCase{"NeverCutInsideQuotes",
                 "To: \"" + Repeat("name", 30, " ") + "\" <a@example.com>",
                 {"To:", " \"" + Repeat("name", 30, " ") + "\"", " <a@example.com>"}},
        FoldCase{"TabFoldOfCharsetParameter",
                 "Content-Type: text/plain;\r\n\tcharset=\"ISO-8859-1\"",
                 {"Content-Type: text/plain;", "\tcharset=\"ISO-8859-1\""}},
        FoldCase{"EncodedWordsFoldedByTheEncoder",
                 "Subject: " + kWord74 + "\r\n\t" + kWord20,
                 {"Subject:", " " + kWord74, " " + kWord20}},
        FoldCase{"ExistingBreakKept",
                 "X-A: one\r\n two",
                 {"X-A: one", " two"}},
        FoldCase{"CommaInsideEncodedWordIsNoBreak",
                 "Subject: Re: Re: Fwd: " + kCommaWord,
                 {"Subject: Re: Re: Fwd:", " " + kCommaWord}},
        FoldCase{"QuoteInsideEncodedWordQuotesNothing",
                 "Subject: =?windows-1251?Q?\"=CF?= " + Repeat("word", 20, " "),
                 {"Subject: =?windows-1251?Q?\"=CF?= " + Repeat("word", 9, " "),
                  " " + Repeat("word", 11, " ")}},
        FoldCase{"OnlyBlanksAfterCutAreDropped", "Subject: " + kLetters68 + "          ",
                 {"Subject: " + kLetters68}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FoldHeader, ThirtyFiveLetterWordsGiveLinesOf74And78And36) {
  TQlHeaderList list;
  list.SetHeader("Subject", Repeat("abcde", 30, " "));
  EXPECT_EQ(Lengths(list.Lines()), (std::vector<size_t>{74, 78, 36}));
  EXPECT_EQ(list[1][0], ' ');
  EXPECT_EQ(list[2][0], ' ');
}

TEST(FoldHeader, FoldWidthIsTheColumnLimit) {
  TQlHeaderList list;
  list.SetFoldWidth(20);
  list.SetHeader("To", "a@example.com, b@example.com, c@example.com");
  EXPECT_EQ(list.Lines(), (StringList{"To: a@example.com,", " b@example.com,", " c@example.com"}));
}

TEST(FoldHeader, LongHeaderFoldsWholeAndReadsBack) {
  TQlHeaderList list;
  const std::string value = Repeat("word", 25'000, " ");
  list.SetHeader("X-Long", value);
  EXPECT_GT(list.Count(), 1000);
  for (const auto& line : list.Lines()) EXPECT_LE(line.size(), 78u);
  EXPECT_EQ(list.HeaderValue("X-Long"), value);
}

}  // namespace
}  // namespace quillet
