#include "net/Stack.h"

#include <algorithm>

#include "platform/Errors.h"
#include "platform/TextUtils.h"

namespace quillet {
namespace {

struct ErrorRow {
  int32_t code;
  const char* text;
};

constexpr ErrorRow kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

// The four "."-separated parts of a dotted quad; the fourth keeps any further dots.
std::array<std::string, 4> QuadParts(std::string_view text) {
  std::string rest(text);
  std::array<std::string, 4> parts;
  for (int i = 0; i < 3; ++i) parts[i] = CutToken(rest, ".");
  parts[3] = rest;
  return parts;
}

}  // namespace

bool TQlStack::CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated) {
  if (result != -1) return false;
  lastSocketError_ = WSAGetLastError();
  if (std::find(tolerated.begin(), tolerated.end(), lastSocketError_) != tolerated.end()) {
    return true;
  }
  RaiseSocketFailure(lastSocketError_);
}

void TQlStack::RaiseSocketFailure(int32_t code) { throw EQlSocketError(code, SocketErrorText(code)); }

std::string TQlStack::SocketErrorText(int32_t code) const {
  return "Socket Error # " + std::to_string(code) + "\r\n" + ErrorDescription(code);
}

std::string TQlStack::ErrorDescription(int32_t code) {
  for (const ErrorRow& row : kErrorTexts) {
    if (row.code == code) return row.text;
  }
  return {};
}

std::string TQlStack::ResolveHostName(const std::string& host) {
  if (SameTextAscii(host, "LOCALHOST")) return "127.0.0.1";
  if (IsDottedQuad(host)) return host;
  return LookUpHostAddress(host);
}

bool TQlStack::IsDottedQuad(std::string_view text) {
  for (const std::string& part : QuadParts(text)) {
    int32_t value = 0;
    if (!TryStrToInt(part, value) || value < 0 || value > 255) return false;
  }
  return true;
}

TQlAddressBytes TQlStack::ParseDottedQuad(std::string_view text) {
  const auto parts = QuadParts(text);
  TQlAddressBytes address{};
  for (size_t i = 0; i < parts.size(); ++i) {
    address[i] = static_cast<uint8_t>(StrToInt(parts[i]) & 0xFF);
  }
  return address;
}

std::string TQlStack::AddressText(const TQlAddressBytes& address) {
  return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
         std::to_string(address[2]) + "." + std::to_string(address[3]);
}

TQlTimeValue TQlStack::SelectTimeValue(int32_t limit) {
  return TQlTimeValue{limit / 1000, (limit % 1000) * 1000};
}

}  // namespace quillet
