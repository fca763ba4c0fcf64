#include "app/SendRoad.h"

#include <regex>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/SystemLocale.h"
#include "smtp/SMTP.h"
#include "support/SendHelpers.h"
#include "support/ScriptedServer.h"

namespace quillet {
namespace {

using testing::ScriptedServer;

constexpr const char* kGreeting =
    "S: 220 mail.test ESMTP\n"
    "C: EHLO client.test\n"
    "S: 250-mail.test\n"
    "S: 250 AUTH LOGIN\n"
    "C: RSET\n"
    "S: 250 OK\n"
    "C: AUTH LOGIN\n"
    "S: 334 VXNlcm5hbWU6\n"
    "C: dXNlcg==\n"  // "user"
    "S: 334 UGFzc3dvcmQ6\n"
    "C: c2VjcmV0\n"  // "secret"
    "S: 235 2.7.0 Authentication successful\n";

constexpr const char* kEnvelopeAndData =
    "C: MAIL FROM:<vasya@example.ru>\n"
    "S: 250 OK\n"
    "C: RCPT TO:<b@example.com>\n"
    "S: 250 OK\n"
    "C: DATA\n"
    "S: 354 go ahead\n"
    "DATA>\n"
    "S: 250 accepted\n";

LetterForm Form(uint16_t port) { return testing::LoopbackLetterForm(port); }

// The header block of the data, up to the empty line.
std::string HeadersOf(const std::string& data) { return data.substr(0, data.find("\r\n\r\n") + 2); }
std::string BodyOf(const std::string& data) { return data.substr(data.find("\r\n\r\n") + 4); }

class SendRoad : public ::testing::Test {
 protected:
  SendRoad() { client_.SetHeloName("client.test"); }

  ScopedSystemLocale russian_{"ru_RU.UTF-8"};  // ANSI code page 1251
  TQlSMTP client_;
};

TEST_F(SendRoad, SendsOnePlainTextLetterAndEndsTheConversation) {
  ScriptedServer server(std::string(kGreeting) + kEnvelopeAndData + "C: QUIT\n");
  LetterForm form = Form(server.Port());
  form.lines = {"\xCF\xF0\xE8\xE2\xE5\xF2", "two\r\nthree", ".dot"};
  SendLetter(client_, form);
  ASSERT_EQ(server.Finish(), "");

  const std::string headers = HeadersOf(server.DataBytes());
  EXPECT_NE(headers.find("Content-Type: text/plain;\r\n\tcharset=\"windows-1251\"\r\n"),
            std::string::npos)
      << headers;
  EXPECT_NE(headers.find("MIME-Version: 1.0\r\n"), std::string::npos);
  EXPECT_NE(headers.find("Content-Transfer-Encoding: 8bit\r\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(headers, std::regex("\r\nMessage-ID: <[0-9a-f]{32}@example\\.ru>\r\n")))
      << headers;
  // A line holding a line break goes out as two lines; leading dots doubled.
  EXPECT_EQ(BodyOf(server.DataBytes()), "\xCF\xF0\xE8\xE2\xE5\xF2\r\ntwo\r\nthree\r\n..dot\r\n");
  EXPECT_EQ(client_.ReadTimeout(), kSendReadTimeoutMs);
  EXPECT_FALSE(client_.IsOpen());
}

TEST_F(SendRoad, EachSendHasItsOwnMessageId) {
  const std::regex id("Message-ID: <[0-9a-f]{32}@example\\.ru>");
  std::string ids[2];
  for (auto& found : ids) {
    ScriptedServer server(std::string(kGreeting) + kEnvelopeAndData + "C: QUIT\n");
    SendLetter(client_, Form(server.Port()));
    ASSERT_EQ(server.Finish(), "");
    std::smatch match;
    const std::string data = server.DataBytes();
    ASSERT_TRUE(std::regex_search(data, match, id)) << data;
    found = match.str();
  }
  EXPECT_NE(ids[0], ids[1]);
}

TEST_F(SendRoad, ASenderWithoutDomainGivesLocalhostInTheMessageId) {
  ScriptedServer server(std::string(kGreeting) +
                        "C: MAIL FROM:<vasya>\nS: 250 OK\nC: RCPT TO:<b@example.com>\nS: 250 OK\n"
                        "C: DATA\nS: 354 go ahead\nDATA>\nS: 250 accepted\nC: QUIT\n");
  LetterForm form = Form(server.Port());
  form.sender = "vasya";
  SendLetter(client_, form);
  ASSERT_EQ(server.Finish(), "");
  EXPECT_TRUE(std::regex_search(server.DataBytes(),
                                std::regex("\r\nMessage-ID: <[0-9a-f]{32}@localhost>\r\n")));
}

struct PortCase {
  const char* name;
  std::string format;  // "%d" or "%x" for the server's port, with the text around it
};

class GoodPortText : public SendRoad, public ::testing::WithParamInterface<PortCase> {};

TEST_P(GoodPortText, ReachesTheServer) {
  ScriptedServer server(std::string(kGreeting) + kEnvelopeAndData + "C: QUIT\n");
  LetterForm form = Form(server.Port());
  char text[32];
  std::snprintf(text, sizeof text, GetParam().format.c_str(), server.Port());
  form.portText = text;
  SendLetter(client_, form);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(client_.Port(), server.Port());
}

INSTANTIATE_TEST_SUITE_P(Texts, GoodPortText,
                         ::testing::Values(PortCase{"Decimal", "%d"},
                                           PortCase{"LeadingBlanks", "  %d"},
                                           PortCase{"PlusSign", "+%d"},
                                           PortCase{"DollarHex", "$%x"},
                                           PortCase{"ZeroXHex", "0x%X"}),
                         [](const ::testing::TestParamInfo<PortCase>& info) {
                           return std::string(info.param.name);
                         });

struct BadPortCase {
  const char* name;
  std::string text;
};

class BadPortText : public SendRoad, public ::testing::WithParamInterface<BadPortCase> {};

TEST_P(BadPortText, FailsBeforeConnecting) {
  LetterForm form = Form(1);
  form.portText = GetParam().text;
  try {
    SendLetter(client_, form);
    FAIL() << "no error";
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "'" + GetParam().text + "' is not a valid integer value");
  }
  EXPECT_FALSE(client_.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Texts, BadPortText,
                         ::testing::Values(BadPortCase{"Letters", "abc"},
                                           BadPortCase{"TrailingBlank", "25 "},
                                           BadPortCase{"Empty", ""},
                                           BadPortCase{"TooBig", "2147483648"}),
                         [](const ::testing::TestParamInfo<BadPortCase>& info) {
                           return std::string(info.param.name);
                         });

// A client whose QUIT always fails to go out, as when the server has already
// dropped the connection.
class QuitFailingClient : public TQlSMTP {
 public:
  void CloseSession() override {
    TQlSMTP::CloseSession();
    throw EQlSocketError(10054, "Socket Error # 10054\r\nConnection reset by peer.");
  }
};

TEST_F(SendRoad, AFailedQuitAfterAnAcceptedLetterIsNoError) {
  ScriptedServer server(std::string(kGreeting) + kEnvelopeAndData + "C: QUIT\n");
  QuitFailingClient client;
  client.SetHeloName("client.test");
  EXPECT_NO_THROW(SendLetter(client, Form(server.Port())));
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(SendRoad, ARefusedRecipientIsReportedEvenWhenQuitFails) {
  ScriptedServer server(std::string(kGreeting) +
                        "C: MAIL FROM:<vasya@example.ru>\nS: 250 OK\n"
                        "C: RCPT TO:<b@example.com>\nS: 550 5.1.1 No such user here\n"
                        "C: QUIT\n");
  QuitFailingClient client;
  client.SetHeloName("client.test");
  try {
    SendLetter(client, Form(server.Port()));
    FAIL() << "no error";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), 550);
    EXPECT_EQ(error.Message(), "5.1.1 No such user here\r\n");
  }
  EXPECT_EQ(server.Finish(), "");
  EXPECT_FALSE(client.IsOpen());
}

TEST_F(SendRoad, AnAddressThatCannotBeParsedFailsBeforeConnecting) {
  LetterForm form = Form(1);
  form.sender = "<a@b> c@d";  // an "@" after the address has closed
  EXPECT_THROW(SendLetter(client_, form), EQlEmailParseError);
  EXPECT_FALSE(client_.IsOpen());
}

}  // namespace
}  // namespace quillet
