#pragma once
// The socket transport with a TLS layer that can be switched on once the
// socket is connected (RFC 8446, RFC 5246).
//
// Until StartTLS it is the plain socket transport. StartTLS runs the client
// handshake over the connected socket; from then on every wait, receive and
// send goes through the encrypted session. WaitReadable counts bytes already
// decrypted and held by the session as readable, and records that carry no
// data (TLS 1.3 session tickets) as nothing to read. The end of the stream and
// socket failures come back as the socket transport reports them: 0, or -1
// with the error number left in the socket stack.
//
// The server's certificate is checked against the system's trust store
// (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR are honoured)
// and against the host name, or the address when the host is a dotted quad;
// a host name also goes out as the server name (SNI).
//
// Raised: EQlTLSError ("TLS: ...") for a failed handshake, a refused
// certificate or a broken session; EQlReadTimeout when a wait during the
// handshake passes its limit; EQlSocketError for a socket failure during the
// handshake. A failed StartTLS closes the socket before it raises. Abort
// (from any thread) works as for the socket transport.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "net/IOHandlerSocket.h"

struct ssl_st;
struct ssl_ctx_st;

namespace quillet {

class TQlIOHandlerTLS : public TQlIOHandlerSocket {
 public:
  TQlIOHandlerTLS();
  ~TQlIOHandlerTLS() override;

  // host: the name the user gave (SNI and name check) or a dotted quad (the
  // connected address is checked). limit: ms for each wait of the handshake,
  // -2 = no limit.
  void StartTLS(const std::string& host, int32_t limit);
  bool Encrypted() const { return encrypted_; }
  // "TLSv1.3", "TLSv1.2", ...; empty while the connection is plain.
  std::string ProtocolVersion() const;

  // Sends the closing alert when the session is sound, then closes the socket.
  void CloseEndpoint() override;
  // Each connect and each prepared binding starts plain.
  void ConnectEndpoint(const std::string& host, int32_t port, const std::string& boundIp,
                       int32_t boundPort, int32_t portLow, int32_t portHigh,
                       int32_t timeLimit) override;
  void PrepareBinding() override;
  bool WaitReadable(int32_t limit) override;
  int32_t ReceiveSome(void* block, int32_t size) override;
  int32_t SendSome(const void* block, int32_t size) override;

 private:
  friend class TransportBio;
  struct SessionDeleter {
    void operator()(ssl_st* session) const noexcept;
    void operator()(ssl_ctx_st* context) const noexcept;
  };
  enum class Outcome { wantRead, ended, socketFailed, failed };

  void CreateSession(const std::string& host);
  void Handshake(int32_t limit);
  [[noreturn]] void RaiseHandshakeFailure(int sslError);
  void EndSession() noexcept;
  Outcome Classify(int result);
  void RethrowTransportFailure();
  // The transport under the session, called by the session's I/O.
  bool SessionBroken();
  int TransportRead(char* block, int size);
  int TransportWrite(const char* block, int size);

  std::unique_ptr<ssl_ctx_st, SessionDeleter> context_;
  std::unique_ptr<ssl_st, SessionDeleter> session_;
  bool encrypted_ = false;
  bool streamEnded_ = false;
  int32_t socketError_ = 0;   // the socket error that broke the session
  std::string failure_;       // the TLS failure that broke the session
  std::exception_ptr transportFailure_;  // raised under the session, raised again above it
};

}  // namespace quillet
