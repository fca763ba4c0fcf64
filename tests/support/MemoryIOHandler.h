#pragma once
// A transport in memory for line-connection tests: input arrives in scripted
// pieces, each handed out by one receive; the peer's close and receive
// failures are scripted the same way; sends are recorded and can be cut short
// or made to fail. Nothing blocks: a wait with nothing scripted reports that
// its time ran out.

#include <cstdint>
#include <deque>
#include <string>

#include "net/IOHandler.h"
#include "platform/TextUtils.h"

namespace quillet::testing {

class MemoryIOHandler : public TQlIOHandler {
 public:
  // open: the endpoint starts as after a connect; otherwise ConnectEndpoint opens it.
  explicit MemoryIOHandler(bool open = true) : open_(open) {}

  // ---- what the peer does, in order ----
  // Bytes a receive hands out (split further when the receive asks for less).
  void Feed(std::string bytes);
  // The peer closes its side: the next receive after the pieces before returns 0.
  void FeedClose();
  // A receive fails with this socket error number.
  void FeedFailure(int32_t socketError);

  // ---- sending ----
  // Each send accepts at most this many bytes (0 = all).
  void SetSendLimit(int32_t bytesPerSend) { sendLimit_ = bytesPerSend; }
  // The first send after this many bytes were accepted fails with the error.
  void FailSendAfter(int32_t acceptedBytes, int32_t socketError);
  const std::string& Sent() const { return sent_; }
  // The sent bytes cut at CR LF.
  StringList SentLines() const;
  int SendCalls() const { return sendCalls_; }
  int ReceiveCalls() const { return receiveCalls_; }

  // ---- endpoint ----
  void Open() { open_ = true; }
  int ConnectCalls() const { return connectCalls_; }
  int CloseCalls() const { return closeCalls_; }
  bool Aborted() const { return aborted_; }

  void CloseEndpoint() override;
  void ConnectEndpoint(const std::string& host, int32_t port, const std::string& boundIp,
                       int32_t boundPort, int32_t portLow, int32_t portHigh,
                       int32_t timeLimit) override;
  bool HasOpenSocket() const override { return open_; }
  bool WaitReadable(int32_t limit) override;
  int32_t ReceiveSome(void* block, int32_t size) override;
  int32_t SendSome(const void* block, int32_t size) override;
  void Abort() override { aborted_ = true; }

 private:
  enum class EventKind { piece, close, failure };
  struct Event {
    EventKind kind;
    std::string bytes;
    int32_t error = 0;
  };

  std::deque<Event> input_;
  std::string sent_;
  int32_t sendLimit_ = 0;
  int32_t failSendAfter_ = -1;
  int32_t sendError_ = 0;
  int sendCalls_ = 0;
  int receiveCalls_ = 0;
  int connectCalls_ = 0;
  int closeCalls_ = 0;
  bool open_ = true;
  bool aborted_ = false;
};

// Sets the calling thread's last socket error as the socket stack reads it.
void SetLastSocketError(int32_t socketError);

}  // namespace quillet::testing
