#pragma once
// The buffered line connection: turns the byte stream of a transport into
// CR LF terminated lines, and reads and checks numeric command replies.
//
// Reading keeps received but unconsumed bytes in PendingInput; a line ends at
// LF (a CR before it is removed) and may hold MaxLineLength bytes. Writing
// goes straight to the transport, each call in one piece, without buffering.
//
// Raised: EQlNotConnected ("Not Connected") when reading or writing without an
// open transport; EQlConnClosedGracefully when the peer has closed and more
// input is needed; EQlReadTimeout when a wait for input exceeds ReadTimeout;
// EQlReadLnMaxLineLengthExceeded for an overlong line under maException;
// EQlSocketError for transport failures; EQlProtocolReplyError for a reply
// whose code is not among the expected ones.
//
// One thread uses a connection; only Abort may be called from another.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/Component.h"
#include "net/IOHandler.h"
#include "platform/TextUtils.h"
#include "smtp/RFCReply.h"
#include "smtp/SimpleBuffer.h"

namespace quillet {

enum class TQlMaxLineAction { maException, maSplit };

// A set of accepted reply codes; empty accepts every reply.
using TQlReplyCodes = std::vector<int16_t>;

class TQlTCPConnection : public TQlComponent {
 public:
  using NotifyEvent = std::function<void(TQlTCPConnection& sender)>;
  // direction 'C' for a line sent, 'S' for a line received.
  using LineTraceEvent = std::function<void(char direction, const std::string& line)>;

  TQlTCPConnection();
  ~TQlTCPConnection() override;

  int32_t MaxLineLength() const { return maxLineLength_; }
  void SetMaxLineLength(int32_t value) { maxLineLength_ = value; }
  TQlMaxLineAction MaxLineAction() const { return maxLineAction_; }
  void SetMaxLineAction(TQlMaxLineAction value) { maxLineAction_ = value; }
  // Milliseconds per wait for input; 0 waits without limit.
  int32_t ReadTimeout() const { return readTimeout_; }
  void SetReadTimeout(int32_t value) { readTimeout_ = value; }
  int32_t RecvBufferSize() const { return recvBufferSize_; }
  void SetRecvBufferSize(int32_t value) { recvBufferSize_ = value; }
  int32_t SendBufferSize() const { return sendBufferSize_; }
  void SetSendBufferSize(int32_t value) { sendBufferSize_ = value; }

  TQlIOHandler* IOHandler() const { return ioHandler_; }
  // Uses a transport the caller keeps ownership of; frees an owned one first.
  void SetIOHandler(TQlIOHandler* handler);
  bool OwnsIOHandler() const { return ownedHandler_ != nullptr; }

  void SetOnDisconnected(NotifyEvent handler) { onDisconnected_ = std::move(handler); }
  // Every line written and every line read; values marked secret show as "***".
  void SetOnLineTrace(LineTraceEvent handler) { onLineTrace_ = std::move(handler); }

  const TQlManagedBuffer& PendingInput() const { return pendingInput_; }
  const TQlRFCReply& LastReply() const { return lastReply_; }

  // Thread-safe: ends a wait or transfer in progress on the current transport;
  // the interrupted call fails with what the transport raises. No-op without one.
  void Abort();

  // ---- line I/O ----
  void WriteText(const std::string& text);
  void WriteTextLine(const std::string& text);
  void WriteTextLines(const StringList& lines);
  void WriteBytes(const void* bytes, int32_t count);
  // One LF-ended line without its line end; -1 = MaxLineLength, 0 = no limit.
  // Returns "" when the peer closed in the middle of a line.
  virtual std::string ReadTextLine(int32_t maxLength = -1);
  // Waits once for input (limit -1 = ReadTimeout) and buffers what arrives;
  // the count received, 0 when the connection ended, -1 on a quiet time-out.
  virtual int32_t ReceiveMore(bool raiseIfClosed, int32_t limit, bool raiseOnTimeout);

  // ---- state ----
  virtual void CheckPeerClosed(bool raise, bool ignoreBuffered);
  virtual bool IsOpen();
  virtual void DropConnection();
  virtual void CloseTransport();
  virtual void ClearInput();

  // ---- command replies ----
  // A reply may take at most this many lines and bytes off the connection,
  // blank lines and line ends included; past either the server is not
  // speaking SMTP, and ReadReply raises EQlProtocolReplyError with code 0
  // ("Reply too long: ...") instead of reading on.
  static constexpr int32_t kMaxReplyLines = 1000;
  static constexpr int64_t kMaxReplyBytes = 1024 * 1024;

  std::string ReadNonBlankLine(int32_t attemptLimit);
  void ReadReply();
  virtual int16_t CheckReplyCode(int16_t code, const TQlReplyCodes& expected);
  [[noreturn]] virtual void RaiseReplyError();
  virtual int16_t ExpectReply(const TQlReplyCodes& expected);
  virtual int16_t ExchangeCommand(const std::string& line, const TQlReplyCodes& expected);
  // A code of -1 accepts any reply.
  int16_t ExchangeCommand(const std::string& line, int16_t expected);

 protected:
  virtual void FireDisconnected();
  // Takes ownership of a transport created by connecting.
  void AdoptIOHandler(std::unique_ptr<TQlIOHandler> handler);
  void ReleaseOwnedIOHandler();
  void TraceLine(char direction, const std::string& line);

  // While it lives, lines written are traced as "***".
  class SecretLines {
   public:
    explicit SecretLines(TQlTCPConnection& connection) : connection_(connection) {
      connection_.secretLines_ = true;
    }
    ~SecretLines() { connection_.secretLines_ = false; }
    SecretLines(const SecretLines&) = delete;
    SecretLines& operator=(const SecretLines&) = delete;

   private:
    TQlTCPConnection& connection_;
  };

 private:
  std::string TakeOverlongLine(int32_t maxLength);

  // What one reply has read so far, against the reply limits.
  struct ReplyBudget {
    int32_t lines = 0;
    int64_t bytes = 0;
  };
  std::string ReadNonBlankLine(int32_t attemptLimit, ReplyBudget& budget);

  int32_t maxLineLength_ = 16384;
  TQlMaxLineAction maxLineAction_ = TQlMaxLineAction::maException;
  int32_t readTimeout_ = 0;
  int32_t recvBufferSize_ = 32768;
  int32_t sendBufferSize_ = 32768;

  // Guards creating, replacing and freeing the transport against Abort.
  std::mutex handlerMutex_;
  TQlIOHandler* ioHandler_ = nullptr;
  std::unique_ptr<TQlIOHandler> ownedHandler_;

  TQlManagedBuffer pendingInput_;
  TQlSimpleBuffer receiveBlock_;
  bool peerClosed_ = false;
  TQlRFCReply lastReply_;
  bool secretLines_ = false;

  NotifyEvent onDisconnected_;
  LineTraceEvent onLineTrace_;
};

}  // namespace quillet
