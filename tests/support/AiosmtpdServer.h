#pragma once
// A real SMTP server for tests: Debian's python3 running aiosmtpd (script
// aiosmtpd_server.py beside this file) on 127.0.0.1 at a port the system
// picks. It offers AUTH LOGIN over plain text, accepts one login and password
// and refuses the others with 535, refuses the listed recipients with 550,
// and records every letter it receives. With a TLS mode it offers and
// requires STARTTLS (AUTH offered only after it) or speaks TLS from the first
// byte. The destructor stops the server; every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/TextUtils.h"
#include "support/TempFolder.h"

namespace quillet::testing {

enum class AiosmtpdTls { none, startTls, implicit };

struct AiosmtpdOptions {
  std::string login = "quillet";
  std::string password = "s3cret";
  StringList refusedRecipients;
  AiosmtpdTls tls = AiosmtpdTls::none;
  std::string certificateFile;  // PEM, for a TLS mode
  std::string keyFile;
  // Plain bytes sent in the same write as the 220 reply to STARTTLS.
  std::string afterStartTlsReply;
};

struct ReceivedLetter {
  std::string mailFrom;
  StringList recipients;
  std::string login;  // empty when the client did not log in
  std::string loginTls;  // the TLS version in force at the login; empty for plain text
  std::string data;   // the data bytes as received, dots unstuffed
  // (name, value) of every header, unfolded and decoded by Python's email
  // package; values in UTF-8.
  std::vector<std::pair<std::string, std::string>> headers;

  // The decoded value of the first header of that name (letter case ignored),
  // or "<none>".
  std::string Header(std::string_view name) const;
};

class AiosmtpdServer {
 public:
  explicit AiosmtpdServer(AiosmtpdOptions options = {});
  ~AiosmtpdServer();
  AiosmtpdServer(const AiosmtpdServer&) = delete;
  AiosmtpdServer& operator=(const AiosmtpdServer&) = delete;

  uint16_t Port() const { return port_; }
  // The letters received so far, after waiting up to the limit for at least
  // count of them.
  std::vector<ReceivedLetter> Letters(
      size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

 private:
  std::vector<ReceivedLetter> ReadLetters() const;

  TempFolder folder_;
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace quillet::testing
