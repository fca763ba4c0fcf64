#include "mail/Message.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/SystemLocale.h"
#include "platform/TimeZone.h"

namespace quillet {
namespace {

// A Russian system three hours ahead of UTC, on Wednesday 9 December 2026 at 16:05:07.
class MessageHeaders : public testing::Test {
 protected:
  StringList Build() { return message_.BuildHeaders()->Lines(); }

  ScopedTimeZone zone_{"<+03>-3"};
  ScopedSystemLocale locale_{"ru_RU.UTF-8"};
  ScopedFixedClock clock_{EncodeDateTime(2026, 12, 9, 16, 5, 7)};
  TQlMessage message_;
};

const std::string kDate = "Date: Wed, 9 Dec 2026 16:05:07 +0300";

TEST_F(MessageHeaders, LetterFilledAsTheSendCommandFillsIt) {
  message_.Body() = {"Hello"};
  message_.From().SetText(Utf8ToAnsi("Иван Петров <ivan@example.com>"));
  message_.Recipients().SetAddressListText("petr@example.com");
  message_.SetSubject(Utf8ToAnsi("Привет"));
  EXPECT_EQ(Build(), (StringList{
                         "From: =?windows-1251?Q?=C8=E2=E0=ED_=CF=E5=F2=F0=EE=E2?= <ivan@example.com>",
                         "Subject: =?windows-1251?Q?=CF=F0=E8=E2=E5=F2?=",
                         "To: petr@example.com",
                         kDate,
                         "X-Priority: 3",
                         "X-Library: Quillet 1.0",
                     }));
}

TEST_F(MessageHeaders, NewMessageGivesDatePriorityAndLibrary) {
  EXPECT_EQ(Build(), (StringList{kDate, "X-Priority: 3", "X-Library: Quillet 1.0"}));
  EXPECT_EQ(message_.AttachmentEncoding(), "MIME");
  EXPECT_TRUE(message_.UseNowForDate());
}

TEST_F(MessageHeaders, EveryFieldInItsOrder) {
  message_.From().SetText("Ivan <ivan@example.com>");
  message_.SetSubject("Report");
  message_.Recipients().SetAddressListText("a@example.com, b@example.com");
  message_.CCList().SetAddressListText("c@example.com");
  message_.BccList().SetAddressListText("hidden@example.com");
  message_.NewsGroups() = {"comp.mail", "a b"};
  message_.SetContentType("text/plain");
  message_.SetContentTransferEncoding("8bit");
  message_.Sender().SetText("Desk <desk@example.com>");
  message_.ReplyTo().SetAddressListText("reply@example.com");
  message_.SetOrganization("Example Ltd");
  message_.ReceiptRecipient().SetText("receipt@example.com");
  message_.SetReferences("<1@example.com>");
  message_.SetPriority(TQlMessagePriority::mpHighest);
  message_.ExtraHeaders().SetHeader("X-Mailer", "agent");
  EXPECT_EQ(Build(), (StringList{
                         "From: \"Ivan\" <ivan@example.com>",
                         "Subject: Report",
                         "To: a@example.com, b@example.com",
                         "Cc: c@example.com",
                         "Newsgroups: comp.mail,\"a b\"",
                         "Content-Type: text/plain",
                         "MIME-Version: 1.0",
                         "Content-Transfer-Encoding: 8bit",
                         "Sender: Desk <desk@example.com>",
                         "Reply-To: reply@example.com",
                         "Organization: Example Ltd",
                         "Disposition-Notification-To: receipt@example.com",
                         "References: <1@example.com>",
                         kDate,
                         "X-Priority: 1",
                         "X-Library: Quillet 1.0",
                         "X-Mailer: agent",
                     }));
}

TEST_F(MessageHeaders, PriorityIsItsPositionPlusOne) {
  const std::pair<TQlMessagePriority, const char*> cases[] = {
      {TQlMessagePriority::mpHighest, "X-Priority: 1"}, {TQlMessagePriority::mpHigh, "X-Priority: 2"},
      {TQlMessagePriority::mpNormal, "X-Priority: 3"},  {TQlMessagePriority::mpLow, "X-Priority: 4"},
      {TQlMessagePriority::mpLowest, "X-Priority: 5"}};
  for (const auto& [priority, line] : cases) {
    message_.SetPriority(priority);
    EXPECT_EQ(Build()[1], line);
  }
}

TEST_F(MessageHeaders, CharsetParameterIsAddedOnEveryCall) {
  message_.SetContentType("text/plain");
  message_.SetCharSet("ISO-8859-1");
  EXPECT_EQ(Build(), (StringList{"Content-Type: text/plain;", "\tcharset=\"ISO-8859-1\"",
                                 "MIME-Version: 1.0", kDate, "X-Priority: 3",
                                 "X-Library: Quillet 1.0"}));
  const StringList second = Build();
  EXPECT_EQ(StringList(second.begin(), second.begin() + 4),
            (StringList{"Content-Type: text/plain;", "\tcharset=\"ISO-8859-1\";",
                        "\tcharset=\"ISO-8859-1\"", "MIME-Version: 1.0"}));
}

TEST_F(MessageHeaders, CharsetAloneIsTheContentType) {
  message_.SetCharSet("ISO-8859-1");
  const StringList lines = Build();
  EXPECT_EQ(lines[0], "Content-Type: charset=\"ISO-8859-1\"");
  EXPECT_EQ(lines[1], "MIME-Version: 1.0");
}

TEST_F(MessageHeaders, UuEncodingWritesNoContentHeaders) {
  message_.SetEncoding(TQlMessageEncoding::meUU);
  message_.SetContentType("text/plain");
  message_.SetContentTransferEncoding("8bit");
  EXPECT_EQ(message_.AttachmentEncoding(), "UUE");
  EXPECT_EQ(Build(), (StringList{kDate, "X-Priority: 3", "X-Library: Quillet 1.0"}));
}

TEST_F(MessageHeaders, RawHeadersComeFirstAndAreReplacedInPlace) {
  message_.RawHeaders().Add("X-Custom: 1");
  message_.RawHeaders().Add("Subject: old");
  message_.SetSubject("new");
  message_.ExtraHeaders().Add("Subject: other");
  EXPECT_EQ(Build(), (StringList{"X-Custom: 1", "Subject: new", kDate, "X-Priority: 3",
                                 "X-Library: Quillet 1.0", "Subject: other"}));
  EXPECT_EQ(message_.RawHeaders().Count(), 2);
}

TEST_F(MessageHeaders, FixedDateUsesItsOwnOffsetUntilNowIsAskedFor) {
  ScopedTimeZone berlin("Europe/Berlin");
  message_.SetDate(EncodeDateTime(2026, 7, 1, 10, 30, 0));
  EXPECT_FALSE(message_.UseNowForDate());
  EXPECT_EQ(Build()[0], "Date: Wed, 1 Jul 2026 10:30:00 +0200");
  message_.SetUseNowForDate(true);
  EXPECT_EQ(Build()[0], "Date: Wed, 9 Dec 2026 16:05:07 +0100");
}

TEST_F(MessageHeaders, InitializeIsoHandlerChangesTheLabel) {
  message_.From().SetText(Utf8ToAnsi("Иван <ivan@example.com>"));
  message_.SetSubject(Utf8ToAnsi("Привет"));
  message_.SetOnInitializeISO([](TTransfer&, char& encoding, std::string& charset) {
    EXPECT_EQ(encoding, 'Q');
    EXPECT_EQ(charset, "windows-1251");
    charset = "KOI8-R";
  });
  const StringList lines = Build();
  EXPECT_EQ(lines[0], "From: =?KOI8-R?Q?=C8=E2=E0=ED?= <ivan@example.com>");
  EXPECT_EQ(lines[1], "Subject: =?KOI8-R?Q?=CF=F0=E8=E2=E5=F2?=");
}

TEST_F(MessageHeaders, LongSubjectWithCommasKeepsEveryEncodedWordWhole) {
  message_.SetSubject(Utf8ToAnsi("Отчёт, план, итоги, сроки, бюджет, люди, задачи, риски, планы"));
  for (const std::string& line : Build()) {
    EXPECT_LE(line.size(), 78u) << line;
    size_t start = line.find("=?");
    while (start != std::string::npos) {
      const size_t end = line.find("?=", line.find('?', line.find('?', start + 2) + 1) + 1);
      ASSERT_NE(end, std::string::npos) << "cut inside an encoded word: " << line;
      start = line.find("=?", end + 2);
    }
  }
}

TEST_F(MessageHeaders, ResetEmptiesTheHeaderFields) {
  message_.From().SetText("a@example.com");
  message_.Recipients().SetAddressListText("b@example.com");
  message_.SetSubject("s");
  message_.SetDate(1000);
  message_.ExtraHeaders().Add("X-A: 1");
  message_.Body() = {"line"};
  message_.SetEncoding(TQlMessageEncoding::meUU);
  message_.ResetMessage();
  EXPECT_EQ(Build(), (StringList{kDate, "X-Priority: 3", "X-Library: Quillet 1.0"}));
  EXPECT_TRUE(message_.Body().empty());
  EXPECT_EQ(message_.Encoding(), TQlMessageEncoding::meUU);
}

struct InjectionCase {
  const char* name;
  std::function<void(TQlMessage&)> fill;
};

void PrintTo(const InjectionCase& c, std::ostream* out) { *out << c.name; }

class HeaderInjection : public MessageHeaders, public testing::WithParamInterface<InjectionCase> {};

TEST_P(HeaderInjection, IsRefused) {
  GetParam().fill(message_);
  EXPECT_THROW(message_.BuildHeaders(), EQlMessageException);
}

INSTANTIATE_TEST_SUITE_P(
    Values, HeaderInjection,
    testing::Values(
        InjectionCase{"FromAddress",
                      [](TQlMessage& m) { m.From().SetAddress("a@example.com\r\nBcc: x@example.com"); }},
        InjectionCase{"RecipientAddress",
                      [](TQlMessage& m) { m.Recipients().Add().SetAddress("a@example.com\nX: 1"); }},
        InjectionCase{"CcAddress", [](TQlMessage& m) { m.CCList().Add().SetAddress("a\rb@example.com"); }},
        InjectionCase{"ReplyToAddress",
                      [](TQlMessage& m) { m.ReplyTo().Add().SetAddress("a@example.com\r\n"); }},
        InjectionCase{"ReceiptAddress",
                      [](TQlMessage& m) { m.ReceiptRecipient().SetAddress("a@example.com\r\nX: 1"); }},
        InjectionCase{"References", [](TQlMessage& m) { m.SetReferences("<1@x>\r\nBcc: x@example.com"); }},
        InjectionCase{"SubjectLineBreakBetweenPlainWords",
                      [](TQlMessage& m) { m.SetSubject("Hi\r\nBcc: x@example.com"); }},
        InjectionCase{"SubjectUnencoded",
                      [](TQlMessage& m) {
                        m.SetSubject("\xCF\r\nX: 1");
                        m.SetOnInitializeISO([](TTransfer&, char& e, std::string&) { e = '8'; });
                      }},
        InjectionCase{"SenderName", [](TQlMessage& m) {
                        m.Sender().SetName("a\r\nX: 1");
                        m.Sender().SetAddress("s@example.com");
                      }},
        InjectionCase{"ContentTypeBareLf", [](TQlMessage& m) { m.SetContentType("text/plain\n\tx"); }},
        InjectionCase{"ContentTypeCrLfAtEnd", [](TQlMessage& m) { m.SetContentType("text/plain\r\n"); }},
        InjectionCase{"NewsGroupsItem", [](TQlMessage& m) { m.NewsGroups() = {"a\r\nX: 1"}; }},
        InjectionCase{"ExtraHeaderLine", [](TQlMessage& m) { m.ExtraHeaders().Add("X-A: 1\r\nX-B: 2"); }},
        InjectionCase{"RawHeaderLine", [](TQlMessage& m) { m.RawHeaders().Add("X-A: 1\rX-B: 2"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageHeaders, FoldsInValuesAreAccepted) {
  message_.SetReferences("<1@example.com>\r\n <2@example.com>\r\n\t<3@example.com>");
  const StringList lines = Build();
  EXPECT_EQ(StringList(lines.begin(), lines.begin() + 3),
            (StringList{"References: <1@example.com>", " <2@example.com>", "\t<3@example.com>"}));
  try {
    message_.SetReferences("<1@x>\nBcc: y");
    message_.BuildHeaders();
    FAIL() << "no error";
  } catch (const EQlMessageException& e) {
    EXPECT_EQ(e.Message(), "Line break not allowed in the References header");
  }
}

}  // namespace
}  // namespace quillet
