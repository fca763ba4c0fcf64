#include "mail/EmailAddress.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/SystemLocale.h"

namespace quillet {
namespace {

struct ParseCase {
  const char* name;
  const char* text;
  const char* expectedName;
  const char* expectedAddress;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class AddressParse : public testing::TestWithParam<ParseCase> {};

TEST_P(AddressParse, SplitsNameAndAddress) {
  TQlEMailAddressItem item;
  item.SetName("stale");
  item.SetAddress("stale@example.com");
  item.SetText(GetParam().text);
  EXPECT_EQ(item.Name(), GetParam().expectedName);
  EXPECT_EQ(item.Address(), GetParam().expectedAddress);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressParse,
    testing::Values(
        ParseCase{"NameAndAngleAddress", "Ivan Petrov <ivan@example.com>", "Ivan Petrov",
                  "ivan@example.com"},
        ParseCase{"BareAddress", "ivan@example.com", "", "ivan@example.com"},
        ParseCase{"BlanksAroundAreTrimmed", " \t ivan@example.com \r\n", "", "ivan@example.com"},
        ParseCase{"QuotedNameWithComma", "\"Petrov, Ivan\" <ivan@example.com>", "Petrov, Ivan",
                  "ivan@example.com"},
        ParseCase{"QuotedNameLosesEscapes", R"("Ivan \"The\" P\\" <i@example.com>)",
                  R"(Ivan "The" P\)", "i@example.com"},
        ParseCase{"TrailingCommentDropped", "ivan@example.com (Ivan Petrov)", "",
                  "ivan@example.com"},
        ParseCase{"NestedCommentNeverReachesAddress", "ivan@example.com (a (b) c)", "",
                  "ivan@example.com"},
        ParseCase{"NestedCommentNeverReachesName", "Ivan (x (y) z) <ivan@example.com>", "Ivan",
                  "ivan@example.com"},
        ParseCase{"NameBeforeBareAddressKeepsItsSpace", "Ivan ivan@example.com", "Ivan ",
                  "ivan@example.com"},
        ParseCase{"BlanksInsideAngleDomainRemoved", "<ivan@ example . com>", "",
                  "ivan@example.com"},
        ParseCase{"BlankBeforeAtInsideAngleKept", "<ivan @example.com>", "",
                  "ivan @example.com"},
        ParseCase{"LoneWordIsAddress", "ivan", "", "ivan"},
        ParseCase{"QuotedLocalPart", "<\"john doe\"@example.com>", "", "john doe@example.com"},
        ParseCase{"EmptyAngles", "Ivan <>", "Ivan", ""},
        ParseCase{"QuoteInsideWordKeepsTheWord", "Ivan\"Petrov\" <i@example.com>", "IvanPetrov",
                  "i@example.com"},
        ParseCase{"UnclosedQuoteEndsScan", "\"Ivan <i@example.com>", "", ""},
        ParseCase{"BackslashLastInUnclosedQuote", "\"Ivan\\", "Ivan", ""},
        ParseCase{"CyrillicName", "\xC8\xE2\xE0\xED <ivan@example.com>", "\xC8\xE2\xE0\xED",
                  "ivan@example.com"},
        ParseCase{"Empty", "   ", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressParse, AtOutsideAnglesRaisesAndKeepsWhatWasParsed) {
  TQlEMailAddressItem item;
  try {
    item.SetText("Ivan <a@b.example> x@y.example");
    FAIL() << "no error";
  } catch (const EQlEmailParseError& e) {
    EXPECT_EQ(e.Message(), "@ Outside address");
  }
  EXPECT_EQ(item.Name(), "Ivan");
  EXPECT_EQ(item.Address(), "a@b.example");
}

struct TextCase {
  const char* name;
  const char* itemName;
  const char* address;
  const char* text;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class AddressText : public testing::TestWithParam<TextCase> {};

TEST_P(AddressText, FormatsHeaderText) {
  TQlEMailAddressItem item;
  item.SetName(GetParam().itemName);
  item.SetAddress(GetParam().address);
  EXPECT_EQ(item.Text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressText,
    testing::Values(
        TextCase{"PlainName", "Ivan Petrov", "ivan@example.com", "Ivan Petrov <ivan@example.com>"},
        TextCase{"NoName", "", "ivan@example.com", "ivan@example.com"},
        TextCase{"NameWithComma", "Petrov, Ivan", "ivan@example.com",
                 "\"Petrov, Ivan\" <ivan@example.com>"},
        TextCase{"CyrillicNameQuoted", "\xC8\xE2\xE0\xED", "ivan@example.com",
                 "\"\xC8\xE2\xE0\xED\" <ivan@example.com>"},
        TextCase{"QuoteAndBackslashEscaped", "a\"b\\c", "i@example.com",
                 "\"a\\\"b\\\\c\" <i@example.com>"},
        TextCase{"LocalPartWithSpaceQuoted", "", "john doe@example.com",
                 "<\"john doe\"@example.com>"},
        TextCase{"LocalPartWithDotFirstNotQuoted", "", "john.doe@example.com",
                 "john.doe@example.com"},
        TextCase{"OnlyFirstOutsiderDecides", "", "a.b c@example.com", "a.b c@example.com"},
        TextCase{"LocalPartQuoteEscaped", "", "a\"b@example.com", "<\"a\\\"b\"@example.com>"},
        TextCase{"NameIsUpperCasedAddress", "IVAN@EXAMPLE.COM", "ivan@example.com",
                 "<ivan@example.com>"},
        TextCase{"NameIsSameCaseAddress", "ivan@example.com", "ivan@example.com",
                 "\"ivan@example.com\" <ivan@example.com>"},
        TextCase{"EmptyAddressWithName", "Ivan", "", "Ivan <>"},
        TextCase{"NothingAtAll", "", "", ""},
        TextCase{"NoAtSign", "", "ivan", "ivan"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressText, ReadsBackWhatWasParsed) {
  for (const char* text : {"Ivan Petrov <ivan@example.com>", "ivan@example.com",
                           "\"Petrov, Ivan\" <ivan@example.com>", "<\"john doe\"@example.com>"}) {
    TQlEMailAddressItem item;
    item.SetText(text);
    EXPECT_EQ(item.Text(), text);
  }
}

struct ListCase {
  const char* name;
  const char* text;
  std::vector<std::string> addresses;  // "name|address"
};

void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }

class AddressListParse : public testing::TestWithParam<ListCase> {};

TEST_P(AddressListParse, SplitsIntoItems) {
  TQlEMailAddressList list;
  list.Add().SetText("old@example.com");
  list.SetAddressListText(GetParam().text);
  std::vector<std::string> got;
  for (int i = 0; i < list.Count(); ++i) got.push_back(list[i].Name() + "|" + list[i].Address());
  EXPECT_EQ(got, GetParam().addresses);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressListParse,
    testing::Values(
        ListCase{"CommaSeparated",
                 "Ivan Petrov <ivan@example.com>, petr@example.com",
                 {"Ivan Petrov|ivan@example.com", "|petr@example.com"}},
        ListCase{"SemicolonSeparated",
                 "a@example.com; b@example.com",
                 {"|a@example.com", "|b@example.com"}},
        ListCase{"GroupNameDropped",
                 "Team: a@example.com, b@example.com;",
                 {"|a@example.com", "|b@example.com"}},
        ListCase{"EmptyFirstEntryRemoved", ", a@example.com", {"|a@example.com"}},
        ListCase{"EmptyAnglesRemoved", "<>, a@example.com", {"|a@example.com"}},
        ListCase{"CommaInQuotesKept",
                 "\"Petrov, Ivan\" <ivan@example.com>",
                 {"Petrov, Ivan|ivan@example.com"}},
        ListCase{"CommaInCommentKept",
                 "a@example.com (x, y), b@example.com",
                 {"|a@example.com", "|b@example.com"}},
        ListCase{"EscapedQuoteInsideQuotes",
                 R"("a\", b" <a@example.com>, c@example.com)",
                 {"a\", b|a@example.com", "|c@example.com"}},
        ListCase{"SingleWord", "petr@example.com", {"|petr@example.com"}},
        ListCase{"Empty", "", {}},
        ListCase{"Blank", " \t ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressListParse, ErrorKeepsTheItemsAlreadyAdded) {
  TQlEMailAddressList list;
  EXPECT_THROW(list.SetAddressListText("a@example.com, <b@example.com> c@example.com, d@example.com"),
               EQlEmailParseError);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].Address(), "a@example.com");
  EXPECT_EQ(list[1].Address(), "b@example.com");
}

TEST(AddressListParse, LongListIsParsedWhole) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "User " + std::to_string(i) + " <u" + std::to_string(i) + "@example.com>, ";
  TQlEMailAddressList list;
  list.SetAddressListText(text);
  ASSERT_EQ(list.Count(), 2000);
  EXPECT_EQ(list[1999].Name(), "User 1999");
  EXPECT_EQ(list[1999].Address(), "u1999@example.com");
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// In Shift_JIS the trail byte of a double-byte letter may be 0x40, "@".
TEST(AddressParse, TrailByteOfADoubleByteLetterIsNoAtSign) {
  ScopedSystemLocale japanese("ja_JP.SJIS");
  TQlEMailAddressItem item;
  item.SetText("\x83\x40\x83\x43 <a@example.com>");
  EXPECT_EQ(item.Name(), "\x83\x40\x83\x43");
  EXPECT_EQ(item.Address(), "a@example.com");

  TQlEMailAddressList list;
  list.SetAddressListText("\x83\x40 <a@example.com>, b@example.com");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].Name(), "\x83\x40");
}

}  // namespace
}  // namespace quillet
