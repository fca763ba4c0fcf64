#pragma once
// The transport a line connection runs over.

#include <cstdint>
#include <string>

#include "net/Component.h"

namespace quillet {

class TQlIOHandler : public TQlComponent {
 public:
  virtual void CloseEndpoint() {}
  virtual void ConnectEndpoint(const std::string& host, int32_t port, const std::string& boundIp,
                               int32_t boundPort, int32_t portLow, int32_t portHigh,
                               int32_t timeLimit) {
    (void)host, (void)port, (void)boundIp, (void)boundPort, (void)portLow, (void)portHigh,
        (void)timeLimit;
  }
  virtual bool HasOpenSocket() const = 0;
  virtual void PrepareBinding() {}
  // Limit in ms, -2 = no limit. True when data or the end of the stream can be read.
  virtual bool WaitReadable(int32_t limit) = 0;
  // Count received, 0 when the peer closed, -1 on failure (error in the stack).
  virtual int32_t ReceiveSome(void* block, int32_t size) = 0;
  // Count sent (may be less than size), -1 on failure.
  virtual int32_t SendSome(const void* block, int32_t size) = 0;
  // Safe to call from another thread: ends the conversation at once, so a
  // wait or transfer in progress returns and later ones fail.
  virtual void Abort() {}
  // Longest wait of one send for room in the socket's buffers, in ms; 0 = no
  // limit. A peer that stops reading then ends in an error, not a hang.
  virtual void SetSendTimeLimit(int32_t limit) { (void)limit; }
};

}  // namespace quillet
