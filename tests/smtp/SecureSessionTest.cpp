// Encrypted SMTP conversations: STARTTLS and TLS from the first byte against
// a real server (aiosmtpd) holding certificates of a test authority that the
// client trusts through SSL_CERT_FILE, and scripted servers for what a real
// one will not do.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Errors.h"
#include "smtp/SMTP.h"
#include "support/SendHelpers.h"
#include "support/AiosmtpdServer.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"

namespace quillet {
namespace {

using testing::AiosmtpdOptions;
using testing::AiosmtpdServer;
using testing::AiosmtpdTls;
using testing::CertificateFiles;
using testing::ReceivedLetter;
using testing::ScopedEnvironment;
using testing::ScriptedServer;
using testing::SharedTestCertificates;
using testing::TestCertificates;

// "Привет, мир!" and "До свидания." in code page 1251.
const StringList kCyrillicBody = {"\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!",
                                  "\xC4\xEE \xF1\xE2\xE8\xE4\xE0\xED\xE8\xFF."};

struct Conversation {
  StringList sent;      // lines the client wrote
  StringList received;  // lines the client read
  StringList statuses;

  bool SentAny(const std::string& prefix) const {
    return std::any_of(sent.begin(), sent.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  }
  bool ReadAny(const std::string& part) const {
    return std::any_of(received.begin(), received.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
  }
};

class SecureSessionBase : public ::testing::Test {
 protected:
  SecureSessionBase() {
    smtp.SetReadTimeout(10000);
    smtp.SetHeloName("client.test");
    smtp.SetAuthenticationType(TAuthenticationType::atLogin);
    smtp.SetUsername("quillet");
    smtp.SetPassword("s3cret");
    smtp.SetOnLineTrace([this](char direction, const std::string& line) {
      (direction == 'C' ? talk.sent : talk.received).push_back(line);
    });
    smtp.SetOnStatus([this](TQlComponent&, TQlStatus status, const std::string& text) {
      if (status == TQlStatus::hsStatusText) talk.statuses.push_back(text);
    });
    message.From().SetAddress("vasya@example.ru");
    message.Recipients().Add().SetAddress("petr@example.ru");
    message.SetSubject("TLS");
    message.SetContentType("text/plain");
    message.SetCharSet("windows-1251");
    message.SetContentTransferEncoding("8bit");
    message.SetBody(kCyrillicBody);
  }

  static AiosmtpdOptions ServerOptions(AiosmtpdTls tls, const CertificateFiles& files) {
    AiosmtpdOptions options;
    options.tls = tls;
    options.certificateFile = files.certificate;
    options.keyFile = files.key;
    return options;
  }
  void Aim(const std::string& host, uint16_t port, AiosmtpdTls tls) {
    smtp.SetHost(host);
    smtp.SetPort(port);
    smtp.SetImplicitTLS(tls == AiosmtpdTls::implicit);
  }
  void Send() {
    testing::OpenDeliverClose(smtp, message);
  }
  // The message of the TLS error the session raises, or why there was none.
  std::string TlsFailure() {
    try {
      Send();
    } catch (const EQlTLSError& error) {
      return error.Message();
    } catch (const Exception& error) {
      return "other error: " + error.Message();
    }
    return "sent";
  }

  const TestCertificates& certificates = SharedTestCertificates();
  ScopedEnvironment trust{"SSL_CERT_FILE", certificates.AuthorityFile()};
  TQlSMTP smtp;
  TQlMessage message;
  Conversation talk;
};

struct Road {
  const char* name;
  AiosmtpdTls tls;
  const char* host;
};

class SecureDelivery : public SecureSessionBase, public ::testing::WithParamInterface<Road> {};

TEST_P(SecureDelivery, CyrillicLetterArrivesAndTheLoginWentEncrypted) {
  const Road& road = GetParam();
  AiosmtpdServer server(ServerOptions(road.tls, certificates.Localhost()));
  Aim(road.host, server.Port(), road.tls);
  Send();

  const auto letters = server.Letters(1);
  ASSERT_EQ(letters.size(), 1u);
  const ReceivedLetter& letter = letters[0];
  EXPECT_EQ(letter.login, "quillet");
  EXPECT_EQ(letter.loginTls, "TLSv1.3");
  EXPECT_EQ(letter.recipients, StringList{"petr@example.ru"});
  const size_t headerEnd = letter.data.find("\r\n\r\n");
  ASSERT_NE(headerEnd, std::string::npos);
  EXPECT_EQ(letter.data.substr(headerEnd + 4), JoinLines(kCyrillicBody));

  ASSERT_FALSE(talk.statuses.empty());
  EXPECT_EQ(talk.statuses.front(), "Encrypted with TLSv1.3.");
  EXPECT_FALSE(smtp.Encrypted());  // the session is closed
  const StringList opening(talk.sent.begin(), talk.sent.begin() + 3);
  if (road.tls == AiosmtpdTls::startTls) {
    EXPECT_EQ(opening, (StringList{"EHLO client.test", "STARTTLS", "EHLO client.test"}));
  } else {
    EXPECT_EQ(opening, (StringList{"EHLO client.test", "RSET", "AUTH LOGIN"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Roads, SecureDelivery,
    ::testing::Values(Road{"StartTlsByName", AiosmtpdTls::startTls, "localhost"},
                      Road{"StartTlsByAddress", AiosmtpdTls::startTls, "127.0.0.1"},
                      Road{"ImplicitByName", AiosmtpdTls::implicit, "LocalHost"},
                      Road{"ImplicitByAddress", AiosmtpdTls::implicit, "127.0.0.1"}),
    [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

enum class Presented { otherName, unknownAuthority };

struct Refusal {
  const char* name;
  AiosmtpdTls tls;
  Presented certificate;
  const char* host;
  const char* message;
};

class RefusedCertificate : public SecureSessionBase,
                           public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedCertificate, EndsTheConversationBeforeTheLogin) {
  const Refusal& refusal = GetParam();
  AiosmtpdServer server(ServerOptions(refusal.tls, refusal.certificate == Presented::otherName
                                                       ? certificates.OtherName()
                                                       : certificates.UnknownAuthority()));
  Aim(refusal.host, server.Port(), refusal.tls);

  EXPECT_EQ(TlsFailure(), refusal.message);
  EXPECT_FALSE(smtp.IsOpen());
  EXPECT_TRUE(talk.statuses.empty());
  // Not a word after the failed handshake, not even QUIT in plain text.
  if (refusal.tls == AiosmtpdTls::startTls) {
    EXPECT_EQ(talk.sent, (StringList{"EHLO client.test", "STARTTLS"}));
  } else {
    EXPECT_EQ(talk.sent, StringList{});
  }
  EXPECT_TRUE(server.Letters(0).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, RefusedCertificate,
    ::testing::Values(
        Refusal{"StartTlsOtherName", AiosmtpdTls::startTls, Presented::otherName, "localhost",
                "TLS: certificate verify failed (hostname mismatch)"},
        Refusal{"ImplicitOtherName", AiosmtpdTls::implicit, Presented::otherName, "localhost",
                "TLS: certificate verify failed (hostname mismatch)"},
        Refusal{"StartTlsOtherAddress", AiosmtpdTls::startTls, Presented::otherName, "127.0.0.1",
                "TLS: certificate verify failed (IP address mismatch)"},
        Refusal{"StartTlsUnknownAuthority", AiosmtpdTls::startTls, Presented::unknownAuthority,
                "localhost",
                "TLS: certificate verify failed (unable to get local issuer certificate)"},
        Refusal{"ImplicitUnknownAuthority", AiosmtpdTls::implicit, Presented::unknownAuthority,
                "localhost",
                "TLS: certificate verify failed (unable to get local issuer certificate)"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

class SecureSession : public SecureSessionBase {};

// Lines smuggled in behind the 220 would otherwise answer the EHLO sent after
// the handshake, offering no LOGIN, and every later reply would be one behind.
TEST_F(SecureSession, PlainLinesAfterTheStartTlsReplyAreNeverRead) {
  AiosmtpdOptions options = ServerOptions(AiosmtpdTls::startTls, certificates.Localhost());
  options.afterStartTlsReply = "250-fake.example\r\n250 AUTH PLAIN\r\n";
  AiosmtpdServer server(options);
  Aim("localhost", server.Port(), AiosmtpdTls::startTls);
  Send();

  const auto letters = server.Letters(1);
  ASSERT_EQ(letters.size(), 1u);
  EXPECT_EQ(letters[0].login, "quillet");
  EXPECT_FALSE(talk.ReadAny("fake")) << JoinLines(talk.received);
}

// The scripted server cannot encrypt: it answers STARTTLS with fake replies in
// the same write and closes once the handshake has begun.
TEST_F(SecureSession, ScriptedFakeRepliesAfterStartTlsEndInTheHandshake) {
  ScriptedServer server(R"(
    S: 220 scripted.test ready
    C: EHLO client.test
    S: 250-scripted.test
    S: 250-AUTH LOGIN
    S: 250 STARTTLS
    C: STARTTLS
    RAW: 220 go ahead\r\n250 fake\r\n250-fake\r\n250 AUTH LOGIN\r\n
    SILENT 3000
    CLOSE
  )");
  Aim("localhost", server.Port(), AiosmtpdTls::startTls);

  EXPECT_EQ(TlsFailure(), "TLS: the server closed the connection during the handshake");
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(server.ReceivedLines(), (StringList{"EHLO client.test", "STARTTLS"}));
  EXPECT_FALSE(talk.ReadAny("fake")) << JoinLines(talk.received);
  EXPECT_FALSE(smtp.IsOpen());
}

TEST_F(SecureSession, RefusedStartTlsEndsTheSessionWithoutAPlainLogin) {
  ScriptedServer server(R"(
    S: 220 scripted.test ready
    C: EHLO client.test
    S: 250-scripted.test
    S: 250-AUTH LOGIN
    S: 250 STARTTLS
    C: STARTTLS
    S: 454 4.7.0 TLS not available due to temporary reason
    C: QUIT
  )");
  Aim("localhost", server.Port(), AiosmtpdTls::startTls);

  try {
    Send();
    FAIL() << "the session went on in plain text";
  } catch (const EQlProtocolReplyError& error) {
    EXPECT_EQ(error.ErrorReplyCode(), 454);
  }
  EXPECT_EQ(server.Finish(), "");
  EXPECT_FALSE(talk.SentAny("AUTH"));
}

// A server that speaks plain text where TLS was expected.
TEST_F(SecureSession, PlainGreetingOnAnImplicitTlsPortFailsTheHandshake) {
  ScriptedServer server(R"(
    S: 220 scripted.test ready
    SILENT 3000
    CLOSE
  )");
  Aim("localhost", server.Port(), AiosmtpdTls::implicit);

  EXPECT_EQ(TlsFailure(), "TLS: the server does not speak TLS on this port (wrong version number)");
  EXPECT_EQ(server.Finish(), "");
  EXPECT_TRUE(talk.sent.empty());
}

TEST(ImplicitTLS, FollowsPort465UnlessSet) {
  TQlSMTP smtp;
  EXPECT_FALSE(smtp.ImplicitTLS());  // port 25
  for (const int32_t port : {465, 587, 2525}) {
    smtp.SetPort(port);
    EXPECT_EQ(smtp.ImplicitTLS(), port == 465) << port;
  }
  smtp.SetImplicitTLS(false);
  smtp.SetPort(465);
  EXPECT_FALSE(smtp.ImplicitTLS());
  smtp.SetImplicitTLS(true);
  smtp.SetPort(25);
  EXPECT_TRUE(smtp.ImplicitTLS());
}

}  // namespace
}  // namespace quillet
