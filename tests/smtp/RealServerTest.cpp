// Letters delivered to a real SMTP server (aiosmtpd) on the loopback interface.

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "smtp/SMTP.h"
#include "support/SendHelpers.h"
#include "support/AiosmtpdServer.h"

namespace quillet {
namespace {

using testing::AiosmtpdServer;

class RealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    smtp.SetHost("127.0.0.1");
    smtp.SetPort(server.Port());
    smtp.SetReadTimeout(10000);
    smtp.SetAuthenticationType(TAuthenticationType::atLogin);
    smtp.SetUsername("quillet");
    smtp.SetPassword("s3cret");
    message.From().SetAddress("a@example.com");
    message.Recipients().Add().SetAddress("b@example.com");
    message.Recipients().Add().SetAddress("c@example.com");
    message.SetSubject("Dots");
    message.SetBody({".", ".leading", "plain", "bare\nLF"});
  }
  void Send() {
    testing::OpenDeliverClose(smtp, message);
  }

  AiosmtpdServer server;
  TQlSMTP smtp;
  TQlMessage message;
};

TEST_F(RealServer, LetterArrivesWhole) {
  Send();
  const auto letters = server.Letters(1);
  ASSERT_EQ(letters.size(), 1u);
  EXPECT_EQ(letters[0].login, "quillet");
  EXPECT_EQ(letters[0].mailFrom, "a@example.com");
  EXPECT_EQ(letters[0].recipients, (StringList{"b@example.com", "c@example.com"}));
  EXPECT_EQ(letters[0].Header("Subject"), "Dots");
  const std::string& data = letters[0].data;
  const size_t headerEnd = data.find("\r\n\r\n");
  ASSERT_NE(headerEnd, std::string::npos);
  EXPECT_EQ(data.substr(headerEnd + 4), ".\r\n.leading\r\nplain\r\nbare\r\nLF\r\n");
}

TEST_F(RealServer, WrongPasswordIsRefused) {
  smtp.SetPassword("wrong");
  try {
    Send();
    FAIL() << "wrong password accepted";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), 535);
  }
  EXPECT_FALSE(smtp.IsOpen());
}

}  // namespace
}  // namespace quillet
