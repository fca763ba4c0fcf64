// quillet-send against a server that requires STARTTLS, its certificate from
// a test authority the program trusts through SSL_CERT_FILE.

#include <gtest/gtest.h>

#include "support/AiosmtpdServer.h"
#include "support/ChildProcess.h"
#include "support/TestCertificates.h"

namespace quillet {
namespace {

using testing::AiosmtpdOptions;
using testing::AiosmtpdServer;
using testing::AiosmtpdTls;
using testing::CertificateFiles;
using testing::ChildEnvironment;
using testing::ChildResult;
using testing::RunChild;
using testing::SharedTestCertificates;

const std::string kProgram = std::string(QUILLET_BIN_DIR) + "/quillet-send";

AiosmtpdOptions StartTlsServer(const CertificateFiles& files) {
  AiosmtpdOptions options;
  options.tls = AiosmtpdTls::startTls;
  options.certificateFile = files.certificate;
  options.keyFile = files.key;
  return options;
}

ChildResult Send(uint16_t port, const std::string& subject) {
  const ChildEnvironment environment{{{"LC_ALL", "ru_RU.UTF-8"},
                                      {"QUILLET_PASSWORD", "s3cret"},
                                      {"SSL_CERT_FILE", SharedTestCertificates().AuthorityFile()}}};
  return RunChild(kProgram,
                  {"--server", "localhost", "--port", std::to_string(port), "--login", "quillet",
                   "--from", "a@example.ru", "--to", "b@example.ru", "--subject", subject,
                   "--verbose"},
                  environment, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n");  // Привет
}

TEST(QuilletSendTLS, ACyrillicLetterGoesEncryptedAndTheTraceSaysSo) {
  AiosmtpdServer server(StartTlsServer(SharedTestCertificates().Localhost()));
  const std::string subject = "\xD0\xA2\xD0\xB5\xD0\xBC\xD0\xB0";  // Тема
  const ChildResult run = Send(server.Port(), subject);
  EXPECT_EQ(run.exitCode, 0) << run.err;

  const auto letters = server.Letters(1);
  ASSERT_EQ(letters.size(), 1u);
  EXPECT_EQ(letters[0].login, "quillet");
  EXPECT_EQ(letters[0].loginTls, "TLSv1.3");
  EXPECT_EQ(letters[0].Header("Subject"), subject);
  const size_t encrypted = run.err.find("\nEncrypted with TLSv1.3.\n");
  EXPECT_NE(encrypted, std::string::npos) << run.err;
  EXPECT_LT(run.err.find("C: STARTTLS\n"), encrypted);
  EXPECT_LT(encrypted, run.err.find("C: AUTH LOGIN\n"));
}

TEST(QuilletSendTLS, AnUntrustedCertificateIsRefusedWithItsReason) {
  AiosmtpdServer server(StartTlsServer(SharedTestCertificates().UnknownAuthority()));
  const ChildResult run = Send(server.Port(), "x");
  EXPECT_EQ(run.exitCode, 1);
  const std::string reason = "TLS: certificate verify failed (unable to get local issuer certificate)";
  EXPECT_EQ(run.err.substr(run.err.size() - std::min(run.err.size(), reason.size())), reason)
      << run.err;
  EXPECT_EQ(run.err.find("C: AUTH"), std::string::npos);
  EXPECT_EQ(run.err.find("C: MAIL"), std::string::npos);
  EXPECT_TRUE(server.Letters(0).empty());
}

}  // namespace
}  // namespace quillet
