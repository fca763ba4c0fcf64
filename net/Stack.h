#pragma once
// The process-wide socket stack: the one place that calls the socket library.

#include <cstdint>
#include <initializer_list>
#include <string>

namespace quillet {

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
  virtual std::string LocalHostName() = 0;

 protected:
  static std::string ErrorDescription(int32_t code);
  int32_t lastSocketError_ = 0;
};

// The stack; exists while at least one network component lives.
TQlStack& SocketStack();

}  // namespace quillet
