#include "smtp/TCPConnection.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "net/Stack.h"
#include "platform/Errors.h"

namespace quillet {

namespace {

// Socket error numbers after which the connection counts as ended.
constexpr int32_t kShutdownError = 10058;
constexpr int32_t kAbortedError = 10053;
constexpr int32_t kResetError = 10054;
// The send time limit ran out: the peer stopped reading; the connection is spent.
constexpr int32_t kTimedOutError = 10060;
constexpr int32_t kNoTimeLimit = -2;

}  // namespace

TQlTCPConnection::TQlTCPConnection() {
  pendingInput_.SetOnBytesTaken(
      [this](TQlSimpleBuffer&, int32_t count) { AddProgress(TWorkMode::wmRead, count); });
}

TQlTCPConnection::~TQlTCPConnection() {
  try {
    CloseTransport();
  } catch (...) {
    // Closing is best effort while the connection goes away.
  }
  ReleaseOwnedIOHandler();
}

void TQlTCPConnection::SetIOHandler(TQlIOHandler* handler) {
  std::lock_guard<std::mutex> lock(handlerMutex_);
  if (ownedHandler_ && ownedHandler_.get() != handler) ownedHandler_.reset();
  ioHandler_ = handler;
}

void TQlTCPConnection::AdoptIOHandler(std::unique_ptr<TQlIOHandler> handler) {
  std::lock_guard<std::mutex> lock(handlerMutex_);
  ownedHandler_ = std::move(handler);
  ioHandler_ = ownedHandler_.get();
}

void TQlTCPConnection::ReleaseOwnedIOHandler() {
  std::lock_guard<std::mutex> lock(handlerMutex_);
  if (!ownedHandler_) return;
  ownedHandler_.reset();
  ioHandler_ = nullptr;
}

void TQlTCPConnection::Abort() {
  std::lock_guard<std::mutex> lock(handlerMutex_);
  if (ioHandler_) ioHandler_->Abort();
}

void TQlTCPConnection::TraceLine(char direction, const std::string& line) {
  if (!onLineTrace_) return;
  onLineTrace_(direction, direction == 'C' && secretLines_ ? std::string("***") : line);
}

void TQlTCPConnection::FireDisconnected() {
  if (onDisconnected_) onDisconnected_(*this);
}

// ---- writing ----

void TQlTCPConnection::WriteText(const std::string& text) {
  if (text.empty()) return;
  WriteBytes(text.data(), static_cast<int32_t>(text.size()));
}

void TQlTCPConnection::WriteTextLine(const std::string& text) {
  WriteText(text + "\r\n");
  TraceLine('C', text);
}

void TQlTCPConnection::WriteTextLines(const StringList& lines) {
  for (const auto& line : lines) WriteTextLine(line);
}

void TQlTCPConnection::WriteBytes(const void* bytes, int32_t count) {
  if (count <= 0 || bytes == nullptr) return;
  CheckPeerClosed(true, true);
  if (!IsOpen()) throw EQlNotConnected();
  const std::string copy(static_cast<const char*>(bytes), static_cast<size_t>(count));
  int32_t pos = 0;
  do {
    const int32_t sent = ioHandler_->SendSome(copy.data() + pos, count - pos);
    peerClosed_ = sent == 0;
    CheckPeerClosed(true, false);
    // A send that moved nothing cannot be retried on a closed transport.
    if (sent == 0) throw EQlConnClosedGracefully();
    auto& stack = SocketStack();
    if (stack.CheckSocketResult(sent, {kShutdownError, kAbortedError, kResetError, kTimedOutError})) {
      // The number recorded by the check: closing may change the last error.
      const int32_t error = stack.LastSocketError();
      CloseTransport();
      stack.RaiseSocketFailure(error);
    }
    AddProgress(TWorkMode::wmWrite, sent);
    pos += sent;
  } while (pos < count);
}

// ---- reading ----

int32_t TQlTCPConnection::ReceiveMore(bool raiseIfClosed, int32_t limit, bool raiseOnTimeout) {
  if (limit == -1) limit = readTimeout_ == 0 ? kNoTimeLimit : readTimeout_;
  int32_t result = 0;
  CheckPeerClosed(raiseIfClosed, false);
  if (!IsOpen()) {
    if (raiseIfClosed) throw EQlNotConnected();
    return 0;
  }
  int32_t received = 0;
  do {
    received = 0;
    if (!ioHandler_->WaitReadable(limit)) {
      if (raiseOnTimeout) throw EQlReadTimeout();
      return -1;
    }
    // A receive of 0 bytes would read as the peer's close.
    receiveBlock_.Resize(std::max(recvBufferSize_, 1));
    received = ioHandler_->ReceiveSome(receiveBlock_.MutableData(), receiveBlock_.Size());
    peerClosed_ = received == 0;
    if (received != 0) {
      auto& stack = SocketStack();
      if (stack.CheckSocketResult(received, {kShutdownError, kAbortedError})) {
        received = 0;
        CloseTransport();
        if (pendingInput_.Size() == 0) stack.RaiseSocketFailure(stack.LastSocketError());
      }
    }
    if (received > 0) {
      receiveBlock_.Resize(received);
      pendingInput_.Append(receiveBlock_.Data(), received);
    }
    CheckPeerClosed(raiseIfClosed, false);
    result = received;
  } while (received == 0 && IsOpen());
  return result;
}

std::string TQlTCPConnection::ReadTextLine(int32_t maxLength) {
  if (maxLength == -1) maxLength = maxLineLength_;
  int32_t found = 0;
  int32_t scanned = 0;
  for (;;) {
    const int32_t size = pendingInput_.Size();
    if (size > 0) {
      const char* start = pendingInput_.UnreadStart();
      const void* lf = std::memchr(start + scanned, '\n', static_cast<size_t>(size - scanned));
      if (lf != nullptr) found = static_cast<int32_t>(static_cast<const char*>(lf) - start) + 1;
      scanned = size;
    }
    if (maxLength != 0 && found - 1 > maxLength) return TakeOverlongLine(maxLength);
    if (found != 0) break;
    if (maxLength != 0 && scanned > maxLength) return TakeOverlongLine(maxLength);
    CheckPeerClosed(true, true);
    // The connection ended in the middle of a line; that part stays buffered.
    if (ReceiveMore(true, -1, true) == 0) return std::string();
  }
  std::string line = pendingInput_.TakeText(found);
  line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  TraceLine('S', line);
  return line;
}

std::string TQlTCPConnection::TakeOverlongLine(int32_t maxLength) {
  if (maxLineAction_ == TQlMaxLineAction::maException) throw EQlReadLnMaxLineLengthExceeded();
  std::string part = pendingInput_.TakeText(maxLength);
  TraceLine('S', part);
  return part;
}

// ---- state ----

void TQlTCPConnection::CheckPeerClosed(bool raise, bool ignoreBuffered) {
  bool closed = false;
  if (peerClosed_ || ioHandler_ == nullptr) {
    if (ioHandler_ != nullptr) {
      if (ioHandler_->HasOpenSocket()) {
        CloseTransport();
        ReportStatus(TQlStatus::hsDisconnected);
        FireDisconnected();
      }
      closed = true;
    }
  } else {
    closed = !ioHandler_->HasOpenSocket();
  }
  if (closed && raise && (pendingInput_.Size() == 0 || ignoreBuffered)) {
    throw EQlConnClosedGracefully();
  }
}

bool TQlTCPConnection::IsOpen() {
  CheckPeerClosed(false, false);
  return ioHandler_ != nullptr && ioHandler_->HasOpenSocket();
}

void TQlTCPConnection::CloseTransport() {
  if (ioHandler_ == nullptr) return;
  peerClosed_ = true;
  ioHandler_->CloseEndpoint();
}

void TQlTCPConnection::DropConnection() {
  ReportStatus(TQlStatus::hsDisconnecting);
  CloseTransport();
  ReleaseOwnedIOHandler();
  FireDisconnected();
  ReportStatus(TQlStatus::hsDisconnected);
}

void TQlTCPConnection::ClearInput() {
  pendingInput_.Clear();
  peerClosed_ = false;
}

// ---- command replies ----

std::string TQlTCPConnection::ReadNonBlankLine(int32_t attemptLimit) {
  ReplyBudget budget;
  return ReadNonBlankLine(attemptLimit, budget);
}

std::string TQlTCPConnection::ReadNonBlankLine(int32_t attemptLimit, ReplyBudget& budget) {
  std::string line;
  for (int32_t attempts = 0; line.empty() && attempts < attemptLimit; ++attempts) {
    // Checked before reading, so a server that never ends its reply is not waited for.
    if (budget.lines == kMaxReplyLines) {
      throw EQlProtocolReplyError(
          0, "Reply too long: more than " + std::to_string(kMaxReplyLines) + " lines.");
    }
    line = ReadTextLine();
    ++budget.lines;
    budget.bytes += static_cast<int64_t>(line.size()) + 2;  // the line end counted as CR LF
    if (budget.bytes > kMaxReplyBytes) {
      throw EQlProtocolReplyError(
          0, "Reply too long: more than " + std::to_string(kMaxReplyBytes) + " bytes.");
    }
    line = Trim(line);
  }
  return line;
}

void TQlTCPConnection::ReadReply() {
  ReplyBudget budget;
  StringList lines{ReadNonBlankLine(INT32_MAX, budget)};
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string endMark = first.substr(0, 3) + " ";
    for (;;) {
      std::string line = ReadNonBlankLine(INT32_MAX, budget);
      const bool last = line.size() < 4 || SameTextAscii(std::string_view(line).substr(0, 4), endMark);
      lines.push_back(std::move(line));
      if (last) break;
    }
  }
  lastReply_.LoadReplyLines(lines);
}

int16_t TQlTCPConnection::CheckReplyCode(int16_t code, const TQlReplyCodes& expected) {
  if (!expected.empty() && std::find(expected.begin(), expected.end(), code) == expected.end()) {
    RaiseReplyError();
  }
  return code;
}

void TQlTCPConnection::RaiseReplyError() {
  throw EQlProtocolReplyError(lastReply_.NumericCode(), JoinLines(lastReply_.Text()));
}

int16_t TQlTCPConnection::ExpectReply(const TQlReplyCodes& expected) {
  ReadReply();
  return CheckReplyCode(static_cast<int16_t>(lastReply_.NumericCode()), expected);
}

int16_t TQlTCPConnection::ExchangeCommand(const std::string& line, const TQlReplyCodes& expected) {
  WriteTextLine(line);
  return ExpectReply(expected);
}

int16_t TQlTCPConnection::ExchangeCommand(const std::string& line, int16_t expected) {
  return ExchangeCommand(line, expected == -1 ? TQlReplyCodes{} : TQlReplyCodes{expected});
}

}  // namespace quillet
