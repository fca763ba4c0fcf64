// Connecting and reading lines over real loopback sockets.

#include "smtp/TCPClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "support/ScriptedServer.h"

namespace quillet {
namespace {

using testing::ScriptedServer;

TEST(TCPClient, RefusedConnectLeavesTheTransportForTheNextConnect) {
  TQlTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(testing::UnusedLoopbackPort());
  try {
    client.OpenConnection();
    FAIL() << "connect to a closed port succeeded";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10061);
  }
  EXPECT_FALSE(client.IsOpen());
  TQlIOHandler* const refused = client.IOHandler();
  ASSERT_NE(refused, nullptr);

  ScriptedServer server("S: 220 ready\nEOF\n");
  client.SetPort(server.Port());
  client.OpenConnection();
  EXPECT_EQ(client.IOHandler(), refused);
  EXPECT_EQ(client.ExpectReply({220}), 220);
  client.DropConnection();
  EXPECT_EQ(client.IOHandler(), nullptr);
  EXPECT_EQ(server.Finish(), "");
}

// A peer that takes the connection but never reads: the kernel accepts it into
// the listen queue, and once both sides' buffers are full every send waits.
class DeafListener {
 public:
  DeafListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_, 1);
    socklen_t size = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~DeafListener() { ::close(fd_); }
  uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

TEST(TCPClient, PeerThatStopsReadingEndsTheWriteAtTheReadTimeLimit) {
  DeafListener peer;
  TQlTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(peer.Port());
  client.SetReadTimeout(300);
  client.OpenConnection();
  const std::string block(1 << 20, 'x');
  try {
    for (int i = 0; i < 256; ++i) client.WriteText(block);
    FAIL() << "256 MiB went to a peer that reads nothing";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10060);
    EXPECT_EQ(error.Message(), "Socket Error # 10060\r\nConnection timed out.");
  }
  EXPECT_FALSE(client.IsOpen());
}

TEST(TCPClient, LineBeforeTheServersCloseIsStillRead) {
  ScriptedServer server("S: 221 bye\nCLOSE\n");
  TQlTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetReadTimeout(5000);
  client.OpenConnection();
  EXPECT_EQ(client.ReadTextLine(), "221 bye");
  EXPECT_THROW(client.ReadTextLine(), EQlConnClosedGracefully);
  EXPECT_FALSE(client.IsOpen());
  EXPECT_EQ(server.Finish(), "");
}

struct LongLineCase {
  const char* name;
  int32_t bytesBeforeLf;  // a CR counted
  bool accepted;
};

class LongLine : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(LongLine, LimitHoldsOverTheWire) {
  const std::string line = "220 " + std::string(GetParam().bytesBeforeLf - 5, 'x');
  ScriptedServer server("S: " + line + "\nEOF\n");
  TQlTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetReadTimeout(5000);
  client.OpenConnection();
  if (GetParam().accepted) {
    EXPECT_EQ(client.ReadTextLine(), line);
  } else {
    EXPECT_THROW(client.ReadTextLine(), EQlReadLnMaxLineLengthExceeded);
  }
  client.DropConnection();
  EXPECT_EQ(server.Finish(), "");
}

INSTANTIATE_TEST_SUITE_P(Reading, LongLine,
                         ::testing::Values(LongLineCase{"Line16384", 16384, true},
                                           LongLineCase{"Line16385", 16385, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
