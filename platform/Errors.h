#pragma once
// The exception tree of the system. Messages are texts the user sees in the
// error box, so each class with a fixed message supplies it itself.

#include <cstdint>
#include <exception>
#include <string>

namespace quillet {

// Root of every error the program raises, its own and the runtime stand-ins'.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Silent abort: the error display never shows it.
class EAbort : public Exception {
 public:
  explicit EAbort(std::string message = "Operation aborted") : Exception(std::move(message)) {}
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

// ---- The mail and network library's own tree ----

class EQlException : public Exception {
 public:
  using Exception::Exception;
};

class EQlSilentException : public EQlException {
 public:
  using EQlException::EQlException;
};

class EQlConnClosedGracefully : public EQlSilentException {
 public:
  EQlConnClosedGracefully() : EQlSilentException("Connection Closed Gracefully.") {}
};

class EQlTCPConnectionError : public EQlException {
 public:
  using EQlException::EQlException;
};

class EQlNotConnected : public EQlTCPConnectionError {
 public:
  EQlNotConnected() : EQlTCPConnectionError("Not Connected") {}
};

class EQlNotEnoughDataInBuffer : public EQlTCPConnectionError {
 public:
  EQlNotEnoughDataInBuffer() : EQlTCPConnectionError("Not enough data in buffer.") {}
};

class EQlStackError : public EQlException {
 public:
  using EQlException::EQlException;
};

class EQlStackInitializationFailed : public EQlStackError {
 public:
  EQlStackInitializationFailed() : EQlStackError("Winsock Initialization Error.") {}
};

class EQlStackSetSizeExceeded : public EQlStackError {
 public:
  EQlStackSetSizeExceeded() : EQlStackError("Set Size Exceeded.") {}
};

class EQlSocketHandleError : public EQlException {
 public:
  using EQlException::EQlException;
};

class EQlCouldNotBindSocket : public EQlSocketHandleError {
 public:
  EQlCouldNotBindSocket()
      : EQlSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

class EQlCanNotBindPortInRange : public EQlSocketHandleError {
 public:
  EQlCanNotBindPortInRange(int32_t low, int32_t high)
      : EQlSocketHandleError("Can not bind in port range (" + std::to_string(low) + " - " +
                             std::to_string(high) + ")") {}
};

class EQlInvalidPortRange : public EQlSocketHandleError {
 public:
  EQlInvalidPortRange(int32_t low, int32_t high)
      : EQlSocketHandleError("Invalid Port Range (" + std::to_string(low) + " - " +
                             std::to_string(high) + ")") {}
};

class EQlMessageException : public EQlException {
 public:
  using EQlException::EQlException;
};

class EQlAlreadyConnected : public EQlException {
 public:
  EQlAlreadyConnected() : EQlException("Already connected.") {}
};

class EQlClosedSocket : public EQlException {
 public:
  EQlClosedSocket() : EQlException("Disconnected.") {}
};

class EQlReadTimeout : public EQlException {
 public:
  EQlReadTimeout() : EQlException("Read Timeout") {}
};

class EQlConnectTimeout : public EQlException {
 public:
  EQlConnectTimeout() : EQlException("Connect timed out.") {}
};

class EQlReadLnMaxLineLengthExceeded : public EQlException {
 public:
  EQlReadLnMaxLineLengthExceeded() : EQlException("Max line length exceeded.") {}
};

class EQlProtocolReplyError : public EQlException {
 public:
  EQlProtocolReplyError(int32_t code, std::string message)
      : EQlException(std::move(message)), code_(code) {}
  int32_t ErrorReplyCode() const noexcept { return code_; }

 private:
  int32_t code_;
};

class EQlInvalidSocket : public EQlException {
 public:
  EQlInvalidSocket() : EQlException("Cannot allocate socket.") {}
};

// Message is the two-line socket error text built by the socket stack.
class EQlSocketError : public EQlException {
 public:
  EQlSocketError(int32_t number, std::string message)
      : EQlException(std::move(message)), number_(number) {}
  int32_t SocketErrorNumber() const noexcept { return number_; }

 private:
  int32_t number_;
};

class EQlWS2StubError : public EQlException {
 public:
  // An error number of 0 leaves the system text empty and the title alone as message.
  EQlWS2StubError(std::string title, uint32_t code, std::string systemText)
      : EQlException(code == 0 ? title : title + ": " + systemText),
        title_(std::move(title)),
        code_(code),
        text_(code == 0 ? std::string() : std::move(systemText)) {}
  uint32_t SystemErrorCode() const noexcept { return code_; }
  const std::string& SystemErrorText() const noexcept { return text_; }
  const std::string& ErrorTitle() const noexcept { return title_; }

 private:
  std::string title_;
  uint32_t code_;
  std::string text_;
};

class EQlFailedToRetreiveTimeZoneInfo : public EQlException {
 public:
  EQlFailedToRetreiveTimeZoneInfo()
      : EQlException("Failed attempting to retrieve time zone information.") {}
};

class EQlEmailParseError : public EQlException {
 public:
  explicit EQlEmailParseError(std::string message = "@ Outside address")
      : EQlException(std::move(message)) {}
};

// An envelope address holding CR, LF or NUL, which would smuggle commands onto the wire.
class EQlUnsafeAddress : public EQlException {
 public:
  using EQlException::EQlException;
};

// A secure connection that could not be set up or broke: the handshake, the
// server's certificate or its name. Messages begin with "TLS: ".
class EQlTLSError : public EQlException {
 public:
  using EQlException::EQlException;
};

}  // namespace quillet
