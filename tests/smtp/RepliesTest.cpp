// Numeric replies read off the line connection, checked against the codes a
// command accepts; the reply record itself.

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "smtp/RFCReply.h"
#include "smtp/SimpleBuffer.h"
#include "smtp/TCPConnection.h"
#include "support/MemoryIOHandler.h"

namespace quillet {
namespace {

using testing::MemoryIOHandler;

struct ReplyCase {
  const char* name;
  std::string received;  // the server's lines, CR LF ended
  TQlReplyCodes expected;
  int32_t code;           // NumericCode, or ErrorReplyCode when refused
  StringList text;        // reply text lines
  bool refused;
  std::string leftUnread;
};

class Replies : public ::testing::TestWithParam<ReplyCase> {
 protected:
  Replies() { connection.SetIOHandler(&transport); }

  MemoryIOHandler transport;
  TQlTCPConnection connection;
};

TEST_P(Replies, ReadAndChecked) {
  const ReplyCase& c = GetParam();
  transport.Feed(c.received);
  if (c.refused) {
    try {
      connection.ExpectReply(c.expected);
      FAIL() << "reply accepted";
    } catch (const EQlProtocolReplyError& error) {
      EXPECT_EQ(error.ErrorReplyCode(), c.code);
      EXPECT_EQ(error.Message(), JoinLines(c.text));
    }
  } else {
    EXPECT_EQ(connection.ExpectReply(c.expected), c.code);
  }
  EXPECT_EQ(connection.LastReply().NumericCode(), c.code);
  EXPECT_EQ(connection.LastReply().Text(), c.text);
  EXPECT_EQ(std::string(connection.PendingInput().Data(), connection.PendingInput().Size()),
            c.leftUnread);
}

INSTANTIATE_TEST_SUITE_P(
    ReplyTable, Replies,
    ::testing::Values(
        ReplyCase{"OneLine", "220 ready\r\n", {220}, 220, {"ready"}, false, ""},
        ReplyCase{"MultiLineEndsAtCodeAndBlank", "250-a\r\n250-b\r\n250 c\r\n221 next\r\n",
                  {250}, 250, {"a", "b", "c"}, false, "221 next\r\n"},
        ReplyCase{"LeadingEmptyLineSkipped", "\r\n220 ready\r\n", {220}, 220, {"ready"}, false, ""},
        ReplyCase{"EmptyLineInsideSkipped", "250-a\r\n\r\n250 c\r\n", {250}, 250, {"a", "c"},
                  false, ""},
        ReplyCase{"OtherCodeDoesNotEndIt", "250-a\r\n251 b\r\n250 c\r\n", {}, 250,
                  {"a", "b", "c"}, false, ""},
        ReplyCase{"ShortLineEndsIt", "250-a\r\n25\r\n", {}, 250, {"a", ""}, false, ""},
        ReplyCase{"EndMarkIgnoresCase", "25A-a\r\n25a b\r\n", {}, 0, {"a", "b"}, false, ""},
        ReplyCase{"CodeWithoutText", "250\r\n", {250}, 250, {""}, false, ""},
        ReplyCase{"Refused", "550 mailbox unavailable\r\n", {250}, 550, {"mailbox unavailable"},
                  true, ""},
        ReplyCase{"RefusedMultiLine", "554-no\r\n554 go away\r\n", {250, 251}, 554,
                  {"no", "go away"}, true, ""},
        ReplyCase{"AnyReplyAccepted", "500 command not recognized\r\n", {}, 500,
                  {"command not recognized"}, false, ""},
        ReplyCase{"CodeNotANumber", "25x ok\r\n", {250}, 0, {"ok"}, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Replies, ExchangeWritesTheLineThenChecksTheReply) {
  MemoryIOHandler transport;
  TQlTCPConnection connection;
  connection.SetIOHandler(&transport);
  transport.Feed("354 go ahead\r\n");
  EXPECT_EQ(connection.ExchangeCommand("DATA", 354), 354);
  EXPECT_EQ(transport.Sent(), "DATA\r\n");
}

TEST(Replies, FailedReadKeepsThePreviousReply) {
  MemoryIOHandler transport;
  TQlTCPConnection connection;
  connection.SetIOHandler(&transport);
  transport.Feed("220 hello\r\n250-half\r\n");
  transport.FeedClose();
  connection.ExpectReply({220});
  EXPECT_THROW(connection.ExpectReply({250}), EQlConnClosedGracefully);
  EXPECT_EQ(connection.LastReply().NumericCode(), 220);
  EXPECT_EQ(connection.LastReply().Text(), StringList{"hello"});
}

TEST(ReplyRecord, CodeSettersFollowEachOther) {
  TQlRFCReply reply;
  reply.SetTextCode("421");
  EXPECT_EQ(reply.NumericCode(), 421);
  reply.SetTextCode("abc");
  EXPECT_EQ(reply.NumericCode(), 0);
  reply.SetNumericCode(0);
  EXPECT_EQ(reply.TextCode(), "abc");
  reply.SetNumericCode(354);
  EXPECT_EQ(reply.TextCode(), "354");
  reply.ClearReply();
  EXPECT_EQ(reply.TextCode(), "");
  EXPECT_EQ(reply.NumericCode(), 0);
}

TEST(ManagedBuffer, TakingMoreThanIsUnreadChangesNothing) {
  TQlManagedBuffer buffer;
  buffer.Append("abcdef", 6);
  EXPECT_EQ(buffer.TakeText(2), "ab");
  EXPECT_THROW(buffer.TakeText(5), EQlNotEnoughDataInBuffer);
  EXPECT_THROW(buffer.DropBytes(5), EQlNotEnoughDataInBuffer);
  EXPECT_EQ(std::string(buffer.Data(), buffer.Size()), "cdef");
}

TEST(ManagedBuffer, TakenPrefixIsDiscardedAtTheThresholdOrWhenEmpty) {
  TQlManagedBuffer buffer;
  buffer.SetCompactThreshold(4);
  int32_t taken = 0;
  buffer.SetOnBytesTaken([&](TQlSimpleBuffer&, int32_t count) { taken += count; });
  buffer.Append("0123456789", 10);
  buffer.DropBytes(3);
  EXPECT_EQ(buffer.ConsumedCount(), 3);
  buffer.DropBytes(1);
  EXPECT_EQ(buffer.ConsumedCount(), 0);
  EXPECT_EQ(std::string(buffer.Data(), buffer.Size()), "456789");
  buffer.Append("ab", 2);
  buffer.DropBytes(1);
  EXPECT_EQ(buffer.TakeText(7), "56789ab");
  EXPECT_EQ(buffer.ConsumedCount(), 0);
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(taken, 12);
}

}  // namespace
}  // namespace quillet
