#pragma once
// The process-wide socket stack: the one place that calls the socket library.
// Socket calls report failure by -1; CheckSocketResult then reads the error
// number and tolerates or raises it as EQlSocketError "Socket Error # <n>\r\n<text>".

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

using TQlSocketID = int32_t;
using TQlSocketList = std::vector<TQlSocketID>;
using TQlAddressBytes = std::array<uint8_t, 4>;  // network order

inline constexpr TQlSocketID kInvalidSocket = -1;
inline constexpr int32_t kFamilyInet = 2;
inline constexpr int32_t kSocketStream = 1;
inline constexpr int32_t kShutdownReceive = 0;
inline constexpr int32_t kShutdownSend = 1;
inline constexpr int32_t kShutdownBoth = 2;
inline constexpr int32_t kLevelSocket = 0xFFFF;
inline constexpr int32_t kLevelTcp = 6;
inline constexpr int32_t kOptionNoDelay = 1;
inline constexpr int32_t kOptionCork = 0x7001;
inline constexpr int32_t kOptionSendTimeLimit = 0x1005;
inline constexpr int32_t kMaxSelectSockets = 64;

// Socket error numbers the system reacts to.
inline constexpr int32_t kErrorWouldBlock = 10035;
inline constexpr int32_t kErrorInProgress = 10036;
inline constexpr int32_t kErrorAddressInUse = 10048;
inline constexpr int32_t kErrorConnectionAborted = 10053;
inline constexpr int32_t kErrorConnectionReset = 10054;
inline constexpr int32_t kErrorShutdown = 10058;
inline constexpr int32_t kErrorConnectionRefused = 10061;
inline constexpr int32_t kErrorHostNotFound = 11001;

struct TQlSocketAddress {
  int32_t family = 0;
  std::string ip;    // dotted text
  int32_t port = 0;  // host order
};

// The time value a select limit in milliseconds becomes.
struct TQlTimeValue {
  int32_t seconds = 0;
  int32_t microseconds = 0;
};

class TQlStack {
 public:
  virtual ~TQlStack() = default;

  int32_t LastSocketError() const { return lastSocketError_; }
  // False for a result other than -1; for -1 records the error and returns
  // true when it is tolerated, else raises EQlSocketError.
  bool CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated = {});
  [[noreturn]] void RaiseSocketFailure(int32_t code);
  // "Socket Error # <n>\r\n<text>".
  virtual std::string SocketErrorText(int32_t code) const;
  virtual int32_t WSAGetLastError() = 0;
  virtual void WSASetLastError(int32_t code) = 0;
  virtual std::string LocalHostName() = 0;

  // Raises EQlInvalidSocket "Cannot allocate socket." when no socket can be made.
  virtual TQlSocketID OpenSocketHandle(int32_t type, int32_t protocol) = 0;
  // An empty ip binds to any address; the port's low 16 bits are used.
  virtual int32_t Bind(TQlSocketID s, const std::string& ip, int32_t port) = 0;
  // ip is a dotted quad (EConvertError otherwise); the port's low 16 bits are used.
  virtual int32_t Connect(TQlSocketID s, const std::string& ip, int32_t port) = 0;
  virtual int32_t Send(TQlSocketID s, const void* buffer, int32_t length, int32_t flags) = 0;
  virtual int32_t Recv(TQlSocketID s, void* buffer, int32_t length, int32_t flags) = 0;
  virtual int32_t Shutdown(TQlSocketID s, int32_t how) = 0;
  virtual int32_t CloseSocket(TQlSocketID s) = 0;
  virtual int32_t SetSockOpt(TQlSocketID s, int32_t level, int32_t option, const void* value,
                             int32_t length) = 0;
  // The pending error of a socket (0 for none), as a connect in progress leaves it.
  virtual int32_t PendingSocketError(TQlSocketID s) = 0;
  virtual int32_t SetBlocking(TQlSocketID s, bool blocking) = 0;
  // Both raise through CheckSocketResult on failure.
  virtual TQlSocketAddress GetSockName(TQlSocketID s) = 0;
  virtual TQlSocketAddress GetPeerName(TQlSocketID s) = 0;
  // Each list given is replaced by its ready sockets. Limit in ms, -2 = none.
  // Raises EQlStackSetSizeExceeded for a list of more than 64 sockets.
  // Returns the ready count, 0 on time-out, -1 on failure.
  virtual int32_t Select(TQlSocketList* readable, TQlSocketList* writable, TQlSocketList* failed,
                         int32_t limit) = 0;
  virtual uint16_t HToNS(uint16_t value) = 0;
  virtual uint16_t NToHS(uint16_t value) = 0;

  // "LOCALHOST" in any case is 127.0.0.1 and a dotted quad is itself, neither
  // looked up; any other name goes to LookUpHostAddress, whose failure raises.
  std::string ResolveHostName(const std::string& host);
  // The dotted text of the first address the resolver gives; raises EQlSocketError.
  virtual std::string LookUpHostAddress(const std::string& host) = 0;

  // Four parts separated by ".", each an integer from 0 to 255 in the
  // runtime's integer syntax (so " 10.1.1.1" and "0x7F.0.0.1" pass).
  static bool IsDottedQuad(std::string_view text);
  // Raises EConvertError for a part that is no integer; keeps each part's low 8 bits.
  static TQlAddressBytes ParseDottedQuad(std::string_view text);
  static std::string AddressText(const TQlAddressBytes& address);
  // -2 has no time value (wait without limit) and is not passed here.
  static TQlTimeValue SelectTimeValue(int32_t limit);

 protected:
  static std::string ErrorDescription(int32_t code);
  int32_t lastSocketError_ = 0;
};

// The stack; exists while at least one network component lives (raises
// EQlStackError when none does).
TQlStack& SocketStack();

}  // namespace quillet
