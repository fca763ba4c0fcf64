#include "net/IOHandlerSocket.h"

#include "platform/Errors.h"

namespace quillet {

TQlIOHandlerSocket::TQlIOHandlerSocket() = default;

TQlIOHandlerSocket::~TQlIOHandlerSocket() = default;

void TQlIOHandlerSocket::CloseEndpoint() {
  if (binding_) binding_->ReleaseSocket();
}

TQlSocketHandle& TQlIOHandlerSocket::Binding() {
  if (!binding_) {
    std::lock_guard lock(bindingGuard_);
    binding_ = std::make_unique<TQlSocketHandle>();
    if (aborted_.load()) binding_->Abort();
  }
  return *binding_;
}

void TQlIOHandlerSocket::PrepareBinding() {
  if (binding_) {
    binding_->ClearEndpoint(true);
  } else {
    Binding();
  }
}

void TQlIOHandlerSocket::ConnectEndpoint(const std::string& host, int32_t port,
                                         const std::string& boundIp, int32_t boundPort,
                                         int32_t portLow, int32_t portHigh, int32_t timeLimit) {
  TQlSocketHandle& binding = Binding();
  TQlStack& stack = SocketStack();
  binding.NewSocket(kSocketStream, 0);
  corked_ = false;
  binding.SetIP(boundIp);
  binding.SetPort(boundPort);
  binding.SetClientPortMin(portLow);
  binding.SetClientPortMax(portHigh);
  binding.BindLocal();
  if (!TQlStack::IsDottedQuad(host)) ReportStatus(TQlStatus::hsResolving, {host});
  binding.SetRemote(stack.ResolveHostName(host), port);
  if (!useNagle_) {
    const int32_t on = 1;
    stack.CheckSocketResult(
        stack.SetSockOpt(binding.Handle(), kLevelTcp, kOptionNoDelay, &on, sizeof(on)));
  }
  if (sendTimeLimit_ > 0) {
    stack.CheckSocketResult(stack.SetSockOpt(binding.Handle(), kLevelSocket, kOptionSendTimeLimit,
                                             &sendTimeLimit_, sizeof(sendTimeLimit_)));
  }
  ReportStatus(TQlStatus::hsConnecting, {binding.RemoteIP()});
  stack.CheckSocketResult(binding.ConnectRemote(kFamilyInet, timeLimit));
}

bool TQlIOHandlerSocket::HasOpenSocket() const { return binding_ && binding_->Allocated(); }

bool TQlIOHandlerSocket::WaitReadable(int32_t limit) {
  if (!binding_) throw EQlConnClosedGracefully();
  SetCorked(false);
  return binding_->WaitReadable(limit);
}

int32_t TQlIOHandlerSocket::ReceiveSome(void* block, int32_t size) {
  if (!HasOpenSocket()) throw EQlClosedSocket();
  return binding_->ReceiveSome(block, size);
}

int32_t TQlIOHandlerSocket::SendSome(const void* block, int32_t size) {
  if (!HasOpenSocket()) throw EQlClosedSocket();
  SetCorked(true);
  return binding_->SendSome(block, size);
}

// Every line leaves in a send of its own, and with Nagle on, a second small
// send waits for the peer's delayed acknowledgement of the first (about 40 ms
// per letter in the data phase, where the server answers nothing until the
// final dot). Sends are therefore held back in the kernel until the next wait
// for input, when the client has said all it has to say; a close sends them too.
void TQlIOHandlerSocket::SetCorked(bool corked) {
  if (corked_ == corked || !HasOpenSocket()) return;
  const int32_t value = corked ? 1 : 0;
  // A socket that refuses the option simply sends at once.
  SocketStack().SetSockOpt(binding_->Handle(), kLevelTcp, kOptionCork, &value, sizeof(value));
  corked_ = corked;
}

void TQlIOHandlerSocket::Abort() {
  std::lock_guard lock(bindingGuard_);
  aborted_.store(true);
  if (binding_) binding_->Abort();
}

}  // namespace quillet
