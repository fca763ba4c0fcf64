#pragma once
// The far end of TLS transport tests: accepts one connection on 127.0.0.1
// (ephemeral port) on a thread, runs the server side of the handshake with the
// given certificate, then the script with the session. Every socket wait of
// the peer is bounded (5 s), so a client that misbehaves cannot hang a test.

#include <openssl/ssl.h>

#include <cstdint>
#include <functional>
#include <thread>

#include "support/TestCertificates.h"

namespace quillet::testing {

class TlsPeer {
 public:
  using Script = std::function<void(SSL* session)>;

  TlsPeer(const CertificateFiles& files, Script script);
  ~TlsPeer();  // waits for the script to end
  TlsPeer(const TlsPeer&) = delete;
  TlsPeer& operator=(const TlsPeer&) = delete;

  uint16_t Port() const { return port_; }

 private:
  void Serve(const CertificateFiles& files, const Script& script);

  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace quillet::testing
