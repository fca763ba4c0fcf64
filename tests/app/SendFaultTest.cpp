// Broken peers on the send road: a server that ends or aborts the connection,
// or stops answering, at each point of the conversation in turn. Every case ends in the
// error of that fault, leaves the client closed and without a transport, lets
// the server's thread end, and the next send on the same client succeeds.

#include <gtest/gtest.h>

#include "app/SendRoad.h"
#include "mail/Message.h"
#include "platform/Errors.h"
#include "platform/SystemLocale.h"
#include "smtp/SMTP.h"
#include "support/SendHelpers.h"
#include "support/ScriptedServer.h"

namespace quillet {
namespace {

using testing::ScriptedServer;

// The conversation of one letter, cut into the steps a fault can follow.
constexpr const char* kGreeting = "S: 220 mail.test ESMTP\n";
constexpr const char* kEhlo = "C: EHLO client.test\n";
constexpr const char* kEhloReplyStart = "S: 250-mail.test\n";
constexpr const char* kEhloReplyEnd = "S: 250 AUTH LOGIN\n";
constexpr const char* kRset = "C: RSET\nS: 250 OK\n";
constexpr const char* kAuthLogin = "C: AUTH LOGIN\n";
constexpr const char* kUserPrompt = "S: 334 VXNlcm5hbWU6\n";
constexpr const char* kUser = "C: dXNlcg==\n";  // "user"
constexpr const char* kPasswordPrompt = "S: 334 UGFzc3dvcmQ6\n";
constexpr const char* kPassword = "C: c2VjcmV0\n";  // "secret"
constexpr const char* kAuthenticated = "S: 235 2.7.0 Authentication successful\n";
constexpr const char* kMail = "C: MAIL FROM:<vasya@example.ru>\n";
constexpr const char* kRcpt = "C: RCPT TO:<b@example.com>\n";
constexpr const char* kData = "C: DATA\n";
constexpr const char* kGoAhead = "S: 354 go ahead\n";
constexpr const char* kMessage = "DATA>\n";
constexpr const char* kAccepted = "S: 250 accepted\n";
constexpr const char* kOk = "S: 250 OK\n";

std::string Join(std::initializer_list<const char*> steps) {
  std::string script;
  for (const char* step : steps) script += step;
  return script;
}

const std::string kUpToRset = Join({kGreeting, kEhlo, kEhloReplyStart, kEhloReplyEnd});
const std::string kUpToMail = kUpToRset + Join({kRset, kAuthLogin, kUserPrompt, kUser,
                                                kPasswordPrompt, kPassword, kAuthenticated});
const std::string kUpToData = kUpToMail + Join({kMail, kOk, kRcpt, kOk});
const std::string kWholeLetter = kUpToData + Join({kData, kGoAhead, kMessage, kAccepted});
const std::string kGoodConversation = kWholeLetter + "C: QUIT\n";

LetterForm Form(uint16_t port) { return testing::LoopbackLetterForm(port); }

// What a send ended in: "delivered", "closed" (the peer's close as the
// connection reports it: read as a graceful close, or a write racing the close
// failing with reset, aborted or shut down), "timeout", or a description of
// anything else.
template <class Send>
std::string Outcome(Send send) {
  try {
    send();
    return "delivered";
  } catch (const EQlConnClosedGracefully& error) {
    return error.Message() == "Connection Closed Gracefully." ? "closed" : error.Message();
  } catch (const EQlSocketError& error) {
    const int32_t number = error.SocketErrorNumber();
    if (number == 10053 || number == 10054 || number == 10058) return "closed";
    return "socket error " + std::to_string(number) + ": " + error.Message();
  } catch (const EQlReadTimeout& error) {
    return error.Message() == "Read Timeout" ? "timeout" : error.Message();
  } catch (const Exception& error) {
    return "unexpected error: " + error.Message();
  }
}

struct FaultCase {
  const char* name;
  std::string script;  // the conversation up to and including the fault
  const char* outcome;
};

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; }

class SendFault : public ::testing::TestWithParam<FaultCase> {
 protected:
  SendFault() { client_.SetHeloName("client.test"); }

  void ExpectClosedAndReusable() {
    EXPECT_FALSE(client_.IsOpen());
    // Released by the close; a reset that races the connect itself fails the
    // connect, and the client then keeps its transport, closed, for the next one.
    const TQlIOHandler* handler = client_.IOHandler();
    EXPECT_TRUE(handler == nullptr || !handler->HasOpenSocket());
    ScriptedServer good(kGoodConversation);
    EXPECT_NO_THROW(SendLetter(client_, Form(good.Port())));
    EXPECT_EQ(good.Finish(), "");
  }

  ScopedSystemLocale russian_{"ru_RU.UTF-8"};
  TQlSMTP client_;
};

// ---- the server ends the connection ----

class ServerCloses : public SendFault {};

TEST_P(ServerCloses, TheUserSeesTheCloseAndCanSendAgain) {
  const FaultCase& c = GetParam();
  ScriptedServer server(c.script + "CLOSE\n");
  LetterForm form = Form(server.Port());
  if (std::string(c.name) == "InTheMiddleOfTheMessage") {
    // More than the socket buffers hold, so the close meets the client writing.
    form.lines.assign(40000, std::string(100, 'm'));
  }
  EXPECT_EQ(Outcome([&] { SendLetter(client_, form); }), c.outcome);
  EXPECT_EQ(server.Finish(), "");
  ExpectClosedAndReusable();
}

INSTANTIATE_TEST_SUITE_P(
    Conversation, ServerCloses,
    ::testing::Values(
        FaultCase{"BeforeTheGreeting", "", "closed"},
        FaultCase{"AfterTheGreeting", kGreeting, "closed"},
        FaultCase{"InsideTheEhloReply", Join({kGreeting, kEhlo, kEhloReplyStart}), "closed"},
        FaultCase{"InsideAnEhloReplyLine",
                  Join({kGreeting, kEhlo, kEhloReplyStart, "RAW: 250-PIPELI\n"}), "closed"},
        FaultCase{"AfterRset", kUpToRset + "C: RSET\n", "closed"},
        FaultCase{"AfterAuthLogin", kUpToRset + Join({kRset, kAuthLogin}), "closed"},
        FaultCase{"AfterTheUserName", kUpToRset + Join({kRset, kAuthLogin, kUserPrompt, kUser}),
                  "closed"},
        FaultCase{"AfterThePassword", kUpToMail.substr(0, kUpToMail.size() -
                                                              std::string(kAuthenticated).size()),
                  "closed"},
        FaultCase{"AfterMail", kUpToMail + kMail, "closed"},
        FaultCase{"AfterRcpt", kUpToMail + Join({kMail, kOk, kRcpt}), "closed"},
        FaultCase{"AfterData", kUpToData + kData, "closed"},
        FaultCase{"InTheMiddleOfTheMessage", kUpToData + Join({kData, kGoAhead}), "closed"},
        FaultCase{"BeforeTheFinalReply", kUpToData + Join({kData, kGoAhead, kMessage}), "closed"},
        // The letter was accepted: a QUIT that cannot go out is no error.
        FaultCase{"AfterTheFinalReply", kWholeLetter, "delivered"}),
    CaseName);

// ---- the server aborts the connection ----

// A reset read is an error that leaves the socket open; the close that
// follows must still end it, and the user sees the reset, not the failed QUIT.
class ServerResets : public SendFault {};

TEST_P(ServerResets, TheUserSeesTheResetAndCanSendAgain) {
  const FaultCase& c = GetParam();
  ScriptedServer server(c.script + "RESET\n");
  EXPECT_EQ(Outcome([&] { SendLetter(client_, Form(server.Port())); }), c.outcome);
  EXPECT_EQ(server.Finish(), "");
  ExpectClosedAndReusable();
}

INSTANTIATE_TEST_SUITE_P(
    Conversation, ServerResets,
    ::testing::Values(FaultCase{"BeforeTheGreeting", "", "closed"},
                      FaultCase{"InsideTheEhloReply", Join({kGreeting, kEhlo, kEhloReplyStart}),
                                "closed"},
                      FaultCase{"AfterMail", kUpToMail + kMail, "closed"},
                      FaultCase{"BeforeTheFinalReply",
                                kUpToData + Join({kData, kGoAhead, kMessage}), "closed"}),
    CaseName);

// ---- the server stops answering ----

// The send road with a short wait for replies: open, deliver, close whatever
// happened, Deliver's error first.
void SendWithShortWait(TQlSMTP& client, uint16_t port) {
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  client.SetAuthenticationType(TAuthenticationType::atLogin);
  client.SetUsername("user");
  client.SetPassword("secret");
  client.SetReadTimeout(300);
  TQlMessage message;
  message.From().SetAddress("vasya@example.ru");
  message.Recipients().Add().SetAddress("b@example.com");
  message.SetBody({"one"});
  client.OpenSession(5000);
  try {
    client.Deliver(message);
  } catch (...) {
    try {
      client.CloseSession();
    } catch (...) {
    }
    throw;
  }
  client.CloseSession();
}

class ServerFallsSilent : public SendFault {};

TEST_P(ServerFallsSilent, TheWaitEndsAndQuitStillGoesOut) {
  const FaultCase& c = GetParam();
  // SILENT ends as soon as the client sends: here its QUIT after the time-out.
  ScriptedServer server(c.script + "SILENT 5000\nC: QUIT\n");
  EXPECT_EQ(Outcome([&] { SendWithShortWait(client_, server.Port()); }), c.outcome);
  EXPECT_EQ(server.Finish(), "");
  ExpectClosedAndReusable();
}

INSTANTIATE_TEST_SUITE_P(
    Conversation, ServerFallsSilent,
    ::testing::Values(
        FaultCase{"BeforeTheGreeting", "", "timeout"},
        FaultCase{"InsideTheEhloReply", Join({kGreeting, kEhlo, kEhloReplyStart}), "timeout"},
        FaultCase{"InsideAnEhloReplyLine",
                  Join({kGreeting, kEhlo, kEhloReplyStart, "RAW: 250-PIPELI\n"}), "timeout"},
        FaultCase{"AfterRset", kUpToRset + "C: RSET\n", "timeout"},
        FaultCase{"AfterAuthLogin", kUpToRset + Join({kRset, kAuthLogin}), "timeout"},
        FaultCase{"AfterTheUserName", kUpToRset + Join({kRset, kAuthLogin, kUserPrompt, kUser}),
                  "timeout"},
        FaultCase{"AfterThePassword", kUpToMail.substr(0, kUpToMail.size() -
                                                               std::string(kAuthenticated).size()),
                  "timeout"},
        FaultCase{"AfterMail", kUpToMail + kMail, "timeout"},
        FaultCase{"AfterRcpt", kUpToMail + Join({kMail, kOk, kRcpt}), "timeout"},
        FaultCase{"AfterData", kUpToData + kData, "timeout"},
        FaultCase{"BeforeTheFinalReply", kUpToData + Join({kData, kGoAhead, kMessage}),
                  "timeout"}),
    CaseName);

}  // namespace
}  // namespace quillet
