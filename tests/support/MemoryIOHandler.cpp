#include "support/MemoryIOHandler.h"

#include <algorithm>
#include <cstring>

#include "net/Stack.h"
#include "platform/Errors.h"

namespace quillet::testing {

void MemoryIOHandler::Feed(std::string bytes) {
  input_.push_back({EventKind::piece, std::move(bytes)});
}

void MemoryIOHandler::FeedClose() { input_.push_back({EventKind::close, {}}); }

void MemoryIOHandler::FeedFailure(int32_t socketError) {
  input_.push_back({EventKind::failure, {}, socketError});
}

void MemoryIOHandler::FailSendAfter(int32_t acceptedBytes, int32_t socketError) {
  failSendAfter_ = acceptedBytes;
  sendError_ = socketError;
}

StringList MemoryIOHandler::SentLines() const {
  StringList lines;
  size_t start = 0;
  for (size_t end; (end = sent_.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(sent_.substr(start, end - start));
  }
  if (start < sent_.size()) lines.push_back(sent_.substr(start));
  return lines;
}

void MemoryIOHandler::CloseEndpoint() {
  if (open_) ++closeCalls_;
  open_ = false;
}

void MemoryIOHandler::ConnectEndpoint(const std::string&, int32_t, const std::string&, int32_t,
                                      int32_t, int32_t, int32_t) {
  ++connectCalls_;
  open_ = true;
}

bool MemoryIOHandler::WaitReadable(int32_t) {
  if (!open_) throw EQlConnClosedGracefully();
  return !input_.empty();
}

int32_t MemoryIOHandler::ReceiveSome(void* block, int32_t size) {
  if (!open_) throw EQlClosedSocket();
  ++receiveCalls_;
  if (input_.empty()) {
    SetLastSocketError(10035);
    return -1;
  }
  Event& event = input_.front();
  if (event.kind == EventKind::close) return 0;  // stays: every later receive sees the close
  if (event.kind == EventKind::failure) {
    SetLastSocketError(event.error);
    input_.pop_front();
    return -1;
  }
  const auto count = static_cast<int32_t>(std::min<size_t>(event.bytes.size(), size));
  std::memcpy(block, event.bytes.data(), static_cast<size_t>(count));
  event.bytes.erase(0, static_cast<size_t>(count));
  if (event.bytes.empty()) input_.pop_front();
  return count;
}

int32_t MemoryIOHandler::SendSome(const void* block, int32_t size) {
  if (!open_) throw EQlClosedSocket();
  ++sendCalls_;
  const auto accepted = static_cast<int32_t>(sent_.size());
  if (failSendAfter_ >= 0 && accepted >= failSendAfter_) {
    SetLastSocketError(sendError_);
    return -1;
  }
  int32_t count = sendLimit_ > 0 ? std::min(size, sendLimit_) : size;
  if (failSendAfter_ >= 0) count = std::min(count, failSendAfter_ - accepted);
  sent_.append(static_cast<const char*>(block), static_cast<size_t>(count));
  return count;
}

void SetLastSocketError(int32_t socketError) { SocketStack().WSASetLastError(socketError); }

}  // namespace quillet::testing
