#pragma once
// One socket endpoint: the socket with its local and remote addresses. All
// socket calls go through SocketStack(). One thread uses a handle; only
// Abort may be called from another thread at any time.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/Stack.h"

namespace quillet {

class TQlSocketHandle {
 public:
  TQlSocketHandle() = default;
  ~TQlSocketHandle();  // releases the socket
  TQlSocketHandle(const TQlSocketHandle&) = delete;
  TQlSocketHandle& operator=(const TQlSocketHandle&) = delete;

  // Releases any socket held, then opens a new one (EQlInvalidSocket
  // "Cannot allocate socket." when it cannot; EQlSocketError 10053 after Abort).
  void NewSocket(int32_t type, int32_t protocol);
  // Shuts the sending side and closes the socket; nothing when none is held.
  void ReleaseSocket();
  // Forgets the remote address, with withLocal the local one too; a socket
  // still held is released rather than leaked.
  void ClearEndpoint(bool withLocal);
  // Binds to IP and Port (or to a port of the client port range); raises
  // EQlCouldNotBindSocket, EQlInvalidPortRange, EQlCanNotBindPortInRange or EQlSocketError.
  void BindLocal();
  void SetRemote(const std::string& ip, int32_t port);
  // Connects to RemoteIP and the low 16 bits of RemotePort and returns the
  // connect's result (-1 with the error number left in the stack). A positive
  // limit in ms bounds the wait (EQlConnectTimeout "Connect timed out.");
  // otherwise it lasts until the system's connect succeeds or fails. Abort
  // ends a wait at once with error 10053.
  int32_t ConnectRemote(int32_t family, int32_t limit = -1);
  // True when the socket is readable (data, end of stream, broken connection),
  // false when the limit ran out or the wait failed. Limit in ms, -2 = none; any
  // other negative limit is no wait. EQlConnClosedGracefully without a socket.
  bool WaitReadable(int32_t limit);
  // One recv / send with flags 0; the result unchanged (-1 on failure).
  int32_t ReceiveSome(void* block, int32_t size);
  int32_t SendSome(const void* block, int32_t size);

  // Thread-safe: shuts the socket down both ways so that a wait in progress
  // returns, and makes every later connect or new socket fail. The socket
  // stays allocated until its own thread releases it.
  void Abort() noexcept;
  bool Aborted() const { return aborted_.load(); }

  bool Allocated() const { return allocated_.load(); }
  TQlSocketID Handle() const { return socket_; }
  const std::string& IP() const { return ip_; }
  void SetIP(std::string ip) { ip_ = std::move(ip); }
  int32_t Port() const { return port_; }
  void SetPort(int32_t port) { port_ = port; }
  const std::string& RemoteIP() const { return remoteIp_; }
  int32_t RemotePort() const { return remotePort_; }
  int32_t ClientPortMin() const { return clientPortMin_; }
  void SetClientPortMin(int32_t port) { clientPortMin_ = port; }
  int32_t ClientPortMax() const { return clientPortMax_; }
  void SetClientPortMax(int32_t port) { clientPortMax_ = port; }

 private:
  bool TryBindOnce();
  bool BindInPortRange();
  void RefreshLocal();
  void RefreshRemote();
  int32_t AwaitConnect(int32_t limit);

  // Guards the descriptor's release and allocation against Abort, so Abort
  // never touches a descriptor number that was closed and reused.
  std::mutex descriptorGuard_;
  TQlSocketID socket_ = kInvalidSocket;
  std::atomic<bool> allocated_{false};
  std::atomic<bool> aborted_{false};
  std::string ip_;
  int32_t port_ = 0;
  std::string remoteIp_;
  int32_t remotePort_ = 0;
  int32_t clientPortMin_ = 0;
  int32_t clientPortMax_ = 0;
};

}  // namespace quillet
