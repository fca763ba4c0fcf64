#include "net/StackSockets.h"

#include <atomic>
#include <cstring>

#include "net/SocketLibrary.h"
#include "platform/Errors.h"

namespace quillet {
namespace {

constexpr uint16_t kWinsockVersion = 0x0202;
constexpr int32_t kHostNameSize = 250;

std::atomic<bool> stackStarted{false};

qlws_sockaddr_in InetAddress(TQlStack& stack, const TQlAddressBytes& address, int32_t port) {
  qlws_sockaddr_in name{};
  name.sin_family = kFamilyInet;
  name.sin_port = stack.HToNS(static_cast<uint16_t>(port & 0xFFFF));
  std::memcpy(name.sin_addr, address.data(), address.size());
  return name;
}

bool FillSet(const TQlSocketList* list, qlws_fd_set& set) {
  if (list == nullptr) return false;
  if (list->size() > static_cast<size_t>(kMaxSelectSockets)) throw EQlStackSetSizeExceeded();
  set.fd_count = static_cast<uint32_t>(list->size());
  std::copy(list->begin(), list->end(), set.fd_array);
  return true;
}

void RefillList(TQlSocketList* list, const qlws_fd_set& set) {
  if (list != nullptr) list->assign(set.fd_array, set.fd_array + set.fd_count);
}

// Cleans the library up when the process ends, after everything else of this file is gone.
struct ProcessEnd {
  ~ProcessEnd() { CleanUpSocketLibrary(); }
} processEnd;

}  // namespace

TQlStackSockets::TQlStackSockets() {
  if (stackStarted.load()) return;
  qlws_wsadata data{};
  if (StartSocketLibrary(kWinsockVersion, &data) != 0) throw EQlStackInitializationFailed();
  stackStarted.store(true);
}

std::string TQlStackSockets::SocketErrorText(int32_t code) const {
  if (code == kErrorHostNotFound) {
    return "Socket Error # " + std::to_string(code) + "\r\nHost not found.";
  }
  return TQlStack::SocketErrorText(code);
}

int32_t TQlStackSockets::WSAGetLastError() { return winsock::WSAGetLastError(); }

void TQlStackSockets::WSASetLastError(int32_t code) { winsock::WSASetLastError(code); }

std::string TQlStackSockets::LocalHostName() {
  char buffer[kHostNameSize] = {};
  winsock::gethostname(buffer, kHostNameSize);
  buffer[kHostNameSize - 1] = '\0';
  return buffer;
}

TQlSocketID TQlStackSockets::OpenSocketHandle(int32_t type, int32_t protocol) {
  const TQlSocketID s = winsock::socket(kFamilyInet, type, protocol);
  if (s == kInvalidSocket) throw EQlInvalidSocket();
  return s;
}

int32_t TQlStackSockets::Bind(TQlSocketID s, const std::string& ip, int32_t port) {
  const TQlAddressBytes any{};
  const qlws_sockaddr_in name = InetAddress(*this, ip.empty() ? any : ParseDottedQuad(ip), port);
  return winsock::bind(s, &name, sizeof(name));
}

int32_t TQlStackSockets::Connect(TQlSocketID s, const std::string& ip, int32_t port) {
  const qlws_sockaddr_in name = InetAddress(*this, ParseDottedQuad(ip), port);
  return winsock::connect(s, &name, sizeof(name));
}

int32_t TQlStackSockets::Send(TQlSocketID s, const void* buffer, int32_t length, int32_t flags) {
  return winsock::send(s, buffer, length, flags);
}

int32_t TQlStackSockets::Recv(TQlSocketID s, void* buffer, int32_t length, int32_t flags) {
  return winsock::recv(s, buffer, length, flags);
}

int32_t TQlStackSockets::Shutdown(TQlSocketID s, int32_t how) { return winsock::shutdown(s, how); }

int32_t TQlStackSockets::CloseSocket(TQlSocketID s) { return winsock::closesocket(s); }

int32_t TQlStackSockets::SetSockOpt(TQlSocketID s, int32_t level, int32_t option,
                                    const void* value, int32_t length) {
  return winsock::setsockopt(s, level, option, value, length);
}

int32_t TQlStackSockets::PendingSocketError(TQlSocketID s) {
  int32_t error = 0;
  int32_t length = sizeof(error);
  CheckSocketResult(winsock::getsockopt(s, QLWS_SOL_SOCKET, QLWS_SO_ERROR, &error, &length));
  return error;
}

int32_t TQlStackSockets::SetBlocking(TQlSocketID s, bool blocking) {
  uint32_t nonBlocking = blocking ? 0 : 1;
  return winsock::ioctlsocket(s, QLWS_FIONBIO, &nonBlocking);
}

TQlSocketAddress TQlStackSockets::GetSockName(TQlSocketID s) {
  qlws_sockaddr_in name{};
  int32_t length = sizeof(name);
  CheckSocketResult(winsock::getsockname(s, &name, &length));
  return {name.sin_family, AddressText({name.sin_addr[0], name.sin_addr[1], name.sin_addr[2],
                                        name.sin_addr[3]}),
          NToHS(name.sin_port)};
}

TQlSocketAddress TQlStackSockets::GetPeerName(TQlSocketID s) {
  qlws_sockaddr_in name{};
  int32_t length = sizeof(name);
  CheckSocketResult(winsock::getpeername(s, &name, &length));
  return {name.sin_family, AddressText({name.sin_addr[0], name.sin_addr[1], name.sin_addr[2],
                                        name.sin_addr[3]}),
          NToHS(name.sin_port)};
}

int32_t TQlStackSockets::Select(TQlSocketList* readable, TQlSocketList* writable,
                                TQlSocketList* failed, int32_t limit) {
  qlws_fd_set readSet{}, writeSet{}, failSet{};
  const bool withRead = FillSet(readable, readSet);
  const bool withWrite = FillSet(writable, writeSet);
  const bool withFail = FillSet(failed, failSet);
  qlws_timeval time{};
  if (limit != -2) {
    const TQlTimeValue value = SelectTimeValue(limit);
    time = {value.seconds, value.microseconds};
  }
  const int32_t result =
      winsock::select(0, withRead ? &readSet : nullptr, withWrite ? &writeSet : nullptr,
                      withFail ? &failSet : nullptr, limit == -2 ? nullptr : &time);
  if (result >= 0) {
    RefillList(readable, readSet);
    RefillList(writable, writeSet);
    RefillList(failed, failSet);
  }
  return result;
}

uint16_t TQlStackSockets::HToNS(uint16_t value) { return winsock::htons(value); }

uint16_t TQlStackSockets::NToHS(uint16_t value) { return winsock::ntohs(value); }

std::string TQlStackSockets::LookUpHostAddress(const std::string& host) {
  const qlws_hostent* entry = winsock::gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
    if (entry != nullptr) WSASetLastError(QLWSANO_DATA);
    CheckSocketResult(-1);
  }
  const auto* first = reinterpret_cast<const uint8_t*>(entry->h_addr_list[0]);
  return AddressText({first[0], first[1], first[2], first[3]});
}

bool StackStarted() { return stackStarted.load(); }

void CleanUpSocketLibrary() noexcept {
  if (stackStarted.exchange(false)) {
    try {
      winsock::WSACleanup();
    } catch (const Exception&) {
      // The library is gone already; there is nothing left to clean up.
    }
  }
  UnloadSocketLibrary();
}

}  // namespace quillet
