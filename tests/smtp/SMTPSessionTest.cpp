// The SMTP conversation against a scripted peer on the loopback interface.
// Expected client lines follow RFC 5321 (e.g. section 4.1.2: no blank after
// "MAIL FROM:"), and the AUTH LOGIN values are the Base64 of "user" and
// "secret".

#include "smtp/SMTP.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "platform/Errors.h"
#include "support/SendHelpers.h"
#include "support/ScriptedServer.h"

namespace quillet {
namespace {

using testing::ScriptedServer;

constexpr const char* kGreetingAndEhlo =
    "S: 220 mail.test ESMTP\n"
    "C: EHLO client.test\n";
constexpr const char* kEhloWithLogin =
    "S: 250-mail.test\n"
    "S: 250-8BITMIME\n"
    "S: 250 AUTH LOGIN PLAIN\n";
constexpr const char* kEhloWithoutAuth =
    "S: 250-mail.test\n"
    "S: 250 8BITMIME\n";
constexpr const char* kLogin =
    "C: AUTH LOGIN\n"
    "S: 334 VXNlcm5hbWU6\n"
    "C: dXNlcg==\n"
    "S: 334 UGFzc3dvcmQ6\n"
    "C: c2VjcmV0\n"
    "S: 235 2.7.0 Authentication successful\n";

std::unique_ptr<TQlMessage> Letter(const StringList& to = {"b@example.com"}) {
  auto message = std::make_unique<TQlMessage>();
  message->From().SetAddress("a@example.com");
  for (const auto& address : to) message->Recipients().Add().SetAddress(address);
  message->SetSubject("Hello");
  message->SetBody({"Hi there.", ".", "Bye."});
  return message;
}

// The body part of the data: what follows the empty line after the headers.
std::string BodyOf(const std::string& data) {
  const size_t end = data.find("\r\n\r\n");
  return end == std::string::npos ? std::string("<no header end>") : data.substr(end + 4);
}

class Session : public ::testing::Test {
 protected:
  void Connect(ScriptedServer& server) {
    smtp.SetHost("127.0.0.1");
    smtp.SetPort(server.Port());
    smtp.SetHeloName("client.test");
    smtp.SetReadTimeout(5000);
    smtp.SetAuthenticationType(TAuthenticationType::atLogin);
    smtp.SetUsername("user");
    smtp.SetPassword("secret");
  }
  // As the send command does it: open, deliver, and close whatever happened.
  void Send(ScriptedServer& server, TQlMessage& message) {
    Connect(server);
    testing::OpenDeliverClose(smtp, message);
  }

  TQlSMTP smtp;
};

TEST_F(Session, LetterWithLogin) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + kEhloWithLogin +
                        "C: RSET\n"
                        "S: 250 2.0.0 Ok\n" +
                        kLogin +
                        "C: MAIL FROM:<a@example.com>\n"
                        "S: 250 2.1.0 Ok\n"
                        "C: RCPT TO:<b@example.com>\n"
                        "S: 250 2.1.5 Ok\n"
                        "C: DATA\n"
                        "S: 354 End data with <CR><LF>.<CR><LF>\n"
                        "DATA>\n"
                        "S: 250 2.0.0 Ok: queued\n"
                        "C: QUIT\n");
  std::vector<std::string> trace;
  smtp.SetOnLineTrace([&](char direction, const std::string& line) {
    if (line.rfind("334", 0) == 0 || line == "***" ) trace.push_back(std::string(1, direction) + line);
  });
  auto message = Letter();
  Send(server, *message);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(BodyOf(server.DataBytes()), "Hi there.\r\n..\r\nBye.\r\n");
  EXPECT_NE(server.DataBytes().find("Subject: Hello\r\n"), std::string::npos);
  EXPECT_EQ(trace, (std::vector<std::string>{"S334 VXNlcm5hbWU6", "C***", "S334 UGFzc3dvcmQ6",
                                             "C***"}));
  EXPECT_FALSE(smtp.IsOpen());
  EXPECT_EQ(smtp.IOHandler(), nullptr);
}

TEST_F(Session, StatusTextsFollowTheConversation) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + kEhloWithoutAuth +
                        "C: RSET\nS: 250 Ok\n"
                        "C: MAIL FROM:<a@example.com>\nS: 250 Ok\n"
                        "C: RCPT TO:<b@example.com>\nS: 250 Ok\n"
                        "C: DATA\nS: 354 go\nDATA>\nS: 250 Ok\n"
                        "C: QUIT\n");
  std::vector<std::string> texts;
  smtp.SetOnStatus(
      [&](TQlComponent&, TQlStatus, const std::string& text) { texts.push_back(text); });
  auto message = Letter();
  Connect(server);
  smtp.SetHost("localhost");
  smtp.OpenSession();
  smtp.Deliver(*message);
  smtp.CloseSession();
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(texts, (std::vector<std::string>{"Resolving hostname localhost.",
                                             "Connecting to 127.0.0.1.", "Connected.",
                                             "Encoding text", "Disconnecting.", "Disconnected."}));
}

struct EhloCase {
  const char* name;
  std::string reply;  // script lines answering EHLO, and HELO when it follows
  StringList schemes;
  bool loginOffered;
};

class Ehlo : public Session, public ::testing::WithParamInterface<EhloCase> {};

TEST_P(Ehlo, OfferedMechanismsAreCollected) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + GetParam().reply + "C: QUIT\n");
  Connect(server);
  smtp.OpenSession();
  EXPECT_EQ(smtp.ServerAuthSchemes(), GetParam().schemes);
  EXPECT_EQ(smtp.SchemeOffered(TAuthenticationType::atLogin), GetParam().loginOffered);
  smtp.CloseSession();
  EXPECT_EQ(server.Finish(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Greeting, Ehlo,
    ::testing::Values(
        EhloCase{"AuthEqualsLogin", "S: 250-mail.test\nS: 250 AUTH=LOGIN\n", {"LOGIN"}, true},
        EhloCase{"LowerCaseLogin", "S: 250-mail.test\nS: 250 auth login plain\n",
                 {"LOGIN", "PLAIN"}, true},
        EhloCase{"PlainAndCramMd5Only", "S: 250-mail.test\nS: 250 AUTH PLAIN CRAM-MD5\n",
                 {"PLAIN", "CRAM-MD5"}, false},
        EhloCase{"RepeatedAuthLines",
                 "S: 250-mail.test\nS: 250-AUTH LOGIN PLAIN\nS: 250-AUTH=LOGIN\n"
                 "S: 250-AUTHENTICATE X\nS: 250-X-AUTH CRAM-MD5\nS: 250 AUTH=LOGIN PLAIN\n",
                 {"LOGIN", "PLAIN"}, true},
        EhloCase{"NoAuthLine", kEhloWithoutAuth, {}, false},
        EhloCase{"Ehlo502FallsBackToHelo",
                 "S: 502 5.5.2 Error: command not recognized\nC: HELO client.test\nS: 250 mail.test\n",
                 {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SessionSettings, EhloAndLoginSwitchEachOther) {
  TQlSMTP smtp;
  EXPECT_EQ(smtp.Port(), 25);
  smtp.SetAuthenticationType(TAuthenticationType::atLogin);
  smtp.SetUseEhlo(false);
  EXPECT_EQ(smtp.AuthenticationType(), TAuthenticationType::atNone);
  smtp.SetAuthenticationType(TAuthenticationType::atLogin);
  EXPECT_TRUE(smtp.UseEhlo());
}

TEST_F(Session, WithoutEhloOnlyHeloIsSent) {
  ScriptedServer server("S: 220 mail.test\nC: HELO client.test\nS: 250 mail.test\nC: QUIT\n");
  Connect(server);
  smtp.SetUseEhlo(false);
  smtp.OpenSession();
  smtp.CloseSession();
  EXPECT_EQ(server.Finish(), "");
}

struct RefusalCase {
  const char* name;
  std::string script;  // the whole conversation
  int32_t code;
  std::string message;
};

class Refusal : public Session, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, EndsTheConversationWithQuit) {
  ScriptedServer server(GetParam().script);
  auto message = Letter({"b@example.com", "c@example.com"});
  try {
    Send(server, *message);
    FAIL() << "the refusal was not reported";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), GetParam().code);
    EXPECT_EQ(error.Message(), GetParam().message);
  }
  EXPECT_FALSE(smtp.AuthDone());
  EXPECT_EQ(server.Finish(), "");
}

const std::string kUpToRset = std::string(kGreetingAndEhlo) + kEhloWithLogin + "C: RSET\nS: 250 Ok\n";
const std::string kUpToMail = kUpToRset + kLogin;
const std::string kUpToData = kUpToMail +
                              "C: MAIL FROM:<a@example.com>\nS: 250 Ok\n"
                              "C: RCPT TO:<b@example.com>\nS: 250 Ok\n"
                              "C: RCPT TO:<c@example.com>\nS: 251 User not local; will forward\n";

INSTANTIATE_TEST_SUITE_P(
    CommandTable, Refusal,
    ::testing::Values(
        RefusalCase{"Greeting", "S: 554 5.3.2 No service here\nC: QUIT\n", 554,
                    "5.3.2 No service here\r\n"},
        RefusalCase{"GreetingMultiLine", "S: 421-busy\nS: 421 try later\nC: QUIT\n", 421,
                    "busy\r\ntry later\r\n"},
        RefusalCase{"Helo",
                    std::string(kGreetingAndEhlo) +
                        "S: 500 unknown\nC: HELO client.test\nS: 501 bad name\nC: QUIT\n",
                    501, "bad name\r\n"},
        RefusalCase{"AuthLogin", kUpToRset + "C: AUTH LOGIN\nS: 504 5.5.4 Unrecognized\nC: QUIT\n",
                    504, "5.5.4 Unrecognized\r\n"},
        RefusalCase{"Username",
                    kUpToRset + "C: AUTH LOGIN\nS: 334 VXNlcm5hbWU6\nC: dXNlcg==\n"
                                "S: 535 5.7.8 No such user\nC: QUIT\n",
                    535, "5.7.8 No such user\r\n"},
        RefusalCase{"Password",
                    kUpToRset + "C: AUTH LOGIN\nS: 334 VXNlcm5hbWU6\nC: dXNlcg==\n"
                                "S: 334 UGFzc3dvcmQ6\nC: c2VjcmV0\n"
                                "S: 535 5.7.8 Authentication failed\nC: QUIT\n",
                    535, "5.7.8 Authentication failed\r\n"},
        RefusalCase{"MailFrom",
                    kUpToMail + "C: MAIL FROM:<a@example.com>\nS: 553 sender rejected\nC: QUIT\n",
                    553, "sender rejected\r\n"},
        RefusalCase{"SecondRcptNoData",
                    kUpToMail + "C: MAIL FROM:<a@example.com>\nS: 250 Ok\n"
                                "C: RCPT TO:<b@example.com>\nS: 250 Ok\n"
                                "C: RCPT TO:<c@example.com>\nS: 550 5.1.1 No such user\nC: QUIT\n",
                    550, "5.1.1 No such user\r\n"},
        RefusalCase{"Data", kUpToData + "C: DATA\nS: 554 no valid recipients\nC: QUIT\n", 554,
                    "no valid recipients\r\n"},
        RefusalCase{"FinalDot",
                    kUpToData + "C: DATA\nS: 354 go\nDATA>\nS: 552 too big\nC: QUIT\n", 552,
                    "too big\r\n"},
        RefusalCase{"MalformedCode",
                    kUpToData + "C: DATA\nS: 35x go\nC: QUIT\n", 0, "go\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Session, SecondLetterOnTheSameConnectionDoesNotLogInAgain) {
  const std::string letter =
      "C: MAIL FROM:<a@example.com>\nS: 250 Ok\n"
      "C: RCPT TO:<b@example.com>\nS: 250 Ok\n"
      "C: DATA\nS: 354 go\nDATA>\nS: 250 Ok\n";
  ScriptedServer server(kUpToMail + letter + "C: RSET\nS: 250 Ok\n" + letter + "C: QUIT\n");
  auto first = Letter();
  auto second = Letter();
  Connect(server);
  smtp.OpenSession();
  smtp.Deliver(*first);
  EXPECT_TRUE(smtp.AuthDone());
  smtp.Deliver(*second);
  smtp.CloseSession();
  EXPECT_FALSE(smtp.AuthDone());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(Session, EnvelopeNamesEveryRecipientInListOrder) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + kEhloWithoutAuth +
                        "C: RSET\nS: 250 Ok\n"
                        "C: MAIL FROM:<a@example.com>\nS: 250 Ok\n"
                        "C: RCPT TO:<b@example.com>\nS: 250 Ok\n"
                        "C: RCPT TO:<c@example.com>\nS: 251 will forward\n"
                        "C: RCPT TO:<d@example.com>\nS: 250 Ok\n"
                        "C: RCPT TO:<cc@example.com>\nS: 250 Ok\n"
                        "C: RCPT TO:<bcc@example.com>\nS: 250 Ok\n"
                        "C: DATA\nS: 354 go\nDATA>\nS: 250 Ok\n"
                        "C: QUIT\n");
  auto message = Letter({"b@example.com", "c@example.com", "d@example.com"});
  message->CCList().Add().SetAddress("cc@example.com");
  message->BccList().Add().SetAddress("bcc@example.com");
  Send(server, *message);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(server.DataBytes().find("bcc@example.com"), std::string::npos);
}

struct MailAgentCase {
  const char* name;
  std::string agent;
  std::string existing;  // X-Mailer value before sending, "" for none
  std::string expected;  // after sending, "" for none
};

class MailAgent : public Session, public ::testing::WithParamInterface<MailAgentCase> {};

TEST_P(MailAgent, SetsTheXMailerHeader) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + kEhloWithoutAuth +
                        "C: RSET\nS: 250 Ok\n"
                        "C: MAIL FROM:<a@example.com>\nS: 250 Ok\n"
                        "C: RCPT TO:<b@example.com>\nS: 250 Ok\n"
                        "C: DATA\nS: 354 go\nDATA>\nS: 250 Ok\n"
                        "C: QUIT\n");
  auto message = Letter();
  if (!GetParam().existing.empty()) message->ExtraHeaders().SetHeader("X-Mailer", GetParam().existing);
  smtp.SetMailAgent(GetParam().agent);
  Send(server, *message);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(message->ExtraHeaders().HeaderValue("X-Mailer"), GetParam().expected);
  if (GetParam().expected.empty()) {
    EXPECT_EQ(server.DataBytes().find("X-Mailer"), std::string::npos);
  } else {
    EXPECT_NE(server.DataBytes().find("X-Mailer: " + GetParam().expected + "\r\n"),
              std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, MailAgent,
    ::testing::Values(MailAgentCase{"Added", "Quillet 1.0", "", "Quillet 1.0"},
                      MailAgentCase{"Replaced", "Quillet 1.0", "Old Mailer", "Quillet 1.0"},
                      MailAgentCase{"Removed", "", "Old Mailer", ""},
                      MailAgentCase{"NoneStaysNone", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Session, SilentServerRunsIntoTheReadTimeout) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + "SILENT 3000\nC: QUIT\n");
  Connect(server);
  smtp.SetReadTimeout(300);
  EXPECT_THROW(smtp.OpenSession(), EQlReadTimeout);
  EXPECT_FALSE(smtp.IsOpen());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(Session, ServerClosingInTheMiddleOfALine) {
  ScriptedServer server(std::string(kGreetingAndEhlo) +
                        "RAW: 250-mail.test\\r\\n250-PIPELI\n"
                        "CLOSE\n");
  Connect(server);
  EXPECT_THROW(smtp.OpenSession(), EQlConnClosedGracefully);
  EXPECT_FALSE(smtp.IsOpen());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(Session, AbortFromAnotherThreadEndsAWaitWithoutLimit) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + "SILENT 5000\n");
  Connect(server);
  smtp.SetReadTimeout(0);
  std::promise<void> ehloSent;
  smtp.SetOnLineTrace([&](char direction, const std::string& line) {
    if (direction == 'C' && line == "EHLO client.test") ehloSent.set_value();
  });
  auto session = std::async(std::launch::async, [&] { smtp.OpenSession(); });
  ASSERT_EQ(ehloSent.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  smtp.Abort();
  ASSERT_EQ(session.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_THROW(session.get(), EQlException);
  EXPECT_FALSE(smtp.IsOpen());
  smtp.Abort();  // no transport any more: nothing happens
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(Session, OpeningTwiceLeavesTheOpenConversationAlone) {
  ScriptedServer server(std::string(kGreetingAndEhlo) + kEhloWithoutAuth + "C: QUIT\n");
  Connect(server);
  smtp.OpenSession();
  try {
    smtp.OpenSession();
    FAIL() << "second open accepted";
  } catch (const EQlAlreadyConnected& error) {
    EXPECT_EQ(error.Message(), "Already connected.");
  }
  EXPECT_TRUE(smtp.IsOpen());
  smtp.CloseSession();
  EXPECT_EQ(server.Finish(), "");
}

}  // namespace
}  // namespace quillet
