#pragma once
// The socket stack over the run-time loaded socket library.

#include "net/Stack.h"

namespace quillet {

class TQlStackSockets : public TQlStack {
 public:
  // The first construction in the process loads and starts the socket library
  // (version 2.2): raises EQlWS2StubError when it cannot be loaded and
  // EQlStackInitializationFailed "Winsock Initialization Error." when its
  // start-up fails. Later constructions call nothing in the library.
  TQlStackSockets();

  std::string SocketErrorText(int32_t code) const override;
  int32_t WSAGetLastError() override;
  void WSASetLastError(int32_t code) override;
  // gethostname into 250 bytes, up to the first NUL.
  std::string LocalHostName() override;

  TQlSocketID OpenSocketHandle(int32_t type, int32_t protocol) override;
  int32_t Bind(TQlSocketID s, const std::string& ip, int32_t port) override;
  int32_t Connect(TQlSocketID s, const std::string& ip, int32_t port) override;
  int32_t Send(TQlSocketID s, const void* buffer, int32_t length, int32_t flags) override;
  int32_t Recv(TQlSocketID s, void* buffer, int32_t length, int32_t flags) override;
  int32_t Shutdown(TQlSocketID s, int32_t how) override;
  int32_t CloseSocket(TQlSocketID s) override;
  int32_t SetSockOpt(TQlSocketID s, int32_t level, int32_t option, const void* value,
                     int32_t length) override;
  int32_t PendingSocketError(TQlSocketID s) override;
  int32_t SetBlocking(TQlSocketID s, bool blocking) override;
  TQlSocketAddress GetSockName(TQlSocketID s) override;
  TQlSocketAddress GetPeerName(TQlSocketID s) override;
  int32_t Select(TQlSocketList* readable, TQlSocketList* writable, TQlSocketList* failed,
                 int32_t limit) override;
  uint16_t HToNS(uint16_t value) override;
  uint16_t NToHS(uint16_t value) override;
  std::string LookUpHostAddress(const std::string& host) override;
};

// Whether the socket library's start-up has run in this process.
bool StackStarted();

// At program end: the library's clean-up once if it was started, then the
// library is unloaded. Also runs by itself when the process exits.
void CleanUpSocketLibrary() noexcept;

}  // namespace quillet
