// The line connection over an in-memory transport: line ends, line length,
// the peer's close, time-outs, partial and failing sends.

#include "smtp/TCPConnection.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/Errors.h"
#include "support/MemoryIOHandler.h"

namespace quillet {
namespace {

using testing::MemoryIOHandler;

class LineConnection : public ::testing::Test {
 protected:
  LineConnection() { connection.SetIOHandler(&transport); }

  MemoryIOHandler transport;
  TQlTCPConnection connection;
};

struct LineEndCase {
  const char* name;
  std::string received;
  std::string line;
};

class LineEnds : public LineConnection, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(LineEnds, LineComesBackWithoutItsEnd) {
  transport.Feed(GetParam().received);
  EXPECT_EQ(connection.ReadTextLine(), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, LineEnds,
    ::testing::Values(LineEndCase{"CrLf", "text\r\n", "text"},
                      LineEndCase{"BareLf", "text\n", "text"},
                      LineEndCase{"CrCrLfKeepsOneCr", "text\r\r\n", "text\r"},
                      LineEndCase{"LoneCrIsNoLineEnd", "a\rb\r\n", "a\rb"},
                      LineEndCase{"EmptyLine", "\r\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LineConnection, TwoLinesOfOneReceiveNeedNoSecondReceive) {
  transport.Feed("first\r\nsecond\r\n");
  EXPECT_EQ(connection.ReadTextLine(), "first");
  EXPECT_EQ(connection.ReadTextLine(), "second");
  EXPECT_EQ(transport.ReceiveCalls(), 1);
}

TEST_F(LineConnection, LineArrivingByteByByteIsJoined) {
  for (char c : std::string("250 ok\r\n")) transport.Feed(std::string(1, c));
  EXPECT_EQ(connection.ReadTextLine(), "250 ok");
}

struct LengthCase {
  const char* name;
  std::string received;
  bool accepted;
};

class LineLength : public LineConnection, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(LineLength, LimitCountsBytesBeforeTheLfCrIncluded) {
  transport.Feed(GetParam().received);
  if (GetParam().accepted) {
    const std::string line = connection.ReadTextLine();
    EXPECT_EQ(line.size() + 2, GetParam().received.size());
    return;
  }
  EXPECT_THROW(connection.ReadTextLine(), EQlReadLnMaxLineLengthExceeded);
  EXPECT_EQ(connection.PendingInput().Size(), static_cast<int32_t>(GetParam().received.size()));
  EXPECT_TRUE(connection.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Reading, LineLength,
    ::testing::Values(
        LengthCase{"Exactly16384WithCr", std::string(16383, 'x') + "\r\n", true},
        LengthCase{"Over16385WithCr", std::string(16384, 'x') + "\r\n", false},
        LengthCase{"Over16385WithoutLfYet", std::string(16385, 'x'), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LineConnection, NoLimitAcceptsAnyLength) {
  connection.SetMaxLineLength(0);
  transport.Feed(std::string(40000, 'y') + "\r\n");
  EXPECT_EQ(connection.ReadTextLine().size(), 40000u);
}

TEST_F(LineConnection, SplitHandsOutAnOverlongLineInPieces) {
  connection.SetMaxLineAction(TQlMaxLineAction::maSplit);
  transport.Feed(std::string(20000, 'z') + "\r\n");
  EXPECT_EQ(connection.ReadTextLine(), std::string(16384, 'z'));
  EXPECT_EQ(connection.ReadTextLine(), std::string(3616, 'z'));
}

TEST_F(LineConnection, CompleteLineBeforeTheCloseIsStillRead) {
  transport.Feed("221 bye\r\n");
  transport.FeedClose();
  EXPECT_EQ(connection.ReadTextLine(), "221 bye");
  EXPECT_THROW(connection.ReadTextLine(), EQlConnClosedGracefully);
  EXPECT_FALSE(connection.IsOpen());
}

TEST_F(LineConnection, CloseInTheMiddleOfALineNeverReturnsThePart) {
  int disconnected = 0;
  connection.SetOnDisconnected([&](TQlTCPConnection&) { ++disconnected; });
  transport.Feed("250-par");
  transport.FeedClose();
  EXPECT_EQ(connection.ReadTextLine(), "");
  EXPECT_THROW(connection.ReadTextLine(), EQlConnClosedGracefully);
  EXPECT_EQ(disconnected, 1);
  EXPECT_EQ(transport.CloseCalls(), 1);
}

TEST_F(LineConnection, WaitThatRunsOutKeepsThePartialLine) {
  connection.SetReadTimeout(300);
  transport.Feed("220 part");
  EXPECT_THROW(connection.ReadTextLine(), EQlReadTimeout);
  EXPECT_TRUE(connection.IsOpen());
  transport.Feed("ial\r\n");
  EXPECT_EQ(connection.ReadTextLine(), "220 partial");
}

TEST_F(LineConnection, ToleratedReceiveFailureWithNothingBufferedIsASocketError) {
  transport.FeedFailure(10053);
  try {
    connection.ReadTextLine();
    FAIL() << "no error";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10053);
  }
  EXPECT_FALSE(connection.IsOpen());
}

TEST_F(LineConnection, OtherReceiveFailureLeavesTheSocketOpen) {
  transport.FeedFailure(10022);
  EXPECT_THROW(connection.ReadTextLine(), EQlSocketError);
  EXPECT_TRUE(connection.IsOpen());
}

TEST_F(LineConnection, EmptyTextSendsNothingEvenWhenClosed) {
  connection.WriteText("");
  transport.CloseEndpoint();
  connection.WriteText("");
  EXPECT_EQ(transport.SendCalls(), 0);
}

TEST_F(LineConnection, EmptyLineIsCrLfInOneSend) {
  connection.WriteTextLine("");
  connection.WriteTextLine("NOOP");
  EXPECT_EQ(transport.Sent(), "\r\nNOOP\r\n");
  EXPECT_EQ(transport.SendCalls(), 2);
}

TEST_F(LineConnection, PartlyAcceptedSendContinuesWhereItStopped) {
  transport.SetSendLimit(3);
  connection.WriteTextLine("MAIL FROM:<a@example.com>");
  EXPECT_EQ(transport.Sent(), "MAIL FROM:<a@example.com>\r\n");
  EXPECT_EQ(transport.SendCalls(), 9);  // 27 bytes, 3 at a time
}

TEST_F(LineConnection, ResetDuringSendClosesAndReportsTheReset) {
  transport.FailSendAfter(4, 10054);
  try {
    connection.WriteTextLine("RSET and more");
    FAIL() << "no error";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10054);
  }
  EXPECT_EQ(transport.Sent(), "RSET");
  EXPECT_FALSE(connection.IsOpen());
}

TEST_F(LineConnection, OtherSendFailureLeavesTheSocketOpen) {
  transport.FailSendAfter(0, 10022);
  EXPECT_THROW(connection.WriteTextLine("RSET"), EQlSocketError);
  EXPECT_TRUE(connection.IsOpen());
}

TEST(LineConnectionOwnership, WritingAfterDropRaisesNotConnected) {
  struct Connection : TQlTCPConnection {
    using TQlTCPConnection::AdoptIOHandler;
  } connection;
  connection.AdoptIOHandler(std::make_unique<MemoryIOHandler>());
  std::vector<TQlStatus> statuses;
  connection.SetOnStatus(
      [&](TQlComponent&, TQlStatus status, const std::string&) { statuses.push_back(status); });
  connection.DropConnection();
  EXPECT_EQ(connection.IOHandler(), nullptr);
  EXPECT_EQ(statuses, (std::vector<TQlStatus>{TQlStatus::hsDisconnecting, TQlStatus::hsDisconnected}));
  EXPECT_THROW(connection.WriteTextLine("QUIT"), EQlNotConnected);
}

TEST_F(LineConnection, AbortReachesTheTransport) {
  connection.Abort();
  EXPECT_TRUE(transport.Aborted());
  TQlTCPConnection unconnected;
  unconnected.Abort();  // no transport: nothing to do
}

TEST_F(LineConnection, TraceShowsLinesBothWays) {
  std::vector<std::string> trace;
  connection.SetOnLineTrace([&](char direction, const std::string& line) {
    trace.push_back(std::string(1, direction) + ": " + line);
  });
  transport.Feed("250 ok\r\n");
  connection.ExchangeCommand("NOOP", 250);
  EXPECT_EQ(trace, (std::vector<std::string>{"C: NOOP", "S: 250 ok"}));
}

}  // namespace
}  // namespace quillet
