// Session rules that guard the wire and the error the user sees, over an
// in-memory transport.

#include "smtp/SMTP.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/MemoryIOHandler.h"

namespace quillet {
namespace {

using testing::MemoryIOHandler;

struct UnsafeCase {
  const char* name;
  void (*spoil)(TQlMessage&);
};

class UnsafeAddress : public ::testing::TestWithParam<UnsafeCase> {};

TEST_P(UnsafeAddress, NothingIsSent) {
  MemoryIOHandler transport;
  TQlSMTP smtp;
  smtp.SetIOHandler(&transport);
  TQlMessage message;
  message.From().SetAddress("a@example.com");
  message.Recipients().Add().SetAddress("b@example.com");
  GetParam().spoil(message);
  EXPECT_THROW(smtp.Deliver(message), EQlUnsafeAddress);
  EXPECT_EQ(transport.Sent(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Envelope, UnsafeAddress,
    ::testing::Values(
        UnsafeCase{"SenderWithCrLf",
                   [](TQlMessage& m) {
                     m.From().SetAddress("a@example.com>\r\nRCPT TO:<victim@example.com");
                   }},
        UnsafeCase{"RecipientWithLf",
                   [](TQlMessage& m) { m.Recipients().Add().SetAddress("c@example.com\nDATA"); }},
        UnsafeCase{"CcWithNul",
                   [](TQlMessage& m) {
                     m.CCList().Add().SetAddress(std::string("d@example.com\0x", 15));
                   }},
        UnsafeCase{"BccWithCr",
                   [](TQlMessage& m) { m.BccList().Add().SetAddress("e@example.com\rQUIT"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SessionClose, FailedQuitStillDropsAndIsReported) {
  MemoryIOHandler transport;
  TQlSMTP smtp;
  smtp.SetIOHandler(&transport);
  std::vector<TQlStatus> statuses;
  smtp.SetOnStatus(
      [&](TQlComponent&, TQlStatus status, const std::string&) { statuses.push_back(status); });
  transport.FailSendAfter(0, 10054);
  try {
    smtp.CloseSession();
    FAIL() << "failed QUIT not reported";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10054);
  }
  EXPECT_FALSE(smtp.IsOpen());
  EXPECT_EQ(statuses.back(), TQlStatus::hsDisconnected);
}

TEST(SessionClose, PeerAlreadyGoneMeansNoQuit) {
  MemoryIOHandler transport;
  TQlSMTP smtp;
  smtp.SetIOHandler(&transport);
  transport.FeedClose();
  EXPECT_THROW(smtp.ReadTextLine(), EQlConnClosedGracefully);
  smtp.CloseSession();
  EXPECT_EQ(transport.SendCalls(), 0);
}

TEST(SessionOpen, RefusedGreetingIsReportedEvenWhenQuitFails) {
  MemoryIOHandler transport(false);
  TQlSMTP smtp;
  smtp.SetIOHandler(&transport);
  transport.Feed("554 too busy\r\n");
  transport.FailSendAfter(0, 10054);
  try {
    smtp.OpenSession();
    FAIL() << "refused greeting accepted";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), 554);
    EXPECT_EQ(error.Message(), "too busy\r\n");
  }
  EXPECT_EQ(transport.ConnectCalls(), 1);
  EXPECT_FALSE(smtp.IsOpen());
}

}  // namespace
}  // namespace quillet
