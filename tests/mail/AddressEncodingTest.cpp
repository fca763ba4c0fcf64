#include "mail/AddressEncoding.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::string Mailbox(const std::string& name, const std::string& address) {
  TQlEMailAddressItem item;
  item.SetName(name);
  item.SetAddress(address);
  return EncodeMailbox(item, 'Q', TTransfer::bit8, "windows-1251");
}

struct MailboxCase {
  const char* name;
  const char* itemName;
  const char* text;
};

void PrintTo(const MailboxCase& c, std::ostream* out) { *out << c.name; }

class EncodeMailboxCases : public testing::TestWithParam<MailboxCase> {};

TEST_P(EncodeMailboxCases, WritesDisplayPartAndAddress) {
  EXPECT_EQ(Mailbox(GetParam().itemName, "ivan@example.com"), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeMailboxCases,
    testing::Values(
        MailboxCase{"NoNameBareAddress", "", "ivan@example.com"},
        MailboxCase{"AsciiNameAlwaysQuoted", "Ivan", "\"Ivan\" <ivan@example.com>"},
        MailboxCase{"QuoteAndBackslashEscaped", "I \"V\" \\", "\"I \\\"V\\\" \\\\\" <ivan@example.com>"},
        MailboxCase{"CyrillicNameEncodedNotQuoted", "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2",
                    "=?windows-1251?Q?=C8=E2=E0=ED_=CF=E5=F2=F0=EE=E2?= <ivan@example.com>"},
        MailboxCase{"SpecialsOfAnEncodedNameEncoded", "\xC8\xE2\xE0\xED \xC8. Ivan",
                    "=?windows-1251?Q?=C8=E2=E0=ED_=C8=2E?= Ivan <ivan@example.com>"},
        MailboxCase{"ControlByteEncoded", "a\x01z", "=?windows-1251?Q?a=01z?= <ivan@example.com>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeAddressList, JoinsWithCommaAndSpace) {
  TQlEMailAddressList list;
  EXPECT_EQ(EncodeAddressList(list, 'Q', TTransfer::bit8, "windows-1251"), "");
  list.Add().SetAddress("a@example.com");
  auto& named = list.Add();
  named.SetName("\xCF\xE5\xF2\xF0");
  named.SetAddress("petr@example.com");
  EXPECT_EQ(EncodeAddressList(list, 'Q', TTransfer::bit8, "windows-1251"),
            "a@example.com, =?windows-1251?Q?=CF=E5=F2=F0?= <petr@example.com>");
  EXPECT_EQ(EncodeAddressList(list, 'B', TTransfer::bit8, "KOI8-R"),
            "a@example.com, =?KOI8-R?B?z+Xy8A==?= <petr@example.com>");
}

}  // namespace
}  // namespace quillet
