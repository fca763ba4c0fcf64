// A reply is bounded in lines and bytes, so a server that never ends its
// reply, or sends blank lines for ever, meets an error instead of the client
// growing its memory or waiting without end.

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "smtp/SMTP.h"
#include "smtp/TCPConnection.h"
#include "support/MemoryIOHandler.h"
#include "support/ScriptedServer.h"

namespace quillet {
namespace {

using testing::MemoryIOHandler;
using testing::ScriptedServer;

constexpr const char* kTooManyLines = "Reply too long: more than 1000 lines.";
constexpr const char* kTooManyBytes = "Reply too long: more than 1048576 bytes.";

std::string Repeat(const std::string& piece, int count) {
  std::string text;
  text.reserve(piece.size() * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

// 64 lines of 16382 bytes and CR LF: exactly 1 MiB.
const std::string kLongLineText(16378, 'x');
const std::string kOneMiBReply =
    Repeat("250-" + kLongLineText + "\r\n", 63) + "250 " + kLongLineText + "\r\n";

struct LimitCase {
  const char* name;
  std::string received;
  std::string error;  // "" when the reply is accepted
};

class ReplyLimit : public ::testing::TestWithParam<LimitCase> {
 protected:
  ReplyLimit() { connection.SetIOHandler(&transport); }

  MemoryIOHandler transport;
  TQlTCPConnection connection;
};

TEST_P(ReplyLimit, BoundsTheReply) {
  const LimitCase& c = GetParam();
  transport.Feed("250 first\r\n" + c.received + "221 after\r\n");
  connection.ReadReply();
  if (c.error.empty()) {
    EXPECT_EQ(connection.ExpectReply({}), 250);
    // Nothing of the next reply was taken.
    connection.ReadReply();
    EXPECT_EQ(connection.LastReply().NumericCode(), 221);
    return;
  }
  try {
    connection.ReadReply();
    FAIL() << "reply accepted";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), 0);
    EXPECT_EQ(error.Message(), c.error);
  }
  // A refused reply leaves the last good one in place and the connection open.
  EXPECT_EQ(connection.LastReply().NumericCode(), 250);
  EXPECT_EQ(connection.LastReply().Text(), StringList{"first"});
  EXPECT_TRUE(connection.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ReplyLimit,
    ::testing::Values(
        LimitCase{"ThousandLinesAreAccepted", Repeat("250-a\r\n", 999) + "250 end\r\n", ""},
        LimitCase{"ThousandAndOneLinesAreRefused", Repeat("250-a\r\n", 1000) + "250 end\r\n",
                  kTooManyLines},
        LimitCase{"ContinuationWithoutEnd", Repeat("250-a\r\n", 3000), kTooManyLines},
        LimitCase{"BlankLinesBeforeTheReplyCount", Repeat("\r\n", 1000) + "250 late\r\n",
                  kTooManyLines},
        LimitCase{"BlankLinesInsideTheReplyCount",
                  "250-a\r\n" + Repeat("\n", 999) + "250 end\r\n", kTooManyLines},
        LimitCase{"OneMiBIsAccepted", kOneMiBReply, ""},
        LimitCase{"OneByteMoreIsRefused",
                  kOneMiBReply.substr(0, kOneMiBReply.size() - 2) + "x\r\n", kTooManyBytes},
        LimitCase{"LongBlankLinesCountTheirBytes",
                  Repeat(std::string(16000, ' ') + "\r\n", 70) + "250 late\r\n", kTooManyBytes}),
    [](const auto& info) { return std::string(info.param.name); });

// Over a real socket: the session reports the endless reply and closes; the
// server's thread ends within its limit.
struct EndlessCase {
  const char* name;
  std::string rawBeforeEhlo;  // bytes sent as the greeting
  std::string rawAfterEhlo;   // bytes sent as the EHLO reply
  std::string error;
};

class EndlessReply : public ::testing::TestWithParam<EndlessCase> {};

// The RAW step's escapes for CR and LF.
std::string Escaped(const std::string& bytes) {
  std::string text;
  for (char c : bytes) {
    if (c == '\r') text += "\\r";
    else if (c == '\n') text += "\\n";
    else text += c;
  }
  return text;
}

TEST_P(EndlessReply, IsRefusedAndTheConversationEnds) {
  const EndlessCase& c = GetParam();
  std::string script = "RAW: " + Escaped(c.rawBeforeEhlo) + "\n";
  if (!c.rawAfterEhlo.empty()) {
    script += "C: EHLO client.test\nRAW: " + Escaped(c.rawAfterEhlo) + "\n";
  }
  script += "C: QUIT\n";
  ScriptedServer server(script);
  TQlSMTP smtp;
  smtp.SetHost("127.0.0.1");
  smtp.SetPort(server.Port());
  smtp.SetHeloName("client.test");
  smtp.SetReadTimeout(5000);
  try {
    smtp.OpenSession();
    FAIL() << "session opened";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), 0);
    EXPECT_EQ(error.Message(), c.error);
  }
  EXPECT_FALSE(smtp.IsOpen());
  EXPECT_EQ(smtp.IOHandler(), nullptr);
  EXPECT_EQ(server.Finish(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Server, EndlessReply,
    ::testing::Values(
        EndlessCase{"BlankLinesInsteadOfAGreeting", Repeat("\r\n", 1500), "", kTooManyLines},
        EndlessCase{"EhloReplyThatNeverEnds", "220 mail.test\r\n",
                    Repeat("250-PIPELINING\r\n", 1500), kTooManyLines},
        EndlessCase{"EhloReplyOfLongLines", "220 mail.test\r\n",
                    Repeat("250-" + std::string(16000, 'z') + "\r\n", 70), kTooManyBytes}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
