#include "net/SocketHandle.h"

#include <algorithm>
#include <chrono>

#include "platform/Errors.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

// How often a connect in progress looks for an abort.
constexpr int32_t kConnectSliceMs = 50;
// AwaitConnect's answer when the time limit ran out (no socket error number).
constexpr int32_t kConnectTimedOut = -1;

}  // namespace

TQlSocketHandle::~TQlSocketHandle() {
  try {
    ReleaseSocket();
  } catch (const Exception&) {
    // The socket library is gone; the process end closes the descriptor.
  }
}

void TQlSocketHandle::NewSocket(int32_t type, int32_t protocol) {
  ReleaseSocket();
  TQlStack& stack = SocketStack();
  std::lock_guard lock(descriptorGuard_);
  if (aborted_.load()) stack.RaiseSocketFailure(kErrorConnectionAborted);
  socket_ = stack.OpenSocketHandle(type, protocol);
  allocated_.store(true);
}

void TQlSocketHandle::ReleaseSocket() {
  std::lock_guard lock(descriptorGuard_);
  if (!allocated_.exchange(false)) return;
  const TQlSocketID s = socket_;
  socket_ = kInvalidSocket;
  TQlStack& stack = SocketStack();
  stack.Shutdown(s, kShutdownSend);
  stack.CloseSocket(s);
}

void TQlSocketHandle::ClearEndpoint(bool withLocal) {
  ReleaseSocket();
  remoteIp_.clear();
  remotePort_ = 0;
  if (withLocal) {
    ip_.clear();
    port_ = 0;
  }
}

void TQlSocketHandle::BindLocal() {
  if (port_ != 0 || clientPortMin_ == 0 || clientPortMax_ == 0) {
    if (!TryBindOnce()) throw EQlCouldNotBindSocket();
    return;
  }
  if (clientPortMax_ < clientPortMin_) throw EQlInvalidPortRange(clientPortMin_, clientPortMax_);
  if (!BindInPortRange()) throw EQlCanNotBindPortInRange(clientPortMin_, clientPortMax_);
}

bool TQlSocketHandle::TryBindOnce() {
  TQlStack& stack = SocketStack();
  if (stack.CheckSocketResult(stack.Bind(socket_, ip_, port_), {kErrorAddressInUse})) return false;
  RefreshLocal();
  return true;
}

bool TQlSocketHandle::BindInPortRange() {
  for (int32_t port = clientPortMax_; port >= clientPortMin_; --port) {
    port_ = port;
    if (TryBindOnce()) return true;
  }
  return false;
}

void TQlSocketHandle::SetRemote(const std::string& ip, int32_t port) {
  remoteIp_ = ip;
  remotePort_ = port;
}

int32_t TQlSocketHandle::ConnectRemote(int32_t family, int32_t limit) {
  (void)family;  // the stack speaks the internet family only
  TQlStack& stack = SocketStack();
  if (aborted_.load()) {
    stack.WSASetLastError(kErrorConnectionAborted);
    return -1;
  }
  // Non-blocking, so that the wait can be bounded and aborted.
  stack.CheckSocketResult(stack.SetBlocking(socket_, false));
  int32_t error = 0;
  if (stack.Connect(socket_, remoteIp_, remotePort_) == -1) {
    error = stack.WSAGetLastError();
    if (error == kErrorWouldBlock || error == kErrorInProgress) error = AwaitConnect(limit);
  }
  stack.SetBlocking(socket_, true);
  if (error == kConnectTimedOut) throw EQlConnectTimeout();
  // Abort's shutdown may have failed the connect with a reset of its own: report the abort.
  if (aborted_.load()) error = kErrorConnectionAborted;
  if (error != 0) {
    stack.WSASetLastError(error);
    return -1;
  }
  RefreshLocal();
  RefreshRemote();
  return 0;
}

// The connect's outcome: 0, a socket error number or kConnectTimedOut.
int32_t TQlSocketHandle::AwaitConnect(int32_t limit) {
  TQlStack& stack = SocketStack();
  const bool bounded = limit > 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(bounded ? limit : 0);
  for (;;) {
    if (aborted_.load()) return kErrorConnectionAborted;
    int32_t slice = kConnectSliceMs;
    if (bounded) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return kConnectTimedOut;
      slice = static_cast<int32_t>(std::min<int64_t>(left, kConnectSliceMs));
    }
    TQlSocketList writable{socket_};
    TQlSocketList failed{socket_};
    const int32_t ready = stack.Select(nullptr, &writable, &failed, slice);
    if (ready < 0) return stack.WSAGetLastError();
    if (ready > 0) return stack.PendingSocketError(socket_);
  }
}

void TQlSocketHandle::RefreshLocal() {
  const TQlSocketAddress local = SocketStack().GetSockName(socket_);
  ip_ = local.ip;
  port_ = local.port;
}

void TQlSocketHandle::RefreshRemote() {
  const TQlSocketAddress remote = SocketStack().GetPeerName(socket_);
  remoteIp_ = remote.ip;
  remotePort_ = remote.port;
}

bool TQlSocketHandle::WaitReadable(int32_t limit) {
  if (!allocated_.load()) throw EQlConnClosedGracefully();
  if (aborted_.load()) return true;  // reads now see the end of the stream
  if (limit < 0 && limit != -2) limit = 0;
  TQlSocketList readable{socket_};
  return SocketStack().Select(&readable, nullptr, nullptr, limit) == 1;
}

int32_t TQlSocketHandle::ReceiveSome(void* block, int32_t size) {
  return SocketStack().Recv(socket_, block, size, 0);
}

int32_t TQlSocketHandle::SendSome(const void* block, int32_t size) {
  return SocketStack().Send(socket_, block, size, 0);
}

void TQlSocketHandle::Abort() noexcept {
  std::lock_guard lock(descriptorGuard_);
  aborted_.store(true);
  if (!allocated_.load()) return;
  try {
    SocketStack().Shutdown(socket_, kShutdownBoth);
  } catch (const Exception&) {
    // Without a socket library there is no conversation left to end.
  }
}

}  // namespace quillet
