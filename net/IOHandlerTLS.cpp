#include "net/IOHandlerTLS.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>

#include "platform/Errors.h"

namespace quillet {

namespace {

using Clock = std::chrono::steady_clock;

// What is left of a wait limit in ms (-2 = none) that began when this was made.
class WaitBudget {
 public:
  explicit WaitBudget(int32_t limit)
      : unlimited_(limit == -2),
        deadline_(Clock::now() + std::chrono::milliseconds(std::max(limit, 0))) {}
  int32_t Left() const {
    if (unlimited_) return -2;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
    return static_cast<int32_t>(std::max<int64_t>(left.count(), 0));
  }

 private:
  bool unlimited_;
  Clock::time_point deadline_;
};

// The reason of the newest error OpenSSL queued on this thread.
std::string QueuedErrorText() {
  const unsigned long code = ERR_peek_last_error();
  const char* reason = code == 0 ? nullptr : ERR_reason_error_string(code);
  return reason != nullptr ? reason : "handshake failed";
}

}  // namespace

// The session's I/O: OpenSSL reads and writes the socket through the
// transport, so every byte still goes through the socket stack. Reads never
// block (the callers wait, with their limits); writes block as plain ones do.
class TransportBio {
 public:
  static BIO* Create(TQlIOHandlerTLS& handler) {
    BIO* bio = BIO_new(Method());
    if (bio == nullptr) return nullptr;
    BIO_set_data(bio, &handler);
    BIO_set_init(bio, 1);
    return bio;
  }

 private:
  static BIO_METHOD* Method() {
    static BIO_METHOD* const method = [] {
      BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "transport");
      BIO_meth_set_read(created, &Read);
      BIO_meth_set_write(created, &Write);
      BIO_meth_set_ctrl(created, &Control);
      return created;
    }();
    return method;
  }
  static TQlIOHandlerTLS& Handler(BIO* bio) { return *static_cast<TQlIOHandlerTLS*>(BIO_get_data(bio)); }
  static int Read(BIO* bio, char* block, int size) {
    BIO_clear_retry_flags(bio);
    const int count = Handler(bio).TransportRead(block, size);
    if (count == -2) {
      BIO_set_retry_read(bio);
      return -1;
    }
    return count;
  }
  static int Write(BIO* bio, const char* block, int size) {
    BIO_clear_retry_flags(bio);
    return Handler(bio).TransportWrite(block, size);
  }
  static long Control(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }
};

void TQlIOHandlerTLS::SessionDeleter::operator()(ssl_st* session) const noexcept {
  SSL_free(session);
}

void TQlIOHandlerTLS::SessionDeleter::operator()(ssl_ctx_st* context) const noexcept {
  SSL_CTX_free(context);
}

TQlIOHandlerTLS::TQlIOHandlerTLS() = default;

TQlIOHandlerTLS::~TQlIOHandlerTLS() { EndSession(); }

std::string TQlIOHandlerTLS::ProtocolVersion() const {
  return encrypted_ ? SSL_get_version(session_.get()) : "";
}

void TQlIOHandlerTLS::StartTLS(const std::string& host, int32_t limit) {
  if (!HasOpenSocket()) throw EQlClosedSocket();
  if (session_) throw EQlTLSError("TLS: the connection is encrypted already");
  try {
    CreateSession(host);
    Handshake(limit);
    encrypted_ = true;
  } catch (...) {
    // Nothing more may be said over this connection, in plain text least of all.
    EndSession();
    TQlIOHandlerSocket::CloseEndpoint();
    throw;
  }
}

void TQlIOHandlerTLS::CreateSession(const std::string& host) {
  ERR_clear_error();
  context_.reset(SSL_CTX_new(TLS_client_method()));
  if (!context_) throw EQlTLSError("TLS: " + QueuedErrorText());
  SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
  // Many servers close without the closing alert; replies are framed by their
  // own line ends, so a bare close ends the stream like any other.
  SSL_CTX_set_options(context_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
  // A missing store shows later as an unverifiable certificate.
  SSL_CTX_set_default_verify_paths(context_.get());
  ERR_clear_error();

  session_.reset(SSL_new(context_.get()));
  BIO* bio = session_ ? TransportBio::Create(*this) : nullptr;
  if (bio == nullptr) throw EQlTLSError("TLS: " + QueuedErrorText());
  SSL_set_bio(session_.get(), bio, bio);
  if (TQlStack::IsDottedQuad(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session_.get()), SocketBinding()->RemoteIP().c_str());
  } else {
    SSL_set_tlsext_host_name(session_.get(), host.c_str());
    SSL_set_hostflags(session_.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    SSL_set1_host(session_.get(), host.c_str());
  }
}

void TQlIOHandlerTLS::Handshake(int32_t limit) {
  const WaitBudget budget(limit);
  for (;;) {
    ERR_clear_error();
    const int result = SSL_connect(session_.get());
    RethrowTransportFailure();
    if (result == 1) return;
    const int error = SSL_get_error(session_.get(), result);
    if (error != SSL_ERROR_WANT_READ) RaiseHandshakeFailure(error);
    if (!TQlIOHandlerSocket::WaitReadable(budget.Left())) throw EQlReadTimeout();
  }
}

void TQlIOHandlerTLS::RaiseHandshakeFailure(int sslError) {
  if (sslError == SSL_ERROR_SYSCALL && socketError_ != 0) SocketStack().RaiseSocketFailure(socketError_);
  const long verdict = SSL_get_verify_result(session_.get());
  if (verdict != X509_V_OK) {
    throw EQlTLSError(std::string("TLS: certificate verify failed (") +
                      X509_verify_cert_error_string(verdict) + ")");
  }
  if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN) {
    throw EQlTLSError("TLS: the server closed the connection during the handshake");
  }
  // Plain text where a TLS record should be: a port that is not a TLS port.
  if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_WRONG_VERSION_NUMBER) {
    throw EQlTLSError("TLS: the server does not speak TLS on this port (wrong version number)");
  }
  throw EQlTLSError("TLS: " + QueuedErrorText());
}

void TQlIOHandlerTLS::EndSession() noexcept {
  session_.reset();
  context_.reset();
  encrypted_ = false;
  streamEnded_ = false;
  socketError_ = 0;
  failure_.clear();
  transportFailure_ = nullptr;
  ERR_clear_error();
}

void TQlIOHandlerTLS::CloseEndpoint() {
  const bool sound = encrypted_ && HasOpenSocket() && !Aborted() && !streamEnded_ &&
                     socketError_ == 0 && failure_.empty();
  if (sound) {
    // RFC 8446 section 6.1: say the end; the server's answer is not awaited.
    ERR_clear_error();
    SSL_shutdown(session_.get());
  }
  EndSession();
  TQlIOHandlerSocket::CloseEndpoint();
}

void TQlIOHandlerTLS::ConnectEndpoint(const std::string& host, int32_t port,
                                      const std::string& boundIp, int32_t boundPort,
                                      int32_t portLow, int32_t portHigh, int32_t timeLimit) {
  EndSession();
  TQlIOHandlerSocket::ConnectEndpoint(host, port, boundIp, boundPort, portLow, portHigh, timeLimit);
}

void TQlIOHandlerTLS::PrepareBinding() {
  EndSession();
  TQlIOHandlerSocket::PrepareBinding();
}

TQlIOHandlerTLS::Outcome TQlIOHandlerTLS::Classify(int result) {
  switch (SSL_get_error(session_.get(), result)) {
    case SSL_ERROR_WANT_READ:
      return Outcome::wantRead;
    case SSL_ERROR_ZERO_RETURN:
      streamEnded_ = true;
      return Outcome::ended;
    case SSL_ERROR_SYSCALL:
      if (socketError_ != 0) return Outcome::socketFailed;
      streamEnded_ = true;
      return Outcome::ended;
    default:
      failure_ = "TLS: " + QueuedErrorText();
      return Outcome::failed;
  }
}

void TQlIOHandlerTLS::RethrowTransportFailure() {
  if (!transportFailure_) return;
  const std::exception_ptr failure = transportFailure_;
  transportFailure_ = nullptr;
  std::rethrow_exception(failure);
}

bool TQlIOHandlerTLS::WaitReadable(int32_t limit) {
  if (!encrypted_) return TQlIOHandlerSocket::WaitReadable(limit);
  // A wait for input is where the socket transport lets the sends it holds
  // back go out; a reply already decrypted here must not keep them back.
  TQlIOHandlerSocket::WaitReadable(0);
  const WaitBudget budget(limit);
  for (;;) {
    if (streamEnded_ || socketError_ != 0 || !failure_.empty()) return true;
    if (SSL_pending(session_.get()) > 0) return true;
    // Decrypts what has arrived: a record of data makes the connection
    // readable, a record without any (a session ticket) does not.
    char probe;
    size_t got = 0;
    ERR_clear_error();
    const int result = SSL_peek_ex(session_.get(), &probe, 1, &got);
    RethrowTransportFailure();
    if (result == 1) return true;
    if (Classify(result) != Outcome::wantRead) return true;  // ReceiveSome reports it
    if (!TQlIOHandlerSocket::WaitReadable(budget.Left())) return false;
  }
}

// Raises a TLS failure seen earlier; true when a socket error broke the
// session, made the last error again for the caller to read.
bool TQlIOHandlerTLS::SessionBroken() {
  if (!failure_.empty()) throw EQlTLSError(failure_);
  if (socketError_ == 0) return false;
  SocketStack().WSASetLastError(socketError_);
  return true;
}

int32_t TQlIOHandlerTLS::ReceiveSome(void* block, int32_t size) {
  if (!encrypted_) return TQlIOHandlerSocket::ReceiveSome(block, size);
  if (!HasOpenSocket()) throw EQlClosedSocket();
  for (;;) {
    if (SessionBroken()) return -1;
    if (streamEnded_) return 0;
    size_t got = 0;
    ERR_clear_error();
    const int result = SSL_read_ex(session_.get(), block, static_cast<size_t>(std::max(size, 0)), &got);
    RethrowTransportFailure();
    if (result == 1) return static_cast<int32_t>(got);
    if (Classify(result) == Outcome::wantRead) TQlIOHandlerSocket::WaitReadable(-2);
  }
}

int32_t TQlIOHandlerTLS::SendSome(const void* block, int32_t size) {
  if (!encrypted_) return TQlIOHandlerSocket::SendSome(block, size);
  if (!HasOpenSocket()) throw EQlClosedSocket();
  for (;;) {
    if (SessionBroken()) return -1;
    size_t sent = 0;
    ERR_clear_error();
    const int result = SSL_write_ex(session_.get(), block, static_cast<size_t>(std::max(size, 0)), &sent);
    RethrowTransportFailure();
    if (result == 1) return static_cast<int32_t>(sent);
    const Outcome outcome = Classify(result);
    if (outcome == Outcome::ended) return 0;
    // A write that must first read (the server renegotiates) waits for it.
    if (outcome == Outcome::wantRead) TQlIOHandlerSocket::WaitReadable(-2);
  }
}

// -2 when nothing can be read at once (the session then asks again after a wait).
int TQlIOHandlerTLS::TransportRead(char* block, int size) {
  try {
    if (!TQlIOHandlerSocket::WaitReadable(0)) return -2;
    const int32_t count = TQlIOHandlerSocket::ReceiveSome(block, size);
    if (count < 0) socketError_ = SocketStack().WSAGetLastError();
    return count;
  } catch (...) {
    // Exceptions must not cross OpenSSL's frames; raised again once it returns.
    transportFailure_ = std::current_exception();
    return -1;
  }
}

int TQlIOHandlerTLS::TransportWrite(const char* block, int size) {
  try {
    const int32_t count = TQlIOHandlerSocket::SendSome(block, size);
    if (count < 0) socketError_ = SocketStack().WSAGetLastError();
    return count;
  } catch (...) {
    transportFailure_ = std::current_exception();
    return -1;
  }
}

}  // namespace quillet
