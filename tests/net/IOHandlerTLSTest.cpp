#include "net/IOHandlerTLS.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "LoopbackPeer.h"
#include "TlsPeer.h"
#include "platform/Errors.h"
#include "support/TestCertificates.h"

namespace quillet {
namespace {

using testing::LoopbackListener;
using testing::PeerConnection;
using testing::ScopedEnvironment;
using testing::SharedTestCertificates;
using testing::TestCertificates;
using testing::TlsPeer;

// Reads until the client closes; true when it said so with the closing alert.
bool ReadUntilClosed(SSL* session) {
  char block[256];
  while (SSL_read(session, block, sizeof block) > 0) {
  }
  return SSL_get_error(session, 0) == SSL_ERROR_ZERO_RETURN ||
         (SSL_get_shutdown(session) & SSL_RECEIVED_SHUTDOWN) != 0;
}

class IOHandlerTLSTest : public ::testing::Test {
 protected:
  void Connect(uint16_t port) {
    handler_.PrepareBinding();
    handler_.ConnectEndpoint("localhost", port, "", 0, 0, 0, -1);
  }
  std::string Receive(int32_t size) {
    std::string block(static_cast<size_t>(size), '\0');
    const int32_t count = handler_.ReceiveSome(block.data(), size);
    block.resize(static_cast<size_t>(std::max(count, 0)));
    return block;
  }

  const TestCertificates& certificates_ = SharedTestCertificates();
  ScopedEnvironment trust_{"SSL_CERT_FILE", certificates_.AuthorityFile()};
  TQlIOHandlerTLS handler_;
};

TEST_F(IOHandlerTLSTest, BytesHeldDecryptedAreReadableAndSessionTicketsAreNot) {
  TlsPeer peer(certificates_.Localhost(), [](SSL* session) {
    char go[3];
    if (SSL_read(session, go, sizeof go) != 3) return;
    SSL_write(session, "first\r\nsecond\r\n", 15);  // one record
    SSL_shutdown(session);
    ReadUntilClosed(session);
  });
  Connect(peer.Port());
  handler_.StartTLS("localhost", 5000);
  EXPECT_TRUE(handler_.Encrypted());
  EXPECT_EQ(handler_.ProtocolVersion(), "TLSv1.3");

  // The server's session tickets reach the socket but carry nothing to read.
  EXPECT_FALSE(handler_.WaitReadable(300));
  EXPECT_EQ(handler_.SendSome("go\n", 3), 3);
  ASSERT_TRUE(handler_.WaitReadable(5000));
  EXPECT_EQ(Receive(3), "fir");
  // The rest of the record waits in the session, not on the socket.
  EXPECT_TRUE(handler_.WaitReadable(0));
  EXPECT_EQ(Receive(64), "st\r\nsecond\r\n");
  // The closing alert ends the stream.
  ASSERT_TRUE(handler_.WaitReadable(5000));
  EXPECT_EQ(Receive(64), "");
  handler_.CloseEndpoint();
  EXPECT_FALSE(handler_.HasOpenSocket());
  EXPECT_FALSE(handler_.Encrypted());
}

TEST_F(IOHandlerTLSTest, ClosingSendsTheClosingAlert) {
  std::promise<bool> saidTheEnd;
  TlsPeer peer(certificates_.Localhost(),
               [&](SSL* session) { saidTheEnd.set_value(ReadUntilClosed(session)); });
  Connect(peer.Port());
  handler_.StartTLS("localhost", 5000);
  handler_.CloseEndpoint();
  auto told = saidTheEnd.get_future();
  ASSERT_EQ(told.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(told.get());
}

TEST_F(IOHandlerTLSTest, AbortEndsAnEncryptedWait) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  TlsPeer peer(certificates_.Localhost(),
               [released](SSL*) { released.wait_for(std::chrono::seconds(10)); });
  Connect(peer.Port());
  handler_.StartTLS("localhost", 5000);
  std::thread aborter([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    handler_.Abort();
  });
  // The peer stays silent and open: only the abort can end this wait in time.
  const bool woke = handler_.WaitReadable(3000);
  aborter.join();
  EXPECT_TRUE(woke);
  EXPECT_EQ(Receive(64), "");
  release.set_value();
  handler_.CloseEndpoint();
}

TEST_F(IOHandlerTLSTest, SilentServerEndsTheHandshakeAtItsLimitWithTheSocketClosed) {
  LoopbackListener listener;
  Connect(listener.Port());
  PeerConnection silent = listener.Accept();
  ASSERT_TRUE(silent.Valid());
  EXPECT_THROW(handler_.StartTLS("localhost", 300), EQlReadTimeout);
  EXPECT_FALSE(handler_.HasOpenSocket());
  EXPECT_FALSE(handler_.Encrypted());
}

}  // namespace
}  // namespace quillet
