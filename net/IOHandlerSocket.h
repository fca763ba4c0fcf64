#pragma once
// The socket transport: one TCP client socket (SocketBinding), created by
// ConnectEndpoint and closed by CloseEndpoint. Used by one thread at a time;
// Abort may come from any thread.

#include <atomic>
#include <memory>
#include <mutex>

#include "net/IOHandler.h"
#include "net/SocketHandle.h"

namespace quillet {

class TQlIOHandlerSocket : public TQlIOHandler {
 public:
  TQlIOHandlerSocket();
  ~TQlIOHandlerSocket() override;

  // Releases the socket when one is held.
  void CloseEndpoint() override;
  // New stream socket, local bind (boundIp empty = any address, boundPort 0 =
  // any port, portLow/portHigh a port range when both are set), hsResolving
  // status for a host that is no dotted quad, resolution, hsConnecting status,
  // connect. timeLimit in ms: -1 or 0 waits until the system's connect ends, a
  // positive limit raises EQlConnectTimeout "Connect timed out." when it runs
  // out. Raises EQlInvalidSocket, EQlCouldNotBindSocket, EQlSocketError (the
  // connect's or the lookup's error; 10053 after Abort). The socket stays
  // open after a failure: the caller closes it.
  void ConnectEndpoint(const std::string& host, int32_t port, const std::string& boundIp,
                       int32_t boundPort, int32_t portLow, int32_t portHigh,
                       int32_t timeLimit) override;
  bool HasOpenSocket() const override;
  // Creates SocketBinding on first use, otherwise clears its endpoint
  // (local address included).
  void PrepareBinding() override;
  // See TQlSocketHandle::WaitReadable; EQlConnClosedGracefully without a socket.
  bool WaitReadable(int32_t limit) override;
  // recv / send results unchanged; EQlClosedSocket "Disconnected." without a socket.
  int32_t ReceiveSome(void* block, int32_t size) override;
  int32_t SendSome(const void* block, int32_t size) override;
  // Thread-safe: a wait or connect in progress returns at once; later waits
  // report the end of the stream, sends fail with 10058 and connects with 10053.
  void Abort() override;
  bool Aborted() const { return aborted_.load(); }

  TQlSocketHandle* SocketBinding() const { return binding_.get(); }
  // False switches the Nagle delay off on the next connect.
  bool UseNagle() const { return useNagle_; }
  void SetUseNagle(bool useNagle) { useNagle_ = useNagle; }
  void SetSendTimeLimit(int32_t limit) override { sendTimeLimit_ = limit; }

 private:
  TQlSocketHandle& Binding();
  void SetCorked(bool corked);

  std::mutex bindingGuard_;  // the binding's creation against Abort
  std::unique_ptr<TQlSocketHandle> binding_;
  std::atomic<bool> aborted_{false};
  bool useNagle_ = true;
  bool corked_ = false;
  int32_t sendTimeLimit_ = 0;
};

}  // namespace quillet
