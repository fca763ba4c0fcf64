#include "net/IOHandlerSocket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <future>
#include <netdb.h>
#include <thread>

#include "LoopbackPeer.h"
#include "support/ScriptedServer.h"
#include "net/SocketLibrary.h"
#include "platform/Errors.h"

namespace quillet {
namespace {

using testing::LoopbackListener;
using testing::PeerConnection;

struct StatusRecord {
  TQlStatus status;
  std::string text;
};

class IOHandlerSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = winsock::SetHostResolver([](const char*, uint8_t(*)[4], int32_t) -> int32_t {
      return EAI_NONAME;
    });
    handler_.SetOnStatus([this](TQlComponent&, TQlStatus status, const std::string& text) {
      statuses_.push_back({status, text});
    });
  }
  void TearDown() override { winsock::SetHostResolver(previous_); }

  void Connect(const std::string& host, int32_t port, int32_t limit = -1) {
    handler_.PrepareBinding();
    handler_.ConnectEndpoint(host, port, "", 0, 0, 0, limit);
  }

  // The socket error a connect raises, or 0 when it raises none.
  int32_t ConnectError(const std::string& host, int32_t port, int32_t limit = -1) {
    try {
      Connect(host, port, limit);
    } catch (const EQlSocketError& error) {
      return error.SocketErrorNumber();
    }
    return 0;
  }

  TQlIOHandlerSocket handler_;
  std::vector<StatusRecord> statuses_;
  qlws_host_resolver previous_ = nullptr;
};

TEST_F(IOHandlerSocketTest, LocalHostConnectsWithResolvingStatusAndCarriesBytes) {
  LoopbackListener listener;
  Connect("LocalHost", listener.Port());
  PeerConnection peer = listener.Accept();
  ASSERT_TRUE(peer.Valid());

  ASSERT_EQ(statuses_.size(), 2u);
  EXPECT_EQ(statuses_[0].status, TQlStatus::hsResolving);
  EXPECT_EQ(statuses_[0].text, "Resolving hostname LocalHost.");
  EXPECT_EQ(statuses_[1].status, TQlStatus::hsConnecting);
  EXPECT_EQ(statuses_[1].text, "Connecting to 127.0.0.1.");

  TQlSocketHandle& binding = *handler_.SocketBinding();
  EXPECT_TRUE(handler_.HasOpenSocket());
  EXPECT_EQ(binding.RemoteIP(), "127.0.0.1");
  EXPECT_EQ(binding.RemotePort(), listener.Port());
  EXPECT_EQ(binding.IP(), "127.0.0.1");
  EXPECT_NE(binding.Port(), 0);

  EXPECT_EQ(handler_.SendSome("EHLO x\r\n", 8), 8);
  EXPECT_EQ(peer.Read(8), "EHLO x\r\n");

  peer.Write("250 ok\r\n");
  ASSERT_TRUE(handler_.WaitReadable(5000));
  char block[32] = {};
  EXPECT_EQ(handler_.ReceiveSome(block, sizeof(block)), 8);
  EXPECT_EQ(std::string(block, 8), "250 ok\r\n");

  peer.Close();
  ASSERT_TRUE(handler_.WaitReadable(5000));  // the end of the stream is readable
  EXPECT_EQ(handler_.ReceiveSome(block, sizeof(block)), 0);
}

TEST_F(IOHandlerSocketTest, DottedQuadConnectsWithoutResolvingStatus) {
  LoopbackListener listener;
  Connect("0x7F.0.0.1", listener.Port());
  ASSERT_EQ(statuses_.size(), 1u);
  EXPECT_EQ(statuses_[0].status, TQlStatus::hsConnecting);
  EXPECT_EQ(statuses_[0].text, "Connecting to 0x7F.0.0.1.");
  EXPECT_EQ(handler_.SocketBinding()->RemoteIP(), "127.0.0.1");
}

TEST_F(IOHandlerSocketTest, PortWrapsToItsLow16Bits) {
  LoopbackListener listener;
  Connect("127.0.0.1", listener.Port() + 65536);
  EXPECT_EQ(handler_.SocketBinding()->RemotePort(), listener.Port());
  EXPECT_TRUE(listener.Accept().Valid());
}

TEST_F(IOHandlerSocketTest, RefusedConnectRaisesAndHandlerIsReusable) {
  const uint16_t closedPort = testing::UnusedLoopbackPort();
  try {
    Connect("127.0.0.1", closedPort);
    FAIL() << "a refused connect must raise";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10061);
    EXPECT_EQ(error.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
  // The caller closes the socket; the binding stays for the next connect.
  handler_.CloseEndpoint();
  EXPECT_FALSE(handler_.HasOpenSocket());
  TQlSocketHandle* binding = handler_.SocketBinding();
  ASSERT_NE(binding, nullptr);

  LoopbackListener listener;
  Connect("127.0.0.1", listener.Port());
  EXPECT_EQ(handler_.SocketBinding(), binding);
  EXPECT_TRUE(handler_.HasOpenSocket());
  EXPECT_TRUE(listener.Accept().Valid());
}

TEST_F(IOHandlerSocketTest, PortZeroIsASocketError) {
  EXPECT_NE(ConnectError("127.0.0.1", 0), 0);
}

TEST_F(IOHandlerSocketTest, UnknownHostRaisesHostNotFound) {
  try {
    Connect("no.such.host", 25);
    FAIL() << "an unknown host must raise";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.Message(), "Socket Error # 11001\r\nHost not found.");
  }
  ASSERT_EQ(statuses_.size(), 1u);
  EXPECT_EQ(statuses_[0].text, "Resolving hostname no.such.host.");
}

TEST_F(IOHandlerSocketTest, LocalBindFailures) {
  LoopbackListener listener;
  handler_.PrepareBinding();
  try {
    handler_.ConnectEndpoint("127.0.0.1", listener.Port(), "127.0.0.1", listener.Port(), 0, 0, -1);
    FAIL() << "binding to a port in use must raise";
  } catch (const EQlCouldNotBindSocket& error) {
    EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
  }
  handler_.PrepareBinding();
  try {
    handler_.ConnectEndpoint("127.0.0.1", listener.Port(), "", 0, 5000, 4000, -1);
    FAIL() << "a reversed port range must raise";
  } catch (const EQlInvalidPortRange& error) {
    EXPECT_STREQ(error.what(), "Invalid Port Range (5000 - 4000)");
  }
}

TEST_F(IOHandlerSocketTest, WaitReadableWithoutLimitOrWithNegativeLimitDoesNotBlock) {
  LoopbackListener listener;
  Connect("127.0.0.1", listener.Port());
  PeerConnection peer = listener.Accept();
  EXPECT_FALSE(handler_.WaitReadable(0));
  EXPECT_FALSE(handler_.WaitReadable(-5));
  EXPECT_FALSE(handler_.WaitReadable(-1));
  peer.Write("x");
  ASSERT_TRUE(handler_.WaitReadable(5000));
  EXPECT_TRUE(handler_.WaitReadable(0));  // still waiting to be read
  EXPECT_TRUE(handler_.WaitReadable(-5));
}

TEST_F(IOHandlerSocketTest, ClosedHandlerRefusesTransfers) {
  EXPECT_THROW(handler_.WaitReadable(0), EQlConnClosedGracefully);
  char block[4];
  EXPECT_THROW(handler_.ReceiveSome(block, 4), EQlClosedSocket);
  EXPECT_THROW(handler_.SendSome(block, 4), EQlClosedSocket);

  handler_.CloseEndpoint();  // never connected: nothing to do
  LoopbackListener listener;
  Connect("127.0.0.1", listener.Port());
  handler_.CloseEndpoint();
  handler_.CloseEndpoint();
  handler_.SocketBinding()->ReleaseSocket();
  EXPECT_FALSE(handler_.HasOpenSocket());
  EXPECT_THROW(handler_.WaitReadable(0), EQlConnClosedGracefully);
  try {
    handler_.SendSome(block, 4);
    FAIL() << "sending without a socket must raise";
  } catch (const EQlClosedSocket& error) {
    EXPECT_STREQ(error.what(), "Disconnected.");
  }
}

TEST_F(IOHandlerSocketTest, NagleSwitchedOffOnRequest) {
  LoopbackListener listener;
  handler_.SetUseNagle(false);
  Connect("127.0.0.1", listener.Port());
  int noDelay = 0;
  socklen_t size = sizeof(noDelay);
  ASSERT_EQ(::getsockopt(handler_.SocketBinding()->Handle(), IPPROTO_TCP, TCP_NODELAY, &noDelay,
                         &size),
            0);
  EXPECT_NE(noDelay, 0);
}

TEST_F(IOHandlerSocketTest, ConnectTimeLimitRunsOut) {
  LoopbackListener listener(0);
  ASSERT_TRUE(listener.FillAcceptQueue());
  try {
    Connect("127.0.0.1", listener.Port(), 300);
    FAIL() << "a connect that never completes must time out";
  } catch (const EQlConnectTimeout& error) {
    EXPECT_STREQ(error.what(), "Connect timed out.");
  }
  handler_.CloseEndpoint();
  EXPECT_FALSE(handler_.HasOpenSocket());
}

TEST_F(IOHandlerSocketTest, AbortEndsAConnectInProgress) {
  LoopbackListener listener(0);
  ASSERT_TRUE(listener.FillAcceptQueue());
  // The limit only bounds the test should the abort be lost; it must not be reached.
  auto connect = std::async(std::launch::async, [&] { return ConnectError("127.0.0.1", listener.Port(), 20000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  handler_.Abort();
  ASSERT_EQ(connect.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(connect.get(), 10053);
  handler_.CloseEndpoint();
  // An aborted handler stays aborted.
  EXPECT_EQ(ConnectError("127.0.0.1", listener.Port()), 10053);
}

TEST_F(IOHandlerSocketTest, AbortWakesAWaitWithoutLimitAndEndsTheConversation) {
  LoopbackListener listener;
  Connect("127.0.0.1", listener.Port());
  PeerConnection peer = listener.Accept();
  auto wait = std::async(std::launch::async, [&] { return handler_.WaitReadable(-2); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  handler_.Abort();
  ASSERT_EQ(wait.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(wait.get());

  char block[8];
  EXPECT_EQ(handler_.ReceiveSome(block, sizeof(block)), 0);  // the end of the stream
  EXPECT_EQ(handler_.SendSome("x", 1), -1);
  TQlStack& stack = SocketStack();
  EXPECT_TRUE(stack.CheckSocketResult(-1, {kErrorShutdown}));
  EXPECT_TRUE(handler_.WaitReadable(-2));
  handler_.CloseEndpoint();
  EXPECT_FALSE(handler_.HasOpenSocket());
}

TEST_F(IOHandlerSocketTest, AbortBeforeConnectFailsTheConnect) {
  handler_.Abort();
  LoopbackListener listener;
  EXPECT_EQ(ConnectError("127.0.0.1", listener.Port()), 10053);
}

}  // namespace
}  // namespace quillet
